#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ljsn::teste {

// A WAV file read into interleaved float, whatever its sample format.
struct TWav {
    int Taxa = 0;
    int Canais = 0;
    std::vector<float> Amostras;
    std::size_t Quadros() const {
        return Canais > 0 ? Amostras.size() / static_cast<std::size_t>(Canais) : 0;
    }
};
// Reads 16/24/32-bit PCM and 32-bit float WAV and RF64 files; throws on anything else.
TWav LerWav(const std::string& ACaminho);
// The 44-byte header of a WAV file: AFormato 1 = PCM, 3 = float.
std::string CabecalhoWav(int AFormato, int ACanais, int ATaxa, int ABits, std::uint32_t ABytes);
// Writes interleaved float as a 32-bit float WAV.
void GravarWavFloat(const std::string& ACaminho,
                    int ATaxa,
                    int ACanais,
                    std::span<const float> AAmostras);

// RMS of one channel of interleaved frames [AInicio, AInicio + AQuadros).
double Rms(std::span<const float> AAmostras,
           int ACanais,
           int ACanal,
           std::size_t AInicio,
           std::size_t AQuadros);
// RMS over both channels of a stereo range.
double RmsEstereo(std::span<const float> AAmostras, std::size_t AInicio, std::size_t AQuadros);
// Amplitude of the AFrequencia component of one channel (Goertzel), in the
// same units as the samples (a sine of amplitude A gives about A).
double AmplitudeFrequencia(std::span<const float> AAmostras,
                           int ACanais,
                           int ACanal,
                           std::size_t AInicio,
                           std::size_t AQuadros,
                           double AFrequencia,
                           int ATaxa);
double Db(double ARazao);

}  // namespace ljsn::teste
