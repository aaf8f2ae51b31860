#include "apoio/uSinais.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "apoio/uPastaTemporaria.h"

namespace ljsn::teste {

namespace {
std::uint32_t U32(const std::string& AS, std::size_t APos) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(AS[APos])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(AS[APos + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(AS[APos + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(AS[APos + 3])) << 24;
}
std::uint16_t U16(const std::string& AS, std::size_t APos) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(AS[APos]) |
                                      static_cast<unsigned char>(AS[APos + 1]) << 8);
}
}  // namespace

TWav LerWav(const std::string& ACaminho) {
    const std::string b = LerArquivo(ACaminho);
    const bool rf64 = b.size() >= 12 && b.compare(0, 4, "RF64") == 0;
    if (b.size() < 12 || (b.compare(0, 4, "RIFF") != 0 && !rf64) || b.compare(8, 4, "WAVE") != 0) {
        throw std::runtime_error("nao e WAV: " + ACaminho);
    }
    TWav w;
    int formato = 0;
    int bits = 0;
    std::uint64_t tamanhoDs64 = 0;
    std::size_t p = 12;
    while (p + 8 <= b.size()) {
        const std::string id = b.substr(p, 4);
        std::size_t tamanho = U32(b, p + 4);
        const std::size_t dados = p + 8;
        if (id == "ds64" && rf64 && tamanho >= 16 && dados + 16 <= b.size()) {
            // The 64-bit data size; the data chunk itself says 0xFFFFFFFF.
            tamanhoDs64 = U32(b, dados + 8) | static_cast<std::uint64_t>(U32(b, dados + 12)) << 32;
        } else if (id == "fmt ") {
            formato = U16(b, dados);
            w.Canais = U16(b, dados + 2);
            w.Taxa = static_cast<int>(U32(b, dados + 4));
            bits = U16(b, dados + 14);
            if (formato == 0xFFFE) {
                formato = U16(b, dados + 24);
            }
        } else if (id == "data") {
            if (rf64 && tamanho == 0xFFFFFFFFu) {
                tamanho = static_cast<std::size_t>(tamanhoDs64);
            }
            tamanho = std::min(tamanho, b.size() - dados);  // a recording cut short
            const std::size_t bytes = static_cast<std::size_t>(bits / 8);
            const std::size_t n = tamanho / bytes;
            w.Amostras.resize(n);
            for (std::size_t i = 0; i < n; ++i) {
                const std::size_t q = dados + i * bytes;
                if (formato == 3 && bits == 32) {
                    std::uint32_t v = U32(b, q);
                    std::memcpy(&w.Amostras[i], &v, 4);
                } else if (formato == 1 && bits == 16) {
                    w.Amostras[i] =
                        static_cast<float>(static_cast<std::int16_t>(U16(b, q))) / 32768.0f;
                } else if (formato == 1 && bits == 24) {
                    std::int32_t v = static_cast<std::int32_t>(U32(b, q - 1)) >> 8;
                    w.Amostras[i] = static_cast<float>(v) / 8388608.0f;
                } else if (formato == 1 && bits == 32) {
                    w.Amostras[i] =
                        static_cast<float>(static_cast<std::int32_t>(U32(b, q))) / 2147483648.0f;
                } else {
                    throw std::runtime_error("formato WAV nao suportado");
                }
            }
            return w;
        }
        p = dados + tamanho + (tamanho & 1);
    }
    throw std::runtime_error("WAV sem dados: " + ACaminho);
}

std::string CabecalhoWav(int AFormato, int ACanais, int ATaxa, int ABits, std::uint32_t ABytes) {
    std::string h = "RIFF";
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            h += static_cast<char>((v >> (8 * i)) & 0xFF);
        }
    };
    auto u16 = [&](int v) {
        h += static_cast<char>(v & 0xFF);
        h += static_cast<char>((v >> 8) & 0xFF);
    };
    const int bloco = ACanais * ABits / 8;
    u32(36 + ABytes);
    h += "WAVEfmt ";
    u32(16);
    u16(AFormato);
    u16(ACanais);
    u32(static_cast<std::uint32_t>(ATaxa));
    u32(static_cast<std::uint32_t>(ATaxa * bloco));
    u16(bloco);
    u16(ABits);
    h += "data";
    u32(ABytes);
    return h;
}

void GravarWavFloat(const std::string& ACaminho,
                    int ATaxa,
                    int ACanais,
                    std::span<const float> AAmostras) {
    const auto bytes = static_cast<std::uint32_t>(AAmostras.size() * 4);
    std::string h = CabecalhoWav(3, ACanais, ATaxa, 32, bytes);
    h.append(reinterpret_cast<const char*>(AAmostras.data()), AAmostras.size() * 4);
    EscreverArquivo(ACaminho, h);
}

double Rms(std::span<const float> AAmostras,
           int ACanais,
           int ACanal,
           std::size_t AInicio,
           std::size_t AQuadros) {
    double soma = 0;
    for (std::size_t i = 0; i < AQuadros; ++i) {
        const double v = AAmostras[(AInicio + i) * static_cast<std::size_t>(ACanais) +
                                   static_cast<std::size_t>(ACanal)];
        soma += v * v;
    }
    return AQuadros > 0 ? std::sqrt(soma / static_cast<double>(AQuadros)) : 0.0;
}

double RmsEstereo(std::span<const float> AAmostras, std::size_t AInicio, std::size_t AQuadros) {
    const double e = Rms(AAmostras, 2, 0, AInicio, AQuadros);
    const double d = Rms(AAmostras, 2, 1, AInicio, AQuadros);
    return std::sqrt((e * e + d * d) / 2);
}

double AmplitudeFrequencia(std::span<const float> AAmostras,
                           int ACanais,
                           int ACanal,
                           std::size_t AInicio,
                           std::size_t AQuadros,
                           double AFrequencia,
                           int ATaxa) {
    const double w = 2.0 * M_PI * AFrequencia / ATaxa;
    const double coef = 2.0 * std::cos(w);
    double s1 = 0;
    double s2 = 0;
    for (std::size_t i = 0; i < AQuadros; ++i) {
        const double x = AAmostras[(AInicio + i) * static_cast<std::size_t>(ACanais) +
                                   static_cast<std::size_t>(ACanal)];
        const double s0 = x + coef * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double potencia = s1 * s1 + s2 * s2 - coef * s1 * s2;
    return 2.0 * std::sqrt(std::max(potencia, 0.0)) / static_cast<double>(AQuadros);
}

double Db(double ARazao) {
    return 20.0 * std::log10(std::max(ARazao, 1e-12));
}

}  // namespace ljsn::teste
