#include <gtest/gtest.h>

#include "falas/uFrases.h"

using namespace ljsn;

namespace {
constexpr auto F = TGeneroEmpresa::geFeminino;
constexpr auto M = TGeneroEmpresa::geMasculino;
constexpr auto S = TGeneroEmpresa::geSemArtigo;
}  // namespace

TEST(Frases, TextoHora) {
    EXPECT_EQ(TextoHora(0, 0), "é meia-noite");
    EXPECT_EQ(TextoHora(1, 1), "é uma hora e um minuto");
    EXPECT_EQ(TextoHora(12, 30), "são 12 horas e 30 minutos");
    EXPECT_EQ(TextoHora(13, 2), "são 13 horas e 2 minutos");
    EXPECT_EQ(TextoHora(0, 15), "é meia-noite e 15 minutos");
}

TEST(Frases, FrasesFixas) {
    EXPECT_EQ(FraseHoraCerta("", F, 14, 0), "Hora certa: são 14 horas!");
    EXPECT_EQ(FraseHoraCerta("   ", M, 14, 0), "Hora certa: são 14 horas!");
    EXPECT_EQ(FraseHoraCerta("Mercado Central", M, 8, 0),
              "O Mercado Central te diz a hora certa: são 8 horas!");
    EXPECT_EQ(FraseHoraCerta("ótica Visão", S, 1, 0),
              "ótica Visão te diz a hora certa: é uma hora!");
    EXPECT_EQ(FraseAvisoFechamento("Farmácia Boa Saúde", F, 1),
              "Atenção: a Farmácia Boa Saúde informa que falta um minuto para encerrarmos nossas "
              "atividades.");
    EXPECT_EQ(FraseAvisoFechamento("", F, 15),
              "Atenção: faltam 15 minutos para encerrarmos nossas atividades.");
    EXPECT_EQ(FraseFechamento("Mercado Central", M),
              "Atenção: estamos encerrando nossas atividades. O Mercado Central agradece a sua "
              "preferência. Volte sempre!");
    EXPECT_EQ(FraseFechamento(" ", M),
              "Atenção: estamos encerrando nossas atividades. Agradecemos a sua preferência. Volte "
              "sempre!");
}

TEST(Frases, NomeECapitalizar) {
    EXPECT_EQ(NomeComArtigo("  Zé Lanches ", S), "Zé Lanches");
    EXPECT_EQ(NomeComArtigo("Padaria", F), "a Padaria");
    EXPECT_EQ(Capitalizar("ótica"), "ótica");
    EXPECT_EQ(Capitalizar("à loja"), "À loja");
    EXPECT_EQ(Capitalizar("é"), "é");
    EXPECT_EQ(Capitalizar(""), "");
    EXPECT_EQ(Juntar("", "x"), "x");
    EXPECT_EQ(Juntar("da", ""), "da ");
}

TEST(Frases, ConverterMarcadoresAntigos) {
    struct TCaso {
        const char* Texto;
        const char* Esperado;
    };
    const TCaso casos[] = {
        {"Venha à {empresa} e compre no {empresa}.", "Venha {à empresa} e compre {na empresa}."},
        {"Pelo {empresa}", "{Pela empresa}"},
        {"Ao {empresa}", "{À empresa}"},
        {"À {empresa}", "{À empresa}"},
        {"Lisboa {empresa}", "Lisboa {empresa}"},
        {"{empresa} chegou", "{empresa} chegou"},
        {"DO {empresa}", "{Da empresa}"},
        {"o  {empresa}", "o  {empresa}"},
        {"a {empresa}\no {empresa}", "{a empresa}\n{a empresa}"},
        {"NA {EMPRESA}", "{Na empresa}"},
        {"Promoção sem marcador", "Promoção sem marcador"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(ConverterMarcadoresAntigos(c.Texto), c.Esperado) << c.Texto;
    }
}

TEST(Frases, AplicarEmpresa) {
    struct TCaso {
        const char* Texto;
        const char* Nome;
        TGeneroEmpresa Genero;
        const char* Esperado;
    };
    const TCaso casos[] = {
        {"{A empresa} agradece. Compre {na empresa}!",
         "Mercado Central",
         M,
         "O Mercado Central agradece. Compre no Mercado Central!"},
        {"{A empresa} agradece. Compre {na empresa}!",
         "Mercado Central",
         S,
         "Mercado Central agradece. Compre em Mercado Central!"},
        {"{À empresa}", "Padaria X", S, "A Padaria X"},
        {"{PELA EMPRESA}", "Loja", F, "pela Loja"},
        {"{da empresa}", "", F, "da "},
        {"Vá {à empresa} ou {À EMPRESA}", "Loja", M, "Vá ao Loja ou ao Loja"},
        {"{Empresa} e {EMPRESA}", " Zé ", S, "Zé e Zé"},
        {"{Da empresa}{pela empresa}", "Casa", F, "Da Casapela Casa"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(AplicarEmpresa(c.Texto, c.Nome, c.Genero), c.Esperado) << c.Texto;
    }
}
