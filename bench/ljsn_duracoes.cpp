// Reads the duration of every file given, as the durations reader does, and
// prints files per second.
#include <chrono>
#include <cstdio>

#include "ambiente/uDuracao.h"

int main(int argc, char** argv) {
    const auto inicio = std::chrono::steady_clock::now();
    int conhecidas = 0;
    for (int i = 1; i < argc; ++i) {
        conhecidas += ljsn::DuracaoMidia(argv[i]) >= 0 ? 1 : 0;
    }
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    std::printf("%d arquivos (%d com duracao) em %.3f s: %.0f arquivos/s\n",
                argc - 1,
                conhecidas,
                s,
                (argc - 1) / s);
    return 0;
}
