#include <gtest/gtest.h>

#include "comum/uRelogio.h"

using namespace ljsn;

// Days since 1899-12-30 as the settings and news dates store them.
TEST(Relogio, CodificarEDecodificar) {
    EXPECT_DOUBLE_EQ(CodificarData(1899, 12, 30), 0);
    EXPECT_DOUBLE_EQ(CodificarData(1900, 1, 1), 2);
    EXPECT_DOUBLE_EQ(CodificarData(2024, 5, 1), 45413);
    const TDataHora d =
        DecodificarDataHora(CodificarData(2026, 12, 9) + CodificarHora(14, 3, 7, 123));
    EXPECT_EQ(d.Ano, 2026);
    EXPECT_EQ(d.Mes, 12);
    EXPECT_EQ(d.Dia, 9);
    EXPECT_EQ(d.Hora, 14);
    EXPECT_EQ(d.Minuto, 3);
    EXPECT_EQ(d.Segundo, 7);
    EXPECT_EQ(d.Milissegundo, 123);
    EXPECT_EQ(d.DiaSemana, 3);  // a Wednesday
}

// Rounding a time near midnight must carry into the next day, not give 24:00.
TEST(Relogio, ArredondamentoLevaAoDiaSeguinte) {
    const TDataHora d = DecodificarDataHora(CodificarData(2024, 2, 28) + 0.99999999999);
    EXPECT_EQ(d.Dia, 29);
    EXPECT_EQ(d.Hora, 0);
}

TEST(Relogio, DiasDaSemanaEMeses) {
    EXPECT_EQ(DiaDaSemana(CodificarData(2025, 5, 11)), 7);  // Mother's Day 2025, a Sunday
    EXPECT_EQ(DiaDaSemana(CodificarData(2024, 11, 29)), 5);
    EXPECT_EQ(DiasNoMes(2024, 2), 29);
    EXPECT_EQ(DiasNoMes(1900, 2), 28);
    EXPECT_EQ(DiasNoMes(2000, 2), 29);
    EXPECT_FALSE(DataValida(2025, 2, 29));
}

TEST(Relogio, TextosDoRelogio) {
    const double t = CodificarData(2026, 12, 9) + CodificarHora(7, 5, 9);
    EXPECT_EQ(FormatarHoraMinutoSegundo(t), "07:05:09");
    EXPECT_EQ(FormatarHoraMinuto(t), "07:05");
    EXPECT_EQ(FormatarDataPorExtenso(t), "quarta-feira, 9 de dezembro de 2026");
    EXPECT_EQ(FormatarDataPorExtenso(CodificarData(2025, 3, 1)), "sábado, 1 de março de 2025");
}

// Spans are taken as unsigned differences, so they survive the 49.7-day wrap.
TEST(Relogio, DecorridoAtravessaAVolta) {
    EXPECT_EQ(DecorridoMs(0xFFFFFF00u, 0x00000100u), 0x200u);
}

TEST(Relogio, TempoSistemaIdaEVolta) {
    const double t = CodificarData(2025, 7, 14) + CodificarHora(15, 30, 0);
    EXPECT_NEAR(DataHoraDeTempoSistema(TempoSistemaDeDataHora(t)), t, 1e-9);
}
