// Replays a seed corpus through a fuzz target's entry point, for builds
// without libFuzzer (CI). Fails when it finds nothing to replay, so a moved
// corpus never passes silently.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ATamanho);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> arquivos;
    for (int i = 1; i < argc; ++i) {
        std::error_code erro;
        if (fs::is_directory(argv[i], erro)) {
            for (const auto& e : fs::recursive_directory_iterator(argv[i], erro)) {
                if (e.is_regular_file()) {
                    arquivos.push_back(e.path());
                }
            }
        } else if (fs::is_regular_file(argv[i], erro)) {
            arquivos.emplace_back(argv[i]);
        }
    }
    if (arquivos.empty()) {
        std::fprintf(stderr, "nenhuma entrada para repetir\n");
        return 1;
    }
    for (const auto& a : arquivos) {
        std::ifstream f(a, std::ios::binary);
        const std::vector<char> dados((std::istreambuf_iterator<char>(f)),
                                      std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(dados.data()), dados.size());
    }
    std::printf("%zu entrada(s) repetida(s)\n", arquivos.size());
    std::fflush(stdout);
    // A target keeps its state for the life of the process, as under
    // libFuzzer, and that state may have threads mid-file (tag reading,
    // loudness): leave without running exit handlers under their feet.
    std::_Exit(0);
}
