#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ambiente/uPastas.h"
#include "apoio/uPastaTemporaria.h"
#include "apoio/uRelogioFalso.h"
#include "comum/uFormato.h"
#include "comum/uRegex.h"
#include "comum/uTexto.h"
#include "controle/uControleRemoto.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

int PortaBase() {
    return 20000 + static_cast<int>(::getpid() % 200) * 200;
}

using TRelogioFirme = std::chrono::steady_clock;

sockaddr_in EnderecoIPv4(const std::string& AIp, int APorta) {
    sockaddr_in e{};
    e.sin_family = AF_INET;
    e.sin_port = htons(static_cast<std::uint16_t>(APorta));
    ::inet_pton(AF_INET, AIp.c_str(), &e.sin_addr);
    return e;
}

// A connection to the server from AOrigem; Linux routes all of 127/8 to the
// loopback, so each such address is a client of its own. -1 on failure.
int Conectar(int APorta, const std::string& AOrigem) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in origem = EnderecoIPv4(AOrigem, 0);
    const sockaddr_in destino = EnderecoIPv4("127.0.0.1", APorta);
    if (s < 0 || ::bind(s, reinterpret_cast<const sockaddr*>(&origem), sizeof origem) != 0 ||
        ::connect(s, reinterpret_cast<const sockaddr*>(&destino), sizeof destino) != 0) {
        if (s >= 0) {
            ::close(s);
        }
        return -1;
    }
    return s;
}

// Reads and drops whatever the server sends until it closes the connection;
// when it did, or nothing if ALimite came first.
std::optional<TRelogioFirme::time_point> EsperarFechamento(int ASocket,
                                                           TRelogioFirme::time_point ALimite) {
    for (;;) {
        const auto resta =
            std::chrono::ceil<std::chrono::milliseconds>(ALimite - TRelogioFirme::now()).count();
        // Past the limit it still looks once: a close that came meanwhile counts.
        pollfd p{ASocket, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::max<long long>(resta, 0))) <= 0) {
            return std::nullopt;
        }
        char lixo[512];
        if (::recv(ASocket, lixo, sizeof lixo, 0) <= 0) {
            return TRelogioFirme::now();
        }
    }
}

// Sockets closed when the test ends, however it ends.
struct TSockets {
    std::vector<int> Lista;
    TSockets() = default;
    TSockets(const TSockets&) = delete;
    TSockets& operator=(const TSockets&) = delete;
    ~TSockets() {
        for (const int s : Lista) {
            ::close(s);
        }
    }
};

// A byte every 200 ms on each socket until destroyed: clients that are never
// idle for long and never finish their requests.
class TGotejador {
  public:
    explicit TGotejador(std::vector<int> ASockets)
        : FThread([this, s = std::move(ASockets)] {
              while (!FParar.load()) {
                  for (const int socket : s) {
                      ::send(socket, "a", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(200));
              }
          }) {}
    TGotejador(const TGotejador&) = delete;
    TGotejador& operator=(const TGotejador&) = delete;
    ~TGotejador() {
        FParar.store(true);
        FThread.join();
    }

  private:
    std::atomic<bool> FParar{false};
    std::thread FThread;
};

// "127.0.0.N".
std::string Loopback(int AN) {
    return "127.0." + std::to_string(AN / 256) + "." + std::to_string(AN % 256);
}

// Slow clients as an attacker runs them: APorEndereco connections from each
// address, each trickling a byte every 200 ms and reconnected as soon as the
// server closes it, until destroyed. Counts how many stayed open at once.
class TAtaqueLento {
  public:
    TAtaqueLento(int APorta, std::vector<std::string> AEnderecos, int APorEndereco)
        : FThread([this, APorta, e = std::move(AEnderecos), APorEndereco] {
              struct TVaga {
                  std::string Origem;
                  int Socket = -1;
                  TRelogioFirme::time_point Desde;
              };
              std::vector<TVaga> vagas;
              for (const auto& origem : e) {
                  for (int i = 0; i < APorEndereco; ++i) {
                      vagas.push_back({origem, -1, TRelogioFirme::now()});
                  }
              }
              while (!FParar.load()) {
                  const auto agora = TRelogioFirme::now();
                  int abertas = 0;
                  for (auto& v : vagas) {
                      if (v.Socket >= 0) {
                          char lixo[64];
                          const ssize_t n = ::recv(v.Socket, lixo, sizeof lixo, MSG_DONTWAIT);
                          if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                              ::close(v.Socket);
                              v.Socket = -1;
                          }
                      }
                      if (v.Socket < 0) {
                          v.Socket = Conectar(APorta, v.Origem);
                          v.Desde = agora;
                          if (v.Socket >= 0) {
                              ::send(v.Socket, "GET / HTTP/1.1\r\nX-Lento: ", 25, MSG_NOSIGNAL);
                          }
                          continue;
                      }
                      ::send(v.Socket, "a", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
                      // Open for a while: the server admitted it.
                      abertas += agora - v.Desde > std::chrono::milliseconds(500) ? 1 : 0;
                  }
                  FMaxAbertas.store(std::max(FMaxAbertas.load(), abertas));
                  std::this_thread::sleep_for(std::chrono::milliseconds(200));
              }
              for (const auto& v : vagas) {
                  if (v.Socket >= 0) {
                      ::close(v.Socket);
                  }
              }
          }) {}
    TAtaqueLento(const TAtaqueLento&) = delete;
    TAtaqueLento& operator=(const TAtaqueLento&) = delete;
    ~TAtaqueLento() {
        FParar.store(true);
        FThread.join();
    }
    int MaxAbertas() const { return FMaxAbertas.load(); }

