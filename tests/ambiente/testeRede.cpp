#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

#include <gtest/gtest.h>

#include "ambiente/uRede.h"
#include "apoio/uServidorFixtures.h"
#include "comum/uRegex.h"

using namespace ljsn;
using namespace ljsn::teste;

TEST(Rede, CodificarURL) {
    struct TCaso {
        const char* Texto;
        const char* Esperado;
    };
    const TCaso casos[] = {{"São Paulo", "S%C3%A3o%20Paulo"},
                           {"a~b_c.d-e", "a~b_c.d-e"},
                           {"a+b&c=d/e?", "a%2Bb%26c%3Dd%2Fe%3F"},
                           {"", ""}};
    for (const auto& c : casos) {
        EXPECT_EQ(CodificarURL(c.Texto), c.Esperado);
    }
}

class BaixarTextoLocal : public testing::Test {
  protected:
    void SetUp() override {
        auto& s = FServidor.Servidor();
        s.Get("/ok", [this](const httplib::Request& r, httplib::Response& resp) {
            FAgente = r.get_header_value("User-Agent");
            resp.set_content("olá mundo", "text/plain; charset=utf-8");
        });
        s.Get("/falta", [](const httplib::Request&, httplib::Response& resp) {
            resp.status = 404;
            resp.set_content("<html><body>Nao achei</body></html>", "text/html");
        });
        s.Get("/mudou",
              [](const httplib::Request&, httplib::Response& resp) { resp.set_redirect("/ok"); });
        s.Get("/latin1", [](const httplib::Request&, httplib::Response& resp) {
            resp.set_content(
                "Not\xED"
                "cias",
                "application/rss+xml");
        });
        FServidor.Iniciar();
    }
    TServidorFixtures FServidor;
    std::string FAgente;
};

TEST_F(BaixarTextoLocal, CorpoComoTexto) {
    EXPECT_EQ(BaixarTexto(FServidor.Url("/ok"), "Agente (+teste)"), "olá mundo");
    EXPECT_EQ(FAgente, "Agente (+teste)");
    EXPECT_EQ(BaixarTexto(FServidor.Url("/ok")), "olá mundo");
    EXPECT_EQ(FAgente, kAgenteUsuario);
}

// The status is not looked at: an error page comes back as text.
TEST_F(BaixarTextoLocal, PaginaDeErroVoltaComoTexto) {
    EXPECT_EQ(BaixarTexto(FServidor.Url("/falta")), "<html><body>Nao achei</body></html>");
}

TEST_F(BaixarTextoLocal, SegueRedirecionamento) {
    EXPECT_EQ(BaixarTexto(FServidor.Url("/mudou")), "olá mundo");
}

TEST_F(BaixarTextoLocal, Latin1ViraUtf8) {
    EXPECT_EQ(BaixarTexto(FServidor.Url("/latin1")), "Notícias");
}

// One stray byte in a UTF-8 feed used to turn the whole feed into mojibake
// ("PromoÃ§Ã£o"): a body declared or detected as UTF-8 keeps its text and only
// the bad byte is replaced; one in another charset is read as Windows-1252.
TEST(Rede, CorpoParaUtf8) {
    const std::string xmlUtf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    const std::string xmlLatin1 = "<?xml version='1.0' encoding='ISO-8859-1'?>";
    struct TCaso {
        const char* Nome;
        std::string Corpo;
        const char* Tipo;
        std::string Esperado;
    };
    const TCaso casos[] = {
        {"Valido", "Promoção – já", "", "Promoção – já"},
        {"DeclaradoNoXml", xmlUtf8 + "Promoção \x96 já", "", xmlUtf8 + "Promoção – já"},
        {"DeclaradoNoCabecalho",
         "Promoção \x96 já",
         "application/rss+xml; charset=UTF-8",
         "Promoção – já"},
        {"DetectadoSemDeclaracao", "Promoção, ação, pão \x96 já", "", "Promoção, ação, pão – já"},
        {"ByteDeControleViraSubstituto",
         xmlUtf8 + "a\x81"
                   "b",
         "",
         xmlUtf8 + "a\uFFFDb"},
        {"SequenciaCortada", xmlUtf8 + "fim \xC3", "", xmlUtf8 + "fim Ã"},
        {"Latin1Declarado",
         xmlLatin1 + "Not\xED"
                     "cias \x96 j\xE1",
         "",
         xmlLatin1 + "Notícias – já"},
        {"Latin1NoCabecalho",
         "Not\xED"
         "cias",
         "text/xml; charset=iso-8859-1",
         "Notícias"},
        {"Latin1SemDeclaracao",
         "Not\xED"
         "cias de S\xE3o Paulo",
         "",
         "Notícias de São Paulo"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Nome);
        EXPECT_EQ(CorpoParaUtf8(c.Corpo, c.Tipo), c.Esperado);
    }
}

