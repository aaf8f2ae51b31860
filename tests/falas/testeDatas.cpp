#include <gtest/gtest.h>

#include "comum/uRelogio.h"
#include "falas/uDatas.h"

using namespace ljsn;

namespace {
std::string Data(double AD) {
    const TDataHora d = DecodificarDataHora(AD);
    return std::to_string(d.Ano) + "-" + std::to_string(d.Mes) + "-" + std::to_string(d.Dia);
}
constexpr auto F = TGeneroEmpresa::geFeminino;
}  // namespace

TEST(Datas, DatasDoAno) {
    struct TCaso {
        const char* Chave;
        int Ano;
        const char* Esperado;
    };
    const TCaso casos[] = {
        {"pascoa", 2024, "2024-3-31"},
        {"pascoa", 2025, "2025-4-20"},
        {"carnaval", 2025, "2025-3-4"},
        {"carnaval", 2024, "2024-2-13"},
        {"maes", 2025, "2025-5-11"},
        {"pais", 2025, "2025-8-10"},
        {"blackfriday", 2025, "2025-11-28"},
        {"blackfriday", 2024, "2024-11-29"},
        {"blackfriday", 2026, "2026-11-27"},
        {"natal", 2026, "2026-12-25"},
        {"anonovo", 2027, "2027-1-1"},
        {"pascoa", 2000, "2000-4-23"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(Data(DataDoAno(c.Chave, c.Ano)), c.Esperado) << c.Chave << " " << c.Ano;
    }
    EXPECT_EQ(DataDoAno("Natal", 2025), 0);  // keys are exact
    EXPECT_EQ(DataDoAno("aniversario", 2025), 0);
    EXPECT_EQ(ListaDatas().size(), 12u);
}

TEST(Datas, Ativas) {
    EXPECT_TRUE(DataAtiva(" * ", "natal"));
    EXPECT_TRUE(DataAtiva("natal, maes", "maes"));
    EXPECT_TRUE(DataAtiva("NATAL", "natal"));
    EXPECT_FALSE(DataAtiva("natal, maes", "pais"));
    EXPECT_FALSE(DataAtiva("", "natal"));
    EXPECT_EQ(TextoFaltam(1), "Falta 1 dia");
    EXPECT_EQ(TextoFaltam(5), "Faltam 5 dias");
}

TEST(Datas, FrasesDoDia) {
    using V = std::vector<std::string>;
    auto frases = [](int AAno,
                     int AMes,
                     int ADia,
                     const char* AAtivas = "*",
                     int ADiasAntes = 7,
                     const char* AAniversario = "") {
        return FrasesDoDia(AAtivas,
                           ADiasAntes,
                           AAniversario,
                           F,
                           "Loja X",
                           CodificarData(AAno, AMes, ADia) + CodificarHora(15, 30));
    };
    EXPECT_EQ(frases(2025, 3, 10),
              (V{"Faltam 5 dias para o Dia do Consumidor. Fique de olho nas ofertas da Loja X!"}));
    EXPECT_EQ(frases(2025, 3, 14)[0],
              "Falta 1 dia para o Dia do Consumidor. Fique de olho nas ofertas da Loja X!");
    EXPECT_EQ(frases(2025, 3, 15),
              (V{"Hoje é o Dia do Consumidor! Aproveite as ofertas especiais da Loja X."}));
    EXPECT_TRUE(frases(2025, 12, 30).empty());
    EXPECT_EQ(frases(2025, 12, 31),
              (V{"A Loja X deseja a todos um próspero Ano Novo, cheio de saúde e conquistas!"}));
    EXPECT_EQ(frases(2026, 1, 1), (V{"A Loja X deseja a todos um feliz Ano Novo!"}));
    EXPECT_TRUE(frases(2025, 3, 10, "*", 0).empty());
    EXPECT_EQ(frases(2025, 12, 20, "natal, maes").size(), 1u);
    EXPECT_TRUE(frases(2025, 12, 20, "maes").empty());
    // The anniversary: only on the day, always last; "7/9" and "07/09" match.
    EXPECT_EQ(frases(2025, 9, 7, "*", 7, "7/9"),
              (V{"Hoje é aniversário da Loja X! Obrigado por fazer parte da nossa história."}));
    EXPECT_EQ(frases(2025, 9, 7, "*", 7, " 07 / 09 ").size(), 1u);
    for (const char* ruim : {"7-9", "7/9/2020", "dd/mm", "8/9"}) {
        EXPECT_TRUE(frases(2025, 9, 7, "*", 7, ruim).empty()) << ruim;
    }
    EXPECT_TRUE(frases(2025, 9, 7, "natal", 7, "7/9").empty());
    const V natal = frases(2025, 12, 25, "*", 7, "25/12");
    ASSERT_EQ(natal.size(), 2u);
    EXPECT_EQ(natal[0], "A Loja X deseja a todos um feliz Natal!");
    EXPECT_EQ(natal[1],
              "Hoje é aniversário da Loja X! Obrigado por fazer parte da nossa história.");
    // Mother's Day 2025 (11 May) counted down from 6 May.
    EXPECT_EQ(frases(2025, 5, 6)[0],
              "Faltam 5 dias para o Dia das Mães. Venha escolher o presente dela na Loja X!");
}
