#pragma once

#include <array>
#include <cstdint>

namespace ljsn {

// The kind of a speech; each kind has its own volume. tfMensagem, tfData and
// tfNoticia are automatic: dropped while the programme is paused or stopped.
enum class TTipoFala : std::uint8_t {
    tfHoraCerta,
    tfClima,
    tfFechamento,
    tfMensagem,
    tfData,
    tfNoticia,
    tfChamada
};
inline constexpr std::size_t kTiposFala = 7;
inline constexpr std::size_t IndiceFala(TTipoFala ATipo) {
    return static_cast<std::size_t>(ATipo);
}

// Grammatical gender of the shop's name; stored as 0..2 in this order.
enum class TGeneroEmpresa : std::uint8_t { geFeminino, geMasculino, geSemArtigo };

}  // namespace ljsn
