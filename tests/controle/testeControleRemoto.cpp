#include <atomic>
#include <memory>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include "apoio/uRelogioFalso.h"
#include "comum/uRegex.h"
#include "comum/uTexto.h"
#include "controle/uControleRemoto.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

int PortaBase() {
    return 20000 + static_cast<int>(::getpid() % 200) * 200;
}

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
    // Sends a request on another thread while this one serves the queue.
    std::shared_ptr<httplib::Response> Pedir(
        const std::function<httplib::Result(httplib::Client&)>& APedido) {
        std::shared_ptr<httplib::Response> resultado;
        std::atomic<bool> pronto{false};
        std::thread cliente([&] {
            httplib::Client c("127.0.0.1", FPorta);
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
    std::shared_ptr<httplib::Response> Api(const std::string& ACaminho,
                                           const std::string& ACorpo = "{}",
                                           const std::string& APin = "123456") {
        return Pedir([&](httplib::Client& C) {
            return C.Post(ACaminho, httplib::Headers{{"X-Pin", APin}}, ACorpo, "application/json");
        });
    }

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

// Nine wrong PINs then the right one: accepted. Ten wrong: a minute in which
// even the right PIN is refused, without counting; then it works again.
TEST_F(ControleRemoto, PinETrava) {
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(Api("/api/estado", "{}", "000000")->status, 403);
    }
    EXPECT_EQ(Api("/api/estado")->status, 200);
    for (int i = 0; i < 10; ++i) {
        auto r = Api("/api/estado", "{}", "111111");
        EXPECT_EQ(r->status, 403);
        EXPECT_EQ(r->body, "{\"erro\":\"PIN incorreto\"}");
    }
    EXPECT_EQ(Api("/api/estado")->status, 403);
    EXPECT_EQ(Api("/api/estado", "{}", "")->status, 403);
    FRelogio.Avancar(59000);
    EXPECT_EQ(Api("/api/estado")->status, 403);
    FRelogio.Avancar(2000);
    EXPECT_EQ(Api("/api/estado")->status, 200);
    // A restart does not lift a lockout but does reset the count.
    EXPECT_EQ(Api("/api/estado", "{}", "123457")->status, 403);  // PIN is case- and space-exact
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

// Fifty phones at once: every request answered.
TEST_F(ControleRemoto, CinquentaPedidosSimultaneos) {
    std::atomic<int> ok{0};
    std::atomic<int> prontos{0};
    std::vector<std::thread> clientes;
    for (int i = 0; i < 50; ++i) {
        clientes.emplace_back([&] {
            httplib::Client c("127.0.0.1", FPorta);
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