  private:
    std::atomic<bool> FParar{false};
    std::atomic<int> FMaxAbertas{0};
    std::thread FThread;
};

// The server on a free port of 127.0.0.1 with a recording handler. The test
// thread is the main thread: it drains the queue the API calls go through.
class ControleRemoto : public testing::Test {
  protected:
    void SetUp() override {
        FControle.DefinirOnComando([this](const std::string& AAcao, const TJson& ADados) {
            FAcoes.push_back(AAcao);
            FDados.push_back(ADados);
            if (AAcao == "falha") {
                throw std::runtime_error("Digite o que o locutor vai falar.");
            }
            if (AAcao == "estado" || AAcao == "comando") {
                return TJson{{"situacao", "parado"}, {"acao", AAcao}}.dump();
            }
            return std::string();
        });
        // Lockouts are logged: into a folder of this test's own.
        DefinirPastaDados(FPastaDados.Caminho());
        // Each test runs in a process of its own, several at once: start the
        // search somewhere of our own so two processes rarely meet.
        const int base = PortaBase();
        for (int porta = base; porta < base + 200; ++porta) {
            if (FControle.Iniciar(porta, "123456").empty()) {
                FPorta = porta;
                break;
            }
        }
        ASSERT_TRUE(FControle.Ativo());
    }
    // Sends a request from AOrigem on another thread while this one serves
    // the queue; null when no reply came.
    std::shared_ptr<httplib::Response> Pedir(
        const std::function<httplib::Result(httplib::Client&)>& APedido,
        const std::string& AOrigem = "127.0.0.1") {
        std::shared_ptr<httplib::Response> resultado;
        std::atomic<bool> pronto{false};
        std::thread cliente([&] {
            httplib::Client c("127.0.0.1", FPorta);
            c.set_interface(AOrigem);
            c.set_read_timeout(15, 0);
            auto r = APedido(c);
            if (r) {
                resultado = std::make_shared<httplib::Response>(*r);
            }
            pronto.store(true);
            FFila.Acordar();
        });
        while (!pronto.load()) {
            FFila.EsperarAte(std::chrono::steady_clock::now() + std::chrono::seconds(1));
            FFila.Drenar();
        }
        cliente.join();
        return resultado;
    }
    // Runs AClientes on threads of their own while this thread serves the
    // queue, until all of them returned.
    void Rodar(const std::vector<std::function<void()>>& AClientes) {
        std::atomic<std::size_t> prontos{0};
        std::vector<std::thread> threads;
        for (const auto& cliente : AClientes) {
            threads.emplace_back([&, cliente] {
                cliente();
                ++prontos;
                FFila.Acordar();
            });
        }
        while (prontos.load() < threads.size()) {
            FFila.EsperarAte(std::chrono::steady_clock::now() + std::chrono::seconds(1));
            FFila.Drenar();
        }
        for (auto& t : threads) {
            t.join();
        }
    }
    std::shared_ptr<httplib::Response> Api(const std::string& ACaminho,
                                           const std::string& ACorpo = "{}",
                                           const std::string& APin = "123456",
                                           const std::string& AOrigem = "127.0.0.1") {
        return Pedir(
            [&](httplib::Client& C) {
                return C.Post(
                    ACaminho, httplib::Headers{{"X-Pin", APin}}, ACorpo, "application/json");
            },
            AOrigem);
    }

    TPastaTemporaria FPastaDados;
    TFilaSimples FFila;
    TRelogioFalso FRelogio;
    TControleRemoto FControle{FFila, FRelogio};
    int FPorta = 0;
    std::vector<std::string> FAcoes;
    std::vector<TJson> FDados;
};

}  // namespace

