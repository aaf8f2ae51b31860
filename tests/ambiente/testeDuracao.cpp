#include <gtest/gtest.h>

#include "ambiente/uDuracao.h"
#include "apoio/uMidia.h"
#include "apoio/uPastaTemporaria.h"

using namespace ljsn;
using namespace ljsn::teste;

TEST(Duracao, FormatarDuracao) {
    struct TCaso {
        std::int64_t Ms;
        const char* Esperado;
    };
    const TCaso casos[] = {{59999, "0:59"},
                           {3599999, "59:59"},
                           {3600000, "1:00:00"},
                           {187000, "3:07"},
                           {3900000, "1:05:00"},
                           {0, "0:00"},
                           {36000000, "10:00:00"}};
    for (const auto& c : casos) {
        EXPECT_EQ(FormatarDuracao(c.Ms), c.Esperado) << c.Ms;
    }
}

class DuracaoMidiaReal : public testing::Test {
  protected:
    static void SetUpTestSuite() { FPasta = MidiaCompartilhada("duracao", Gerar); }
    static void Gerar(const std::string& APasta) {
        // A VBR MP3 without a Xing header: the container's estimate is wrong
        // for it, the packet sum is exact. Varying content makes the bitrate vary.
        GerarExpressao(APasta + "vbr.mp3",
                       "if(lt(mod(t,4),2),0.6*sin(2*PI*440*t),0.6*(random(0)-0.5))",
                       30,
                       44100,
                       {"-ac", "2", "-c:a", "libmp3lame", "-q:a", "4", "-write_xing", "0"});
        GerarTom(APasta + "tom.wav", 12.5, 440, 0.5, {"-c:a", "pcm_s16le"});
        GerarTom(APasta + "tom.wma", 20, 440, 0.5, {"-c:a", "wmav2"});
        // MP3 files of every kind the frame reader must sum as the demuxer does.
        const std::string fala = "0.5*sin(2*PI*300*t)*sin(2*PI*0.5*t)";
        GerarExpressao(APasta + "cbr.mp3", fala, 7, 44100, {"-c:a", "libmp3lame", "-b:a", "128k"});
        GerarExpressao(
            APasta + "vbr-xing.mp3", fala, 9, 48000, {"-c:a", "libmp3lame", "-q:a", "2"});
        GerarExpressao(APasta + "tags.mp3",
                       fala,
                       5,
                       32000,
                       {"-c:a",
                        "libmp3lame",
                        "-metadata",
                        "title=Ação",
                        "-id3v2_version",
                        "3",
                        "-write_id3v1",
                        "1"});
        GerarExpressao(
            APasta + "mpeg2-mono.mp3", fala, 6, 22050, {"-ac", "1", "-c:a", "libmp3lame"});
        GerarExpressao(APasta + "mpeg25.mp3", fala, 4, 8000, {"-c:a", "libmp3lame"});
        const std::string cbr = LerArquivo(APasta + "cbr.mp3");
        EscreverArquivo(APasta + "cortado.mp3", cbr.substr(0, cbr.size() * 2 / 3 + 7));
        EscreverArquivo(APasta + "lixo-antes.mp3", std::string(1000, '\x5a') + cbr);
        EscreverArquivo(APasta + "texto.mp3", "isto nao e audio\n");
        EscreverArquivo(APasta + "vazio.mp3", "");
    }
    static std::string FPasta;
};
std::string DuracaoMidiaReal::FPasta;

TEST_F(DuracaoMidiaReal, ExataParaMp3VbrSemCabecalho) {
    // 30 s of audio plus the encoder's padding frames (< 60 ms).
    EXPECT_NEAR(DuracaoMidia(FPasta + "vbr.mp3"), 30000, 60);
}

// The frame headers give the same sum as the demuxer's packets, without
// decoding anything; what is not a plain chain of frames goes to the demuxer.
TEST_F(DuracaoMidiaReal, QuadrosSomamComoOsPacotes) {
    struct TCaso {
        const char* Arquivo;
        bool PelosQuadros;
    };
    const TCaso casos[] = {{"vbr.mp3", true},
                           {"cbr.mp3", true},
                           {"vbr-xing.mp3", true},
                           {"tags.mp3", true},
                           {"mpeg2-mono.mp3", true},
                           {"mpeg25.mp3", true},
                           {"cortado.mp3", false},
                           {"lixo-antes.mp3", false},
                           {"texto.mp3", false}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Arquivo);
        const std::string arquivo = FPasta + c.Arquivo;
        EXPECT_EQ(DuracaoMp3PorQuadros(arquivo).has_value(), c.PelosQuadros);
        EXPECT_EQ(DuracaoMidia(arquivo), DuracaoPorPacotes(arquivo));
        if (c.PelosQuadros) {
            EXPECT_GT(DuracaoMidia(arquivo), 3000);
        }
    }
}

TEST_F(DuracaoMidiaReal, ContainerParaWavEWma) {
    EXPECT_NEAR(DuracaoMidia(FPasta + "tom.wav"), 12500, 2);
    EXPECT_NEAR(DuracaoMidia(FPasta + "tom.wma"), 20000, 150);
}

TEST_F(DuracaoMidiaReal, MenosUmQuandoNaoHaAudio) {
    EXPECT_EQ(DuracaoMidia(FPasta + "texto.mp3"), -1);
    EXPECT_EQ(DuracaoMidia(FPasta + "vazio.mp3"), -1);
    EXPECT_EQ(DuracaoMidia(FPasta + "nao-existe.mp3"), -1);
    EXPECT_EQ(DuracaoMidia(FPasta), -1);
}
