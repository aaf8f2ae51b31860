#include "ambiente/uPastas.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>

#include <unistd.h>

#include "comum/uArquivoTexto.h"
#include "comum/uTexto.h"

namespace fs = std::filesystem;

namespace ljsn {

namespace {

std::string Ambiente(const char* ANome) {
    // Read during start-up, before worker threads exist.
    const char* v = std::getenv(ANome);  // NOLINT(concurrency-mt-unsafe)
    return v != nullptr ? std::string(v) : std::string();
}

struct TEstadoPastas {
    std::mutex Trava;
    std::optional<bool> EmPacote;
    std::string Dados;
    std::string Logs;
};

TEstadoPastas& Estado() {
    static TEstadoPastas estado;
    return estado;
}

}  // namespace

std::string ComBarra(std::string APasta) {
    if (APasta.empty() || APasta.back() != '/') {
        APasta += '/';
    }
    return APasta;
}

std::string PastaPrograma() {
    static const std::string pasta = [] {
        std::error_code erro;
        const fs::path exe = fs::read_symlink("/proc/self/exe", erro);
        if (erro) {
            return ComBarra(fs::current_path(erro).string());
        }
        return ComBarra(exe.parent_path().string());
    }();
    return pasta;
}

bool EmPacote() {
    auto& e = Estado();
    std::lock_guard trava(e.Trava);
    if (!e.EmPacote) {
        e.EmPacote = !Ambiente("APPIMAGE").empty() || !Ambiente("FLATPAK_ID").empty() ||
                     !Ambiente("SNAP").empty() || ComecaCom(PastaPrograma(), "/usr/");
    }
    return *e.EmPacote;
}

std::string NomeFamiliaPacote() {
    std::string id = Ambiente("FLATPAK_ID");
    if (id.empty()) {
        id = Ambiente("SNAP_NAME");
    }
    return id;
}

std::string PastaDadosUsuario() {
    std::string base = Ambiente("XDG_DATA_HOME");
    if (base.empty() || base.front() != '/') {
        const std::string casa = Ambiente("HOME");
        base = casa.empty() ? std::string("/tmp") : ComBarra(casa) + ".local/share";
    }
    return ComBarra(base) + "LojaSonorante/";
}

std::vector<std::string> InstalacoesAntigas() {
    return {"/opt/LojaSonorante/", "/usr/local/LojaSonorante/"};
}

void DefinirPastaDados(const std::string& APasta) {
    std::error_code erro;
    fs::path pasta = fs::absolute(APasta, erro);
    if (erro) {
        pasta = APasta;
    }
    fs::create_directories(pasta, erro);
    auto& e = Estado();
    std::lock_guard trava(e.Trava);
    e.Dados = ComBarra(pasta.lexically_normal().string());
    e.Logs.clear();
}

std::string PastaDados() {
    {
        auto& e = Estado();
        std::lock_guard trava(e.Trava);
        if (!e.Dados.empty()) {
            return e.Dados;
        }
    }
    std::string pasta;
    if (!EmPacote()) {
        pasta = PastaPrograma();
    } else {
        pasta = PastaDadosUsuario();
        std::error_code erro;
        fs::create_directories(pasta, erro);
        MigrarDadosAntigos(pasta, InstalacoesAntigas(), PastaPrograma());
    }
    auto& e = Estado();
    std::lock_guard trava(e.Trava);
    if (e.Dados.empty()) {
        e.Dados = pasta;
    }
    return e.Dados;
}

bool PastaGravavel(const std::string& APasta) {
    std::error_code erro;
    fs::create_directories(APasta, erro);
    if (erro || !fs::is_directory(APasta, erro)) {
        return false;
    }
    const std::string teste = ComBarra(APasta) + ".teste";
    {
        std::ofstream arquivo(teste, std::ios::binary | std::ios::trunc);
        if (!arquivo) {
            return false;
        }
    }
    return fs::remove(teste, erro) && !erro;
}

std::string PastaLogs() {
    const std::string dados = PastaDados();
    {
        auto& e = Estado();
        std::lock_guard trava(e.Trava);
        if (!e.Logs.empty()) {
            return e.Logs;
        }
    }
    std::string logs = dados + "Logs";
    if (!PastaGravavel(logs)) {
        logs = PastaDadosUsuario() + "Logs";
    }
    auto& e = Estado();
    std::lock_guard trava(e.Trava);
    if (e.Logs.empty()) {
        e.Logs = logs;
    }
    return e.Logs;
}

void MigrarDadosAntigos(const std::string& ADestino,
                        const std::vector<std::string>& AInstalacoes,
                        const std::string& APastaPrograma) {
    const std::string destino = ComBarra(ADestino);
    std::error_code erro;
    if (fs::exists(destino + "config.ini", erro)) {
        return;
    }
    std::string antiga;
    for (const auto& candidata : AInstalacoes) {
        if (candidata.empty()) {
            continue;
        }
        const std::string pasta = ComBarra(candidata);
        if (fs::is_regular_file(pasta + "config.ini", erro) &&
            !IguaisSemCaixa(pasta, ComBarra(APastaPrograma))) {
            antiga = pasta;
            break;
        }
    }
    if (antiga.empty()) {
        return;
    }
    static constexpr std::array kArquivos = {
        "config.ini", "mensagens.txt", "chamadas.txt", "volumes.ini"};
    for (const char* nome : kArquivos) {
        std::error_code erroCopia;
        if (fs::exists(antiga + nome, erroCopia)) {
            fs::copy_file(antiga + nome, destino + nome, fs::copy_options::none, erroCopia);
        }
    }
    try {
        auto bytes = LerArquivoBytes(destino + "config.ini");
        if (!bytes) {
            return;
        }
        const std::string novo = SubstituirTudoSemCaixaAZ(
            *bytes, antiga + "Exemplos/", ComBarra(APastaPrograma) + "Exemplos/");
        if (novo != *bytes) {
            GravarArquivoAtomico(destino + "config.ini", novo);
        }
    } catch (...) {  // NOLINT(bugprone-empty-catch): migration errors are ignored by design
    }
}

}  // namespace ljsn
