#include "comum/uMpeg.h"

#include <array>
#include <cstddef>

namespace ljsn {

std::optional<TQuadroMpeg> LerCabecalhoMpeg(const unsigned char* AP) {
    if (AP[0] != 0xFF || (AP[1] & 0xE0) != 0xE0) {
        return std::nullopt;
    }
    const int versaoBits = (AP[1] >> 3) & 3;
    const int camadaBits = (AP[1] >> 1) & 3;
    const int indiceTaxaBits = (AP[2] >> 4) & 15;
    const int indiceAmostragem = (AP[2] >> 2) & 3;
    if (versaoBits == 1 || camadaBits == 0 || indiceTaxaBits == 0 || indiceTaxaBits == 15 ||
        indiceAmostragem == 3) {
        return std::nullopt;  // reserved values, or free format
    }
    static constexpr std::array<std::array<int, 16>, 5> kTaxasBits = {{
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // V1 L1
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // V1 L2
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},      // V1 L3
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},     // V2 L1
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},          // V2 L2, L3
    }};
    static constexpr std::array<int, 3> kAmostragem = {44100, 48000, 32000};
    TQuadroMpeg q;
    q.Versao = versaoBits == 3 ? 1 : (versaoBits == 2 ? 2 : 25);
    q.Camada = 4 - camadaBits;
    q.Taxa = kAmostragem[static_cast<std::size_t>(indiceAmostragem)] /
             (q.Versao == 1 ? 1 : (q.Versao == 2 ? 2 : 4));
    const std::size_t tabela =
        q.Versao == 1 ? static_cast<std::size_t>(q.Camada - 1) : (q.Camada == 1 ? 3u : 4u);
    const int kbps = kTaxasBits[tabela][static_cast<std::size_t>(indiceTaxaBits)];
    const int preenchimento = (AP[2] >> 1) & 1;
    if (q.Camada == 1) {
        q.Amostras = 384;
        q.Tamanho = (12000 * kbps / q.Taxa + preenchimento) * 4;
    } else if (q.Camada == 2 || q.Versao == 1) {
        q.Amostras = 1152;
        q.Tamanho = 144000 * kbps / q.Taxa + preenchimento;
    } else {
        q.Amostras = 576;
        q.Tamanho = 72000 * kbps / q.Taxa + preenchimento;
    }
    q.Mono = ((AP[3] >> 6) & 3) == 3;
    return q;
}

std::optional<std::int64_t> TamanhoId3v2(const unsigned char* AP) {
    if (AP[0] != 'I' || AP[1] != 'D' || AP[2] != '3') {
        return 0;
    }
    if (((AP[6] | AP[7] | AP[8] | AP[9]) & 0x80) != 0) {
        return std::nullopt;
    }
    const std::int64_t tamanho = (AP[6] << 21) | (AP[7] << 14) | (AP[8] << 7) | AP[9];
    return 10 + tamanho + ((AP[5] & 0x10) != 0 ? 10 : 0);
}

}  // namespace ljsn
