#pragma once

#include <memory>
#include <string>
#include <vector>

#include <ebur128.h>

#include "audio/motor/uDecodificador.h"

namespace ljsn::teste {

// The independent reference: libebur128 fed by our decoder at the file's own
// rate and channels; -999 when the file cannot be opened.
inline double Ebur128(const std::string& ACaminho) {
    struct TLiberar {
        void operator()(ebur128_state* AEstado) const { ebur128_destroy(&AEstado); }
    };
    auto d = TDecodificador::Abrir(ACaminho, {});
    if (!d) {
        return -999;
    }
    std::unique_ptr<ebur128_state, TLiberar> estado(ebur128_init(
        static_cast<unsigned>(d->Canais()), static_cast<unsigned long>(d->Taxa()), EBUR128_MODE_I));
    constexpr std::size_t kBloco = 8192;
    std::vector<float> bloco(kBloco * static_cast<std::size_t>(d->Canais()));
    while (const std::size_t n = d->Ler(bloco.data(), kBloco)) {
        ebur128_add_frames_float(estado.get(), bloco.data(), n);
    }
    double lufs = -999;
    ebur128_loudness_global(estado.get(), &lufs);
    return lufs;
}

}  // namespace ljsn::teste
