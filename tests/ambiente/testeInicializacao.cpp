#include <gtest/gtest.h>

#include "ambiente/uInicializacao.h"

using namespace ljsn;

TEST(Inicializacao, OpcoesDaLoja) {
    EXPECT_TRUE(EhOpcao("/bandeja", "bandeja"));
    EXPECT_TRUE(EhOpcao("-BANDEJA", "bandeja"));
    EXPECT_FALSE(EhOpcao("bandeja", "bandeja"));
    EXPECT_FALSE(EhOpcao("--bandeja", "bandeja"));
    EXPECT_FALSE(EhOpcao("/bandejas", "bandeja"));
}

// The earlier switch of the table wins, whatever the command line's order.
TEST(Inicializacao, ComandoDaLinha) {
    EXPECT_EQ(ComandoDaLinha({"/horacerta", "-Proxima"}), 2);
    EXPECT_EQ(ComandoDaLinha({"/chamadas"}), 4);
    EXPECT_EQ(ComandoDaLinha({"x", "/TOCARPAUSAR"}), 1);
    EXPECT_EQ(ComandoDaLinha({"proxima"}), 0);
    EXPECT_EQ(ComandoDaLinha({}), 0);
}

TEST(Inicializacao, NossasOpcoes) {
    const auto l = LerLinhaComando(
        {"-Bandeja", "--sem-janela", "--dados", "/tmp/x y", "/proxima", "--gravar-saida", "o.wav"});
    EXPECT_TRUE(l.Bandeja);
    EXPECT_TRUE(l.SemJanela);
    EXPECT_EQ(l.Dados, "/tmp/x y");
    EXPECT_EQ(l.GravarSaida, "o.wav");
    EXPECT_EQ(l.Comando, 2);
    EXPECT_TRUE(l.Erros.empty());
    EXPECT_EQ(l.Argumentos,
              " -Bandeja --sem-janela --dados /tmp/x y /proxima --gravar-saida o.wav");

    const auto m = LerLinhaComando({"--medir-loudness", "a.mp3", "--dados"});
    EXPECT_TRUE(m.MedirLoudnessPedido);
    EXPECT_EQ(m.MedirLoudness, (std::vector<std::string>{"a.mp3", "--dados"}));

    EXPECT_EQ(LerLinhaComando({"--dados"}).Erros.size(), 1u);
    EXPECT_EQ(LerLinhaComando({"--nada"}).Erros.size(), 1u);
    EXPECT_TRUE(LerLinhaComando({}).Argumentos.empty());
}
