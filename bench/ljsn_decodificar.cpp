// Decodes files as the engine does (44.1 kHz stereo float) or at their own
// format (--nativo), as fast as possible, and prints the time taken: the
// engine's side of the decoding benchmark.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/motor/uDecodificador.h"

int main(int argc, char** argv) {
    bool nativo = false;
    std::vector<std::string> arquivos;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--nativo") {
            nativo = true;
        } else {
            arquivos.push_back(a);
        }
    }
    if (arquivos.empty()) {
        std::fprintf(stderr, "uso: ljsn-decodificar [--nativo] ARQUIVO...\n");
        return 2;
    }
    for (const auto& arquivo : arquivos) {
        const auto inicio = std::chrono::steady_clock::now();
        std::string erro;
        auto d = ljsn::TDecodificador::Abrir(
            arquivo,
            nativo ? ljsn::TDecodificador::TFormato{} : ljsn::TDecodificador::TFormato{44100, 2},
            &erro);
        if (!d) {
            std::fprintf(stderr, "%s: %s\n", arquivo.c_str(), erro.c_str());
            return 1;
        }
        std::vector<float> bloco(4096 * static_cast<std::size_t>(d->Canais()));
        std::size_t total = 0;
        while (std::size_t n = d->Ler(bloco.data(), 4096)) {
            total += n;
        }
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
        std::printf("%s\t%zu quadros\t%.3f s\t%.0fx tempo real\n",
                    arquivo.c_str(),
                    total,
                    s,
                    static_cast<double>(total) / d->Taxa() / s);
    }
    return 0;
}