TEST_F(ControleRemoto, Rotas) {
    struct TCaso {
        const char* Caminho;
        int Status;
        const char* Tipo;
        const char* Cache;
    };
    const TCaso casos[] = {
        {"/", 200, "text/html; charset=utf-8", "no-store"},
        {"/INDEX.HTML", 200, "text/html; charset=utf-8", "no-store"},
        {"/manifest.webmanifest", 200, "application/manifest+json; charset=utf-8", "max-age=86400"},
        {"/favicon.ico", 200, "image/png", "max-age=86400"},
        {"/Icone-512.png", 200, "image/png", "max-age=86400"},
        {"/icone-maskable-512.png", 200, "image/png", "max-age=86400"},
        {"/apple-touch-icon-precomposed.png", 200, "image/png", "max-age=86400"},
        {"/nada", 404, "", ""},
        {"/api", 404, "", ""},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Caminho);
        auto r = Pedir([&](httplib::Client& C) { return C.Get(c.Caminho); });
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, c.Status);
        // A 404 gets the library's plain-text type; the others are ours.
        EXPECT_EQ(r->get_header_value("Content-Type"), c.Status == 404 ? "text/plain" : c.Tipo);
        EXPECT_EQ(r->get_header_value("Cache-Control"), c.Cache);
        EXPECT_EQ(r->get_header_value("Connection"), "close");
        EXPECT_EQ(r->headers.count("Connection"), 1u);
        if (c.Status == 404) {
            EXPECT_EQ(r->body, "Nao encontrado");
        }
    }
    auto pagina = Pedir([](httplib::Client& C) { return C.Get("/"); });
    EXPECT_NE(pagina->body.find("Loja Sonorante"), std::string::npos);
    auto icone = Pedir([](httplib::Client& C) { return C.Get("/favicon.ico"); });
    EXPECT_EQ(icone->body.substr(1, 3), "PNG");
    auto manifesto = Pedir([](httplib::Client& C) { return C.Get("/manifest.webmanifest"); });
    EXPECT_EQ(TJson::parse(manifesto->body)["short_name"], "Loja Sonorante");
}

// Phones that offer brotli or gzip still get plain replies: compressing every
// poll costs the box more than the LAN saves.
TEST_F(ControleRemoto, RespostasSemCompressao) {
    const httplib::Headers oferta{{"Accept-Encoding", "br, gzip, deflate"}, {"X-Pin", "123456"}};
    auto pagina = Pedir([&](httplib::Client& C) { return C.Get("/", oferta); });
    auto estado = Pedir([&](httplib::Client& C) {
        return C.Post("/api/estado", oferta, "{}", "application/json");
    });
    for (const auto& r : {pagina, estado}) {
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 200);
        EXPECT_FALSE(r->has_header("Content-Encoding")) << r->get_header_value("Content-Encoding");
    }
    EXPECT_NE(pagina->body.find("Loja Sonorante"), std::string::npos);
}

TEST_F(ControleRemoto, ApiPassaPeloManipulador) {
    auto r = Api("/api/ESTADO", "{\"completo\":true}");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(r->get_header_value("Content-Type"), "application/json; charset=utf-8");
    EXPECT_EQ(r->get_header_value("Cache-Control"), "no-store");
    EXPECT_EQ(FAcoes.back(), "estado");
    EXPECT_EQ(FDados.back(), (TJson{{"completo", true}}));

    r = Api("/api/", "{}");
    EXPECT_EQ(r->status, 404);
    EXPECT_EQ(r->body, "{\"erro\":\"Comando desconhecido\"}");
    r = Api("/api/falha");
    EXPECT_EQ(r->status, 400);
    EXPECT_EQ(TJson::parse(r->body)["erro"], "Digite o que o locutor vai falar.");
}

// Whatever the body, the handler gets an object: arrays, words and empty
// bodies become {}; Latin-1 bytes are read as text.
TEST_F(ControleRemoto, CorposEstranhos) {
    struct TCaso {
        const char* Nome;
        std::string Corpo;
        TJson Esperado;
    };
    const TCaso casos[] = {
        {"Lista", "[1,2,3]", TJson::object()},
        {"Palavras", "tocar agora", TJson::object()},
        {"Vazio", "", TJson::object()},
        {"Latin1", "{\"texto\":\"Promo\xE7\xE3o\"}", TJson{{"texto", "Promoção"}}},
        {"JsonQuebrado", "{\"acao\":", TJson::object()},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Nome);
        auto r = Api("/api/comando", c.Corpo);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 200);
        EXPECT_EQ(FDados.back(), c.Esperado);
    }
    // A GET with a query string and no body: the query is the request text.
    auto r = Pedir([](httplib::Client& C) {
        return C.Get("/api/estado?completo=true", httplib::Headers{{"X-Pin", "123456"}});
    });
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(FDados.back(), TJson::object());
}

