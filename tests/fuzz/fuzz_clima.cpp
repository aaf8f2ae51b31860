// The forecast and place-search readers on arbitrary bytes: nothing crashes,
// and a valid result is a plausible one.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "comum/uRelogio.h"
#include "falas/uClima.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ATamanho) {
    using namespace ljsn;
    const std::string_view bruto(reinterpret_cast<const char*>(AData), ATamanho);
    const double agora = CodificarData(2024, 5, 16) + CodificarHora(10, 30);
    const TClima clima = LerClima(bruto, agora);
    if (clima.Valido && (!std::isfinite(clima.Temperatura) || std::abs(clima.Temperatura) > 1000 ||
                         FraseClima(clima, "Campinas, São Paulo", true).empty())) {
        std::abort();
    }
    const TCidade cidade = LerCidade(bruto);
    if (cidade.Encontrada && cidade.Exibicao.empty()) {
        std::abort();
    }
    (void)CondicaoTempo(bruto);
    (void)LerNumero(bruto);
    return 0;
}
