#include <cmath>
#include <memory>

#include <gtest/gtest.h>

#include "apoio/uEbur128.h"
#include "apoio/uMidia.h"
#include "apoio/uPastaTemporaria.h"
#include "audio/motor/uDecodificador.h"
#include "audio/uLoudness.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

std::string Repetir(const std::string& AExpr, int AVezes) {
    std::string r = AExpr;
    for (int i = 1; i < AVezes; ++i) {
        r += "|" + AExpr;
    }
    return r;
}

// A file from aevalsrc expressions (one per channel), as 32-bit float WAV.
std::string Gerar(const TPastaTemporaria& APasta,
                  const std::string& ANome,
                  const std::string& AExprs,
                  int ATaxa,
                  double ASegundos,
                  const std::vector<std::string>& ACodec = {"-c:a", "pcm_f32le"}) {
    const std::string caminho = APasta / ANome;
    GerarExpressao(caminho, AExprs, ASegundos, ATaxa, ACodec);
    return caminho;
}

}  // namespace

TEST(Loudness, Senoides) {
    TPastaTemporaria pasta;
    const std::string seno = "sin(2*PI*997*t)";
    struct TCaso {
        const char* Nome;
        std::string Exprs;
        int Taxa;
        double Segundos;
        double Esperado;
        double Tolerancia = 0.02;
    };
    const TCaso casos[] = {
        {"MonoCheio", seno, 48000, 5, -3.01},
        {"EstereoCheio", Repetir(seno, 2), 48000, 5, 0.0},
        {"MonoMeiaAmplitude", "0.5*" + seno, 48000, 5, -9.03},
        // At a low rate the filter's shelf sits a little differently near 1 kHz.
        {"Em11025", seno, 11025, 5, -3.01, 0.06},
        {"Em44100", seno, 44100, 5, -3.01},
        // Every channel of the first eight counts 1.0; the ninth and tenth not at all.
        {"DezCanais", Repetir(seno, 8) + "|0.9*" + seno + "|0.9*" + seno, 48000, 3, -3.01 + 9.03},
        {"QuatrocentosMs", seno, 48000, 0.4, -3.01},
        {"TrezentosECinquentaMs", seno, 48000, 0.35, -999},
        {"Silencio", "0|0", 48000, 3, -999},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Nome);
        const double lufs =
            MedirLoudness(Gerar(pasta, std::string(c.Nome) + ".wav", c.Exprs, c.Taxa, c.Segundos));
        if (c.Esperado <= -999) {
            EXPECT_EQ(lufs, -999);
        } else {
            EXPECT_NEAR(lufs, c.Esperado, c.Tolerancia);
        }
    }
}

// Our measurement against libebur128 on material it measures the same way
// (one and two channels): noise, tones, and music-like signals with quiet
// passages that the relative gate must leave out.
TEST(Loudness, ConfereComLibebur128) {
    TPastaTemporaria pasta;
    struct TCaso {
        const char* Nome;
        std::string Exprs;
        int Taxa;
    };
    const std::string ruido = "0.3*(random(0)-0.5)";
    const std::string musical =
        "(0.4*sin(2*PI*220*t)+0.2*sin(2*PI*660*t)+0.1*(random(0)-0.5))*(0.55+0.45*sin(2*PI*0.3*t))";
    const std::string passagens = "if(lt(mod(t,8),5),0.5*sin(2*PI*330*t),0.005*sin(2*PI*330*t))";
    const TCaso casos[] = {
        {"RuidoMono44", ruido, 44100},
        {"RuidoEstereo48", ruido + "|0.2*(random(1)-0.5)", 48000},
        {"TonsEstereo44", "0.25*sin(2*PI*100*t)+0.25*sin(2*PI*5000*t)|0.1*sin(2*PI*1500*t)", 44100},
        {"MusicalMono48", musical, 48000},
        {"MusicalEstereo44", musical + "|" + musical, 44100},
        {"PassagensQuietas48", passagens + "|" + passagens, 48000},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Nome);
        const std::string arquivo = Gerar(pasta, std::string(c.Nome) + ".wav", c.Exprs, c.Taxa, 20);
        EXPECT_NEAR(MedirLoudness(arquivo), Ebur128(arquivo), 0.1);
    }
    // Through a lossy codec too: both read the same decoded samples.
    const std::string mp3 = Gerar(pasta,
                                  "musical.mp3",
                                  musical + "|" + musical,
                                  44100,
                                  20,
                                  {"-c:a", "libmp3lame", "-b:a", "192k"});
    EXPECT_NEAR(MedirLoudness(mp3), Ebur128(mp3), 0.1);
}

