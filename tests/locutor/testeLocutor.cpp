#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "apoio/uPastaTemporaria.h"
#include "apoio/uRelogioFalso.h"
#include "apoio/uVozFalsa.h"
#include "locutor/uLocutor.h"
#include "locutor/uVozEdge.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

// An announcer on a scripted voice and the fake clock. No browser exists
// (LJSN_EDGE names a missing file) unless a test points it at one.
class Locutor : public testing::Test {
  protected:
    void SetUp() override {
        DefinirPastaDados(FPasta.Caminho());
        DefinirHoraDoLog([this] { return FRelogio.Agora(); });
        ::setenv("LJSN_EDGE", (FPasta / "sem-navegador").c_str(), 1);
        TVozEdge::DefinirRelogio(&FRelogio);
    }
    void TearDown() override {
        TVozEdge::Finalizar();
        TVozEdge::DefinirRelogio(nullptr);
        DefinirHoraDoLog(nullptr);
        ::unsetenv("LJSN_EDGE");
    }
    // A "browser" that starts and never loads the page.
    void ComNavegador() {
        EscreverArquivo(FPasta / "navegador", "#!/bin/sh\nexec sleep 60\n");
        std::filesystem::permissions(FPasta / "navegador", std::filesystem::perms::owner_all);
        ::setenv("LJSN_EDGE", (FPasta / "navegador").c_str(), 1);
    }
    // One tick: time passes, then the announcer advances.
    void Tick(int AVezes = 1) {
        for (int i = 0; i < AVezes; ++i) {
            FRelogio.Avancar(100);
            FLocutor.Processar(100);
        }
    }
    std::string Log() const { return LerLogs(FPasta.Caminho()); }
    TPastaTemporaria FPasta;
    TRelogioFalso FRelogio;
    TFabricaVozFalsa FFabrica{FRelogio};
    TLocutor FLocutor{FFabrica, FRelogio};
};

}  // namespace

// One descent, three texts back to back with the music kept down, one ascent.
TEST_F(Locutor, FatorTickATick) {
    FFabrica.Roteiro.MsFixos = 1000;
    FLocutor.DefinirNomeVoz("");
    FLocutor.Anunciar("um", TTipoFala::tfChamada);
    FLocutor.Anunciar("dois", TTipoFala::tfChamada);
    FLocutor.Anunciar("tres", TTipoFala::tfChamada);
    std::vector<double> fatores;
    for (int i = 0; i < 100; ++i) {
        Tick();
        fatores.push_back(FLocutor.Fator());
    }
    // Tick 1 starts the descent; 0.04 per tick down to 0.2 at tick 21.
    EXPECT_DOUBLE_EQ(fatores[0], 1.0);
    EXPECT_NEAR(fatores[1], 0.96, 1e-9);
    EXPECT_NEAR(fatores[10], 0.6, 1e-9);
    EXPECT_DOUBLE_EQ(fatores[20], 0.2);
    // Three seconds of speech with the factor held down, then 2 s back up.
    for (int i = 20; i < 51; ++i) {
        EXPECT_DOUBLE_EQ(fatores[i], 0.2) << i;
    }
    EXPECT_NEAR(fatores[60], 0.6, 1e-9);
    EXPECT_DOUBLE_EQ(fatores[70], 1.0);
    EXPECT_EQ(FLocutor.Fase(), TFaseLocutor::flOcioso);
    EXPECT_EQ(FFabrica.Roteiro.Falados.size(), 3u);
    // Only one descent: the factor never rose between the texts.
    int descidas = 0;
    for (std::size_t i = 1; i < fatores.size(); ++i) {
        descidas += (fatores[i] < fatores[i - 1] && fatores[i - 1] == 1.0) ? 1 : 0;
    }
    EXPECT_EQ(descidas, 1);
    EXPECT_FALSE(FLocutor.Ativo());
}

TEST_F(Locutor, TempoFadeZeroEVolumeFundoCem) {
    FFabrica.Roteiro.MsFixos = 300;
    FLocutor.DefinirTempoFade(0);
    FLocutor.Anunciar("a", TTipoFala::tfHoraCerta);
    Tick();
    EXPECT_EQ(FLocutor.Fase(), TFaseLocutor::flAbaixando);
    Tick();
    EXPECT_DOUBLE_EQ(FLocutor.Fator(), 0.2);  // down in one tick
    EXPECT_EQ(FLocutor.Fase(), TFaseLocutor::flFalando);
    Tick(3);  // 300 ms of speech
    EXPECT_EQ(FLocutor.Fase(), TFaseLocutor::flSubindo);
    Tick();
    EXPECT_DOUBLE_EQ(FLocutor.Fator(), 1.0);  // up in one tick
    EXPECT_EQ(FLocutor.Fase(), TFaseLocutor::flOcioso);

    FLocutor.DefinirTempoFade(2000);
    FLocutor.DefinirVolumeFundo(100);
    FLocutor.Anunciar("b", TTipoFala::tfHoraCerta);
    Tick();
    Tick();  // speech starts on the tick after the queue became non-empty
    EXPECT_EQ(FLocutor.Fase(), TFaseLocutor::flFalando);
    for (int i = 0; i < 10; ++i) {
        Tick();
        EXPECT_DOUBLE_EQ(FLocutor.Fator(), 1.0);  // the music never moves
    }
}