// A body past the size cap gives nothing and says why; a refused connection
// is a network failure.
TEST(Rede, FalhaDizPorQue) {
    TServidorFixtures servidor;
    servidor.Servidor().Get("/enorme", [](const httplib::Request&, httplib::Response& AResp) {
        AResp.set_content(std::string(kMaxCorpoBaixado + 1, 'x'), "application/rss+xml");
    });
    servidor.Servidor().Get("/ok", [](const httplib::Request&, httplib::Response& AResp) {
        AResp.set_content("<rss>Promo\xE7\xE3o</rss>", "application/rss+xml; charset=utf-8");
    });
    servidor.Iniciar();
    const TBaixado enorme = Baixar(servidor.Url("/enorme"));
    EXPECT_EQ(enorme.Falha, TFalhaBaixar::fbGrandeDemais);
    EXPECT_EQ(enorme.Texto, "");
    EXPECT_EQ(Baixar("http://127.0.0.1:" + std::to_string(PortaLivre()) + "/").Falha,
              TFalhaBaixar::fbRede);
    const TBaixado ok = Baixar(servidor.Url("/ok"));
    EXPECT_EQ(ok.Falha, TFalhaBaixar::fbNenhuma);
    // Declared UTF-8 but Latin-1 bytes: each bad byte read on its own.
    EXPECT_EQ(ok.Texto, "<rss>Promoção</rss>");
}

TEST(Rede, FalhasDaoTextoVazio) {
    EXPECT_EQ(BaixarTexto("http://127.0.0.1:1/nada"), "");
    EXPECT_EQ(BaixarTexto("nao e uma url"), "");
    EXPECT_EQ(BaixarTexto("file:///etc/passwd"), "");
}

// A server that accepts and never answers ends in empty text once 5 s pass
// without data, not in a hang.
TEST(Rede, ServidorMudoDaVazioDepoisDoLimite) {
    TServidorMudo mudo;
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_EQ(BaixarTexto("http://127.0.0.1:" + std::to_string(mudo.Porta()) + "/"), "");
    const auto decorrido = std::chrono::steady_clock::now() - inicio;
    EXPECT_GE(decorrido, std::chrono::seconds(4));
    EXPECT_LT(decorrido, std::chrono::seconds(15));
}

TEST(Rede, EnderecosLocais) {
    const TRegex ipv4("^\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}$");
    const std::string principal = IPLocalPrincipal();
    if (!principal.empty()) {
        EXPECT_TRUE(ipv4.Contem(principal)) << principal;
        EXPECT_NE(principal, "0.0.0.0");
    }
    const TRegex lista("^(\\d{1,3}(\\.\\d{1,3}){3})(, \\d{1,3}(\\.\\d{1,3}){3})*$");
    const std::string todos = IPsLocais();
    if (!todos.empty()) {
        EXPECT_TRUE(lista.Contem(todos)) << todos;
        EXPECT_EQ(todos.find("127."), std::string::npos);
    }
    if (!principal.empty()) {
        EXPECT_NE(todos.find(principal), std::string::npos);
    }
}

// A body over the cap, a transfer cut by its total limit, and one abandoned
// on request all give empty text, never half a document.
class BaixarTextoCortado : public testing::Test {
  protected:
    void SetUp() override {
        auto& s = FServidor.Servidor();
        s.Get("/enorme", [](const httplib::Request&, httplib::Response& AResp) {
            AResp.set_content(std::string(kMaxCorpoBaixado + 1, 'a'), "text/plain");
        });
        // One byte a second: never 5 s of silence, never done.
        s.Get("/gotejando", [this](const httplib::Request&, httplib::Response& AResp) {
            AResp.set_chunked_content_provider(
                "text/plain", [this](std::size_t, httplib::DataSink& ASaida) {
                    std::unique_lock trava(FTrava);
                    FSinal.wait_for(trava, std::chrono::seconds(1), [this] { return FFim; });
                    return !FFim && ASaida.write("x", 1);
                });
        });
        s.Get("/preso", [this](const httplib::Request&, httplib::Response& AResp) {
            std::unique_lock trava(FTrava);
            FChegou = true;
            FSinal.notify_all();
            FSinal.wait(trava, [this] { return FFim; });
            AResp.set_content("tarde demais", "text/plain");
        });
        FServidor.Iniciar();
    }
    void TearDown() override {
        {
            std::lock_guard trava(FTrava);
            FFim = true;
        }
        FSinal.notify_all();
    }
    TServidorFixtures FServidor;
    std::mutex FTrava;
    std::condition_variable FSinal;
    bool FChegou = false;
    bool FFim = false;
};

TEST_F(BaixarTextoCortado, MaiorQueOLimite) {
    EXPECT_EQ(BaixarTexto(FServidor.Url("/enorme")), "");
}

TEST_F(BaixarTextoCortado, GotejamentoParaNoLimiteTotal) {
    TOpcoesBaixar opcoes;
    opcoes.LimiteTotalSegundos = 3;
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_EQ(BaixarTexto(FServidor.Url("/gotejando"), kAgenteUsuario, opcoes), "");
    const auto decorrido = std::chrono::steady_clock::now() - inicio;
    EXPECT_GE(decorrido, std::chrono::seconds(2));
    EXPECT_LT(decorrido, std::chrono::seconds(8));
}

TEST_F(BaixarTextoCortado, PedidoDeParadaAbandona) {
    std::stop_source parar;
    std::string resultado = "nao voltou";
    std::thread baixando([&] {
        TOpcoesBaixar opcoes;
        opcoes.Parar = parar.get_token();
        resultado = BaixarTexto(FServidor.Url("/preso"), kAgenteUsuario, opcoes);
    });
    {
        std::unique_lock trava(FTrava);
        ASSERT_TRUE(FSinal.wait_for(trava, std::chrono::seconds(10), [this] { return FChegou; }));
    }
    const auto inicio = std::chrono::steady_clock::now();
    parar.request_stop();
    baixando.join();
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::milliseconds(2500));
    EXPECT_EQ(resultado, "");
}
