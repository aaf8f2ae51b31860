#include "ambiente/uInstancia.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "comum/uFormato.h"
#include "comum/uTexto.h"

namespace ljsn {

namespace {

constexpr std::size_t kMaxLinha = 512;
// An answer may carry the whole state report.
constexpr std::size_t kMaxResposta = std::size_t{1} << 20;
constexpr int kEsperaLinhaMs = 2000;

bool PreencherEndereco(const std::string& ACaminho, sockaddr_un& AEndereco) {
    AEndereco = sockaddr_un{};
    AEndereco.sun_family = AF_UNIX;
    if (ACaminho.size() >= sizeof AEndereco.sun_path) {
        return false;
    }
    std::memcpy(AEndereco.sun_path, ACaminho.c_str(), ACaminho.size() + 1);
    return true;
}

// One line (without its end) read before the deadline; nothing otherwise, or
// once AParar becomes readable.
std::optional<std::string> LerLinha(int ASocket,
                                    std::chrono::steady_clock::time_point APrazo,
                                    std::size_t AMaximo = kMaxLinha,
                                    int AParar = -1) {
    std::string linha;
    while (linha.size() < AMaximo) {
        const auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(
                               APrazo - std::chrono::steady_clock::now())
                               .count();
        if (resta <= 0) {
            return std::nullopt;
        }
        pollfd p[2] = {{ASocket, POLLIN, 0}, {AParar, POLLIN, 0}};
        const int prontos = ::poll(p, AParar >= 0 ? 2 : 1, static_cast<int>(resta));
        if (prontos < 0 && errno == EINTR) {
            continue;
        }
        if (prontos <= 0 || (p[1].revents & POLLIN) != 0) {
            return std::nullopt;
        }
        char c = 0;
        const ssize_t n = ::recv(ASocket, &c, 1, 0);
        if (n <= 0) {
            return linha.empty() ? std::nullopt : std::optional<std::string>(linha);
        }
        if (c == '\n') {
            return linha;
        }
        linha += c;
    }
    return std::nullopt;
}

bool EscreverTudo(int ASocket, const std::string& ATexto) {
    std::size_t feito = 0;
    while (feito < ATexto.size()) {
        const ssize_t n =
            ::send(ASocket, ATexto.data() + feito, ATexto.size() - feito, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        feito += static_cast<std::size_t>(n);
    }
    return true;
}

// Whether the other end of a local socket runs as this user.
bool MesmoUsuario(int ASocket, unsigned* AUid = nullptr) {
    ucred credencial{};
    socklen_t tamanho = sizeof credencial;
    if (::getsockopt(ASocket, SOL_SOCKET, SO_PEERCRED, &credencial, &tamanho) != 0) {
        return false;
    }
    if (AUid != nullptr) {
        *AUid = credencial.uid;
    }
    return credencial.uid == ::geteuid();
}

// Why APasta is no place for the lock and the socket; empty when it is one.
std::string MotivoInseguro(const std::string& APasta) {
    struct stat st {};
    if (::lstat(APasta.c_str(), &st) != 0) {
        // NOLINTNEXTLINE(concurrency-mt-unsafe): the text is copied at once
        return std::string("inacessivel: ") + std::strerror(errno);
    }
    if (S_ISLNK(st.st_mode)) {
        return "e um link";
    }
    if (!S_ISDIR(st.st_mode)) {
        return "nao e uma pasta";
    }
    if (st.st_uid != ::geteuid()) {
        return FormatarOuFormato("pertence a outro usuario (uid %d)", st.st_uid);
    }
    if ((st.st_mode & 077) != 0) {
        return FormatarOuFormato("outros usuarios tem acesso (permissoes %d%d%d)",
                                 (st.st_mode >> 6) & 7,
                                 (st.st_mode >> 3) & 7,
                                 st.st_mode & 7);
    }
    return {};
}

std::string Variavel(const char* ANome) {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): read before any thread starts
    const char* v = std::getenv(ANome);
    return v != nullptr ? std::string(v) : std::string();
}

// Whether a process holds the lock file (a probe of a moment: Tentar retries
// briefly, so the probe never keeps a copy from starting).
bool TravaOcupada(const std::string& ACaminho) {
    const int fd = ::open(ACaminho.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return false;
    }
    const bool ocupada = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);  // releases the probe's own lock, if it took one
    return ocupada;
}

}  // namespace

