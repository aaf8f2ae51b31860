#include <gtest/gtest.h>

#include "comum/uTexto.h"

using namespace ljsn;

// Ties must go to even, or volumes and positions drift by one from the rule.
TEST(Texto, ArredondarParTabela) {
    struct TCaso {
        double Valor;
        std::int64_t Esperado;
    };
    const TCaso casos[] = {{12.5, 12},
                           {13.5, 14},
                           {-0.5, 0},
                           {-1.5, -2},
                           {2.4999, 2},
                           {2.5001, 3},
                           {0.0, 0},
                           {799.5, 800},
                           {1000.0, 1000}};
    for (const auto& c : casos) {
        EXPECT_EQ(ArredondarPar(c.Valor), c.Esperado) << c.Valor;
    }
}

// Settings are read with strict integers: "12abc" or " 5" keep the old value.
TEST(Texto, LerInteiroSoAceitaDecimalPuro) {
    EXPECT_EQ(LerInteiro("42"), 42);
    EXPECT_EQ(LerInteiro("-7"), -7);
    EXPECT_EQ(LerInteiro("+3"), 3);
    EXPECT_FALSE(LerInteiro(""));
    EXPECT_FALSE(LerInteiro("12abc"));
    EXPECT_FALSE(LerInteiro(" 5"));
    EXPECT_FALSE(LerInteiro("99999999999"));
    EXPECT_FALSE(LerInteiro("+-1"));
}

// The decimal point never follows the locale; coordinates keep up to 4 places.
TEST(Texto, DecimaisComPonto) {
    EXPECT_DOUBLE_EQ(*LerDecimal("-23.5505"), -23.5505);
    EXPECT_FALSE(LerDecimal("-23,5505"));
    EXPECT_FALSE(LerDecimal("abc"));
    EXPECT_FALSE(LerDecimal(""));
    EXPECT_EQ(FormatarDecimal(-23.5505, 0, 4), "-23.5505");
    EXPECT_EQ(FormatarDecimal(-46.63330001, 0, 4), "-46.6333");
    EXPECT_EQ(FormatarDecimal(10.5, 0, 4), "10.5");
    EXPECT_EQ(FormatarDecimal(0, 0, 4), "0");
    EXPECT_EQ(FormatarDecimal(-18.4, 2, 2), "-18.40");
    EXPECT_EQ(FormatarDecimal(-0.00001, 0, 4), "0");
}

TEST(Texto, ApararECaixaAZ) {
    EXPECT_EQ(Aparar("  \t Zé Lanches \r\n"), "Zé Lanches");
    EXPECT_EQ(MaiusculasAZ("ação"), "AçãO");
    EXPECT_EQ(MinusculasAZ("ÁGUA Boa"), "Água boa");
    EXPECT_TRUE(IguaisSemCaixa("/Música/ÁGUA.mp3", "/música/água.MP3"));
    EXPECT_FALSE(IguaisSemCaixa("a", "á"));
}

// A Latin-1 file must come out as the same letters, not as replacement marks.
TEST(Texto, GarantirUtf8ConverteWindows1252) {
    EXPECT_EQ(GarantirUtf8("Not\xED"
                           "cias \x96 S\xE3o Paulo \x80"),
              "Notícias – São Paulo €");
    EXPECT_EQ(GarantirUtf8("já é UTF-8"), "já é UTF-8");
    EXPECT_FALSE(Utf8Valido("\xC3"));
    EXPECT_FALSE(Utf8Valido("\xED\xA0\x80"));  // a lone surrogate
    EXPECT_TRUE(Utf8Valido("emoji \xF0\x9F\x98\x80"));
}

TEST(Texto, CaracteresContamCodigos) {
    EXPECT_EQ(ContarCaracteres("ação"), 4u);
    EXPECT_EQ(PrimeirosCaracteres("ação!", 3), "açã");
    EXPECT_EQ(PrimeirosCaracteres("ab", 10), "ab");
}

TEST(Texto, DividirLinhasComoUmEditor) {
    using V = std::vector<std::string>;
    EXPECT_EQ(DividirLinhas("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(DividirLinhas("a\r\n\r\nb\r\n"), (V{"a", "", "b"}));
    EXPECT_EQ(DividirLinhas(""), V{});
    EXPECT_EQ(DividirLinhas("\r\n"), V{""});
}

TEST(Texto, DividirGuardaPedacosVazios) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Dividir("30, 15;5", ",; "), (V{"30", "", "15", "5"}));
    EXPECT_EQ(Dividir("", ","), V{""});
}

TEST(Texto, OrdenacaoIgnoraCaixaEAcento) {
    EXPECT_LT(ChaveOrdenacao("/m/Água"), ChaveOrdenacao("/m/b"));
    EXPECT_EQ(ChaveOrdenacao("ÁGUA"), ChaveOrdenacao("agua"));
}
