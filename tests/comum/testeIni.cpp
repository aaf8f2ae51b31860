#include <gtest/gtest.h>

#include "comum/uIni.h"

using namespace ljsn;

TEST(Ini, LeSecoesEChavesSemCaixa) {
    const auto ini = TArquivoIni::Interpretar(
        "\xEF\xBB\xBF[Geral]\r\nVolume = 70\r\npasta=/música/a=b\r\n; "
        "comentario\r\n[outra]\nX=1\n");
    EXPECT_EQ(ini.Ler("geral", "VOLUME"), "70");
    EXPECT_EQ(ini.Ler("Geral", "Pasta"), "/música/a=b");
    EXPECT_EQ(ini.Ler("Outra", "x"), "1");
    EXPECT_FALSE(ini.Ler("Geral", "Tema"));
    EXPECT_FALSE(ini.Ler("Nenhuma", "X"));
}

// A damaged file loads what it can and never lets junk into a known key.
TEST(Ini, LixoNaoEntra) {
    std::string texto = "[Geral]\nVolume=55\n";
    static constexpr char kLixo[] = "Tema=\0\x01\x02junk\n";
    texto += std::string(kLixo, sizeof kLixo - 1);
    texto += "Chave sem igual\n";
    texto += "=sem chave\n";
    texto += "Enorme=" + std::string(TArquivoIni::kMaxLinha + 10, 'x') + "\n";
    texto += "[Meia secao\nPerdida=1\n";
    texto += "[Locutor]\nNomeEmpresa=Padaria P\xE3o Quente\n";
    const auto ini = TArquivoIni::Interpretar(texto);
    EXPECT_EQ(ini.Ler("Geral", "Volume"), "55");
    EXPECT_FALSE(ini.Ler("Geral", "Tema"));
    EXPECT_FALSE(ini.Ler("Geral", "Enorme"));
    EXPECT_FALSE(ini.Ler("Geral", "Perdida"));
    EXPECT_EQ(ini.Ler("Locutor", "NomeEmpresa"), "Padaria Pão Quente");
}

TEST(Ini, EscreverMantemOrdemEDesconhecidos) {
    auto ini = TArquivoIni::Interpretar("[Extra]\nA=1\n[Geral]\nB=2\n");
    ini.Escrever("Geral", "B", "3");
    ini.Escrever("Geral", "C", "linha1\r\nlinha2");
    ini.Escrever("Nova", "D", "4");
    EXPECT_EQ(ini.Texto(),
              "[Extra]\r\nA=1\r\n\r\n[Geral]\r\nB=3\r\nC=linha1  linha2\r\n\r\n[Nova]\r\nD=4\r\n");
    const auto relido = TArquivoIni::Interpretar(ini.Texto());
    EXPECT_EQ(relido.Ler("Geral", "C"), "linha1  linha2");
}

TEST(Ini, ChaveRepetidaValeAPrimeira) {
    const auto ini = TArquivoIni::Interpretar("[S]\nK=1\nk=2\n");
    EXPECT_EQ(ini.Ler("S", "K"), "1");
}

// What the shop wrote by hand survives a save: comments where they were
// (a comment above a header stays above it), and the lines before the first
// section, verbatim; new keys go after a section's last key.
TEST(Ini, ComentariosEPreambuloSobrevivem) {
    const std::string texto =
        "; feito pela loja\r\nsolta=1\r\n  # recuado\r\n"
        "[Geral]\r\n; o volume da loja\r\nVolume=70\r\n\r\n; fim do geral\r\n"
        "; sobre o locutor\r\n[Locutor]\r\nVoz=x\r\n";
    auto ini = TArquivoIni::Interpretar(texto);
    EXPECT_EQ(ini.Ler("Geral", "Volume"), "70");
    EXPECT_FALSE(ini.Ler("", "solta"));
    ini.Escrever("Geral", "Volume", "55");
    ini.Escrever("Geral", "Tema", "Claro");
    ini.Escrever("Nova", "A", "1");
    const std::string esperado =
        "; feito pela loja\r\nsolta=1\r\n  # recuado\r\n"
        "\r\n[Geral]\r\n; o volume da loja\r\nVolume=55\r\nTema=Claro\r\n"
        "\r\n; fim do geral\r\n; sobre o locutor\r\n[Locutor]\r\nVoz=x\r\n"
        "\r\n[Nova]\r\nA=1\r\n";
    EXPECT_EQ(ini.Texto(), esperado);
    // Reading and writing again changes nothing.
    EXPECT_EQ(TArquivoIni::Interpretar(ini.Texto()).Texto(), esperado);
    ini.RemoverChave("Geral", "Volume");
    EXPECT_NE(ini.Texto().find("; o volume da loja"), std::string::npos);
}