TEST_F(ControleRemoto, CorpoGrandeDemaisRecusado) {
    auto r = Api("/api/comando", std::string(TControleRemoto::kMaxCorpo + 1, 'x'));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 413);
    EXPECT_TRUE(TJson::parse(r->body).contains("erro"));
    EXPECT_TRUE(FAcoes.empty());
}

// Wrong PINs count per client address: ten in a row lock that address out
// for a minute (429, even with the right PIN, without counting), and only its
// own right PIN resets its count. Each case uses addresses of its own.
TEST_F(ControleRemoto, PinETravaPorEndereco) {
    constexpr const char* kCerto = "123456";
    struct TPasso {
        int Vezes;
        bool Outro;  // from the case's second address
        const char* Pin;
        std::uint32_t AntesMs;  // the clock moves on before the request
        int Status;
    };
    struct TCaso {
        const char* Nome;
        std::vector<TPasso> Passos;
    };
    const TCaso casos[] = {
        {"NoveErrosEOCertoEntra",
         {{9, false, "000000", 0, 403},
          {1, false, kCerto, 0, 200},
          {9, false, "000000", 0, 403},
          {1, false, kCerto, 0, 200}}},
        {"DezErrosTravamSoQuemErrou",
         {{10, false, "111111", 0, 403},
          {1, false, kCerto, 0, 429},
          {1, false, "", 0, 429},
          {1, true, kCerto, 0, 200},
          {1, true, "111111", 0, 403}}},
        {"AcertoDeOutroNaoZera",
         {{9, false, "000000", 0, 403},
          {1, true, kCerto, 0, 200},
          {1, false, "000000", 0, 403},
          {1, false, kCerto, 0, 429}}},
        {"TravaDuraUmMinuto",
         {{10, false, "123457", 0, 403},
          {1, false, kCerto, 59000, 429},
          {1, false, kCerto, 1000, 200},
          {9, false, "123457", 0, 403},
          {1, false, kCerto, 0, 200}}},
        {"ErrosAntigosEsquecidos",
         {{9, false, "000000", 0, 403},
          {1, false, "000000", 60000, 403},
          {1, false, kCerto, 0, 200}}},
        {"PinExato",
         {{1, false, "12345", 0, 403},
          {1, false, "1234567", 0, 403},
          {1, false, "123455", 0, 403},
          {1, false, "", 0, 403},
          {1, false, kCerto, 0, 200}}},
    };
    int n = 1;
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Nome);
        const std::string enderecos[] = {Loopback(256 * n + 2), Loopback(256 * n + 3)};
        ++n;
        // Each case in a minute of its own: the budget all addresses share
        // is not what these cases are about.
        FRelogio.Avancar(TGuardaPin::kJanelaMs);
        for (const auto& p : c.Passos) {
            FRelogio.Avancar(p.AntesMs);
            for (int i = 0; i < p.Vezes; ++i) {
                auto r = Api("/api/estado", "{}", p.Pin, enderecos[p.Outro ? 1 : 0]);
                ASSERT_TRUE(r);
                EXPECT_EQ(r->status, p.Status) << "PIN \"" << p.Pin << "\"";
                if (p.Status == 403) {
                    EXPECT_EQ(r->body, "{\"erro\":\"PIN incorreto\"}");
                } else if (p.Status == 429) {
                    EXPECT_EQ(r->body, "{\"erro\":\"Muitas tentativas. Aguarde um minuto.\"}");
                }
            }
        }
    }
    // One line per lockout, naming the address.
    std::vector<std::string> bloqueios;
    for (const auto& linha : DividirLinhas(LerLogs(FPastaDados.Caminho()))) {
        if (linha.find("[CELULAR]") != std::string::npos &&
            linha.find("bloqueado por um minuto") != std::string::npos) {
            bloqueios.push_back(linha);
        }
    }
    ASSERT_EQ(bloqueios.size(), 3u);
    EXPECT_NE(bloqueios[0].find("10 PINs errados seguidos de 127.0.2.2: bloqueado por um minuto"),
              std::string::npos)
        << bloqueios[0];
    EXPECT_NE(bloqueios[1].find(" 127.0.3.2:"), std::string::npos) << bloqueios[1];
    EXPECT_NE(bloqueios[2].find(" 127.0.4.2:"), std::string::npos) << bloqueios[2];
}

