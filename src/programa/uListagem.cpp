// The folder listing of the programme's lists, in a unit of its own so the
// tools and benchmarks that list folders link nothing else of the programme.
#include <algorithm>
#include <filesystem>
#include <set>

#include <dirent.h>
#include <sys/stat.h>

#include "comum/uTexto.h"
#include "programa/uPrincipal.h"

namespace fs = std::filesystem;

namespace ljsn {

namespace {

// ".mp3", ".wav" or ".wma" in any case.
bool ExtensaoAceita(std::string_view ANome) {
    const auto ponto = ANome.rfind('.');
    if (ponto == std::string_view::npos || ANome.size() - ponto != 4) {
        return false;
    }
    const std::string ext = MinusculasAZ(ANome.substr(ponto));
    return ext == ".mp3" || ext == ".wav" || ext == ".wma";
}

}  // namespace

std::vector<std::string> ListarArquivosDaPasta(const std::string& APasta,
                                               bool ASubpastas,
                                               std::stop_token AParar) {
    std::vector<std::string> arquivos;
    std::error_code erro;
    if (APasta.empty() || !fs::is_directory(APasta, erro)) {
        return arquivos;
    }
    // Folder links are followed, each real folder visited once, so a link
    // loop ends instead of spinning. The folders above APasta count as
    // visited: a link to ".." would list everything beside the music. The
    // directory's own entry types save a stat per file.
    std::set<std::pair<dev_t, ino_t>> visitadas;
    const fs::path real = fs::canonical(APasta, erro);
    for (fs::path p = real.parent_path(); !erro && !p.empty(); p = p.parent_path()) {
        struct stat info {};
        if (::stat(p.c_str(), &info) == 0) {
            visitadas.insert({info.st_dev, info.st_ino});
        }
        if (p == p.root_path()) {
            break;
        }
    }
    std::vector<std::string> pendentes{APasta};
    while (!pendentes.empty() && !AParar.stop_requested()) {
        const std::string pasta = std::move(pendentes.back());
        pendentes.pop_back();
        DIR* d = ::opendir(pasta.c_str());
        if (d == nullptr) {
            continue;  // unreadable: skipped
        }
        struct stat info {};
        if (::fstat(::dirfd(d), &info) != 0 ||
            !visitadas.insert({info.st_dev, info.st_ino}).second) {
            ::closedir(d);
            continue;
        }
        const std::string prefixo = pasta.back() == '/' ? pasta : pasta + '/';
        while (const dirent* e = ::readdir(d)) {
            const std::string_view nome(e->d_name);
            if (nome == "." || nome == "..") {
                continue;
            }
            unsigned char tipo = e->d_type;
            if (tipo == DT_LNK || tipo == DT_UNKNOWN) {
                struct stat alvo {};
                if (::fstatat(::dirfd(d), e->d_name, &alvo, 0) != 0) {
                    continue;
                }
                tipo = S_ISDIR(alvo.st_mode) ? DT_DIR : S_ISREG(alvo.st_mode) ? DT_REG : DT_UNKNOWN;
            }
            if (tipo == DT_DIR) {
                if (ASubpastas) {
                    pendentes.push_back(prefixo + std::string(nome));
                }
            } else if (tipo == DT_REG && ExtensaoAceita(nome)) {
                arquivos.push_back(prefixo + std::string(nome));
            }
        }
        ::closedir(d);
    }
    // By path, without regard to case or accents; the raw path breaks ties.
    std::vector<std::pair<std::string, std::string>> chaves;
    chaves.reserve(arquivos.size());
    for (auto& a : arquivos) {
        chaves.emplace_back(ChaveOrdenacao(a), std::move(a));
    }
    std::sort(chaves.begin(), chaves.end());
    for (std::size_t i = 0; i < chaves.size(); ++i) {
        arquivos[i] = std::move(chaves[i].second);
    }
    return arquivos;
}

}  // namespace ljsn
