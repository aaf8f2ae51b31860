#include <gtest/gtest.h>

#include "comum/uRegex.h"

using namespace ljsn;

TEST(Regex, LookBehindComAcentos) {
    const TRegex r("(?<![A-Za-zÀ-ÿ])(a|o) \\{empresa\\}", TRegex::roSemCaixa);
    EXPECT_TRUE(r.Contem("Venha a {empresa}"));
    EXPECT_FALSE(r.Contem("Lisboa {empresa}"));
    EXPECT_FALSE(r.Contem("Pará {empresa}"));
    EXPECT_EQ(r.Procurar("O {empresa}")->Grupo(1), "O");
}

TEST(Regex, PontoTudoEPreguicoso) {
    const TRegex item("<item>(.*?)</item>", TRegex::roPontoTudo | TRegex::roSemCaixa);
    const auto todas = item.ProcurarTodas("<ITEM>a\nb</item><item>c</item>");
    ASSERT_EQ(todas.size(), 2u);
    EXPECT_EQ(todas[0].Grupo(1), "a\nb");
    EXPECT_EQ(todas[1].Grupo(1), "c");
    EXPECT_FALSE(TRegex("<item>(.*?)</item>").Contem("<item>a\nb</item>"));
}

// Feeds arrive with broken bytes; the matcher must not fail or split a character.
TEST(Regex, TextoInvalidoNaoQuebra) {
    const TRegex r("b+");
    EXPECT_TRUE(
        r.Contem("a\xC3"
                 "bbb"));
    EXPECT_EQ(TRegex("x*").SubstituirPor("ação", "-"), "-a-ç-ã-o-");
}

TEST(Regex, SubstituirComFuncao) {
    const TRegex r("(\\d+)");
    EXPECT_EQ(
        r.Substituir("a1b22", [](const TCorrespondencia& c) { return "<" + c.Grupo(1) + ">"; }),
        "a<1>b<22>");
    EXPECT_THROW(TRegex("(abc"), std::invalid_argument);
}
