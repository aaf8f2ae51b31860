// Replays a seed corpus through a fuzz target's entry point, for builds
// without libFuzzer (CI). Fails when it finds nothing to replay, so a moved
// corpus never passes silently.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ATamanho);
// Defined by a target that keeps state across inputs (as under libFuzzer):
// tears that state down and joins its threads. Called before main returns,
// since an exit handler would run after function-local statics made later
// (in the target's libraries) were already destroyed under those threads.
extern "C" __attribute__((weak)) void LjsnFuzzEncerrar();

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
    if (LjsnFuzzEncerrar != nullptr) {
        LjsnFuzzEncerrar();
    }
    return 0;
}
