#pragma once

#include <cstdint>
#include <optional>

namespace ljsn {

// One MPEG audio frame header.
struct TQuadroMpeg {
    int Tamanho = 0;   // bytes, header included
    int Amostras = 0;  // per channel
    int Taxa = 0;      // Hz
    int Versao = 0;    // 1, 2 or 25 (2.5)
    int Camada = 0;    // 1..3
    bool Mono = false;
};

// The header of the MPEG audio frame at AP (4 bytes); nothing for a bad
// sync, reserved values or free format.
std::optional<TQuadroMpeg> LerCabecalhoMpeg(const unsigned char* AP);

// The whole length of the ID3v2 tag at AP (10 bytes: header, tag and footer),
// 0 when there is none, nothing when its size is not syncsafe.
std::optional<std::int64_t> TamanhoId3v2(const unsigned char* AP);

}  // namespace ljsn
