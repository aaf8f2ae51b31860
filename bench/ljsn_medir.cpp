// Our loudness measurement against libebur128 fed by the same decoder, on the
// same files, in one process: prints both values and times.
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include <ebur128.h>

#include "audio/motor/uDecodificador.h"
#include "audio/uLoudness.h"

namespace {

struct TLiberarEbur {
    void operator()(ebur128_state* AEstado) const { ebur128_destroy(&AEstado); }
};

double Ebur128(const std::string& ACaminho) {
    auto d = ljsn::TDecodificador::Abrir(ACaminho, {});
    if (!d) {
        return -999;
    }
    std::unique_ptr<ebur128_state, TLiberarEbur> estado(ebur128_init(
        static_cast<unsigned>(d->Canais()), static_cast<unsigned long>(d->Taxa()), EBUR128_MODE_I));
    std::vector<float> bloco(8192 * static_cast<std::size_t>(d->Canais()));
    while (const std::size_t n = d->Ler(bloco.data(), 8192)) {
        ebur128_add_frames_float(estado.get(), bloco.data(), n);
    }
    double lufs = -999;
    ebur128_loudness_global(estado.get(), &lufs);
    return lufs;
}

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
        const auto [ref, tRef] = Cronometrar([&] { return Ebur128(arquivo); });
        std::printf("%s\tnosso %.2f LUFS em %.3f s\tlibebur128 %.2f LUFS em %.3f s\n",
                    arquivo.c_str(),
                    nosso,
                    tNosso,
                    ref,
                    tRef);
    }
    return 0;
}
