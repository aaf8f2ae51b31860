#include "apoio/uArmazenamentoLento.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "apoio/uPastaTemporaria.h"

namespace ljsn::teste {

namespace {

// Debian's interpreter, where python3-fusepy lives; a python3 earlier on the
// PATH (pyenv, a venv) usually lacks it.
constexpr const char* kPython = "/usr/bin/python3";
constexpr int kEsperaMontagemMs = 20000;
constexpr int kEsperaRespostaMs = 10000;
constexpr int kEsperaSaidaMs = 10000;

using TRelogio = std::chrono::steady_clock;

int MilissegundosAte(TRelogio::time_point ALimite) {
    const auto resto =
        std::chrono::duration_cast<std::chrono::milliseconds>(ALimite - TRelogio::now()).count();
    return resto < 0 ? 0 : static_cast<int>(resto);
}

std::string ComBarraFinal(const std::string& ACaminho) {
    std::string r = std::filesystem::absolute(ACaminho).lexically_normal().string();
    if (r.empty() || r.back() != '/') {
        r += '/';
    }
    return r;
}

// mountinfo writes blanks and backslashes in paths as octal escapes.
std::string DesfazerEscapes(const std::string& ATexto) {
    std::string r;
    for (std::size_t i = 0; i < ATexto.size(); ++i) {
        if (ATexto[i] == '\\' && i + 3 < ATexto.size()) {
            r += static_cast<char>(std::stoi(ATexto.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            r += ATexto[i];
        }
    }
    return r;
}

// Runs AArgs on our standard streams; its exit status, or -1.
int Rodar(const std::vector<std::string>& AArgs) {
    std::vector<char*> argv;
    for (const auto& a : AArgs) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        ::close_range(3, ~0U, 0);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int estado = 0;
    while (::waitpid(pid, &estado, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
}

void DesmontarPreguicoso(const std::string& APonto) {
    if (::umount2(APonto.c_str(), MNT_DETACH) == 0) {
        return;
    }
    // Without root, only the setuid helpers may unmount.
    for (const char* programa : {"fusermount3", "fusermount"}) {
        if (Rodar({programa, "-u", "-z", "-q", APonto}) == 0 || !EstaMontado(APonto)) {
            return;
        }
    }
}

// Reaps APid; false when it is still running after AMilissegundos.
bool EsperarProcesso(pid_t APid, int AMilissegundos) {
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, APid, 0));
    if (pidfd >= 0) {
        const auto limite = TRelogio::now() + std::chrono::milliseconds(AMilissegundos);
        pollfd p{pidfd, POLLIN, 0};
        int r;
        while ((r = ::poll(&p, 1, MilissegundosAte(limite))) < 0 && errno == EINTR) {
        }
        ::close(pidfd);
        if (r <= 0) {
            return false;
        }
    } else {
        // Kernels before pidfd: poll the child's state.
        const auto limite = TRelogio::now() + std::chrono::milliseconds(AMilissegundos);
        int estado = 0;
        while (::waitpid(APid, &estado, WNOHANG) == 0) {
            if (TRelogio::now() > limite) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
    int estado = 0;
    while (::waitpid(APid, &estado, 0) < 0 && errno == EINTR) {
    }
    return true;
}

}  // namespace

bool EstaMontado(const std::string& APonto) {
    std::string ponto = std::filesystem::absolute(APonto).lexically_normal().string();
    while (ponto.size() > 1 && ponto.back() == '/') {
        ponto.pop_back();
    }
    std::ifstream montagens("/proc/self/mountinfo");
    std::string linha;
    while (std::getline(montagens, linha)) {
        std::istringstream campos(linha);
        std::string id, pai, dispositivo, raiz, onde;
        campos >> id >> pai >> dispositivo >> raiz >> onde;
        if (DesfazerEscapes(onde) == ponto) {
            return true;
        }
    }
    return false;
}

TArmazenamentoLento::TArmazenamentoLento(const std::string& AOrigem,
                                         const std::string& APontoMontagem)
    : FPonto(ComBarraFinal(APontoMontagem)) {
    const std::vector<std::string> args = {
        kPython, LJSN_ARMAZENAMENTO_LENTO, AOrigem, FPonto.substr(0, FPonto.size() - 1)};
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);

    // One socket for both ways: commands go out with MSG_NOSIGNAL, so a
    // helper that died is an error here, not a SIGPIPE for the whole test.
    int par[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, par) != 0) {
        FErro = "socketpair falhou";
        return;
    }
    FPid = ::fork();
    if (FPid < 0) {
        FErro = "fork falhou";
        ::close(par[0]);
        ::close(par[1]);
        return;
    }
    if (FPid == 0) {
        ::dup2(par[1], STDIN_FILENO);
        ::dup2(par[1], STDOUT_FILENO);
        // Only our end: a copy of another pipe's writing end would keep its
        // reader from ever seeing the end.
        ::close_range(3, ~0U, 0);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(par[1]);
    FCanal = par[0];

    const auto limite = TRelogio::now() + std::chrono::milliseconds(kEsperaMontagemMs);
    std::string linha;
    while (true) {
        if (!LerLinha(linha, MilissegundosAte(limite))) {
            FErro = FCanal < 0 ? "o ajudante de armazenamento lento terminou sem montar" +
                                     (linha.empty() ? std::string(" (veja a saida de erros)")
                                                    : ": " + linha)
                               : "o armazenamento lento nao montou em " +
                                     std::to_string(kEsperaMontagemMs / 1000) + " s";
            break;
        }
        if (linha == "PRONTO") {
            FMontado = true;
            break;
        }
        if (linha.rfind("ERRO", 0) == 0) {
            FErro = linha;
            break;
        }
    }
    if (!FMontado) {
        Encerrar();
    }
}

TArmazenamentoLento::~TArmazenamentoLento() {
    std::lock_guard trava(FMutex);
    Encerrar();
}

bool TArmazenamentoLento::Disponivel(std::string* AMotivo) {
    static const std::pair<bool, std::string> kResultado = []() -> std::pair<bool, std::string> {
        if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            return {false, "/dev/fuse ausente ou inacessivel"};
        }
        if (::access(kPython, X_OK) != 0) {
            return {false, std::string(kPython) + " ausente"};
        }
        TPastaTemporaria pasta;
        std::filesystem::create_directories(pasta / "origem");
        TArmazenamentoLento teste(pasta / "origem", pasta / "montagem");
        if (!teste.Montado()) {
            return {false, teste.Erro()};
        }
        return {true, {}};
    }();
    if (AMotivo != nullptr) {
        *AMotivo = kResultado.second;
    }
    return kResultado.first;
}

bool TArmazenamentoLento::BloquearAbrir(const std::string& ANome) {
    return Comando("bloquear-abrir " + ANome) == "OK";
}

bool TArmazenamentoLento::BloquearLer(const std::string& ANome) {
    return Comando("bloquear-ler " + ANome) == "OK";
}

bool TArmazenamentoLento::BloquearListar(const std::string& APasta) {
    return Comando("bloquear-listar " + APasta) == "OK";
}

bool TArmazenamentoLento::BloquearTudo() {
    return Comando("bloquear-tudo") == "OK";
}

bool TArmazenamentoLento::Lento(const std::string& ANome, long long ABytesPorSegundo) {
    return Comando("lento " + ANome + " " + std::to_string(ABytesPorSegundo)) == "OK";
}

bool TArmazenamentoLento::Liberar(const std::string& ANome) {
    return Comando("liberar " + ANome) == "OK";
}

bool TArmazenamentoLento::LiberarTudo() {
    return Comando("liberar-tudo") == "OK";
}

int TArmazenamentoLento::Aberturas(const std::string& ANome) {
    const std::string resposta = Comando("contar " + ANome);
    if (resposta.rfind("OK ", 0) != 0) {
        return -1;
    }
    return std::stoi(resposta.substr(3));
}

std::string TArmazenamentoLento::Comando(const std::string& ALinha) {
    std::lock_guard trava(FMutex);
    if (!FMontado) {
        FErro = "nao montado: " + ALinha;
        return {};
    }
    if (ALinha.find_first_of("\r\n") != std::string::npos) {
        FErro = "nome com quebra de linha: " + ALinha;
        return {};
    }
    std::string resposta;
    if (!Enviar(ALinha) || !LerLinha(resposta, kEsperaRespostaMs)) {
        FErro = "sem resposta do armazenamento lento a \"" + ALinha + "\"";
        return {};
    }
    if (resposta.rfind("OK", 0) != 0) {
        FErro = resposta + " (pedido: " + ALinha + ")";
    }
    return resposta;
}

bool TArmazenamentoLento::Enviar(const std::string& ALinha) {
    const std::string dados = ALinha + "\n";
    std::size_t enviados = 0;
    while (enviados < dados.size()) {
        const ssize_t n =
            ::send(FCanal, dados.data() + enviados, dados.size() - enviados, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        enviados += static_cast<std::size_t>(n);
    }
    return true;
}

bool TArmazenamentoLento::LerLinha(std::string& ALinha, int AMilissegundos) {
    const auto limite = TRelogio::now() + std::chrono::milliseconds(AMilissegundos);
    while (true) {
        const std::size_t fim = FBuffer.find('\n');
        if (fim != std::string::npos) {
            ALinha = FBuffer.substr(0, fim);
            FBuffer.erase(0, fim + 1);
            return true;
        }
        if (FCanal < 0) {
            ALinha = std::exchange(FBuffer, {});
            return false;
        }
        pollfd p{FCanal, POLLIN, 0};
        const int r = ::poll(&p, 1, MilissegundosAte(limite));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            ALinha.clear();
            return false;
        }
        char bloco[4096];
        const ssize_t n = ::recv(FCanal, bloco, sizeof bloco, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ::close(FCanal);
            FCanal = -1;
            continue;
        }
        FBuffer.append(bloco, static_cast<std::size_t>(n));
    }
}

void TArmazenamentoLento::Encerrar() {
    // Only a mount of ours is undone: a helper that refused to start (say, the
    // point was taken) must not take another helper's mount with it.
    bool nosso = FMontado;
    if (FPid > 0) {
        // "sair" lifts every rule before unmounting and answers once unmounted.
        std::string linha;
        if (FMontado && FCanal >= 0 && Enviar("sair")) {
            const auto limite = TRelogio::now() + std::chrono::milliseconds(kEsperaSaidaMs);
            while (LerLinha(linha, MilissegundosAte(limite)) && linha.rfind("OK", 0) != 0) {
            }
        }
        if (FCanal >= 0) {
            ::shutdown(FCanal, SHUT_WR);
        }
        // One that never mounted has said why and is leaving, or is stuck.
        if (!EsperarProcesso(FPid, FMontado ? kEsperaSaidaMs : 2000)) {
            ::kill(FPid, SIGKILL);
            EsperarProcesso(FPid, kEsperaSaidaMs);
            // It may have mounted without saying so yet.
            nosso = true;
        }
        FPid = -1;
    }
    if (FCanal >= 0) {
        ::close(FCanal);
        FCanal = -1;
    }
    // A killed helper leaves a dead mount behind ("Transport endpoint is not
    // connected") that would break removing the folder around it.
    if (nosso && EstaMontado(FPonto)) {
        DesmontarPreguicoso(FPonto);
    }
    FMontado = false;
}

}  // namespace ljsn::teste
