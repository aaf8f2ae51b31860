#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <sys/wait.h>

#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "apoio/uPastaTemporaria.h"
#include "apoio/uProcesso.h"
#include "apoio/uRelogioFalso.h"
#include "apoio/uVozFalsa.h"
#include "locutor/uLocutor.h"
#include "locutor/uVozEdge.h"

using namespace ljsn;
using namespace ljsn::teste;
using TJsonTeste = nlohmann::json;

namespace {

// The bridge with a "browser" that starts and never loads anything: the
// test's HTTP client plays the page. Time limits run on the fake clock.
class PonteDeVoz : public testing::Test {
  protected:
    void SetUp() override {
        DefinirPastaDados(FPasta.Caminho());
        DefinirHoraDoLog([this] { return FRelogio.Agora(); });
        EscreverArquivo(FPasta / "navegador", "#!/bin/sh\nexec sleep 300\n");
        std::filesystem::permissions(FPasta / "navegador", std::filesystem::perms::owner_all);
        ::setenv("LJSN_EDGE", (FPasta / "navegador").c_str(), 1);
        TVozEdge::DefinirRelogio(&FRelogio);
    }
    void TearDown() override {
        TVozEdge::Finalizar();
        TVozEdge::DefinirRelogio(nullptr);
        DefinirHoraDoLog(nullptr);
        ::unsetenv("LJSN_EDGE");
    }
    TVozEdge& Ponte() { return TVozEdge::Instancia(); }
    httplib::Client Pagina() {
        httplib::Client c("127.0.0.1", Ponte().Porta());
        c.set_read_timeout(15, 0);
        return c;
    }
    // One long poll as the page makes it.
    TJsonTeste Comando(int ASeq, const std::string& APagina = "pagina1") {
        auto r = Pagina().Get("/cmd?t=" + Ponte().Token() + "&seq=" + std::to_string(ASeq) +
                              "&pagina=" + APagina);
        EXPECT_TRUE(r);
        EXPECT_EQ(r->status, 200);
        EXPECT_EQ(r->get_header_value("Cache-Control"), "no-store");
        return TJsonTeste::parse(r->body);
    }
    void Evento(const TJsonTeste& AEvento) {
        auto r = Pagina().Post("/evento?t=" + Ponte().Token(), AEvento.dump(), "text/plain");
        ASSERT_TRUE(r);
        EXPECT_EQ(r->body, "{}");
    }
    std::string Log() const { return LerLogs(FPasta.Caminho()); }
    TPastaTemporaria FPasta;
    TRelogioFalso FRelogio;
};

}  // namespace

// A text travels to the page with its numbers; the page's reports move the
// state; a report for an older command changes nothing.
TEST_F(PonteDeVoz, FalarEReportar) {
    Ponte().Falar("Olá, loja!", "", 10, -10, 80);
    ASSERT_GE(Ponte().Porta(), TVozEdge::kPrimeiraPorta);
    EXPECT_NE(Log().find("voz natural pronta (porta " + std::to_string(Ponte().Porta()) + ")"),
              std::string::npos);
    EXPECT_EQ(Ponte().Estado(), TEstadoVozEdge::evEsperando);
    const TJsonTeste c = Comando(0);
    EXPECT_EQ(c["seq"], 1);
    EXPECT_EQ(c["acao"], "falar");
    EXPECT_EQ(c["texto"], "Olá, loja!");
    EXPECT_EQ(c["voz"], "");
    EXPECT_DOUBLE_EQ(c["taxa"].get<double>(), 3.0);
    EXPECT_DOUBLE_EQ(c["tom"].get<double>(), 0.5);
    EXPECT_DOUBLE_EQ(c["volume"].get<double>(), 0.8);

    Evento({{"seq", 0}, {"tipo", "inicio"}, {"voz", "Velha"}});
    EXPECT_EQ(Ponte().Estado(), TEstadoVozEdge::evEsperando);
    Evento({{"seq", 1}, {"tipo", "inicio"}, {"voz", "Microsoft Francisca"}});
    EXPECT_EQ(Ponte().Estado(), TEstadoVozEdge::evFalando);
    EXPECT_EQ(Ponte().VozUsada(), "Microsoft Francisca");
    // A page that comes late adopts the number without speaking again.
    const TJsonTeste tarde = Comando(0, "pagina1");
    EXPECT_EQ(tarde["seq"], 1);
    EXPECT_EQ(tarde["acao"], "");
    EXPECT_EQ(tarde["texto"], "Olá, loja!");
    Evento({{"seq", 1}, {"tipo", "fim"}});
    EXPECT_EQ(Ponte().Estado(), TEstadoVozEdge::evTerminou);

    Ponte().Falar("Devagar", "Microsoft Antônio", -10, 0, 100);
    const TJsonTeste d = Comando(1);
    EXPECT_EQ(d["seq"], 2);
    EXPECT_NEAR(d["taxa"].get<double>(), 1.0 / 3, 1e-9);
    EXPECT_EQ(d["voz"], "Microsoft Antônio");
    Evento({{"seq", 2}, {"tipo", "erro"}, {"erro", "vozes online indisponíveis (sem internet?)"}});
    EXPECT_EQ(Ponte().Estado(), TEstadoVozEdge::evErro);
    EXPECT_EQ(Ponte().UltimoErro(), "voz natural: vozes online indisponíveis (sem internet?)");
}