// The attack that found a six-digit PIN in seconds: 16 threads rotating over
// a thousand loopback addresses, one wrong PIN each time. Only the budget all
// addresses share is tried; every other request is refused with 429 unseen,
// while the phone that knows the PIN is answered throughout.
TEST_F(ControleRemoto, PinNaoCaiComMuitosEnderecos) {
    constexpr int kThreads = 16;
    constexpr int kPorThread = 120;
    ASSERT_EQ(Api("/api/estado")->status, 200);  // the shop's phone, known from now on
    std::atomic<int> errados{0};
    std::atomic<int> recusados{0};
    std::atomic<int> outros{0};
    std::atomic<bool> atacando{true};
    std::atomic<int> celularOk{0};
    std::atomic<int> celularFalhou{0};
    std::vector<std::function<void()>> clientes;
    for (int t = 0; t < kThreads; ++t) {
        clientes.push_back([&, t] {
            for (int i = 0; i < kPorThread; ++i) {
                httplib::Client c("127.0.0.1", FPorta);
                c.set_interface(Loopback(513 + (t + i * kThreads) % 1000));
                c.set_read_timeout(15, 0);
                const std::string pin = FormatarOuFormato("%06d", t * kPorThread + i);
                auto r = c.Post(
                    "/api/estado", httplib::Headers{{"X-Pin", pin}}, "{}", "application/json");
                const int status = r ? r->status : 0;
                (status == 403 ? errados : status == 429 ? recusados : outros)++;
            }
        });
    }
    std::atomic<int> terminados{0};
    for (auto& c : clientes) {
        c = [&, ataque = c] {
            ataque();
            if (++terminados == kThreads) {
                atacando.store(false);
            }
        };
    }
    clientes.push_back([&] {
        while (atacando.load()) {
            httplib::Client c("127.0.0.1", FPorta);
            c.set_read_timeout(15, 0);
            auto r = c.Post(
                "/api/estado", httplib::Headers{{"X-Pin", "123456"}}, "{}", "application/json");
            (r && r->status == 200 ? celularOk : celularFalhou)++;
        }
    });
    Rodar(clientes);
    EXPECT_EQ(errados.load(), TGuardaPin::kMaxErrosPorMinuto);
    EXPECT_EQ(recusados.load(), kThreads * kPorThread - TGuardaPin::kMaxErrosPorMinuto);
    EXPECT_EQ(outros.load(), 0);
    EXPECT_GT(celularOk.load(), 0);
    EXPECT_EQ(celularFalhou.load(), 0);
    // Once the minute is over, its summary is logged.
    FRelogio.Avancar(TGuardaPin::kJanelaMs);
    FControle.Manter();
    const std::string log = LerLogs(FPastaDados.Caminho());
    EXPECT_NE(log.find(FormatarOuFormato("%d PIN(s) errado(s) de %d endereco(s) no ultimo minuto; "
                                         "%d pedido(s) de enderecos desconhecidos recusado(s)",
                                         TGuardaPin::kMaxErrosPorMinuto,
                                         TGuardaPin::kMaxErrosPorMinuto,
                                         recusados.load())),
              std::string::npos)
        << log;
}

TEST_F(ControleRemoto, PinVazioRecusaTudo) {
    FControle.Parar();
    ASSERT_EQ(FControle.Iniciar(FPorta, ""), "");
    EXPECT_EQ(Api("/api/estado", "{}", "")->status, 403);
}

// A main thread that does not answer for 6 s: 503, and the command still runs.
TEST_F(ControleRemoto, MainThreadOcupadaDa503EOComandoRodaDepois) {
    std::shared_ptr<httplib::Response> r;
    std::thread cliente([&] {
        httplib::Client c("127.0.0.1", FPorta);
        c.set_read_timeout(15, 0);
        auto resposta = c.Post("/api/comando",
                               httplib::Headers{{"X-Pin", "123456"}},
                               "{\"acao\":\"parar\"}",
                               "application/json");
        if (resposta) {
            r = std::make_shared<httplib::Response>(*resposta);
        }
    });
    cliente.join();  // the queue is not drained meanwhile
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 503);
    EXPECT_EQ(TJson::parse(r->body)["erro"], "O programa não respondeu. Tente de novo.");
    EXPECT_TRUE(FAcoes.empty());
    FFila.Drenar();
    ASSERT_EQ(FAcoes.size(), 1u);
    EXPECT_EQ(FDados.back()["acao"], "parar");
}

// A job still queued when the server is destroyed never reaches the handler.
TEST(ControleRemotoFim, TrabalhoAtrasadoNaoChegaAoManipuladorDestruido) {
    TFilaSimples fila;
    TRelogioFalso relogio;
    int chamadas = 0;
    int porta = 0;
    {
        TControleRemoto controle(fila, relogio);
        controle.DefinirOnComando([&](const std::string&, const TJson&) {
            ++chamadas;
            return std::string("{}");
        });
        for (porta = PortaBase();
             porta < PortaBase() + 200 && !controle.Iniciar(porta, "1").empty();
             ++porta) {
        }
        std::thread cliente([&] {
            httplib::Client c("127.0.0.1", porta);
            c.set_read_timeout(1, 0);  // gives up before the server's 5 s
            c.Post("/api/estado", httplib::Headers{{"X-Pin", "1"}}, "{}", "application/json");
        });
        cliente.join();
        while (fila.Pendentes() == 0) {
            std::this_thread::yield();
        }
    }
    fila.Drenar();
    EXPECT_EQ(chamadas, 0);
}