TEST_F(Locutor, TextosVaziosEFalaEscapada) {
    FLocutor.Anunciar("   ", TTipoFala::tfChamada);
    EXPECT_FALSE(FLocutor.Ativo());
    FLocutor.DefinirTom(3);
    FLocutor.DefinirTempoFade(0);
    FLocutor.Anunciar("  <speak>Olá & <b>tchau</b>  ", TTipoFala::tfChamada);
    Tick(2);
    ASSERT_EQ(FFabrica.Roteiro.Falados.size(), 1u);
    // Stored untrimmed, escaped so the mark-up is spoken as text.
    EXPECT_EQ(FFabrica.Roteiro.Falados[0],
              "<pitch absmiddle=\"3\">  &lt;speak&gt;Olá &amp; &lt;b&gt;tchau&lt;/b&gt;  </pitch>");
    EXPECT_NE(Log().find("[LOCUTOR]  fala (volume 80%): " + std::string("  <speak>Olá & <b>")),
              std::string::npos);
}

// Pausing drops automatic speech within a tick; a call is still spoken.
TEST_F(Locutor, PausaDescartaAutomaticas) {
    FFabrica.Roteiro.MsFixos = 5000;
    FLocutor.Anunciar("mensagem da loja", TTipoFala::tfMensagem);
    FLocutor.Anunciar("caixa dois", TTipoFala::tfChamada);
    FLocutor.Anunciar("data", TTipoFala::tfData);
    Tick(22);
    ASSERT_EQ(FLocutor.TextoAtual(), "mensagem da loja");
    FLocutor.DescartarAutomaticas();  // the programme paused
    EXPECT_EQ(FLocutor.TextoAtual(), "");
    EXPECT_EQ(FLocutor.NaFila(), 1u);
    EXPECT_NE(Log().find("[LOCUTOR]  fala automatica interrompida (player pausado ou parado)"),
              std::string::npos);
    Tick();
    EXPECT_EQ(FLocutor.TextoAtual(), "caixa dois");
    FLocutor.DescartarAutomaticas();
    EXPECT_EQ(FLocutor.TextoAtual(), "caixa dois");  // not automatic: spoken anyway
}

TEST_F(Locutor, CancelarEmOcioEVolumes) {
    FLocutor.Cancelar();
    EXPECT_EQ(FLocutor.Fase(), TFaseLocutor::flOcioso);
    FLocutor.DefinirVolume(TTipoFala::tfChamada, 150);
    EXPECT_EQ(FLocutor.Volume(TTipoFala::tfChamada), 100);
    FLocutor.DefinirVelocidade(-20);
    EXPECT_EQ(FLocutor.Velocidade(), -10);
    FLocutor.Anunciar("x", TTipoFala::tfChamada);
    Tick(3);
    FLocutor.Cancelar();
    EXPECT_EQ(FLocutor.Fase(), TFaseLocutor::flSubindo);
    EXPECT_EQ(FLocutor.NaFila(), 0u);
}

// Beyond 20 waiting texts from people, another person's text is dropped and
// the log says so; once one went on air there is room again.
TEST_F(Locutor, FilaCheiaRecusaSoFalasDePessoas) {
    FFabrica.Roteiro.MsFixos = 5000;
    for (std::size_t i = 0; i < TLocutor::kMaxFila; ++i) {
        EXPECT_TRUE(FLocutor.Anunciar("aviso " + std::to_string(i), TTipoFala::tfChamada));
    }
    EXPECT_FALSE(FLocutor.Cabe(1));
    EXPECT_FALSE(FLocutor.Anunciar("Caixa 3.", TTipoFala::tfChamada));
    EXPECT_FALSE(
        FLocutor.Anunciar("São dez horas.", TTipoFala::tfHoraCerta, TOrigemFala::ofPessoa));
    EXPECT_NE(Log().find("[LOCUTOR]  fila do locutor cheia: fala descartada: Caixa 3."),
              std::string::npos);
    // What the programme schedules still goes in: staff filling the queue
    // used to drop the closing warnings, the hour and the news.
    EXPECT_TRUE(FLocutor.Anunciar("São dez horas.", TTipoFala::tfHoraCerta));
    EXPECT_TRUE(FLocutor.Anunciar("A loja fecha em 5 minutos.", TTipoFala::tfFechamento));
    EXPECT_TRUE(FLocutor.Anunciar("Notícia.", TTipoFala::tfNoticia));
    EXPECT_EQ(FLocutor.NaFila(), TLocutor::kMaxFila + 3);
    EXPECT_FALSE(FLocutor.Cabe(1));
    Tick(21);
    EXPECT_EQ(FLocutor.TextoAtual(), "aviso 0");
    EXPECT_TRUE(FLocutor.Cabe(1));
    EXPECT_TRUE(FLocutor.Anunciar("Caixa 3.", TTipoFala::tfChamada));
    EXPECT_FALSE(FLocutor.Cabe(1));
}

