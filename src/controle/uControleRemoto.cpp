#include "controle/uControleRemoto.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <set>
#include <system_error>
#include <vector>

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ambiente/uLog.h"
#include "ambiente/uRede.h"
#include "ambiente/uServidorHttp.h"
#include "comum/uFormato.h"
#include "comum/uTexto.h"
#include "recursos/uRecursos.h"

namespace ljsn {

namespace {

using TRelogioFirme = std::chrono::steady_clock;

// How long one write may wait for a client to take the reply.
constexpr auto kEsperaEscrita = std::chrono::milliseconds(5000);

void ResponderJson(httplib::Response& ARes, int AStatus, const std::string& ACorpo) {
    ARes.status = AStatus;
    ARes.set_header("Cache-Control", "no-store");
    ARes.set_content(ACorpo, "application/json; charset=utf-8");
}

void ResponderErro(httplib::Response& ARes, int AStatus, const std::string& AMensagem) {
    ResponderJson(ARes, AStatus, TJson{{"erro", AMensagem}}.dump());
}

struct TRota {
    const char* Caminho;
    const char* Recurso;
    const char* Tipo;
};

constexpr TRota kRotas[] = {
    {"/manifest.webmanifest", "CEL_MANIFEST", "application/manifest+json; charset=utf-8"},
    {"/icone-192.png", "CEL_ICONE192", "image/png"},
    {"/favicon.ico", "CEL_ICONE192", "image/png"},
    {"/icone-512.png", "CEL_ICONE512", "image/png"},
    {"/icone-maskable-512.png", "CEL_MASKABLE", "image/png"},
    {"/apple-touch-icon.png", "CEL_APPLE", "image/png"},
    {"/apple-touch-icon-precomposed.png", "CEL_APPLE", "image/png"},
};

// The peer's address as text ("" when the client is already gone).
std::string EnderecoDoPar(int ASocket, int& APorta) {
    sockaddr_storage endereco{};
    socklen_t tamanho = sizeof endereco;
    APorta = 0;
    if (::getpeername(ASocket, reinterpret_cast<sockaddr*>(&endereco), &tamanho) != 0) {
        return {};
    }
    char texto[INET6_ADDRSTRLEN] = {};
    if (endereco.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&endereco);
        ::inet_ntop(AF_INET, &v4->sin_addr, texto, sizeof texto);
        APorta = ntohs(v4->sin_port);
    } else if (endereco.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&endereco);
        ::inet_ntop(AF_INET6, &v6->sin6_addr, texto, sizeof texto);
        APorta = ntohs(v6->sin6_port);
    }
    return texto;
}

// Waits until the socket is ready for AEventos, or false once ATe has passed.
bool EsperarSocket(int ASocket, short AEventos, TRelogioFirme::time_point ATe) {
    for (;;) {
        const auto resta =
            std::chrono::ceil<std::chrono::milliseconds>(ATe - TRelogioFirme::now()).count();
        if (resta <= 0) {
            return false;
        }
        pollfd p{ASocket, AEventos, 0};
        const int pronto = ::poll(&p, 1, static_cast<int>(std::min<long long>(resta, INT_MAX)));
        if (pronto > 0) {
            return true;  // an error or a hang-up too: the read or write reports it
        }
        if (pronto < 0 && errno != EINTR) {
            return false;
        }
    }
}

// A connection as the library reads and writes it. Every read must be done
// by the request's deadline, however slowly the bytes trickle in: a timeout
// per read would let one byte a second hold a worker for ever.
class TFluxoConexao final : public httplib::Stream {
  public:
    TFluxoConexao(int ASocket,
                  const std::string& AEndereco,
                  int APorta,
                  TRelogioFirme::time_point APrazo)
        : FSocket(ASocket), FEndereco(AEndereco), FPorta(APorta), FPrazo(APrazo) {}