TEST_F(ControleRemoto, PortaOcupada) {
    TControleRemoto outro(FFila, FRelogio);
    const std::string erro = outro.Iniciar(FPorta, "123456");
    EXPECT_TRUE(TRegex("^Não foi possível usar a porta \\d+ \\(.+\\)\\. Escolha outra porta\\.$")
                    .Contem(erro))
        << erro;
    EXPECT_FALSE(outro.Ativo());
    FControle.Parar();
    EXPECT_FALSE(FControle.Ativo());
    EXPECT_EQ(outro.Iniciar(FPorta, "123456"), "");
    EXPECT_TRUE(outro.Ativo());
}

// Fifty phones at once, each on its own address: every request answered.
TEST_F(ControleRemoto, CinquentaPedidosSimultaneos) {
    std::atomic<int> ok{0};
    std::atomic<int> prontos{0};
    std::vector<std::thread> clientes;
    for (int i = 0; i < 50; ++i) {
        clientes.emplace_back([&, i] {
            httplib::Client c("127.0.0.1", FPorta);
            c.set_interface(Loopback(i + 2));
            c.set_read_timeout(15, 0);
            auto r = c.Post(
                "/api/estado", httplib::Headers{{"X-Pin", "123456"}}, "{}", "application/json");
            ok += (r && r->status == 200) ? 1 : 0;
            ++prontos;
            FFila.Acordar();
        });
    }
    while (prontos.load() < 50) {
        FFila.EsperarAte(std::chrono::steady_clock::now() + std::chrono::seconds(1));
        FFila.Drenar();
    }
    for (auto& t : clientes) {
        t.join();
    }
    EXPECT_EQ(ok.load(), 50);
}

// A client that connects and says nothing is dropped after a few seconds.
TEST_F(ControleRemoto, ClienteMudoEhDerrubado) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in endereco{};
    endereco.sin_family = AF_INET;
    endereco.sin_port = htons(static_cast<std::uint16_t>(FPorta));
    endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco), 0);
    char b = 0;
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_LE(::recv(s, &b, 1, 0), 0);  // returns when the server closes
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::seconds(10));
    ::close(s);
}

// Slow clients: each connection has 5 s from its arrival to deliver its whole
// request, however steadily it trickles bytes in, and one address gets at
// most 8 connections at once (the rest are closed on arrival). Meanwhile
// another address is served as usual.
TEST_F(ControleRemoto, ClientesLentosNaoTomamOServidor) {
    constexpr int kLentos = 20;
    const auto inicio = TRelogioFirme::now();
    TSockets lentos;
    for (int i = 0; i < kLentos; ++i) {
        const int s = Conectar(FPorta, "127.0.0.1");
        ASSERT_GE(s, 0);
        ::send(s, "GET / HTTP/1.1\r\nX-Lento: ", 25, MSG_NOSIGNAL);
        lentos.Lista.push_back(s);
    }
    std::optional<TGotejador> gotejador(std::in_place, lentos.Lista);
    std::vector<int> abertos;
    for (const int s : lentos.Lista) {
        if (!EsperarFechamento(s, inicio + std::chrono::milliseconds(1500))) {
            abertos.push_back(s);
        }
    }
    EXPECT_EQ(abertos.size(), static_cast<std::size_t>(TControleRemoto::kMaxConexoesPorEndereco));

    // The phones on other addresses do not notice; this address is full.
    auto r = Api("/api/estado", "{}", "123456", "127.0.0.2");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_FALSE(Api("/api/estado", "{}", "123456", "127.0.0.1"));

    for (const int s : abertos) {
        const auto fim = EsperarFechamento(s, inicio + std::chrono::seconds(8));
        ASSERT_TRUE(fim) << "a trickling connection was still open after 8 s";
        EXPECT_GE(*fim - inicio, std::chrono::milliseconds(TControleRemoto::kPrazoPedidoMs - 500));
    }
    gotejador.reset();
    r = Api("/api/estado");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
}

