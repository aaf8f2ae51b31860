#include <cmath>

#include <gtest/gtest.h>

#include "apoio/uSinais.h"
#include "audio/motor/uMotor.h"
#include "audio/motor/uSaida.h"
#include "programa/uAmbienteProgramacao.h"
#include "programa/uComandosJson.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

constexpr std::size_t kQuadrosTick = TMotor::kTaxaPadrao / 10;

// The programme on the real engine, rendered offline: each tick of fake time
// renders 100 ms of what the shop would hear.
class CruzamentoReal : public testing::Test {
  protected:
    std::vector<float> Rodar(int AMs) {
        std::vector<float> saida;
        A.Avancar(AMs, [&] {
            const auto bloco = FSaida.RenderizarQuadros(kQuadrosTick, 1024);
            saida.insert(saida.end(), bloco.begin(), bloco.end());
        });
        return saida;
    }
    TPrograma& Criar(const std::string& APasta) {
        A.Configurar([&](TConfiguracoes& c) {
            c.PastaMusicas = APasta;
            c.TransicaoSegundos = 8;
            c.Volume = 100;
        });
        return A.Construir(FMotor, A.Voz);
    }
    // The engine outlives the programme, whose players close their aliases on it.
    TMotor FMotor;
    TSaidaOffline FSaida{FMotor};
    TAmbienteProgramacao A;
};

}  // namespace

// Two uncorrelated noises crossfading: the mixed power over the fade stays
// within 1 dB of the level before it (equal power, not a dip or a bump).
TEST_F(CruzamentoReal, PotenciaConstanteComRuidos) {
    for (int semente : {1, 2}) {
        RodarFfmpeg({"-f",
                     "lavfi",
                     "-i",
                     "anoisesrc=d=20:c=white:r=44100:a=0.25:s=" + std::to_string(semente),
                     "-ac",
                     "2",
                     "-c:a",
                     "pcm_f32le",
                     A.Pasta("ruidos") + "/r" + std::to_string(semente) + ".wav"});
    }
    TPrograma& p = Criar(A.Pasta("ruidos"));
    p.Tocar();
    const auto s = Rodar(19000);
    ASSERT_EQ(A.LinhasDoLog("TRANSICAO").size(), 1u);
    EXPECT_NE(A.LinhasDoLog("TRANSICAO")[0].find(" em 6600 ms"), std::string::npos)
        << A.LinhasDoLog("TRANSICAO")[0];
    const std::size_t janela = TMotor::kTaxaPadrao / 20;  // 50 ms
    const double antes = RmsEstereo(s, 5 * TMotor::kTaxaPadrao, 5 * TMotor::kTaxaPadrao);
    // The fade runs from about 13.4 s to 20 s of the first file.
    for (std::size_t inicio = 13 * TMotor::kTaxaPadrao; inicio + janela <= 19 * TMotor::kTaxaPadrao;
         inicio += janela) {
        const double r = RmsEstereo(s, inicio, janela);
        EXPECT_NEAR(Db(r / antes), 0.0, 1.0)
            << "em " << inicio / double(TMotor::kTaxaPadrao) << " s";
    }
}

// Opposite channels make each player's gain readable on its own: the gains
// follow the tick's targets in ramps, never in a step larger than a full
// swing spread over one tick, and their powers sum to one throughout.
TEST_F(CruzamentoReal, RampasSemDegraus) {
    GerarExpressao(A.Pasta("dc") + "/a.wav", "0.5|0", 20);
    GerarExpressao(A.Pasta("dc") + "/b.wav", "0|0.5", 20);
    TPrograma& p = Criar(A.Pasta("dc"));
    p.Tocar();
    const auto s = Rodar(19000);
    double maiorPasso = 0;
    for (std::size_t i = TMotor::kTaxaPadrao; i < s.size() / 2; ++i) {
        for (int c = 0; c < 2; ++c) {
            maiorPasso = std::max(maiorPasso, std::abs(double(s[i * 2 + c]) - s[(i - 1) * 2 + c]));
        }
    }
    EXPECT_LE(maiorPasso, 0.5 / kQuadrosTick + 1e-6);
    for (std::size_t i = 13 * TMotor::kTaxaPadrao; i < 19 * TMotor::kTaxaPadrao; i += 480) {
        const double e = s[i * 2] / 0.5;
        const double d = s[i * 2 + 1] / 0.5;
        EXPECT_NEAR(Db(std::sqrt(e * e + d * d)), 0.0, 1.0) << i;
    }
}