    bool is_readable() const override {
        return FInicio < FFim || EsperarSocket(FSocket, POLLIN, FPrazo);
    }
    bool is_writable() const override {
        return EsperarSocket(FSocket, POLLOUT, TRelogioFirme::now() + kEsperaEscrita);
    }
    ssize_t read(char* ADestino, size_t ATamanho) override {
        if (FInicio == FFim) {
            if (!EsperarSocket(FSocket, POLLIN, FPrazo)) {
                return -1;
            }
            ssize_t lidos = 0;
            do {
                lidos = ::recv(FSocket, FBuffer.data(), FBuffer.size(), 0);
            } while (lidos < 0 && errno == EINTR);
            if (lidos <= 0) {
                return lidos;
            }
            FInicio = 0;
            FFim = static_cast<std::size_t>(lidos);
        }
        const std::size_t n = std::min(ATamanho, FFim - FInicio);
        std::memcpy(ADestino, FBuffer.data() + FInicio, n);
        FInicio += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char* AOrigem, size_t ATamanho) override {
        if (!is_writable()) {
            return -1;
        }
        ssize_t escritos = 0;
        do {
            escritos = ::send(FSocket, AOrigem, ATamanho, MSG_NOSIGNAL);
        } while (escritos < 0 && errno == EINTR);
        return escritos;
    }
    void get_remote_ip_and_port(std::string& AIp, int& APorta) const override {
        AIp = FEndereco;
        APorta = FPorta;
    }
    void get_local_ip_and_port(std::string& AIp, int& APorta) const override {
        sockaddr_in local{};
        socklen_t tamanho = sizeof local;
        AIp.clear();
        APorta = 0;
        if (::getsockname(FSocket, reinterpret_cast<sockaddr*>(&local), &tamanho) == 0 &&
            local.sin_family == AF_INET) {
            char texto[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &local.sin_addr, texto, sizeof texto);
            AIp = texto;
            APorta = ntohs(local.sin_port);
        }
    }
    int socket() const override { return FSocket; }

  private:
    int FSocket;
    std::string FEndereco;
    int FPorta;
    TRelogioFirme::time_point FPrazo;
    std::array<char, 4096> FBuffer{};
    std::size_t FInicio = 0;
    std::size_t FFim = 0;
};

// The library's task queue turned into a gate: its accept loop "queues" each
// new connection by running the job at once, and the job (the server's
// process_and_close_socket) admits the connection or closes it there and then.
class TFilaNaHora final : public httplib::TaskQueue {
  public:
    explicit TFilaNaHora(std::function<void()> AEncerrar) : FEncerrar(std::move(AEncerrar)) {}
    void enqueue(std::function<void()> ATarefa) override { ATarefa(); }
    void shutdown() override { FEncerrar(); }

  private:
    std::function<void()> FEncerrar;
};

}  // namespace

// The library's server with a gate in front of its workers. The library
// accepts; each connection is then checked against the caps on the accepting
// thread, so a refused one is closed at once and never waits for or holds a
// worker. Admitted ones are served by threads started as needed, at most one
// per admitted connection, so none waits behind a slow client either.
class TControleRemoto::TServidor final : public httplib::Server {
  public:
    // AConhecido: whether an address presented the right PIN lately.
    TServidor(std::chrono::milliseconds APrazo, std::function<bool(const std::string&)> AConhecido)
        : FPrazo(APrazo), FConhecido(std::move(AConhecido)) {
        new_task_queue = [this] { return new TFilaNaHora([this] { Encerrar(); }); };
    }
    ~TServidor() override { Encerrar(); }
    TServidor(const TServidor&) = delete;
    TServidor& operator=(const TServidor&) = delete;

    // Listening thread, when its loop ends; again from the destructor. Cuts
    // the connections still open and waits for the workers.
    void Encerrar() {
        std::vector<std::thread> threads;
        {
            std::lock_guard trava(FTrava);
            FEncerrando = true;
            for (const TConexao& c : FEsperando) {
                ::close(c.Socket);
                Liberar(c);
            }
            FEsperando.clear();
            for (const int s : FAbertos) {
                ::shutdown(s, SHUT_RDWR);
            }
            threads.swap(FThreads);
        }
        FSinal.notify_all();
        for (auto& t : threads) {
            t.join();
        }
    }