// Cancelling while speaking sends "cancelar"; cancelling when idle sends
// nothing, so the page's next poll just times out after 10 s with its own
// number; a new text wakes a waiting poll at once.
TEST_F(PonteDeVoz, CancelarELongaEspera) {
    Ponte().Falar("Um", "", 0, 0, 100);
    EXPECT_EQ(Comando(0)["seq"], 1);
    Ponte().Cancelar();
    EXPECT_EQ(Ponte().Estado(), TEstadoVozEdge::evParado);
    const TJsonTeste c = Comando(1);
    EXPECT_EQ(c["seq"], 2);
    EXPECT_EQ(c["acao"], "cancelar");
    EXPECT_FALSE(c.contains("texto"));
    Ponte().Cancelar();  // idle: nothing
    const auto inicio = std::chrono::steady_clock::now();
    const TJsonTeste nada = Comando(2);
    EXPECT_EQ(nada, (TJsonTeste{{"seq", 2}, {"acao", ""}}));
    EXPECT_GE(std::chrono::steady_clock::now() - inicio, std::chrono::milliseconds(9500));

    auto espera = std::async(std::launch::async, [&] { return Comando(2); });
    ASSERT_EQ(espera.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    Ponte().Falar("Dois", "", 0, 0, 100);
    ASSERT_EQ(espera.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(espera.get()["texto"], "Dois");
}

// Two pages: the second is told to close while the first polled within
// 15 s; after that the newcomer takes over.
TEST_F(PonteDeVoz, DuasPaginas) {
    Ponte().Falar("Um", "", 0, 0, 100);
    EXPECT_EQ(Comando(0, "a")["seq"], 1);
    EXPECT_EQ(Comando(0, "b"), (TJsonTeste{{"fechar", true}}));
    EXPECT_NE(Log().find("[VOZ NATURAL] pagina de voz repetida fechada (só uma fala por vez)"),
              std::string::npos);
    FRelogio.Avancar(15001);
    EXPECT_EQ(Comando(0, "b")["seq"], 1);
    EXPECT_EQ(Comando(0, "a"), (TJsonTeste{{"fechar", true}}));
}

// Without the token, with another origin, too large, or to nowhere: refused.
TEST_F(PonteDeVoz, PedidosRecusados) {
    ASSERT_TRUE(Ponte().Iniciar());
    auto p = Pagina();
    const std::string token = Ponte().Token();
    struct TCaso {
        const char* Nome;
        httplib::Result Resposta;
        int Status;
    };
    std::string outro = token;
    outro.back() = outro.back() == 'a' ? 'b' : 'a';
    TCaso casos[] = {
        {"semToken", p.Get("/"), 403},
        {"tokenErrado", p.Get("/?t=" + outro), 403},
        {"tokenMaisLongo", p.Get("/?t=" + token + "0"), 403},
        {"outraOrigem",
         p.Post("/evento?t=" + token, {{"Origin", "http://exemplo.com"}}, "{}", "text/plain"),
         403},
        {"grandeDemais",
         p.Post("/vozes?t=" + token, std::string(TVozEdge::kMaxCorpo + 1, 'x'), "text/plain"),
         413},
        {"caminhoDesconhecido", p.Get("/outro?t=" + token), 404},
        // The browser offers compression; the page comes plain all the same.
        {"pagina", p.Get("/?t=" + token, {{"Accept-Encoding", "br, gzip, deflate"}}), 200},
    };
    for (auto& c : casos) {
        ASSERT_TRUE(c.Resposta) << c.Nome;
        EXPECT_EQ(c.Resposta->status, c.Status) << c.Nome;
        EXPECT_EQ(c.Resposta->get_header_value("Cache-Control"), "no-store") << c.Nome;
    }
    EXPECT_EQ(casos[0].Resposta->body, "Proibido");
    EXPECT_EQ(casos[5].Resposta->body, "Nao encontrado");
    EXPECT_NE(casos[6].Resposta->body.find("<title>Loja Sonorante</title>"), std::string::npos);
    EXPECT_EQ(casos[6].Resposta->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_FALSE(casos[6].Resposta->has_header("Content-Encoding"));
    // The page's own origin is welcome.
    auto proprio = p.Post("/vozes?t=" + token,
                          {{"Origin", "http://127.0.0.1:" + std::to_string(Ponte().Porta())}},
                          R"(["Microsoft Thalita", "", 3, "Microsoft Antônio"])",
                          "text/plain");
    ASSERT_TRUE(proprio);
    EXPECT_EQ(proprio->status, 200);
    EXPECT_EQ(Ponte().Vozes(),
              (std::vector<std::string>{"Microsoft Thalita", "Microsoft Antônio"}));
    EXPECT_EQ(TVozEdge::VozesComPrefixo(),
              (std::vector<std::string>{"Voz natural: Microsoft Antônio",
                                        "Voz natural: Microsoft Thalita"}));
}

// The time limits, on the fake clock: 20 s without a start report; 150 ms a
// character plus 30 s of speaking without an end report.
TEST_F(PonteDeVoz, LimitesDeTempo) {
    Ponte().Falar("Sem resposta", "", 0, 0, 100);
    FRelogio.Avancar(20000);
    EXPECT_EQ(Ponte().Estado(), TEstadoVozEdge::evEsperando);
    FRelogio.Avancar(1);
    EXPECT_EQ(Ponte().Estado(), TEstadoVozEdge::evErro);
    EXPECT_EQ(Ponte().UltimoErro(), "a voz natural não respondeu");

    Ponte().Falar(std::string(100, 'a'), "", 0, 0, 100);
    Evento({{"seq", 2}, {"tipo", "inicio"}, {"voz", "V"}});
    FRelogio.Avancar(45000);
    EXPECT_EQ(Ponte().Estado(), TEstadoVozEdge::evFalando);
    FRelogio.Avancar(1);
    EXPECT_EQ(Ponte().Estado(), TEstadoVozEdge::evErro);
    EXPECT_EQ(Ponte().UltimoErro(), "a fala travou");
}

// A browser whose page went silent for 30 s is replaced on the next start,
// its whole process group ended; the bridge's end ends the browser too.
TEST_F(PonteDeVoz, NavegadorSilenciosoEhReaberto) {
    ASSERT_TRUE(Ponte().Iniciar());
    const pid_t primeiro = Ponte().ProcessoNavegador();
    ASSERT_GT(primeiro, 0);
    EXPECT_EQ(::getpgid(primeiro), primeiro);
    FRelogio.Avancar(20000);
    ASSERT_TRUE(Ponte().Iniciar());
    EXPECT_EQ(Ponte().ProcessoNavegador(), primeiro);  // not silent for 30 s yet
    FRelogio.Avancar(10001);
    ASSERT_TRUE(Ponte().Iniciar());
    const pid_t segundo = Ponte().ProcessoNavegador();
    EXPECT_NE(segundo, primeiro);
    EXPECT_NE(::kill(primeiro, 0), 0);
    EXPECT_NE(Log().find("a voz natural parou de responder: reabrindo"), std::string::npos);

    // A dead browser is relaunched at once.
    ::kill(segundo, SIGKILL);
    ::waitpid(segundo, nullptr, 0);
    ASSERT_TRUE(Ponte().Iniciar());
    const pid_t terceiro = Ponte().ProcessoNavegador();
    EXPECT_NE(terceiro, segundo);
    TVozEdge::Finalizar();
    EXPECT_NE(::kill(terceiro, 0), 0);
}

namespace {

// An announcer on the bridge, the scripted local voice as its fallback.
class LocutorNaPonte : public PonteDeVoz {
  protected:
    void TearDown() override {
        FLocutor.Cancelar();
        PonteDeVoz::TearDown();
    }
    void Tick(int AVezes = 1) {
        for (int i = 0; i < AVezes; ++i) {
            FRelogio.Avancar(100);
            FLocutor.Processar(100);
        }
    }
    TFabricaVozFalsa FFabrica{FRelogio};
    TLocutor FLocutor{FFabrica, FRelogio};
};

}  // namespace

// The music is down before the page gets the text and comes back only after
// the page reported the end.
TEST_F(LocutorNaPonte, AbaixaAntesESobeDepois) {
    FLocutor.DefinirNomeVoz("Voz natural: Microsoft Francisca");
    FLocutor.DefinirVolumeFundo(20);
    FLocutor.Anunciar("Atenção, clientes.", TTipoFala::tfChamada);
    while (FLocutor.Fase() != TFaseLocutor::flFalando) {
        EXPECT_EQ(Ponte().Estado(), TEstadoVozEdge::evParado);  // nothing handed over yet
        Tick();
        ASSERT_LT(FRelogio.Tique() - 0xFFFF0000u, 10000u);
    }
    EXPECT_DOUBLE_EQ(FLocutor.Fator(), 0.2);
    const TJsonTeste c = Comando(0);
    EXPECT_EQ(c["texto"], "Atenção, clientes.");
    EXPECT_EQ(c["voz"], "Microsoft Francisca");
    Evento({{"seq", 1}, {"tipo", "inicio"}, {"voz", "Microsoft Francisca"}});
    Tick(30);
    EXPECT_EQ(FLocutor.Fase(), TFaseLocutor::flFalando);
    EXPECT_DOUBLE_EQ(FLocutor.Fator(), 0.2);
    Evento({{"seq", 1}, {"tipo", "fim"}});
    Tick();
    EXPECT_EQ(FLocutor.Fase(), TFaseLocutor::flSubindo);
    Tick(25);
    EXPECT_DOUBLE_EQ(FLocutor.Fator(), 1.0);
    EXPECT_NE(Log().find("[LOCUTOR]  falou com a voz natural: Microsoft Francisca"),
              std::string::npos);
    EXPECT_TRUE(FFabrica.Roteiro.Falados.empty());
}

// No online voice: the page says so, the local voice says the text, for
// five minutes, and the log tells why.
TEST_F(LocutorNaPonte, SemVozOnlineCaiParaAVozLocal) {
    FFabrica.Roteiro.MsFixos = 1000;
    FLocutor.DefinirNomeVoz("");
    FLocutor.Anunciar("Promoção de hoje.", TTipoFala::tfChamada);
    Tick(21);
    ASSERT_EQ(Ponte().Estado(), TEstadoVozEdge::evEsperando);
    EXPECT_EQ(Comando(0)["texto"], "Promoção de hoje.");
    Evento({{"seq", 1}, {"tipo", "erro"}, {"erro", "vozes online indisponíveis (sem internet?)"}});
    Tick();
    ASSERT_EQ(FFabrica.Roteiro.Falados.size(), 1u);
    EXPECT_NE(FFabrica.Roteiro.Falados[0].find("Promoção de hoje."), std::string::npos);
    const std::string log = Log();
    EXPECT_NE(log.find("[ERRO]     voz natural: vozes online indisponíveis (sem "
                       "internet?)"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[LOCUTOR]  voz natural falhou (sem internet?): usando a voz do sistema "
                       "\"Microsoft Maria - Portuguese (Brazil)\""),
              std::string::npos)
        << log;
    EXPECT_FALSE(FLocutor.UltimoErro().empty());
}

// A browser with no online voice at all (Debian's chromium): the page says
// so, and the local voice speaks for six hours instead of five minutes, so
// a day of texts logs one error rather than one every five minutes. The retry
// after six hours finds the same and stays quiet; a voice list from the page
// ends the wait at once.
TEST_F(LocutorNaPonte, NavegadorSemVozesNaoEhTentadoODiaTodo) {
    FFabrica.Roteiro.MsFixos = 1000;
    FLocutor.DefinirNomeVoz("");
    const std::string semVozes = "vozes online indisponíveis (sem internet?)";
    const auto contar = [this](const std::string& ATrecho) {
        const std::string log = Log();
        std::size_t n = 0;
        for (std::size_t p = log.find(ATrecho); p != std::string::npos;
             p = log.find(ATrecho, p + 1)) {
            ++n;
        }
        return n;
    };

    FLocutor.Anunciar("Primeiro aviso.", TTipoFala::tfChamada);
    Tick(21);
    ASSERT_EQ(Ponte().Estado(), TEstadoVozEdge::evEsperando);
    EXPECT_EQ(Comando(0)["texto"], "Primeiro aviso.");
    Evento({{"seq", 1}, {"tipo", "erro"}, {"erro", semVozes}, {"semVozes", true}});
    Tick();
    ASSERT_EQ(FFabrica.Roteiro.Falados.size(), 1u);
    EXPECT_TRUE(Ponte().SemVozesOnline());
    EXPECT_EQ(FLocutor.UltimoErro(), "o navegador não tem vozes naturais; usando a voz do sistema");

    // Five hours, a text every ten minutes: each spoken at once by the local
    // voice, none handed to the page (whose last word stays the same).
    for (int i = 0; i < 30; ++i) {
        FRelogio.Avancar(600000 - 6000);
        FLocutor.Anunciar("Aviso " + std::to_string(i) + ".", TTipoFala::tfChamada);
        Tick(60);
        ASSERT_EQ(FFabrica.Roteiro.Falados.size(), 2u + i) << Log();
        EXPECT_EQ(FFabrica.Roteiro.Vozes.back(), "Microsoft Maria - Portuguese (Brazil)");
        EXPECT_EQ(Ponte().UltimoErro(), "voz natural: " + semVozes);
    }
    EXPECT_EQ(contar("[ERRO]"), 1u) << Log();
    EXPECT_EQ(contar("[LOCUTOR]  o navegador nao tem vozes naturais: usando a voz do sistema "
                     "\"Microsoft Maria - Portuguese (Brazil)\" (nova tentativa em 6 horas)"),
              1u)
        << Log();

    // Six hours on, one more try: the same answer, nothing new in the log.
    FRelogio.Avancar(3600000);
    FLocutor.Anunciar("Depois de seis horas.", TTipoFala::tfChamada);
    Tick(21);
    ASSERT_EQ(Ponte().Estado(), TEstadoVozEdge::evEsperando);
    EXPECT_EQ(Comando(1)["texto"], "Depois de seis horas.");
    Evento({{"seq", 2}, {"tipo", "erro"}, {"erro", semVozes}, {"semVozes", true}});
    Tick();
    ASSERT_EQ(FFabrica.Roteiro.Falados.size(), 32u);
    Tick(30);
    EXPECT_EQ(contar("[ERRO]"), 1u) << Log();
    EXPECT_EQ(contar("nao tem vozes naturais"), 1u) << Log();

    // The page lists voices after all (the browser got them): the next text
    // goes to the page without waiting out the six hours.
    auto r = Pagina().Post(
        "/vozes?t=" + Ponte().Token(),
        TJsonTeste::array({"Microsoft Francisca Online (Natural) - Portuguese (Brazil)"}).dump(),
        "text/plain");
    ASSERT_TRUE(r);
    EXPECT_FALSE(Ponte().SemVozesOnline());
    FLocutor.Anunciar("Com voz natural.", TTipoFala::tfChamada);
    Tick(21);
    ASSERT_EQ(Ponte().Estado(), TEstadoVozEdge::evEsperando);
    EXPECT_EQ(Comando(2)["texto"], "Com voz natural.");
    Evento({{"seq", 3}, {"tipo", "inicio"}, {"voz", "Microsoft Francisca"}});
    Evento({{"seq", 3}, {"tipo", "fim"}});
    Tick();
    EXPECT_EQ(FFabrica.Roteiro.Falados.size(), 32u);
    EXPECT_NE(Log().find("falou com a voz natural: Microsoft Francisca"), std::string::npos);
}

namespace {

// Waits (real time: a real browser starts) until the page of the current
// browser polled.
bool EsperarPagina(TVozEdge& APonte) {
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!APonte.PaginaConectada() && std::chrono::steady_clock::now() < limite) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return APonte.PaginaConectada();
}

}  // namespace

// Debian's real chromium: the page loads and polls; the browser killed while
// a text is handed over leaves the text to the local voice; the next text
// after the fallback relaunches the browser, whose page finds no online
// voice (there is none here) and the local voice speaks again.
TEST_F(LocutorNaPonte, ChromiumDeVerdadeMortoEReaberto) {
    ASSERT_TRUE(std::filesystem::exists("/usr/bin/chromium"))
        << "instale o chromium (make test instala)";
    ::setenv("LJSN_EDGE", "/usr/bin/chromium", 1);
    FFabrica.Roteiro.MsFixos = 1000;
    FLocutor.DefinirNomeVoz("");
    const pid_t primeiro = Ponte().ProcessoNavegador();
    ASSERT_GT(primeiro, 0);
    ASSERT_TRUE(EsperarPagina(Ponte())) << Log();
    EXPECT_GE(ProcessosVivosNoGrupo(primeiro), 2);  // the browser and its helpers

    FLocutor.Anunciar("Primeiro aviso.", TTipoFala::tfChamada);
    Tick(21);
    ASSERT_EQ(Ponte().Estado(), TEstadoVozEdge::evEsperando);
    ::kill(-primeiro, SIGKILL);
    Tick(201);  // 20 s without an answer
    ASSERT_EQ(FFabrica.Roteiro.Falados.size(), 1u) << Log();
    EXPECT_NE(Log().find("[ERRO]     voz natural: a voz natural não respondeu"), std::string::npos);

    Tick(3000);  // the five minutes of the local voice run out
    FLocutor.Anunciar("Segundo aviso.", TTipoFala::tfChamada);
    Tick(21);
    const pid_t segundo = Ponte().ProcessoNavegador();
    EXPECT_NE(segundo, primeiro);
    EXPECT_TRUE(EsperarGrupoVazio(primeiro, 10));
    ASSERT_TRUE(EsperarPagina(Ponte())) << Log();
    // The page waits up to 8 s for voices, then reports that there are none.
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (FFabrica.Roteiro.Falados.size() < 2 && std::chrono::steady_clock::now() < limite) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        FLocutor.Processar(100);
    }
    ASSERT_EQ(FFabrica.Roteiro.Falados.size(), 2u) << Log();
    EXPECT_NE(FFabrica.Roteiro.Falados[1].find("Segundo aviso."), std::string::npos);
    const std::string log = Log();
    EXPECT_NE(log.find("[ERRO]     voz natural: vozes online indisponíveis (sem "
                       "internet?)"),
              std::string::npos)
        << log;
    std::size_t prontas = 0;
    for (std::size_t p = log.find("voz natural pronta"); p != std::string::npos;
         p = log.find("voz natural pronta", p + 1)) {
        ++prontas;
    }
    EXPECT_EQ(prontas, 2u);
    TVozEdge::Finalizar();
    EXPECT_TRUE(EsperarGrupoVazio(segundo, 10));
}
