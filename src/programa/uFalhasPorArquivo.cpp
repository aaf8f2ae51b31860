#include "programa/uFalhasPorArquivo.h"

#include <algorithm>

#include "comum/uRelogio.h"

namespace ljsn {

bool TFalhasPorArquivo::Registrar(const std::string& AArquivo, std::uint32_t ATique) {
    const auto it = FUltima.find(AArquivo);
    if (it != FUltima.end() && DecorridoMs(it->second, ATique) < kIntervaloMs) {
        return false;
    }
    if (it == FUltima.end() && FUltima.size() >= kMaxArquivos) {
        std::erase_if(FUltima, [ATique](const auto& AItem) {
            return DecorridoMs(AItem.second, ATique) >= kIntervaloMs;
        });
        if (FUltima.size() >= kMaxArquivos) {
            FUltima.erase(std::max_element(
                FUltima.begin(), FUltima.end(), [ATique](const auto& A, const auto& B) {
                    return DecorridoMs(A.second, ATique) < DecorridoMs(B.second, ATique);
                }));
        }
    }
    FUltima[AArquivo] = ATique;
    return true;
}

}  // namespace ljsn