// Addresses not known lately share 64 of the 80 places: the 65th of their
// connections is closed on arrival, whatever its address, while a phone that
// presented the right PIN is still served; once the idle ones time out,
// newcomers are served again.
TEST_F(ControleRemoto, LimiteTotalDeConexoes) {
    constexpr auto kPrazo = std::chrono::milliseconds(2000);
    constexpr int kDesconhecidas = TControleRemoto::kMaxConexoes - TControleRemoto::kReservadas;
    FControle.Parar();
    FControle.DefinirPrazoPedido(kPrazo);
    ASSERT_EQ(FControle.Iniciar(FPorta, "123456"), "");
    ASSERT_EQ(Api("/api/estado", "{}", "123456", "127.0.0.200")->status, 200);
    const auto inicio = TRelogioFirme::now();
    TSockets mudos;
    for (int i = 0; i < kDesconhecidas; ++i) {
        const int s = Conectar(FPorta, Loopback(2 + i / TControleRemoto::kMaxConexoesPorEndereco));
        ASSERT_GE(s, 0);
        mudos.Lista.push_back(s);
    }
    const int excesso = Conectar(FPorta, "127.0.1.1");
    ASSERT_GE(excesso, 0);
    const auto recusa = EsperarFechamento(excesso, inicio + std::chrono::milliseconds(1000));
    EXPECT_TRUE(recusa) << "a connection past the shared places was not closed at once";
    ::close(excesso);
    auto r = Api("/api/estado", "{}", "123456", "127.0.0.200");
    ASSERT_TRUE(r) << "the known phone found no place";
    EXPECT_EQ(r->status, 200);
    for (const int s : mudos.Lista) {
        const auto fim = EsperarFechamento(s, inicio + kPrazo + std::chrono::seconds(3));
        ASSERT_TRUE(fim);
        EXPECT_GE(*fim - inicio, kPrazo - std::chrono::milliseconds(300));
    }
    r = Api("/api/estado", "{}", "123456", "127.0.1.1");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
}