std::string PastaExecucao(std::string* AMotivo) {
    std::vector<std::string> candidatas;
    std::vector<bool> criar;
    if (const std::string xdg = Variavel("XDG_RUNTIME_DIR"); !xdg.empty() && xdg[0] == '/') {
        candidatas.push_back(xdg);
        criar.push_back(false);
    }
    std::string temporaria = Variavel("TMPDIR");
    if (temporaria.empty() || temporaria[0] != '/') {
        temporaria = "/tmp";
    }
    candidatas.push_back(ComBarra(temporaria) + "lojasonorante-" + std::to_string(::geteuid()));
    criar.push_back(true);
    std::string cache = Variavel("XDG_CACHE_HOME");
    if (cache.empty() || cache[0] != '/') {
        const std::string casa = Variavel("HOME");
        cache = !casa.empty() && casa[0] == '/' ? ComBarra(casa) + ".cache" : std::string();
    }
    if (!cache.empty()) {
        candidatas.push_back(ComBarra(cache) + "lojasonorante");
        criar.push_back(true);
    }
    std::vector<std::string> motivos;
    for (std::size_t i = 0; i < candidatas.size(); ++i) {
        std::string pasta = candidatas[i];
        while (pasta.size() > 1 && pasta.back() == '/') {
            pasta.pop_back();
        }
        if (criar[i]) {
            std::error_code erro;
            std::filesystem::create_directories(std::filesystem::path(pasta).parent_path(), erro);
            ::mkdir(pasta.c_str(), 0700);  // one already there is judged as it is
        }
        const std::string motivo = MotivoInseguro(pasta);
        if (motivo.empty()) {
            if (AMotivo != nullptr) {
                *AMotivo = Juntar(motivos, "; ");
            }
            return ComBarra(pasta);
        }
        motivos.push_back(pasta + " " + motivo);
    }
    if (AMotivo != nullptr) {
        *AMotivo = Juntar(motivos, "; ");
    }
    return {};
}

std::string NomeDaInstancia(const std::string& ADadosEscolhidos) {
    if (ADadosEscolhidos.empty()) {
        return kNomeInstancia;
    }
    std::error_code erro;
    std::string pasta = std::filesystem::weakly_canonical(ADadosEscolhidos, erro).string();
    if (erro) {
        pasta = ADadosEscolhidos;
    }
    while (pasta.size() > 1 && pasta.back() == '/') {
        pasta.pop_back();
    }
    // FNV-1a: a short, stable tag for the folder.
    std::uint64_t h = 1469598103934665603ULL;
    for (const char c : pasta) {
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return FormatarOuFormato("%s-%.8x", kNomeInstancia, static_cast<std::int64_t>(h & 0xFFFFFFFF));
}

std::unique_ptr<TInstanciaUnica> TInstanciaUnica::Tentar(const std::string& APasta,
                                                         const std::string& ANome) {
    const std::string trava = APasta + ANome + ".lock";
    const int fd = APasta.empty()
                       ? -1
                       : ::open(trava.c_str(), O_CREAT | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        // No safe folder to lock in: run alone rather than refuse to start.
        std::unique_ptr<TInstanciaUnica> solta(new TInstanciaUnica());
        return solta;
    }
    // Another process may be probing the lock for a moment (TravaOcupada).
    int tentativas = 0;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK || ++tentativas >= 5) {
            ::close(fd);
            return nullptr;
        }
        ::usleep(20000);
    }
    std::unique_ptr<TInstanciaUnica> r(new TInstanciaUnica());
    r->FTrava = fd;
    r->FSocket = APasta + ANome + ".sock";
    return r;
}

struct TInstanciaUnica::TConexao {
    std::thread Thread;
    std::atomic<bool> Terminou{false};
};

bool TInstanciaUnica::Atender(TAtender AAtender) {
    FAtender = std::move(AAtender);
    sockaddr_un endereco{};
    if (FSocket.empty() || !PreencherEndereco(FSocket, endereco)) {
        return false;
    }
    // A socket left by a crashed copy: the lock is ours, so it is stale.
    ::unlink(FSocket.c_str());
    FEscuta = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (FEscuta < 0 ||
        ::bind(FEscuta, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) != 0 ||
        ::listen(FEscuta, 16) != 0 || ::pipe2(FParar, O_CLOEXEC) != 0) {
        return false;
    }
    ::chmod(FSocket.c_str(), 0600);
    FThread = std::thread([this] { Escutar(); });
    return true;
}

void TInstanciaUnica::Recolher(bool ATodas) {
    std::erase_if(FConexoes, [ATodas](const std::unique_ptr<TConexao>& AConexao) {
        if (!ATodas && !AConexao->Terminou.load()) {
            return false;
        }
        AConexao->Thread.join();
        return true;
    });
}