// However it was sent, one text is at most kMaxTexto characters, cut at a word.
TEST_F(Locutor, TextoEnormeEhCortado) {
    std::string enorme;
    while (enorme.size() < 200000) {
        enorme += "promoção ";
    }
    FLocutor.Anunciar(enorme, TTipoFala::tfNoticia);
    Tick(21);
    const std::string& atual = FLocutor.TextoAtual();
    EXPECT_LE(ContarCaracteres(atual), TLocutor::kMaxTexto);
    EXPECT_GT(ContarCaracteres(atual), TLocutor::kMaxTexto - 12);
    EXPECT_TRUE(TerminaCom(atual, "promoção")) << atual.substr(atual.size() - 20);
}

// No voice engine: the queue is emptied and the cycle comes back up.
TEST_F(Locutor, SemMotorDeVoz) {
    FFabrica.Roteiro.Indisponivel = true;
    FLocutor.Anunciar("x", TTipoFala::tfChamada);
    Tick(60);
    EXPECT_EQ(FLocutor.Fase(), TFaseLocutor::flOcioso);
    EXPECT_DOUBLE_EQ(FLocutor.Fator(), 1.0);
}

// A natural local voice that "finishes" a long text within 250 ms failed:
// without a browser the local Brazilian voice takes over for five minutes.
TEST_F(Locutor, VozNaturalQueFalhaCaiParaALocal) {
    FFabrica.Roteiro.Tokens.insert(
        FFabrica.Roteiro.Tokens.begin(),
        {"Microsoft Francisca Online (Natural) - Portuguese (Brazil)", "416", "francisca"});
    FFabrica.Roteiro.MsFixos = 100;
    FLocutor.DefinirNomeVoz("");
    FLocutor.Anunciar("Quarenta caracteres de um aviso qualquer.", TTipoFala::tfChamada);
    Tick(21);  // spoken by the natural voice, "done" after 100 ms
    ASSERT_EQ(FFabrica.Roteiro.Falados.size(), 1u);
    EXPECT_EQ(FFabrica.Roteiro.Vozes.back(),
              "Microsoft Francisca Online (Natural) - Portuguese (Brazil)");
    FFabrica.Roteiro.MsFixos = 3000;
    Tick();
    ASSERT_EQ(FFabrica.Roteiro.Falados.size(), 2u);  // the same text again
    EXPECT_EQ(FFabrica.Roteiro.Falados[1], FFabrica.Roteiro.Falados[0]);
    EXPECT_EQ(FFabrica.Roteiro.Vozes.back(), "Microsoft Maria - Portuguese (Brazil)");
    EXPECT_EQ(FLocutor.UltimoErro(),
              "voz natural indisponível (sem internet?); usando a voz do sistema");
    EXPECT_NE(Log().find("voz natural falhou (sem internet?): usando a voz do sistema \"Microsoft "
                         "Maria - Portuguese (Brazil)\""),
              std::string::npos);
    Tick(60);
    // Within the five minutes the local voice stays.
    FLocutor.Anunciar("de novo", TTipoFala::tfChamada);
    Tick(25);
    EXPECT_EQ(FFabrica.Roteiro.Vozes.back(), "Microsoft Maria - Portuguese (Brazil)");
    Tick(60);
    // After them, the first text goes back to the configured (natural) voice.
    FRelogio.Avancar(300000);
    FFabrica.Roteiro.MsFixos = 1000;
    FLocutor.Anunciar("de volta", TTipoFala::tfChamada);
    Tick(22);
    EXPECT_EQ(FFabrica.Roteiro.Vozes.back(),
              "Microsoft Francisca Online (Natural) - Portuguese (Brazil)");
    EXPECT_EQ(FLocutor.UltimoErro(), "");
}

