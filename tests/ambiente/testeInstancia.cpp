#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
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
#include "ambiente/uPastas.h"
#include "apoio/uPastaTemporaria.h"
#include "comum/uTexto.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

constexpr uid_t kOutroUid = 65534;  // "nobody"

bool SouRoot() {
    return ::geteuid() == 0;
}

// Environment variables set for one test and put back afterwards.
class TVariaveis {
  public:
    TVariaveis() = default;
    TVariaveis(const TVariaveis&) = delete;
    TVariaveis& operator=(const TVariaveis&) = delete;
    ~TVariaveis() {
        for (const auto& [nome, valor] : FAntes) {
            if (valor) {
                ::setenv(nome.c_str(), valor->c_str(), 1);
            } else {
                ::unsetenv(nome.c_str());
            }
        }
    }
    void Definir(const std::string& ANome, const std::optional<std::string>& AValor) {
        const char* antes = std::getenv(ANome.c_str());
        FAntes.emplace_back(ANome,
                            antes != nullptr ? std::optional<std::string>(antes) : std::nullopt);
        if (AValor) {
            ::setenv(ANome.c_str(), AValor->c_str(), 1);
        } else {
            ::unsetenv(ANome.c_str());
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> FAntes;
};

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

// A child process running AFazer as another user; its exit status is
// AFazer's result. The child makes only system calls.
class TOutroUsuario {
  public:
    explicit TOutroUsuario(const std::function<int()>& AFazer) {
        FPid = ::fork();
        if (FPid == 0) {
            if (::setgid(kOutroUid) != 0 || ::setuid(kOutroUid) != 0) {
                ::_exit(100);
            }
            ::_exit(AFazer());
        }
    }
    TOutroUsuario(const TOutroUsuario&) = delete;
    TOutroUsuario& operator=(const TOutroUsuario&) = delete;
    ~TOutroUsuario() {
        if (FPid > 0 && !FTerminou) {
            ::kill(FPid, SIGKILL);
            Esperar();
        }
    }
    int Esperar() {
        int estado = 0;
        ::waitpid(FPid, &estado, 0);
        FTerminou = true;
        return WIFEXITED(estado) ? WEXITSTATUS(estado) : 128 + WTERMSIG(estado);
    }

  private:
    pid_t FPid = -1;
    bool FTerminou = false;
};

}  // namespace

// The runtime folder is used only when it is this user's own real folder,
// closed to everyone else; otherwise the private folder under $TMPDIR, and
// when that one is someone else's too, the one in the cache folder. Each
// place passed over is named with its reason.
TEST(Instancia, PastaDeExecucaoSoSeForPropriaEFechada) {
    if (!SouRoot()) {
        GTEST_SKIP() << "only root can make folders of another user";
    }
    TPastaTemporaria base;
    const std::string tmp = base / "tmp";
    const std::string cache = base / "cache";
    std::filesystem::create_directories(tmp);
    const std::string privada = tmp + "/lojasonorante-" + std::to_string(::geteuid());
    const auto pasta = [&](const std::string& ANome, mode_t AModo, uid_t ADono) {
        const std::string p = base / ANome;
        std::filesystem::create_directories(p);
        ::chmod(p.c_str(), AModo);
        EXPECT_EQ(::chown(p.c_str(), ADono, ADono), 0);
        return p;
    };
    const std::string boa = pasta("boa", 0700, 0);
    ::symlink(boa.c_str(), (base / "link").c_str());
    EscreverArquivo(base / "arquivo", "x");
    struct TCaso {
        const char* Nome;
        std::optional<std::string> Xdg;
        bool PrivadaAlheia;  // the private folder under TMPDIR made first by another user
        std::string Esperada;
        const char* Motivo;
    };
    const TCaso casos[] = {
        {"PropriaEFechada", boa, false, boa + "/", ""},
        {"DeOutroUsuario",
         pasta("alheia", 0777, kOutroUid),
         false,
         privada + "/",
         "pertence a outro usuario (uid 65534)"},
        {"AbertaAOutros",
         pasta("aberta", 0777, 0),
         false,
         privada + "/",
         "outros usuarios tem acesso (permissoes 777)"},
        {"Link", base / "link", false, privada + "/", "e um link"},
        {"Arquivo", base / "arquivo", false, privada + "/", "nao e uma pasta"},
        {"SemVariavel", std::nullopt, false, privada + "/", ""},
        {"PrivadaTomadaAntes",
         std::nullopt,
         true,
         cache + "/lojasonorante/",
         "pertence a outro usuario (uid 65534)"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Nome);
        std::filesystem::remove_all(privada);
        std::filesystem::remove_all(cache);
        if (c.PrivadaAlheia) {
            // A shared temporary folder, as /tmp is.
            ASSERT_EQ(::chmod(base.Caminho().c_str(), 0755), 0);
            ASSERT_EQ(::chmod(tmp.c_str(), 01777), 0);
            TOutroUsuario outro([&] {
                ::umask(0);
                return ::mkdir(privada.c_str(), 0777) == 0 ? 0 : 1;
            });
            ASSERT_EQ(outro.Esperar(), 0);
        }
        TVariaveis variaveis;
        variaveis.Definir("XDG_RUNTIME_DIR", c.Xdg);
        variaveis.Definir("TMPDIR", tmp);
        variaveis.Definir("XDG_CACHE_HOME", cache);
        std::string motivo;
        EXPECT_EQ(PastaExecucao(&motivo), c.Esperada);
        EXPECT_NE(motivo.find(c.Motivo), std::string::npos) << motivo;
        EXPECT_EQ(motivo.empty(), std::string(c.Motivo).empty()) << motivo;
        struct stat st {};
        ASSERT_EQ(::lstat(c.Esperada.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 077, 0u);
    }
}

// Both ends check who is on the other side: the running copy ignores
// another user's request, and a copy asking never talks to another user's
// socket (it would hand it its switch and print its answer).
TEST(Instancia, SoConversaComOMesmoUsuario) {
    if (!SouRoot()) {
        GTEST_SKIP() << "only root can act as another user";
    }
    TPastaTemporaria base;
    // Reachable by the other user, as a careless folder would be.
    ::chmod(base.Caminho().c_str(), 0777);
    const std::string nome = "LojaSonorante_InstanciaUnica";
    {
        auto copia = TInstanciaUnica::Tentar(base.Caminho(), nome);
        ASSERT_TRUE(copia);
        std::atomic<int> pedidos{0};
        ASSERT_TRUE(copia->Atender([&](const std::string&) {
            ++pedidos;
            return std::string("OK");
        }));
        ::chmod(copia->CaminhoSocket().c_str(), 0666);
        const std::string socket = copia->CaminhoSocket();
        TOutroUsuario intruso([&] {
            const int s = ConectarUnix(socket);
            if (s < 0) {
                return 2;
            }
            const char pedido[] = "LJSN/1 ACAO 2\n";
            if (::send(s, pedido, sizeof pedido - 1, MSG_NOSIGNAL) < 0) {
                return 0;  // refused already
            }
            pollfd p{s, POLLIN, 0};
            char c = 0;
            // Answered: the request was served.
            return ::poll(&p, 1, 5000) == 1 && ::recv(s, &c, 1, 0) == 1 ? 1 : 0;
        });
        EXPECT_EQ(intruso.Esperar(), 0) << "another user's request was answered";
        EXPECT_EQ(pedidos.load(), 0);
        EXPECT_EQ(EnviarAInstancia(base.Caminho(), nome, "MOSTRAR"), "OK");
        EXPECT_EQ(pedidos.load(), 1);
    }

    // Another user's copy, with its lock and socket in this user's folder.
    int pronto[2];
    ASSERT_EQ(::pipe(pronto), 0);
    const std::string socket = base / (nome + ".sock");
    TOutroUsuario outraCopia([&] {
        ::close(pronto[0]);
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un e{};
        e.sun_family = AF_UNIX;
        std::strncpy(e.sun_path, socket.c_str(), sizeof e.sun_path - 1);
        if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&e), sizeof e) != 0 ||
            ::chmod(socket.c_str(), 0666) != 0 || ::listen(s, 4) != 0) {
            return 2;
        }
        (void)!::write(pronto[1], "x", 1);
        const int c = ::accept(s, nullptr, nullptr);
        pollfd p{c, POLLIN, 0};
        char lixo = 0;
        const bool recebeu = ::poll(&p, 1, 3000) == 1 && ::recv(c, &lixo, 1, 0) == 1;
        const char resposta[] = "OK {\"intruso\":true}\n";
        (void)!::send(c, resposta, sizeof resposta - 1, MSG_NOSIGNAL);
        return recebeu ? 1 : 0;
    });
    ::close(pronto[1]);
    char b = 0;
    ASSERT_EQ(::read(pronto[0], &b, 1), 1);
    ::close(pronto[0]);
    const auto conversa = ConversarComInstancia(base.Caminho(), nome, "ESTADO");
    EXPECT_EQ(conversa.Situacao, TSituacaoInstancia::siAlheia);
    EXPECT_EQ(conversa.Resposta, "");
    EXPECT_EQ(outraCopia.Esperar(), 0) << "the request reached another user's socket";
}

