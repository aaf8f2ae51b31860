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