// With a browser, a failing natural local voice first tries the same voice
// through the bridge; the bridge fails at once here, so the local voice takes over.
TEST_F(Locutor, VozNaturalTentaAPonteAntes) {
    ComNavegador();
    FFabrica.Roteiro.Tokens.insert(
        FFabrica.Roteiro.Tokens.begin(),
        {"Microsoft Antonio Online (Natural) - Portuguese (Brazil)", "416", "antonio"});
    FFabrica.Roteiro.MsFixos = 100;
    FLocutor.DefinirNomeVoz("Microsoft Antonio Online (Natural) - Portuguese (Brazil)");
    FLocutor.Anunciar("Quarenta caracteres de um aviso qualquer.", TTipoFala::tfChamada);
    // The page never answers: after 20 s the bridge gives up too.
    Tick(250);
    const std::string log = Log();
    EXPECT_NE(log.find("[LOCUTOR]  voz natural \"Microsoft Antonio Online (Natural) - Portuguese "
                       "(Brazil)\" falhou: usando a mesma voz natural"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[VOZ NATURAL] voz natural pronta (porta "), std::string::npos) << log;
    EXPECT_NE(log.find("[ERRO]     voz natural: a voz natural não respondeu"), std::string::npos)
        << log;
    // The text is not lost: the local voice says it.
    ASSERT_EQ(FFabrica.Roteiro.Falados.size(), 2u);
    EXPECT_EQ(FFabrica.Roteiro.Vozes.back(), "Microsoft Maria - Portuguese (Brazil)");
    EXPECT_EQ(log.find("falou com a voz natural"), std::string::npos);
    EXPECT_FALSE(FLocutor.UltimoErro().empty());
}

// A configured bridge voice without a browser fails at once and the local
// voice speaks the text.
TEST_F(Locutor, VozDaPonteSemNavegador) {
    FLocutor.DefinirNomeVoz("Edge: Microsoft Francisca Online (Natural) - Portuguese (Brazil)");
    FLocutor.DefinirTempoFade(0);
    FLocutor.Anunciar("Bom dia", TTipoFala::tfHoraCerta);
    Tick(2);
    EXPECT_EQ(FLocutor.Fase(), TFaseLocutor::flFalando);
    EXPECT_EQ(FFabrica.Roteiro.Falados.size(), 1u);
    EXPECT_NE(Log().find("(componente de voz natural não encontrado)"), std::string::npos);
    EXPECT_EQ(FLocutor.VozAtiva(), "Microsoft Maria - Portuguese (Brazil)");
}

TEST_F(Locutor, CatalogoDeVozes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(
        FLocutor.VozesDisponiveis(),
        (V{"Microsoft Daniel - Portuguese (Brazil)", "Microsoft Maria - Portuguese (Brazil)"}));
    ComNavegador();
    const V comPonte = FLocutor.VozesDisponiveis();
    ASSERT_EQ(comPonte.size(), 5u);
    EXPECT_EQ(comPonte[0], "Voz natural: Microsoft Antônio Online (Natural) - Portuguese (Brazil)");
    EXPECT_TRUE(TLocutor::EhVozNatural("x ONLINE y"));
    EXPECT_FALSE(TLocutor::EhVozNatural("Microsoft Maria - Portuguese (Brazil)"));
    EXPECT_TRUE(TLocutor::EhPortuguesBrasil({"x", "409;416", ""}));
    EXPECT_FALSE(TLocutor::EhPortuguesBrasil({"x", "4160", ""}));
    EXPECT_TRUE(TLocutor::EhPortuguesBrasil({"Voice (Brazil)", "", ""}));
}

TEST(VozEdge, Nomes) {
    EXPECT_EQ(
        TVozEdge::NomeAtual("Edge: Microsoft Francisca Online (Natural) - Portuguese (Brazil)"),
        "Voz natural: Microsoft Francisca Online (Natural) - Portuguese (Brazil)");
    EXPECT_TRUE(TVozEdge::EhVozEdge("EDGE: x"));
    EXPECT_TRUE(TVozEdge::EhVozEdge("voz natural: x"));
    EXPECT_FALSE(TVozEdge::EhVozEdge("Microsoft Maria - Portuguese (Brazil)"));
    EXPECT_EQ(TVozEdge::NormalizarNomeVoz(" Microsoft Antônio Online"), "antonio");
    ::setenv("LJSN_EDGE", "/bin/sh", 1);
    EXPECT_EQ(TVozEdge::VozEquivalente("Microsoft Antonio Online (Natural) - Portuguese (Brazil)"),
              "Microsoft Antônio Online (Natural) - Portuguese (Brazil)");
    EXPECT_EQ(TVozEdge::VozEquivalente("Microsoft Maria - Portuguese (Brazil)"), "");
    ::setenv("LJSN_EDGE", "/nao/existe", 1);
    EXPECT_FALSE(TVozEdge::Disponivel());
    EXPECT_TRUE(TVozEdge::VozesComPrefixo().empty());
    ::unsetenv("LJSN_EDGE");
}
