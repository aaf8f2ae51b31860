#include <cmath>

#include <gtest/gtest.h>

#include "apoio/uSinais.h"
#include "audio/motor/uMotor.h"
#include "audio/motor/uSaida.h"
#include "locutor/voz/uVozEspeak.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

constexpr int kTaxa = TMotor::kTaxaPadrao;

// Real espeak-ng speaking into the engine, rendered offline until the voice
// says it is done (or a limit passes).
class Voz : public testing::Test {
  protected:
    std::vector<float> FalarERenderizar(IVozSapi& AVoz,
                                        const std::string& AXml,
                                        int AMaxMs = 20000) {
        EXPECT_TRUE(AVoz.Falar(AXml, kFalaAssincrona | kFalaXml | kFalaDescartar));
        std::vector<float> saida;
        for (int t = 0; t < AMaxMs && !AVoz.Terminou(); t += 100) {
            const auto bloco = FSaida.RenderizarQuadros(kTaxa / 10, 1024);
            saida.insert(saida.end(), bloco.begin(), bloco.end());
        }
        return saida;
    }
    static double SegundosComVoz(const std::vector<float>& AS) {
        std::size_t com = 0;
        for (std::size_t i = 0; i + 441 <= AS.size() / 2; i += 441) {
            com += RmsEstereo(AS, i, 441) > 0.01 ? 1 : 0;
        }
        return com * 0.01;
    }
    TMotor FMotor;
    TSaidaOffline FSaida{FMotor};
    TFabricaVozEspeak FFabrica{FMotor};
};

}  // namespace

TEST(VozTokens, BrasileiraPrimeiroComVariantes) {
    const auto tokens = TFabricaVozEspeak::Tokens();
    ASSERT_GT(tokens.size(), 50u);
    EXPECT_EQ(tokens[0].Descricao, "Português (Brasil)");
    EXPECT_EQ(tokens[0].Idioma, "416");
    EXPECT_EQ(tokens[0].Identificador, "pt-br");
    int brasileiras = 0;
    bool f3 = false;
    bool ingles = false;
    for (const auto& t : tokens) {
        brasileiras += t.Idioma == "416" ? 1 : 0;
        f3 = f3 ||
             (t.Descricao == "Português (Brasil) - Feminina 3" && t.Identificador == "pt-br+f3");
        ingles = ingles || t.Idioma == "409";
    }
    EXPECT_EQ(brasileiras, 19);
    EXPECT_TRUE(f3);
    EXPECT_TRUE(ingles);
    EXPECT_EQ(IdiomaDoCodigo("pt"), "816");
    EXPECT_EQ(IdiomaDoCodigo("eo"), "eo");
}

TEST(VozXml, Interpretar) {
    struct TCaso {
        const char* Xml;
        const char* Texto;
        int Tom;
    };
    const TCaso casos[] = {
        {"<pitch absmiddle=\"5\">Olá</pitch>", "Olá", 5},
        {"<pitch absmiddle=\"-3\">&lt;b&gt; &amp;amp;</pitch>", "<b> &amp;", -3},
        {"<speak>texto</speak>", "<speak>texto</speak>", 0},
        {"<pitch absmiddle=\"x\">a</pitch>", "a", 0},
        {"", "", 0},
    };
    for (const auto& c : casos) {
        const auto r = InterpretarXmlFala(c.Xml);
        EXPECT_EQ(r.Texto, c.Texto) << c.Xml;
        EXPECT_EQ(r.Tom, c.Tom) << c.Xml;
    }
}

// A sentence comes out of the mixer as speech, then the voice is done.
TEST_F(Voz, FalaNoMisturador) {
    auto voz = FFabrica.Criar();
    ASSERT_TRUE(voz);
    voz->DefinirVolume(100);
    const auto s = FalarERenderizar(*voz, "<pitch absmiddle=\"0\">Bom dia! São dez horas.</pitch>");
    EXPECT_TRUE(voz->Terminou());
    EXPECT_EQ(voz->UltimoResultado(), 0);
    const double segundos = SegundosComVoz(s);
    EXPECT_GT(segundos, 0.8);
    EXPECT_LT(segundos, 5.0);
}

// Mark-up typed by staff arrives escaped and is spoken as text: "<b>" makes
// sound, where a tag would make none.
TEST_F(Voz, MarcacaoFaladaLiteralmente) {
    auto voz = FFabrica.Criar();
    const auto s = FalarERenderizar(*voz, "<pitch absmiddle=\"0\">&lt;b&gt;&lt;/b&gt;</pitch>");
    EXPECT_GT(SegundosComVoz(s), 0.3);
}

