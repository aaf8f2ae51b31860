#include "ambiente/uInstancia.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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

// One line (without its end) read before the deadline; nothing otherwise.
std::optional<std::string> LerLinha(int ASocket,
                                    std::chrono::steady_clock::time_point APrazo,
                                    std::size_t AMaximo = kMaxLinha) {
    std::string linha;
    while (linha.size() < AMaximo) {
        const auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(
                               APrazo - std::chrono::steady_clock::now())
                               .count();
        if (resta <= 0) {
            return std::nullopt;
        }
        pollfd p{ASocket, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(resta)) <= 0) {
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

}  // namespace

std::string PastaExecucao() {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): read before any thread starts
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg != nullptr && *xdg == '/') {
        return ComBarra(xdg);
    }
    const std::string pasta = "/tmp/lojasonorante-" + std::to_string(::getuid()) + "/";
    ::mkdir(pasta.c_str(), 0700);
    return pasta;
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
    const int fd = ::open(trava.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        // No runtime folder to lock in: run rather than refuse to start.
        std::unique_ptr<TInstanciaUnica> solta(new TInstanciaUnica());
        solta->FSocket = APasta + ANome + ".sock";
        return solta;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<TInstanciaUnica> r(new TInstanciaUnica());
    r->FTrava = fd;
    r->FSocket = APasta + ANome + ".sock";
    return r;
}

bool TInstanciaUnica::Atender(TAtender AAtender) {
    FAtender = std::move(AAtender);
    sockaddr_un endereco{};
    if (!PreencherEndereco(FSocket, endereco)) {
        return false;
    }
    // A socket left by a crashed copy: the lock is ours, so it is stale.
    ::unlink(FSocket.c_str());
    FEscuta = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (FEscuta < 0 ||
        ::bind(FEscuta, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) != 0 ||
        ::listen(FEscuta, 8) != 0 || ::pipe2(FParar, O_CLOEXEC) != 0) {
        return false;
    }
    ::chmod(FSocket.c_str(), 0600);
    FThread = std::thread([this] { Escutar(); });
    return true;
}

void TInstanciaUnica::Escutar() {
    while (true) {
        pollfd p[2] = {{FEscuta, POLLIN, 0}, {FParar[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((p[1].revents & POLLIN) != 0) {
            return;
        }
        const int conexao = ::accept4(FEscuta, nullptr, nullptr, SOCK_CLOEXEC);
        if (conexao < 0) {
            continue;
        }
        const auto pedido = LerLinha(
            conexao, std::chrono::steady_clock::now() + std::chrono::milliseconds(kEsperaLinhaMs));
        std::string resposta = "ERRO pedido desconhecido";
        const std::string prefixo = std::string(kVersaoProtocoloInstancia) + " ";
        if (pedido && ComecaCom(*pedido, prefixo) && FAtender) {
            resposta = FAtender(Aparar(pedido->substr(prefixo.size())));
        }
        EscreverTudo(conexao, resposta + "\n");
        ::close(conexao);
    }
}

TInstanciaUnica::~TInstanciaUnica() {
    if (FThread.joinable()) {
        const char c = 'x';
        (void)!::write(FParar[1], &c, 1);
        FThread.join();
    }
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

std::optional<std::string> EnviarAInstancia(const std::string& APasta,
                                            const std::string& ANome,
                                            const std::string& APedido,
                                            int AMs) {
    sockaddr_un endereco{};
    if (!PreencherEndereco(APasta + ANome + ".sock", endereco)) {
        return std::nullopt;
    }
    const auto prazo = std::chrono::steady_clock::now() + std::chrono::milliseconds(AMs);
    // The first copy may still be starting: its socket comes a moment after
    // its lock.
    while (true) {
        const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (s < 0) {
            return std::nullopt;
        }
        if (::connect(s, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) == 0) {
            std::optional<std::string> resposta;
            if (EscreverTudo(s, std::string(kVersaoProtocoloInstancia) + " " + APedido + "\n")) {
                resposta = LerLinha(s, prazo, kMaxResposta);
            }
            ::close(s);
            return resposta;
        }
        ::close(s);
        if (std::chrono::steady_clock::now() >= prazo) {
            return std::nullopt;
        }
        ::usleep(50000);
    }
}

std::string PedidoDaLinha(int AComando) {
    return AComando != 0 ? "ACAO " + std::to_string(AComando) : std::string("MOSTRAR");
}

}  // namespace ljsn
