#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace ljsn {

struct TPainelStatus {
    std::string Texto;
    int Largura = 0;
    bool operator==(const TPainelStatus&) const = default;
};

struct TStatusAjustado {
    std::vector<TPainelStatus> Paineis;  // the non-empty slots, from the left
    std::string Dica;                    // every text in full, one per line
};

// Fits the five status texts into ADisponivel pixels: the message count,
// then the advertisement count, then the closing time are dropped first,
// then the music total is cut; the "what comes next" text takes the rest.
// ALargura measures a text in the bar's font; AMargem is added to each.
TStatusAjustado AjustarTextosStatus(const std::array<std::string, 5>& ATextos,
                                    int ADisponivel,
                                    const std::function<int(const std::string&)>& ALargura,
                                    int AMargem);

}  // namespace ljsn