void TInstanciaUnica::Escutar() {
    while (true) {
        pollfd p[2] = {{FEscuta, POLLIN, 0}, {FParar[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if ((p[1].revents & POLLIN) != 0) {
            break;
        }
        const int conexao = ::accept4(FEscuta, nullptr, nullptr, SOCK_CLOEXEC);
        if (conexao < 0) {
            continue;
        }
        Recolher(false);
        unsigned uid = 0;
        if (!MesmoUsuario(conexao, &uid)) {
            ::close(conexao);
            GravarLogFmt(
                "ERRO", "pedido de outro usuario (uid %d) ao canal da copia recusado", uid);
            continue;
        }
        if (FConexoes.size() >= kMaxConexoes) {
            ::close(conexao);
            continue;
        }
        auto c = std::make_unique<TConexao>();
        TConexao* estado = c.get();
        try {
            c->Thread = std::thread([this, conexao, estado] {
                Servir(conexao);
                estado->Terminou.store(true);
            });
        } catch (const std::system_error&) {
            ::close(conexao);
            continue;
        }
        FConexoes.push_back(std::move(c));
    }
    Recolher(true);
}

void TInstanciaUnica::Servir(int AConexao) {
    const auto pedido =
        LerLinha(AConexao,
                 std::chrono::steady_clock::now() + std::chrono::milliseconds(kEsperaLinhaMs),
                 kMaxLinha,
                 FParar[0]);
    std::string resposta = "ERRO pedido desconhecido";
    const std::string prefixo = std::string(kVersaoProtocoloInstancia) + " ";
    if (pedido && ComecaCom(*pedido, prefixo) && FAtender) {
        resposta = FAtender(Aparar(pedido->substr(prefixo.size())));
    }
    if (pedido) {
        EscreverTudo(AConexao, resposta + "\n");
    }
    ::close(AConexao);
}

void TInstanciaUnica::Parar() {
    if (FThread.joinable()) {
        const char c = 'x';
        (void)!::write(FParar[1], &c, 1);
        FThread.join();
    }
}

TInstanciaUnica::~TInstanciaUnica() {
    Parar();
    for (const int fd : {FEscuta, FParar[0], FParar[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    if (FEscuta >= 0) {
        ::unlink(FSocket.c_str());
    }
    if (FTrava >= 0) {
        ::close(FTrava);  // releases the lock
    }
}

TConversaInstancia ConversarComInstancia(const std::string& APasta,
                                         const std::string& ANome,
                                         const std::string& APedido,
                                         int AMs) {
    sockaddr_un endereco{};
    if (APasta.empty() || !PreencherEndereco(APasta + ANome + ".sock", endereco)) {
        return {};
    }
    const auto prazo = std::chrono::steady_clock::now() + std::chrono::milliseconds(AMs);
    while (true) {
        const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (s < 0) {
            return {};
        }
        if (::connect(s, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) == 0) {
            // A socket someone else made would get this user's requests.
            if (!MesmoUsuario(s)) {
                ::close(s);
                return {TSituacaoInstancia::siAlheia, {}};
            }
            TConversaInstancia r{TSituacaoInstancia::siSemResposta, {}};
            if (EscreverTudo(s, std::string(kVersaoProtocoloInstancia) + " " + APedido + "\n")) {
                if (auto linha = LerLinha(s, prazo, kMaxResposta)) {
                    r = {TSituacaoInstancia::siRespondeu, std::move(*linha)};
                }
            }
            ::close(s);
            return r;
        }
        ::close(s);
        // No socket: a copy that holds the lock is still starting (its socket
        // comes a moment after its lock); without one, none runs.
        if (!TravaOcupada(APasta + ANome + ".lock")) {
            return {};
        }
        if (std::chrono::steady_clock::now() >= prazo) {
            return {TSituacaoInstancia::siSemResposta, {}};
        }
        ::usleep(50000);
    }
}

std::optional<std::string> EnviarAInstancia(const std::string& APasta,
                                            const std::string& ANome,
                                            const std::string& APedido,
                                            int AMs) {
    auto r = ConversarComInstancia(APasta, ANome, APedido, AMs);
    if (r.Situacao != TSituacaoInstancia::siRespondeu) {
        return std::nullopt;
    }
    return std::move(r.Resposta);
}

int DesfechoDaConversa(const TConversaInstancia& AConversa, std::string& AMensagem) {
    AMensagem.clear();
    switch (AConversa.Situacao) {
        case TSituacaoInstancia::siRespondeu:
            if (ComecaCom(AConversa.Resposta, "OK")) {
                return 0;
            }
            if (AConversa.Resposta != kRespostaOcupado) {
                AMensagem = AConversa.Resposta;
                return 1;
            }
            break;
        case TSituacaoInstancia::siSemResposta:
            break;
        case TSituacaoInstancia::siNenhuma:
            AMensagem = "nenhuma copia do programa esta rodando";
            return 3;
        case TSituacaoInstancia::siAlheia:
            AMensagem = "o canal da copia aberta pertence a outro usuario: nada foi enviado";
            return 1;
    }
    AMensagem = "uma copia do programa esta rodando, mas nao respondeu";
    return 4;
}

std::string PedidoDaLinha(int AComando) {
    return AComando != 0 ? "ACAO " + std::to_string(AComando) : std::string("MOSTRAR");
}

}  // namespace ljsn