// A damaged file ends like any other (the next one follows at once), and the
// log says which file broke, where and why; an intact file logs nothing.
TEST_F(CruzamentoReal, ArquivoDanificadoEhRegistrado) {
    // An MP3 cut to 40 % of its bytes while its header still counts 10 s
    // of frames, as a copy interrupted half-way leaves it.
    const std::string cortado = A.Pasta("danificados") + "/a-cortado.mp3";
    GerarTom(cortado, 10, 440, 0.3, {"-c:a", "libmp3lame", "-b:a", "128k"});
    GerarTom(A.Pasta("danificados") + "/b-inteiro.wav", 3, 660, 0.3, {"-c:a", "pcm_s16le"});
    std::filesystem::resize_file(cortado, std::filesystem::file_size(cortado) * 4 / 10);
    A.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = A.Pasta("danificados");
        c.TransicaoSegundos = 0;
    });
    TPrograma& p = A.Construir(FMotor, A.Voz);
    p.Tocar();
    Rodar(5000);
    const auto erros = A.LinhasDoLog("ERRO");
    ASSERT_EQ(erros.size(), 1u) << A.Log();
    // About 40 % of 10 s.
    EXPECT_TRUE(erros[0].find("leitura interrompida em 0:03: o arquivo acabou antes do fim") !=
                    std::string::npos ||
                erros[0].find("leitura interrompida em 0:04: o arquivo acabou antes do fim") !=
                    std::string::npos)
        << erros[0];
    EXPECT_NE(erros[0].find("a-cortado.mp3"), std::string::npos) << erros[0];
    EXPECT_EQ(p.Titulo(), "b-inteiro");
    Rodar(3500);
    EXPECT_EQ(A.LinhasDoLog("ERRO").size(), 1u) << A.Log();
}

// Dead air: a file that goes digitally silent is skipped after SilencioMaximo
// seconds and logged; a quiet passage above -60 dBFS is never skipped; 0
// switches the guard off.
TEST_F(CruzamentoReal, SilencioEhPulado) {
    struct TCaso {
        const char* Nome;
        double AmplitudeMeio;  // of the middle file; 0 = digital silence
        int SilencioMaximo;
        bool Pula;
    };
    const TCaso casos[] = {
        {"silencio digital", 0.0, 5, true},
        {"passagem baixa acima de -60 dBFS", 0.0016, 5, false},
        {"guarda desligada", 0.0, 0, false},
    };
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.Nome);
        TAmbienteProgramacao a;
        const std::string pasta = a.Pasta("musicas");
        GerarTom(pasta + "/a-tom.wav", 2, 440, 0.3, {"-c:a", "pcm_s16le"});
        GerarTom(pasta + "/b-meio.wav", 20, 440, caso.AmplitudeMeio, {"-c:a", "pcm_f32le"});
        GerarTom(pasta + "/c-tom.wav", 2, 660, 0.3, {"-c:a", "pcm_s16le"});
        a.Configurar([&](TConfiguracoes& c) {
            c.PastaMusicas = pasta;
            c.TransicaoSegundos = 0;
            c.VolumeAutomatico = false;
            c.HoraCerta = false;
            c.DatasAtivas = "";
            c.MinutosEntreMensagens = 0;
            c.SilencioMaximo = caso.SilencioMaximo;
        });
        TMotor motor;
        TSaidaOffline saida{motor};
        {
            TPrograma& p = a.Construir(motor, a.Voz);
            p.Tocar();
            a.Avancar(8500, [&] { saida.RenderizarQuadros(kQuadrosTick, 1024); });
            const auto linhas = a.LinhasDoLog("SILENCIO");
            if (caso.Pula) {
                ASSERT_EQ(linhas.size(), 1u) << a.Log();
                EXPECT_NE(linhas[0].find("5 s sem som: pulando b-meio.wav"), std::string::npos)
                    << linhas[0];
                EXPECT_EQ(p.Titulo(), "c-tom");
                EXPECT_EQ(TJson::parse(ExecutarComando(p, "estado", TJson::object()))["silencios"],
                          1);
            } else {
                EXPECT_TRUE(linhas.empty()) << a.Log();
                EXPECT_EQ(p.Titulo(), "b-meio");
            }
            a.Programa.reset();
        }
    }
}