// Slow clients from 8 addresses used to take all the places (8 each), and
// the phone got no answer at all; from 30 addresses too. Now the phone that
// presented its PIN is answered at every poll while they keep reconnecting.
TEST_F(ControleRemoto, ClientesLentosDeMuitosEnderecosNaoCalamOCelular) {
    FControle.Parar();
    FControle.DefinirPrazoPedido(std::chrono::milliseconds(1500));
    ASSERT_EQ(FControle.Iniciar(FPorta, "123456"), "");
    ASSERT_EQ(Api("/api/estado")->status, 200);
    for (const int atacantes : {8, 30}) {
        SCOPED_TRACE(std::to_string(atacantes) + " attacking addresses");
        std::vector<std::string> enderecos;
        for (int i = 0; i < atacantes; ++i) {
            enderecos.push_back(Loopback(1024 + 256 * (atacantes / 10) + i));
        }
        TAtaqueLento ataque(FPorta, enderecos, TControleRemoto::kMaxConexoesPorEndereco);
        int respondidos = 0;
        constexpr int kPedidos = 30;
        for (int i = 0; i < kPedidos; ++i) {
            auto r = Api("/api/estado");
            respondidos += r && r->status == 200 ? 1 : 0;
            // A phone polls now and then; meanwhile the attack reconnects.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        EXPECT_EQ(respondidos, kPedidos);
        EXPECT_GE(ataque.MaxAbertas(),
                  TControleRemoto::kMaxConexoes - TControleRemoto::kReservadas -
                      TControleRemoto::kMaxConexoesPorEndereco)
            << "the attack never held the shared places";
    }
}

// Under the common limit of 1024 open files, 1100 idle connections (from
// other processes, five addresses) leave the programme able to open files,
// and the phones are still served.
TEST_F(ControleRemoto, MilConexoesNaoEsgotamOsArquivos) {
    constexpr int kConexoes = 1100;
    constexpr int kProcessos = 4;  // each stays far below any limit of its own
    rlimit antes{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &antes), 0);
    ASSERT_GE(antes.rlim_max, rlim_t{1024});
    rlimit baixo{1024, antes.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &baixo), 0);
    struct TRestaurar {
        rlimit Limite;
        ~TRestaurar() { ::setrlimit(RLIMIT_NOFILE, &Limite); }
    } restaurar{antes};

    // Everything the children use is made before they fork: after the fork
    // they make only system calls.
    std::vector<sockaddr_in> origens;
    for (int i = 1; i <= 5; ++i) {
        origens.push_back(EnderecoIPv4(Loopback(i), 0));
    }
    const sockaddr_in destino = EnderecoIPv4("127.0.0.1", FPorta);
    struct TFilho {
        pid_t Pid = -1;
        int Contagem = -1;  // read end: how many connections it made
        int Fim = -1;       // write end: closing it lets the child go
    };
    std::vector<TFilho> filhos;
    for (int f = 0; f < kProcessos; ++f) {
        int contagem[2];
        int fim[2];
        ASSERT_EQ(::pipe2(contagem, O_CLOEXEC), 0);
        ASSERT_EQ(::pipe2(fim, O_CLOEXEC), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Only the parent may hold the write ends that let the children go.
            ::close(fim[1]);
            for (const auto& outro : filhos) {
                ::close(outro.Fim);
            }
            ::setrlimit(RLIMIT_NOFILE, &antes);
            int feitas = 0;
            for (int i = f; i < kConexoes; i += kProcessos) {
                const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
                const sockaddr_in& origem = origens[static_cast<std::size_t>(i) % origens.size()];
                if (s < 0 || ::bind(s, reinterpret_cast<const sockaddr*>(&origem), sizeof origem)) {
                    break;
                }
                // A backlog that never drains must not hang the test.
                if (::connect(s, reinterpret_cast<const sockaddr*>(&destino), sizeof destino) !=
                    0) {
                    pollfd p{s, POLLOUT, 0};
                    int erro = 1;
                    socklen_t tamanho = sizeof erro;
                    if (errno != EINPROGRESS || ::poll(&p, 1, 3000) != 1 ||
                        ::getsockopt(s, SOL_SOCKET, SO_ERROR, &erro, &tamanho) != 0 || erro != 0) {
                        continue;
                    }
                }
                ++feitas;
            }
            if (::write(contagem[1], &feitas, sizeof feitas) != sizeof feitas) {
                ::_exit(2);
            }
            char b = 0;
            while (::read(fim[0], &b, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(contagem[1]);
        ::close(fim[0]);
        filhos.push_back({pid, contagem[0], fim[1]});
    }
    int total = 0;
    for (const auto& f : filhos) {
        pollfd p{f.Contagem, POLLIN, 0};
        int feitas = 0;
        if (::poll(&p, 1, 60000) == 1 && ::read(f.Contagem, &feitas, sizeof feitas) > 0) {
            total += feitas;
        }
    }
    EXPECT_EQ(total, kConexoes);

    std::vector<int> arquivos;
    for (int i = 0; i < 100; ++i) {
        arquivos.push_back(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    }
    EXPECT_EQ(std::count(arquivos.begin(), arquivos.end(), -1), 0)
        << "files could not be opened with the connections held";
    for (const int a : arquivos) {
        if (a >= 0) {
            ::close(a);
        }
    }
    auto r = Api("/api/estado", "{}", "123456", "127.0.0.9");
    EXPECT_TRUE(r && r->status == 200);

    for (const auto& f : filhos) {
        ::close(f.Fim);
        ::close(f.Contagem);
        int estado = 0;
        ::waitpid(f.Pid, &estado, 0);
        EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0) << estado;
    }
}

namespace {

// Becomes a user with no threads to spare and starts a server; exits with 0
// when Iniciar reported the failure, with its message on standard error.
[[noreturn]] void IniciarSemThreads() {
    const rlimit nenhum{0, 0};
    if (::setgid(65534) != 0 || ::setuid(65534) != 0 || ::setrlimit(RLIMIT_NPROC, &nenhum) != 0) {
        std::_Exit(3);
    }
    TFilaSimples fila;
    TRelogioFalso relogio;
    TControleRemoto controle(fila, relogio);
    const std::string erro = controle.Iniciar(0, "123456");
    std::fprintf(stderr, "%s\n", erro.c_str());
    std::_Exit(erro.empty() || controle.Ativo() ? 1 : 0);
}

}  // namespace

// When the listening thread cannot be started, Iniciar says why and the
// server is not reported active (in a child process: the test's own threads
// are untouched).
TEST(ControleRemotoFim, SemThreadParaEscutarIniciarDaErro) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can become a user with no threads to spare";
    }
    EXPECT_EXIT(IniciarSemThreads(),
                testing::ExitedWithCode(0),
                "iniciar o controle pelo celular \\(.+\\)\\.");
}

TEST(ControleRemotoFuncoes, PinEEndereco) {
    const TRegex seis("^\\d{6}$");
    std::set<std::string> vistos;
    for (int i = 0; i < 200; ++i) {
        const std::string pin = GerarPin();
        EXPECT_TRUE(seis.Contem(pin)) << pin;
        vistos.insert(pin);
    }
    EXPECT_GT(vistos.size(), 195u);  // not derived from a clock
    const std::string endereco = EnderecoCelular(8090);
    if (!endereco.empty()) {
        EXPECT_TRUE(
            TRegex("^http://\\d+\\.\\d+\\.\\d+\\.\\d+:8090(\\r\\nhttp://\\S+)*$").Contem(endereco))
            << endereco;
    }
}
