// Tags of every MP3 in a folder: our reader against TagLib alone (the same
// fields and the first picture), in one process, warm cache, alternating
// rounds. Prints files per second for each (median of 5 rounds).
// Usage: ljsn-tags PASTA
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "audio/uTags.h"

namespace {

std::size_t LerComTagLib(const std::string& ACaminho) {
    TagLib::MPEG::File f(ACaminho.c_str(), false);
    std::size_t n = 0;
    if (const TagLib::Tag* t = f.tag()) {
        n += t->title().size() + t->artist().size() + t->album().size() + t->genre().size() +
             t->year();
    }
    if (TagLib::ID3v2::Tag* v2 = f.ID3v2Tag()) {
        const auto& quadros = v2->frameListMap()["APIC"];
        if (!quadros.isEmpty()) {
            const auto* figura =
                dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(quadros.front());
            if (figura != nullptr) {
                n += figura->picture().size();
            }
        }
    }
    return n;
}

std::size_t LerComOsNossos(const std::string& ACaminho) {
    const ljsn::TTagsAudio t = ljsn::LerTags(ACaminho);
    return t.Titulo.size() + t.Artista.size() + t.Album.size() + t.Genero.size() + t.Capa.size();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "uso: ljsn-tags PASTA\n");
        return 2;
    }
    std::vector<std::string> arquivos;
    for (const auto& e : std::filesystem::directory_iterator(argv[1])) {
        if (e.path().extension() == ".mp3") {
            arquivos.push_back(e.path().string());
        }
    }
    std::sort(arquivos.begin(), arquivos.end());
    const auto rodada = [&](auto AFuncao) {
        std::size_t soma = 0;
        const auto inicio = std::chrono::steady_clock::now();
        for (const auto& a : arquivos) {
            soma += AFuncao(a);
        }
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
        if (soma == 0) {
            std::fprintf(stderr, "nada lido\n");
        }
        return static_cast<double>(arquivos.size()) / s;
    };
    std::vector<double> nossos;
    std::vector<double> taglib;
    for (int i = 0; i < 5; ++i) {
        nossos.push_back(rodada(LerComOsNossos));
        taglib.push_back(rodada(LerComTagLib));
    }
    std::sort(nossos.begin(), nossos.end());
    std::sort(taglib.begin(), taglib.end());
    std::printf("%zu arquivos: nosso %.0f arquivos/s | taglib %.0f arquivos/s | razao %.2fx\n",
                arquivos.size(),
                nossos[2],
                taglib[2],
                nossos[2] / taglib[2]);
    return 0;
}
