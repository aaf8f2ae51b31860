#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "apoio/uPastaTemporaria.h"
#include "apoio/uProcesso.h"

using namespace ljsn::teste;

// The real program, headless, on a data folder of its own: it starts, logs
// its start lines, and SIGTERM ends it through the orderly shutdown.
TEST(Binario, SemJanelaTerminaComSigterm) {
    TPastaTemporaria dados;
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho()});
    const std::string linha = programa.LerLinha();
    ASSERT_NE(linha.find("rodando sem janela"), std::string::npos) << linha;
    programa.Sinalizar(SIGTERM);
    EXPECT_EQ(programa.Esperar(), 0);

    ASSERT_TRUE(std::filesystem::exists(dados / "config.ini"));
    std::string log;
    for (const auto& e : std::filesystem::directory_iterator(dados / "Logs")) {
        log += LerArquivo(e.path().string());
    }
    EXPECT_NE(log.find("[INICIO]   Loja Sonorante 1.20.0 aberto em "), std::string::npos) << log;
    EXPECT_NE(log.find("[INICIO]   musicas: "), std::string::npos);
    EXPECT_NE(log.find("[FIM]      programa fechado"), std::string::npos);
    // The first run found the examples beside the executable.
    EXPECT_NE(LerArquivo(dados / "config.ini").find("Exemplos/Musicas"), std::string::npos);
}

TEST(Binario, VersaoEAjuda) {
    TProcesso versao({LJSN_BINARIO, "--versao"});
    EXPECT_EQ(versao.LerLinha(), "Loja Sonorante 1.20.0");
    EXPECT_EQ(versao.Esperar(), 0);
    TProcesso errado({LJSN_BINARIO, "--opcao-que-nao-existe"});
    EXPECT_EQ(errado.Esperar(), 2);
}
