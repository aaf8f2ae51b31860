#include "apoio/uProcesso.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "apoio/uPastaTemporaria.h"

namespace ljsn::teste {

TProcesso::TProcesso(const std::vector<std::string>& AArgs,
                     const std::vector<std::string>& AAmbiente) {
    int canos[2];
    if (::pipe(canos) != 0) {
        throw std::runtime_error("pipe falhou");
    }
    FPid = ::fork();
    if (FPid < 0) {
        throw std::runtime_error("fork falhou");
    }
    if (FPid == 0) {
        ::dup2(canos[1], STDOUT_FILENO);
        ::close(canos[0]);
        ::close(canos[1]);
        for (const auto& a : AAmbiente) {
            ::putenv(const_cast<char*>(a.c_str()));
        }
        std::vector<char*> argv;
        for (const auto& a : AArgs) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(canos[1]);
    FSaida = canos[0];
}

TProcesso::~TProcesso() {
    if (!FTerminou && FPid > 0) {
        ::kill(FPid, SIGKILL);
        Esperar();
    }
    if (FSaida >= 0) {
        ::close(FSaida);
    }
}

std::string TProcesso::LerLinha() {
    while (true) {
        const std::size_t fim = FBuffer.find('\n');
        if (fim != std::string::npos) {
            std::string linha = FBuffer.substr(0, fim);
            FBuffer.erase(0, fim + 1);
            return linha;
        }
        char bloco[4096];
        const ssize_t n = ::read(FSaida, bloco, sizeof bloco);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            FFimSaida = true;
            std::string resto = std::move(FBuffer);
            FBuffer.clear();
            return resto;
        }
        FBuffer.append(bloco, static_cast<std::size_t>(n));
    }
}

void TProcesso::Sinalizar(int ASinal) {
    ::kill(FPid, ASinal);
}

int TProcesso::Esperar() {
    if (FTerminou) {
        return FEstado;
    }
    int estado = 0;
    while (::waitpid(FPid, &estado, 0) < 0 && errno == EINTR) {
    }
    FTerminou = true;
    FEstado = WIFEXITED(estado) ? WEXITSTATUS(estado) : 128 + WTERMSIG(estado);
    return FEstado;
}

std::string TProcesso::LerAte(const std::string& ATrecho) {
    while (true) {
        const std::string l = LerLinha();
        if (l.find(ATrecho) != std::string::npos) {
            return l;
        }
        if (FFimSaida && FBuffer.empty()) {
            return {};
        }
    }
}

int ProcessosVivosNoGrupo(pid_t AGrupo) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc")) {
        const std::string nome = e.path().filename().string();
        if (nome.find_first_not_of("0123456789") != std::string::npos ||
            ::getpgid(std::stoi(nome)) != AGrupo) {
            continue;
        }
        const std::string stat = LerStatDoProcesso(e.path().string());
        const std::size_t fim = stat.rfind(')');
        if (fim != std::string::npos && fim + 2 < stat.size() && stat[fim + 2] != 'Z') {
            ++n;
        }
    }
    return n;
}

bool EsperarGrupoVazio(pid_t AGrupo, int ASegundos) {
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(ASegundos);
    while (ProcessosVivosNoGrupo(AGrupo) > 0) {
        if (std::chrono::steady_clock::now() > limite) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

}  // namespace ljsn::teste
