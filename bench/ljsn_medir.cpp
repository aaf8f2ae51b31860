// Our loudness measurement against libebur128 fed by the same decoder, on the
// same files, in one process: prints both values and times.
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "apoio/uEbur128.h"
#include "audio/uLoudness.h"

namespace {

template <typename TFuncao>
std::pair<double, double> Cronometrar(TFuncao AFuncao) {
    const auto inicio = std::chrono::steady_clock::now();
    const double v = AFuncao();
    return {v, std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count()};
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arquivo = argv[i];
        const auto [nosso, tNosso] = Cronometrar([&] { return ljsn::MedirLoudness(arquivo); });
        const auto [ref, tRef] = Cronometrar([&] { return ljsn::teste::Ebur128(arquivo); });
        std::printf("%s\tnosso %.2f LUFS em %.3f s\tlibebur128 %.2f LUFS em %.3f s\n",
                    arquivo.c_str(),
                    nosso,
                    tNosso,
                    ref,
                    tRef);
    }
    return 0;
}
