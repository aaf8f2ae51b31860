#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ambiente/uInstancia.h"
#include "apoio/uPastaTemporaria.h"
#include "apoio/uProcesso.h"
#include "comum/uTexto.h"

using namespace ljsn;
using namespace ljsn::teste;

// The real program's channel between copies, as a second copy, a monitoring
// script and another user on the same machine meet it.

namespace {

int ConectarUnix(const std::string& ACaminho) {
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un e{};
    e.sun_family = AF_UNIX;
    std::strncpy(e.sun_path, ACaminho.c_str(), sizeof e.sun_path - 1);
    if (::connect(s, reinterpret_cast<sockaddr*>(&e), sizeof e) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

// Starts the headless program and waits for its "running" line.
void Iniciar(TProcesso& APrograma) {
    for (std::string l = APrograma.LerLinha(); l.find("rodando sem janela") == std::string::npos;
         l = APrograma.LerLinha()) {
        ASSERT_FALSE(l.empty()) << "the program ended before running";
    }
}

}  // namespace

// Without a runtime folder of its own, the channel lived in a folder under
// /tmp that another user could make first: holding its lock and socket, that
// user made the shop's program exit at once (status 0, no log, no music),
// received its switches and answered its --estado. The program now refuses a
// folder it does not own alone, says so in the log, and runs.
TEST(BinarioInstancia, OutroUsuarioNaoTomaOCanal) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can act as another user";
    }
    TPastaTemporaria base;
    // Shared by all users, as /tmp is.
    ::chmod(base.Caminho().c_str(), 01777);
    const std::string dados = base / "dados";
    std::filesystem::create_directories(dados);
    const std::string armadilha = base / "armadilha";
    const std::string nome = NomeDaInstancia(dados);
    int pronto[2];
    int pedidos[2];
    ASSERT_EQ(::pipe(pronto), 0);
    ASSERT_EQ(::pipe2(pedidos, O_NONBLOCK), 0);
    const pid_t intruso = ::fork();
    ASSERT_GE(intruso, 0);
    if (intruso == 0) {
        // Another user's process: the folder first, its lock, its socket.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(2);
        }
        ::umask(0);
        const std::string trava = armadilha + "/" + nome + ".lock";
        const std::string socket = armadilha + "/" + nome + ".sock";
        const int t = ::mkdir(armadilha.c_str(), 0777) == 0
                          ? ::open(trava.c_str(), O_CREAT | O_RDWR, 0666)
                          : -1;
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un e{};
        e.sun_family = AF_UNIX;
        std::strncpy(e.sun_path, socket.c_str(), sizeof e.sun_path - 1);
        if (t < 0 || ::flock(t, LOCK_EX) != 0 ||
            ::bind(s, reinterpret_cast<sockaddr*>(&e), sizeof e) != 0 || ::listen(s, 8) != 0) {
            ::_exit(3);
        }
        (void)!::write(pronto[1], "x", 1);
        for (;;) {
            const int c = ::accept(s, nullptr, nullptr);
            char b = 0;
            if (c >= 0 && ::recv(c, &b, 1, 0) == 1) {
                (void)!::write(pedidos[1], "x", 1);
                const char resposta[] = "OK {\"intruso\":true}\n";
                (void)!::send(c, resposta, sizeof resposta - 1, MSG_NOSIGNAL);
            }
            ::close(c);
        }
    }
    ::close(pronto[1]);
    char b = 0;
    ASSERT_EQ(::read(pronto[0], &b, 1), 1) << "the other user's process did not get ready";
    ::close(pronto[0]);
    struct TMatar {
        pid_t Pid;
        ~TMatar() {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
    } matar{intruso};

    std::filesystem::create_directories(base / "tmp");
    const std::vector<std::string> ambiente = {"LJSN_EDGE=" + (base / "sem-navegador"),
                                               "SDL_AUDIODRIVER=dummy",
                                               "XDG_RUNTIME_DIR=" + armadilha,
                                               "TMPDIR=" + (base / "tmp")};
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados, "/tocarpausar"}, ambiente);
    Iniciar(programa);
    TProcesso estado({LJSN_BINARIO, "--estado", "--dados", dados}, ambiente);
    const std::string json = estado.LerLinha();
    EXPECT_EQ(estado.Esperar(), 0);
    EXPECT_EQ(json.rfind("{\"situacao\":", 0), 0u) << json;
    TProcesso segunda({LJSN_BINARIO, "--dados", dados, "/proxima"}, ambiente);
    EXPECT_EQ(segunda.Esperar(), 0);
    programa.Sinalizar(SIGTERM);
    EXPECT_EQ(programa.Esperar(), 0);
    EXPECT_EQ(::read(pedidos[0], &b, 1), -1) << "a request reached the other user's socket";
    ::close(pedidos[0]);
    ::close(pedidos[1]);
    const std::string log = LerLogs(dados);
    EXPECT_NE(log.find("pasta de execucao insegura, evitada: " + armadilha +
                       " pertence a outro usuario (uid 65534)"),
              std::string::npos)
        << log;
}

// --estado used to say no copy runs (exit 3) while ten idle connections
// held the channel, or while the copy was stopped, and a second copy whose
// switch went unanswered ended with 0. A copy that exists but does not answer
// now has its own exit code, 4.
TEST(BinarioInstancia, EstadoDistingueCopiaOcupadaParadaENenhuma) {
    TPastaTemporaria base;
    const std::string dados = base / "dados";
    const std::string execucao = base / "execucao";
    std::filesystem::create_directories(execucao);
    ::chmod(execucao.c_str(), 0700);
    const std::vector<std::string> ambiente = {"LJSN_EDGE=" + (base / "sem-navegador"),
                                               "SDL_AUDIODRIVER=dummy",
                                               "XDG_RUNTIME_DIR=" + execucao};
    const auto rodar = [&](const std::vector<std::string>& AArgs) {
        std::vector<std::string> args = {LJSN_BINARIO, "--dados", dados};
        args.insert(args.end(), AArgs.begin(), AArgs.end());
        TProcesso p(args, ambiente);
        const std::string linha = p.LerLinha();
        return std::make_pair(p.Esperar(), linha);
    };
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados, "/tocarpausar"}, ambiente);
    Iniciar(programa);

    std::vector<int> ociosas;
    for (int i = 0; i < 10; ++i) {
        ociosas.push_back(ConectarUnix(execucao + "/" + NomeDaInstancia(dados) + ".sock"));
        ASSERT_GE(ociosas.back(), 0);
    }
    const auto ocupada = rodar({"--estado"});
    EXPECT_EQ(ocupada.first, 0);
    EXPECT_EQ(ocupada.second.rfind("{\"situacao\":", 0), 0u) << ocupada.second;
    for (const int s : ociosas) {
        ::close(s);
    }

    programa.Sinalizar(SIGSTOP);
    EXPECT_EQ(rodar({"--estado"}).first, 4);
    EXPECT_EQ(rodar({"/proxima"}).first, 4);
    programa.Sinalizar(SIGCONT);
    EXPECT_EQ(rodar({"--estado"}).first, 0);
    programa.Sinalizar(SIGTERM);
    EXPECT_EQ(programa.Esperar(), 0);
    EXPECT_EQ(rodar({"--estado"}).first, 3);
}
