#include <filesystem>

#include <gtest/gtest.h>

#include "apoio/uPastaTemporaria.h"
#include "comum/uArquivoTexto.h"

using namespace ljsn;
using namespace ljsn::teste;

TEST(ArquivoTexto, BomDecideACodificacao) {
    EXPECT_EQ(DecodificarTexto("\xEF\xBB\xBF"
                               "ação"),
              "ação");
    EXPECT_EQ(DecodificarTexto(std::string("\xFF\xFE"
                                           "a\0\xE7\0",
                                           6)),
              "aç");
    EXPECT_EQ(DecodificarTexto(std::string("\xFE\xFF\0a\0\xE7", 6)), "aç");
    EXPECT_EQ(DecodificarTexto("sem bom \xE7"), "sem bom ç");
}

TEST(ArquivoTexto, GravacaoAtomicaSubstituiESaiLimpa) {
    TPastaTemporaria pasta;
    const std::string alvo = pasta / "config.ini";
    EscreverArquivo(alvo, "velho");
    GravarArquivoAtomico(alvo, "novo");
    EXPECT_EQ(LerArquivo(alvo), "novo");
    // Nothing temporary is left behind.
    int arquivos = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(pasta.Caminho())) {
        ++arquivos;
    }
    EXPECT_EQ(arquivos, 1);
}

// A failed save reaches the caller and leaves the old file whole.
TEST(ArquivoTexto, FalhaDeGravacaoChegaAoChamadorEPreservaOAntigo) {
    TPastaTemporaria pasta;
    EXPECT_THROW(GravarArquivoAtomico(pasta / "nao/existe/config.ini", "x"), std::system_error);
    const std::string alvo = pasta / "pasta-no-lugar";
    std::filesystem::create_directories(alvo + "/dentro");
    EXPECT_THROW(GravarArquivoAtomico(alvo, "x"), std::system_error);
    EXPECT_TRUE(std::filesystem::is_directory(alvo + "/dentro"));
}

TEST(ArquivoTexto, TextoComBomECrLfEmTodaLinha) {
    EXPECT_EQ(MontarTextoComBom({"a", "", "ç"}),
              "\xEF\xBB\xBF"
              "a\r\n\r\nç\r\n");
    EXPECT_EQ(MontarTextoComBom({}), "\xEF\xBB\xBF");
}