  private:
    struct TConexao {
        int Socket = -1;
        std::string Endereco;
        int Porta = 0;
        bool Conhecido = false;
        TRelogioFirme::time_point Prazo;
    };

    // Accepting thread, for each new connection.
    bool process_and_close_socket(int ASocket) override {
        TConexao c;
        c.Socket = ASocket;
        c.Prazo = TRelogioFirme::now() + FPrazo;
        c.Endereco = EnderecoDoPar(ASocket, c.Porta);
        c.Conhecido = !c.Endereco.empty() && FConhecido(c.Endereco);
        std::lock_guard trava(FTrava);
        int& doEndereco = FPorEndereco[c.Endereco];
        if (FEncerrando || c.Endereco.empty() || FTotal >= kMaxConexoes ||
            (!c.Conhecido && FDesconhecidas >= kMaxConexoes - kReservadas) ||
            doEndereco >= kMaxConexoesPorEndereco) {
            if (doEndereco == 0) {
                FPorEndereco.erase(c.Endereco);
            }
            ::close(ASocket);
            return false;
        }
        if (FEsperando.size() >= FOciosos && FThreads.size() < kMaxConexoes) {
            try {
                FThreads.emplace_back([this] { Trabalhar(); });
            } catch (const std::system_error&) {
                // A worker already running takes it when free.
            }
        }
        if (FThreads.empty()) {
            FPorEndereco.erase(c.Endereco);
            ::close(ASocket);
            return false;
        }
        ++doEndereco;
        ++FTotal;
        FDesconhecidas += c.Conhecido ? 0 : 1;
        FEsperando.push_back(std::move(c));
        FSinal.notify_one();
        return true;
    }

    void Trabalhar() {
        std::unique_lock trava(FTrava);
        for (;;) {
            ++FOciosos;
            FSinal.wait(trava, [this] { return FEncerrando || !FEsperando.empty(); });
            --FOciosos;
            if (FEsperando.empty()) {
                return;
            }
            const TConexao c = std::move(FEsperando.front());
            FEsperando.pop_front();
            FAbertos.insert(c.Socket);
            trava.unlock();
            try {
                TFluxoConexao fluxo(c.Socket, c.Endereco, c.Porta, c.Prazo);
                bool fechada = false;
                process_request(fluxo, true, fechada, nullptr);
            } catch (...) {  // NOLINT(bugprone-empty-catch): the connection just ends
            }
            trava.lock();
            // Closed under the lock, so Encerrar never shuts down a reused number.
            FAbertos.erase(c.Socket);
            ::shutdown(c.Socket, SHUT_RDWR);
            ::close(c.Socket);
            Liberar(c);
        }
    }

    // FTrava held.
    void Liberar(const TConexao& AConexao) {
        --FTotal;
        FDesconhecidas -= AConexao.Conhecido ? 0 : 1;
        auto it = FPorEndereco.find(AConexao.Endereco);
        if (it != FPorEndereco.end() && --it->second <= 0) {
            FPorEndereco.erase(it);
        }
    }

    const std::chrono::milliseconds FPrazo;
    const std::function<bool(const std::string&)> FConhecido;
    std::mutex FTrava;
    std::condition_variable FSinal;
    std::deque<TConexao> FEsperando;                    // guarded by FTrava
    std::set<int> FAbertos;                             // being served; guarded by FTrava
    std::unordered_map<std::string, int> FPorEndereco;  // guarded by FTrava
    int FTotal = 0;                                     // guarded by FTrava
    int FDesconhecidas = 0;             // from addresses not known lately; guarded by FTrava
    std::size_t FOciosos = 0;           // guarded by FTrava
    bool FEncerrando = false;           // guarded by FTrava
    std::vector<std::thread> FThreads;  // guarded by FTrava
};