// Long files are measured in two halves at once; whatever the container (and
// a VBR MP3 without a header, whose seeking is approximate, must fall back to
// one pass), the result is the one of a single pass.
TEST(Loudness, ArquivoLongoEmDuasMetades) {
    TPastaTemporaria pasta;
    const std::string musical =
        "(0.4*sin(2*PI*220*t)+0.2*sin(2*PI*660*t)+0.1*(random(0)-0.5))*(0.3+0.7*lt(mod(t,20),13))";
    const std::string exprs = musical + "|" + musical;
    const std::vector<std::pair<std::string, std::vector<std::string>>> formatos = {
        {"longo.wav", {"-c:a", "pcm_s16le"}},
        {"longo.mp3", {"-c:a", "libmp3lame", "-b:a", "160k"}},
        {"longo.wma", {"-c:a", "wmav2", "-b:a", "128k"}},
        {"vbr.mp3", {"-c:a", "libmp3lame", "-q:a", "5", "-write_xing", "0"}},
    };
    for (const auto& [nome, codec] : formatos) {
        SCOPED_TRACE(nome);
        const std::string arquivo = Gerar(pasta, nome, exprs, 44100, 95, codec);
        EXPECT_NEAR(MedirLoudness(arquivo), Ebur128(arquivo), 0.05);
    }
}

// Files that cannot be measured give -999; odd rates and layouts still measure.
TEST(Loudness, EntradasRuins) {
    TPastaTemporaria pasta;
    const std::string seno = "0.5*sin(2*PI*997*t)";
    const std::string inteiro = Gerar(
        pasta, "inteiro.mp3", seno + "|" + seno, 44100, 10, {"-c:a", "libmp3lame", "-b:a", "128k"});
    const std::string bytes = LerArquivo(inteiro);
    EscreverArquivo(pasta / "truncado.mp3", bytes.substr(0, bytes.size() / 3));
    EscreverArquivo(pasta / "corrompido.mp3", std::string(20000, '\x7f'));
    EscreverArquivo(pasta / "vazio.wav", "");
    EXPECT_NEAR(MedirLoudness(pasta / "truncado.mp3"), MedirLoudness(inteiro), 0.2);
    EXPECT_EQ(MedirLoudness(pasta / "corrompido.mp3"), -999);
    EXPECT_EQ(MedirLoudness(pasta / "vazio.wav"), -999);
    EXPECT_EQ(MedirLoudness(pasta / "nao-existe.wav"), -999);
    EXPECT_EQ(MedirLoudness(pasta.Caminho()), -999);
    EXPECT_EQ(MedirLoudness(Gerar(pasta, "curto.wav", seno, 44100, 0.3)), -999);
    EXPECT_NEAR(MedirLoudness(Gerar(pasta, "8k.wav", seno, 8000, 3)), -9.03, 0.05);
    EXPECT_NEAR(MedirLoudness(Gerar(pasta, "192k.wav", seno, 192000, 3)), -9.03, 0.05);
}

TEST(Loudness, Portas) {
    EXPECT_EQ(LoudnessDasPotencias({1, 1, 1}), -999);
    EXPECT_NEAR(LoudnessDasPotencias({1, 1, 1, 1}), -0.691, 1e-9);
    // A quiet passage 40 dB down is left out by the relative gate: without it
    // the mean would be about -3.7; with it only the blocks that straddle the
    // change pull the result a little below -0.691.
    std::vector<double> potencias(10, 1.0);
    potencias.insert(potencias.end(), 10, 1e-4);
    const double lufs = LoudnessDasPotencias(potencias);
    EXPECT_GT(lufs, -1.5);
    EXPECT_LT(lufs, -0.691);
    const TFiltroK k = CalcularFiltroK(48000);
    EXPECT_NEAR(k.Prateleira.B0, 1.53512485958697, 1e-12);
    EXPECT_NEAR(k.Prateleira.A1, -1.69065929318241, 1e-12);
    EXPECT_NEAR(k.PassaAltas.A1, -1.99004745483398, 1e-9);
    EXPECT_NEAR(k.PassaAltas.A2, 0.99007225036621, 1e-9);
}
