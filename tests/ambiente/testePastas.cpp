#include <filesystem>

#include <gtest/gtest.h>

#include "ambiente/uPastas.h"
#include "apoio/uPastaTemporaria.h"

using namespace ljsn;
using namespace ljsn::teste;

TEST(Pastas, ProgramaEDados) {
    EXPECT_EQ(PastaPrograma().back(), '/');
    EXPECT_TRUE(std::filesystem::exists(PastaPrograma() + "testes_ambiente"));
    TPastaTemporaria pasta;
    DefinirPastaDados(pasta.Caminho() + "sub/dados");
    EXPECT_EQ(PastaDados(), pasta.Caminho() + "sub/dados/");
    EXPECT_TRUE(std::filesystem::is_directory(PastaDados()));
    EXPECT_EQ(PastaLogs(), pasta.Caminho() + "sub/dados/Logs");
}

TEST(Pastas, PastaGravavel) {
    TPastaTemporaria pasta;
    EXPECT_TRUE(PastaGravavel(pasta / "nova/funda"));
    EXPECT_FALSE(std::filesystem::exists(pasta / "nova/funda/.teste"));
    EscreverArquivo(pasta / "arquivo", "x");
    EXPECT_FALSE(PastaGravavel(pasta / "arquivo"));
    EXPECT_FALSE(PastaGravavel(pasta / "arquivo/dentro"));
}

class Migracao : public testing::Test {
  protected:
    void SetUp() override {
        EscreverArquivo(FAntiga / "config.ini",
                        "[Geral]\r\nPastaMusicas=" + FAntiga.Caminho() +
                            "EXEMPLOS/Musicas\r\nPastaPropagandas=/outra/Exemplos/P\r\n");
        EscreverArquivo(FAntiga / "mensagens.txt", "velhas");
        EscreverArquivo(FAntiga / "volumes.ini", "[v]");
    }
    TPastaTemporaria FAntiga;
    TPastaTemporaria FNova;
    TPastaTemporaria FPrograma;
};

// The older copy's files arrive, and its examples path now points at ours.
TEST_F(Migracao, CopiaEAtualizaOsExemplos) {
    MigrarDadosAntigos(
        FNova.Caminho(), {"", "/nao/existe", FAntiga.Caminho()}, FPrograma.Caminho());
    EXPECT_EQ(LerArquivo(FNova / "config.ini"),
              "[Geral]\r\nPastaMusicas=" + FPrograma.Caminho() +
                  "Exemplos/Musicas\r\nPastaPropagandas=/outra/Exemplos/P\r\n");
    EXPECT_EQ(LerArquivo(FNova / "mensagens.txt"), "velhas");
    EXPECT_EQ(LerArquivo(FNova / "volumes.ini"), "[v]");
    EXPECT_FALSE(std::filesystem::exists(FNova / "chamadas.txt"));
}

TEST_F(Migracao, NadaQuandoJaHaConfig) {
    EscreverArquivo(FNova / "config.ini", "minha");
    MigrarDadosAntigos(FNova.Caminho(), {FAntiga.Caminho()}, FPrograma.Caminho());
    EXPECT_EQ(LerArquivo(FNova / "config.ini"), "minha");
    EXPECT_FALSE(std::filesystem::exists(FNova / "mensagens.txt"));
}

TEST_F(Migracao, NaoCopiaDaPropriaPastaNemSobrescreve) {
    MigrarDadosAntigos(FNova.Caminho(), {FAntiga.Caminho()}, FAntiga.Caminho());
    EXPECT_FALSE(std::filesystem::exists(FNova / "config.ini"));
    EscreverArquivo(FNova / "mensagens.txt", "novas");
    MigrarDadosAntigos(FNova.Caminho(), {FAntiga.Caminho()}, FPrograma.Caminho());
    EXPECT_EQ(LerArquivo(FNova / "mensagens.txt"), "novas");
    EXPECT_TRUE(std::filesystem::exists(FNova / "config.ini"));
}
