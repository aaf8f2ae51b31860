#include "controle/uControleRemoto.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>

#include <httplib.h>
#include <netinet/in.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ambiente/uRede.h"
#include "comum/uFormato.h"
#include "comum/uTexto.h"
#include "recursos/uRecursos.h"

namespace ljsn {

namespace {

// Threads that serve connections: enough that a few idle or slow clients, or
// calls waiting for the main thread, cannot keep the phones out.
constexpr std::size_t kThreads = 32;
constexpr int kSegundosInativo = 5;

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

}  // namespace

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
    : FFila(AFila), FRelogio(ARelogio), FManipulador(std::make_shared<TManipulador>()) {}

TControleRemoto::~TControleRemoto() {
    Parar();
    FManipulador->Comando = nullptr;
}

void TControleRemoto::DefinirOnComando(TEventoComando AComando) {
    FManipulador->Comando = std::move(AComando);
}

bool TControleRemoto::ConferirPin(const std::string& APin) {
    const double agora = FRelogio.Agora();
    std::lock_guard trava(FTravaPin);
    if (agora < FBloqueadoAte) {
        return false;
    }
    if (!FPin.empty() && APin == FPin) {
        FErros = 0;
        return true;
    }
    if (++FErros >= 10) {
        FBloqueadoAte = agora + 60.0 / 86400.0;
        FErros = 0;
    }
    return false;
}

std::string TControleRemoto::Iniciar(int APorta, const std::string& APin) {
    Parar();
    FPin = APin;
    {
        std::lock_guard trava(FTravaPin);
        FErros = 0;
    }
    auto servidor = std::make_unique<httplib::Server>();
    servidor->new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    servidor->set_keep_alive_max_count(1);
    servidor->set_read_timeout(kSegundosInativo, 0);
    servidor->set_write_timeout(kSegundosInativo, 0);
    servidor->set_payload_max_length(kMaxCorpo);
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
    auto requisicao = [this, manipulador](const httplib::Request& AReq, httplib::Response& ARes) {
        ARes.set_header("Connection", "close");
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
        if (!ConferirPin(AReq.get_header_value("X-Pin"))) {
            ResponderErro(ARes, 403, "PIN incorreto");
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
    FServidor = std::move(servidor);
    FPorta = APorta;
    FAtivo.store(true);
    FEscuta = std::thread([this] { FServidor->listen_after_bind(); });
    // stop() only reaches a server that is already running its loop.
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!FServidor->is_running() && std::chrono::steady_clock::now() < limite) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
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

std::string EnderecoCelular(int APorta) {
    const std::string principal = IPLocalPrincipal();
    if (!principal.empty()) {
        return FormatarOuFormato("http://%s:%d", principal, APorta);
    }
    std::vector<std::string> linhas;
    for (const auto& parte : Dividir(IPsLocais(), ",")) {
        const std::string ip = Aparar(parte);
        if (!ip.empty() && !ComecaCom(ip, "127.")) {
            linhas.push_back(FormatarOuFormato("http://%s:%d", ip, APorta));
        }
    }
    return Juntar(linhas, "\r\n");
}

bool PortaEmUso(int APorta) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        return false;
    }
    // As the server binds: address reuse on, so a port in TIME_WAIT is free.
    int sim = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &sim, sizeof sim);
    sockaddr_in endereco{};
    endereco.sin_family = AF_INET;
    endereco.sin_addr.s_addr = htonl(INADDR_ANY);
    endereco.sin_port = htons(static_cast<std::uint16_t>(APorta));
    const bool ocupada = ::bind(s, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) != 0 &&
                         errno == EADDRINUSE;
    ::close(s);
    return ocupada;
}

std::string GerarPin() {
    // A PIN guessable from the time it was made would protect nothing.
    std::string pin;
    while (pin.size() < 6) {
        unsigned char b = 0;
        if (::getrandom(&b, 1, 0) != 1) {
            continue;
        }
        if (b < 250) {  // 250 = 25 x 10: no bias towards low digits
            pin += static_cast<char>('0' + b % 10);
        }
    }
    return pin;
}

}  // namespace ljsn