// Idle connections no longer queue the requests behind them: each has its
// own thread and deadline, so a copy busy with ten of them still answers.
TEST(Instancia, ConexoesOciosasNaoCalamACopia) {
    TPastaTemporaria pasta;
    const std::string nome = "LojaSonorante_InstanciaUnica";
    auto copia = TInstanciaUnica::Tentar(pasta.Caminho(), nome);
    ASSERT_TRUE(copia);
    ASSERT_TRUE(copia->Atender([](const std::string& APedido) { return "OK " + APedido; }));
    std::vector<int> ociosas;
    for (int i = 0; i < 10; ++i) {
        ociosas.push_back(ConectarUnix(copia->CaminhoSocket()));
        ASSERT_GE(ociosas.back(), 0);
    }
    // Well inside the 2 s one idle connection may hold a serial server.
    EXPECT_EQ(EnviarAInstancia(pasta.Caminho(), nome, "ESTADO", 1500), "OK ESTADO");
    for (const int s : ociosas) {
        ::close(s);
    }
}

// A copy that holds the lock but does not answer (stopped, or stuck before
// its socket) is told apart from no copy at all, and each gets its exit code.
TEST(Instancia, CopiaQueNaoRespondeNaoEhNenhuma) {
    TPastaTemporaria pasta;
    const std::string nome = "LojaSonorante_InstanciaUnica";
    const std::string socket = pasta / (nome + ".sock");
    std::string mensagem;

    auto nenhuma = ConversarComInstancia(pasta.Caminho(), nome, "ESTADO", 500);
    EXPECT_EQ(nenhuma.Situacao, TSituacaoInstancia::siNenhuma);
    EXPECT_EQ(DesfechoDaConversa(nenhuma, mensagem), 3);
    EXPECT_EQ(mensagem, "nenhuma copia do programa esta rodando");
    // A socket left by a crash, and a lock nobody holds: still none.
    EscreverArquivo(socket, "velho");
    EscreverArquivo(pasta / (nome + ".lock"), "");
    EXPECT_EQ(ConversarComInstancia(pasta.Caminho(), nome, "ESTADO", 500).Situacao,
              TSituacaoInstancia::siNenhuma);
    std::filesystem::remove(socket);

    auto copia = TInstanciaUnica::Tentar(pasta.Caminho(), nome);
    ASSERT_TRUE(copia);
    // Locked, no socket yet: starting, or stuck.
    auto parada = ConversarComInstancia(pasta.Caminho(), nome, "ESTADO", 300);
    EXPECT_EQ(parada.Situacao, TSituacaoInstancia::siSemResposta);
    EXPECT_EQ(DesfechoDaConversa(parada, mensagem), 4);
    EXPECT_EQ(mensagem, "uma copia do programa esta rodando, mas nao respondeu");
    // A socket that takes connections and never answers, as a stopped
    // process's does.
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un e{};
    e.sun_family = AF_UNIX;
    std::strncpy(e.sun_path, socket.c_str(), sizeof e.sun_path - 1);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&e), sizeof e), 0);
    ASSERT_EQ(::listen(s, 4), 0);
    EXPECT_EQ(ConversarComInstancia(pasta.Caminho(), nome, "ESTADO", 300).Situacao,
              TSituacaoInstancia::siSemResposta);
    ::close(s);

    struct TCaso {
        const char* Resposta;
        int Codigo;
        const char* Mensagem;
    };
    const TCaso casos[] = {
        {"OK", 0, ""},
        {"OK {\"situacao\":\"parado\"}", 0, ""},
        {kRespostaOcupado, 4, "uma copia do programa esta rodando, mas nao respondeu"},
        {"ERRO pedido desconhecido", 1, "ERRO pedido desconhecido"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Resposta);
        EXPECT_EQ(DesfechoDaConversa({TSituacaoInstancia::siRespondeu, c.Resposta}, mensagem),
                  c.Codigo);
        EXPECT_EQ(mensagem, c.Mensagem);
    }
}