// One API call in transit, shared by the connection thread that waits for it
// and the main-thread job that answers it: whichever lets go last frees it,
// so a job that runs after the wait gave up still writes into a live record.
struct TControleRemoto::TPedido {
    std::string Acao;
    std::string Entrada;
    std::string Resposta;
    std::string Erro;
    std::mutex Trava;
    std::condition_variable Sinal;
    bool Pronto = false;  // guarded by Trava
};

// The handler as queued jobs reach it; emptied when the server goes, so a
// job still queued at exit never calls into a programme that is gone.
struct TControleRemoto::TManipulador {
    TEventoComando Comando;
};

TControleRemoto::TControleRemoto(TFilaPrincipal& AFila, TRelogio& ARelogio)
    : FFila(AFila),
      FRelogio(ARelogio),
      FManipulador(std::make_shared<TManipulador>()),
      FGuarda(ARelogio) {}

TControleRemoto::~TControleRemoto() {
    Parar();
    FManipulador->Comando = nullptr;
}

void TControleRemoto::DefinirOnComando(TEventoComando AComando) {
    FManipulador->Comando = std::move(AComando);
}

std::string TControleRemoto::Iniciar(int APorta, const std::string& APin) {
    Parar();
    // A restart does not lift a lockout but does reset the counts.
    FGuarda.DefinirPin(APin);
    auto servidor = std::make_unique<TServidor>(FPrazoPedido, [this](const std::string& AEndereco) {
        return FGuarda.Conhecido(AEndereco);
    });
    servidor->set_payload_max_length(kMaxCorpo);
    ResponderSemCompressao(*servidor);
    // The library's default also sets SO_REUSEPORT, which would let a second
    // copy bind the same port silently and share the phones' requests.
    auto escuta = std::make_shared<int>(-1);
    servidor->set_socket_options([escuta](int ASocket) {
        int sim = 1;
        ::setsockopt(ASocket, SOL_SOCKET, SO_REUSEADDR, &sim, sizeof sim);
        *escuta = ASocket;
    });
    // Statuses the library itself answers (a body too large, a request it
    // cannot read) get a JSON message too.
    servidor->set_error_handler([](const httplib::Request&, httplib::Response& ARes) {
        if (ARes.body.empty()) {
            ResponderErro(ARes,
                          ARes.status,
                          ARes.status == 413 ? "Pedido grande demais." : "Pedido inválido.");
        }
    });

    std::weak_ptr<TManipulador> manipulador = FManipulador;
    // Every reply closes its connection; the library says so in the headers.
    auto requisicao = [this, manipulador](const httplib::Request& AReq, httplib::Response& ARes) {
        FGuarda.Manter();
        const std::string caminho = MinusculasAZ(AReq.path);
        if (caminho == "/" || caminho == "/index.html") {
            ARes.status = 200;
            ARes.set_header("Cache-Control", "no-store");
            ARes.set_content(std::string(Recurso("CONTROLE")), "text/html; charset=utf-8");
            return;
        }
        for (const TRota& rota : kRotas) {
            if (caminho == rota.Caminho) {
                ARes.status = 200;
                ARes.set_header("Cache-Control", "max-age=86400");
                ARes.set_content(std::string(Recurso(rota.Recurso)), rota.Tipo);
                return;
            }
        }
        if (!ComecaCom(caminho, "/api/")) {
            ARes.status = 404;
            ARes.body = "Nao encontrado";
            return;
        }
        switch (FGuarda.Conferir(AReq.get_header_value("X-Pin"), AReq.remote_addr)) {
            case TGuardaPin::TResultado::trCerto:
                break;
            case TGuardaPin::TResultado::trErrado:
                ResponderErro(ARes, 403, "PIN incorreto");
                return;
            case TGuardaPin::TResultado::trBloqueado:
                // Not 403: the phone must keep its PIN and try again later.
                ResponderErro(ARes, 429, "Muitas tentativas. Aguarde um minuto.");
                return;
        }
        auto pedido = std::make_shared<TPedido>();
        pedido->Acao = caminho.substr(5);
        pedido->Entrada = GarantirUtf8(AReq.body);
        if (pedido->Entrada.empty()) {
            const auto interrogacao = AReq.target.find('?');
            if (interrogacao != std::string::npos) {
                pedido->Entrada = GarantirUtf8(AReq.target.substr(interrogacao + 1));
            }
        }
        {
            auto m = manipulador.lock();
            if (!m || !m->Comando) {
                ResponderErro(ARes, 503, "Programa ocupado");
                return;
            }
        }
        FFila.Postar([pedido, manipulador] {
            auto m = manipulador.lock();
            try {
                TJson dados = TJson::parse(pedido->Entrada, nullptr, false);
                if (!dados.is_object()) {
                    dados = TJson::object();
                }
                if (m && m->Comando) {
                    pedido->Resposta = m->Comando(pedido->Acao, dados);
                }
            } catch (const std::exception& e) {
                pedido->Erro = e.what();
                if (pedido->Erro.empty()) {
                    pedido->Erro = "Erro";
                }
            }
            {
                std::lock_guard trava(pedido->Trava);
                pedido->Pronto = true;
            }
            pedido->Sinal.notify_all();
        });
        std::unique_lock trava(pedido->Trava);
        if (!pedido->Sinal.wait_for(
                trava, std::chrono::milliseconds(kEsperaMs), [&] { return pedido->Pronto; })) {
            ResponderErro(ARes, 503, "O programa não respondeu. Tente de novo.");
            return;
        }
        if (!pedido->Erro.empty()) {
            ResponderErro(ARes, 400, pedido->Erro);
        } else if (!pedido->Resposta.empty()) {
            ResponderJson(ARes, 200, pedido->Resposta);
        } else {
            ResponderErro(ARes, 404, "Comando desconhecido");
        }
    };
    // One handler for every method; registered per method (not as pre-routing)
    // so the body size limit applies before the body is read.
    servidor->Get(".*", requisicao);
    servidor->Post(".*", requisicao);
    servidor->Put(".*", requisicao);
    servidor->Patch(".*", requisicao);
    servidor->Delete(".*", requisicao);
    servidor->Options(".*", requisicao);

    errno = 0;
    if (!servidor->bind_to_port("0.0.0.0", APorta)) {
        const int codigo = errno;
        // NOLINTNEXTLINE(concurrency-mt-unsafe): main thread
        const std::string sistema = codigo != 0 ? std::strerror(codigo) : "porta indisponível";
        return FormatarOuFormato(
            "Não foi possível usar a porta %d (%s). Escolha outra porta.", APorta, sistema);
    }
    // The library listens with a backlog of 5: a burst of phones (or a
    // shop's worth of polls at once) would see connections reset. Listening
    // again on the same socket only raises the backlog.
    if (*escuta >= 0) {
        ::listen(*escuta, 256);
    }
    auto terminou = std::make_shared<std::atomic<bool>>(false);
    TServidor& s = *servidor;
    try {
        FEscuta = std::thread([&s, terminou] {
            s.listen_after_bind();
            terminou->store(true);
        });
    } catch (const std::system_error& e) {
        // The library closes its socket only once listening.
        ::close(*escuta);
        return FormatarOuFormato("Não foi possível iniciar o controle pelo celular (%s).",
                                 std::string(e.what()));
    }
    // stop() only reaches a server that is already running its loop; a loop
    // that ended at once has closed its socket.
    while (!s.is_running() && !terminou->load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!s.is_running()) {
        FEscuta.join();
        return "Não foi possível iniciar o controle pelo celular (o servidor parou ao começar).";
    }
    FServidor = std::move(servidor);
    FPorta = APorta;
    FAtivo.store(true);
    return {};
}

void TControleRemoto::Parar() {
    if (!FServidor) {
        return;
    }
    FServidor->stop();
    if (FEscuta.joinable()) {
        FEscuta.join();
    }
    FServidor.reset();
    FAtivo.store(false);
}

}  // namespace ljsn
