// Times our feed reader and text cleaner in-process on a file: the median
// of 7 runs, in seconds, then what was read (to check both sides did the
// same work). Usage: ljsn-noticias limpar|feed ARQUIVO
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "falas/uNoticias.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "uso: ljsn-noticias limpar|feed ARQUIVO\n");
        return 2;
    }
    const std::string modo = argv[1];
    std::ifstream f(argv[2], std::ios::binary);
    const std::string texto((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<double> tempos;
    std::size_t resultado = 0;
    for (int i = 0; i < 7; ++i) {
        const auto inicio = std::chrono::steady_clock::now();
        if (modo == "limpar") {
            resultado = ljsn::LimparTexto(texto).size();
        } else {
            resultado = ljsn::LerFeed(texto, "geral").size();
        }
        tempos.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count());
    }
    std::sort(tempos.begin(), tempos.end());
    std::printf("%.4f %zu\n", tempos[tempos.size() / 2], resultado);
    return 0;
}
