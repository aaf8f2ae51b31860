// Lists a music folder as the programme does (recursive, accepted types,
// sorted without regard to case or accents) and prints the count and time.
#include <chrono>
#include <cstdio>

#include "programa/uPrincipal.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "uso: ljsn-listar PASTA\n");
        return 2;
    }
    const auto inicio = std::chrono::steady_clock::now();
    const auto arquivos = ljsn::ListarArquivosDaPasta(argv[1], true);
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    std::printf("%zu arquivos em %.3f s\n", arquivos.size(), s);
    return 0;
}
