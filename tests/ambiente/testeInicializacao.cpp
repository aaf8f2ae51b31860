#include <cstring>
#include <filesystem>
#include <mutex>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "ambiente/uInicializacao.h"
#include "ambiente/uInstancia.h"
#include "apoio/uPastaTemporaria.h"

using namespace ljsn;
using namespace ljsn::teste;

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

// One copy: the first holds the lock and answers on its socket; a second
// cannot take the lock and its request reaches the first; a socket left by
// a crashed copy does not stop the next start.
TEST(InstanciaUnica, PrimeiraSegundaEVelha) {
    TPastaTemporaria pasta;
    const std::string nome = NomeDaInstancia("");
    EXPECT_EQ(nome, "LojaSonorante_InstanciaUnica");
    EXPECT_FALSE(EnviarAInstancia(pasta.Caminho(), nome, "MOSTRAR", 200));

    auto primeira = TInstanciaUnica::Tentar(pasta.Caminho(), nome);
    ASSERT_TRUE(primeira);
    std::vector<std::string> recebidos;
    std::mutex trava;
    ASSERT_TRUE(primeira->Atender([&](const std::string& APedido) {
        std::lock_guard t(trava);
        recebidos.push_back(APedido);
        return std::string("OK");
    }));
    EXPECT_FALSE(TInstanciaUnica::Tentar(pasta.Caminho(), nome));
    EXPECT_EQ(EnviarAInstancia(pasta.Caminho(), nome, PedidoDaLinha(2)), "OK");
    EXPECT_EQ(EnviarAInstancia(pasta.Caminho(), nome, PedidoDaLinha(0)), "OK");
    {
        std::lock_guard t(trava);
        EXPECT_EQ(recebidos, (std::vector<std::string>{"ACAO 2", "MOSTRAR"}));
    }
    // Another protocol's line is refused, and the server goes on.
    {
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un e{};
        e.sun_family = AF_UNIX;
        std::strcpy(e.sun_path, primeira->CaminhoSocket().c_str());
        ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&e), sizeof e), 0);
        ASSERT_EQ(::write(s, "OLA\n", 4), 4);
        char resposta[64] = {};
        ASSERT_GT(::read(s, resposta, sizeof resposta - 1), 0);
        EXPECT_EQ(std::string(resposta), "ERRO pedido desconhecido\n");
        ::close(s);
    }
    primeira.reset();
    EXPECT_FALSE(std::filesystem::exists(pasta / (nome + ".sock")));

    // A crash leaves the socket file behind (and no lock): the next copy starts.
    EscreverArquivo(pasta / (nome + ".sock"), "velho");
    auto nova = TInstanciaUnica::Tentar(pasta.Caminho(), nome);
    ASSERT_TRUE(nova);
    ASSERT_TRUE(nova->Atender([](const std::string&) { return std::string("OK"); }));
    EXPECT_EQ(EnviarAInstancia(pasta.Caminho(), nome, "MOSTRAR"), "OK");
    // A data folder chosen on the command line makes its own copy.
    EXPECT_NE(NomeDaInstancia("/tmp/loja-a"), NomeDaInstancia("/tmp/loja-b"));
    EXPECT_EQ(NomeDaInstancia("/tmp/loja-a/"), NomeDaInstancia("/tmp/loja-a"));
}

// Autostart: on twice writes one entry that starts hidden; off twice is off.
TEST(Inicializacao, IniciarComOComputador) {
    TPastaTemporaria pasta;
    ::setenv("XDG_CONFIG_HOME", pasta.Caminho().c_str(), 1);
    EXPECT_FALSE(IniciaComWindows());
    ASSERT_TRUE(DefinirIniciarComWindows(true, "/opt/loja sonorante/lojasonorante"));
    const std::string primeiro = LerArquivo(ArquivoAutoInicio());
    ASSERT_TRUE(DefinirIniciarComWindows(true, "/opt/loja sonorante/lojasonorante"));
    EXPECT_EQ(LerArquivo(ArquivoAutoInicio()), primeiro);
    EXPECT_TRUE(IniciaComWindows());
    EXPECT_NE(primeiro.find("Exec=\"/opt/loja sonorante/lojasonorante\" /bandeja\n"),
              std::string::npos);
    EXPECT_EQ(ArquivoAutoInicio(), pasta / "autostart/lojasonorante.desktop");
    EXPECT_EQ(ComandoInicio("/a$b"), "\"/a\\$b\" /bandeja");
    ASSERT_TRUE(DefinirIniciarComWindows(false, ""));
    EXPECT_FALSE(IniciaComWindows());
    EXPECT_TRUE(DefinirIniciarComWindows(false, ""));
    // A desktop that switched the entry off in its own settings: off.
    EscreverArquivo(ArquivoAutoInicio(), "[Desktop Entry]\nExec=x\nHidden=true\n");
    EXPECT_FALSE(IniciaComWindows());
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST(Inicializacao, Bandeja) {
    EXPECT_TRUE(IniciarNaBandeja(LerLinhaComando({"-BANDEJA"})));
    EXPECT_TRUE(IniciarNaBandeja(LerLinhaComando({"/bandeja"})));
    EXPECT_FALSE(IniciarNaBandeja(LerLinhaComando({"bandeja"})));
    EXPECT_TRUE(LerLinhaComando({"--aceitar-termos"}).AceitarTermos);
}
