#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ljsn {

// One command string of the media interface, read into its parts.
struct TComandoTexto {
    enum class TVerbo : std::uint8_t {
        cvAbrir,       // open "F" type mpegvideo alias A
        cvFormato,     // set A time format milliseconds
        cvStatus,      // status A length|mode|position
        cvTocar,       // play A
        cvPausar,      // pause A
        cvContinuar,   // resume A
        cvParar,       // stop A
        cvFechar,      // close A
        cvPosicionar,  // seek A to N|start|end
        cvVolume       // setaudio A volume to N
    };
    enum class TStatus : std::uint8_t { stDuracao, stModo, stPosicao, stErro, stNivel };
    enum class TAlvo : std::uint8_t { taNumero, taInicio, taFim };

    TVerbo Verbo = TVerbo::cvTocar;
    std::string Alias;    // lower case: aliases compare without regard to case
    std::string Arquivo;  // cvAbrir
    TStatus Status = TStatus::stModo;
    TAlvo Alvo = TAlvo::taNumero;
    std::int64_t Numero = 0;  // cvPosicionar (ms), cvVolume (0..1000)
};

// Nothing for anything malformed: an unknown verb, a missing quote or
// keyword, a number that is not a non-negative integer, extra words.
std::optional<TComandoTexto> InterpretarComando(std::string_view AComando);

}  // namespace ljsn