// Volume and the Brazilian variants reach the sound.
TEST_F(Voz, VolumeEVariante) {
    auto voz = FFabrica.Criar();
    const auto forte = FalarERenderizar(*voz, "<pitch absmiddle=\"0\">teste de volume</pitch>");
    voz->DefinirVolume(25);
    const auto fraca = FalarERenderizar(*voz, "<pitch absmiddle=\"0\">teste de volume</pitch>");
    // Total energy, so any extra silence rendered after the speech is harmless.
    auto energia = [](const std::vector<float>& AS) {
        double e = 0;
        for (float v : AS) {
            e += double(v) * v;
        }
        return e;
    };
    EXPECT_NEAR(Db(std::sqrt(energia(fraca) / energia(forte))), Db(0.25), 1.0);
    ASSERT_TRUE(voz->DefinirVoz({"Português (Brasil) - Masculina 1", "416", "pt-br+m1"}));
    EXPECT_GT(
        SegundosComVoz(FalarERenderizar(
            *voz, "<pitch absmiddle=\"0\">outra voz, agora com a variante masculina</pitch>")),
        0.3);
    EXPECT_TRUE(voz->DefinirVoz({"Nada", "416", "nao-existe"}));
    FalarERenderizar(*voz, "<pitch absmiddle=\"0\">nada</pitch>");
    EXPECT_NE(voz->UltimoResultado(), 0);  // a missing voice is a failed speech, not a hang
}

// A purge stops a long text at once; the rest never reaches the mixer.
TEST_F(Voz, CancelarParaNaHora) {
    auto voz = FFabrica.Criar();
    std::string longo = "<pitch absmiddle=\"0\">";
    for (int i = 0; i < 400; ++i) {
        longo += "frase número " + std::to_string(i) + ". ";
    }
    longo += "</pitch>";  // about 10 000 characters
    ASSERT_TRUE(voz->Falar(longo, kFalaAssincrona | kFalaXml));
    FSaida.RenderizarQuadros(kTaxa, 1024);
    EXPECT_FALSE(voz->Terminou());
    ASSERT_TRUE(voz->Falar("", kFalaAssincrona | kFalaDescartar));
    std::vector<float> depois;
    for (int t = 0; t < 3000 && !voz->Terminou(); t += 100) {
        FSaida.RenderizarQuadros(kTaxa / 10, 1024);
    }
    EXPECT_TRUE(voz->Terminou());
    depois = FSaida.RenderizarQuadros(kTaxa, 1024);
    EXPECT_LT(RmsEstereo(depois, 0, depois.size() / 2), 1e-6);
}

// A purge also withdraws what espeak already put in the speech channel
// (seconds of it): the mix goes quiet over the 5 ms de-click ramp and stays
// silent, instead of playing that speech to its end.
TEST_F(Voz, DescarteCalaOQueJaFoiSintetizado) {
    auto voz = FFabrica.Criar();
    std::string longo = "<pitch absmiddle=\"0\">";
    for (int i = 0; i < 100; ++i) {
        longo += "frase número " + std::to_string(i) + ". ";
    }
    longo += "</pitch>";
    ASSERT_TRUE(voz->Falar(longo, kFalaAssincrona | kFalaXml));
    const auto antes = FSaida.RenderizarQuadros(kTaxa, 256);
    ASSERT_GT(SegundosComVoz(antes), 0.3);
    FMotor.AguardarDados(kTaxa);  // a second more is synthesised, waiting in the channel
    ASSERT_GE(FMotor.FalaEscrita(), FMotor.FalaConsumida() + kTaxa);
    ASSERT_TRUE(voz->Falar("", kFalaAssincrona | kFalaDescartar));
    const auto depois = FSaida.RenderizarQuadros(kTaxa / 2, 256);
    constexpr std::size_t kRampa = kTaxa / 200;
    // The ramp's last millisecond is already down to a fifth of full scale.
    for (std::size_t q = kRampa - kTaxa / 1000; q < kRampa; ++q) {
        EXPECT_LE(std::abs(depois[q * 2]), 0.2f) << q;
    }
    float resto = 0;
    for (std::size_t i = kRampa * 2; i < depois.size(); ++i) {
        resto = std::max(resto, std::abs(depois[i]));
    }
    EXPECT_EQ(resto, 0.0f);
}

// Odd input never crashes and always ends.
TEST_F(Voz, EntradasEstranhas) {
    auto voz = FFabrica.Criar();
    for (const char* texto : {"\x01\x02\x07 controle \t\r\n",
                              "emoji 😀🎉 no meio",
                              "?!... ,,, ;;",
                              "\xC3\x28 utf-8 quebrado"}) {
        FalarERenderizar(*voz, std::string("<pitch absmiddle=\"0\">") + texto + "</pitch>");
        EXPECT_TRUE(voz->Terminou()) << texto;
    }
}
