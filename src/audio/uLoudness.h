#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace ljsn {

// One biquad: b0, b1, b2, a1, a2 (a0 normalised to 1).
struct TCoeficientes {
    double B0 = 1;
    double B1 = 0;
    double B2 = 0;
    double A1 = 0;
    double A2 = 0;
};

// The K-weighting filter for a sample rate: the shelving stage, then the
// high-pass stage.
struct TFiltroK {
    TCoeficientes Prateleira;
    TCoeficientes PassaAltas;
};
TFiltroK CalcularFiltroK(double ATaxa);

// Integrated loudness from interleaved float frames, fed in pieces: each
// channel (the first 8; the rest are skipped) through the K filter, squared
// and summed with weight 1.0, in 100 ms sub-blocks gated over 400 ms blocks.
class TMedidorLoudness {
  public:
    static constexpr int kMaxCanais = 8;
    TMedidorLoudness(int ATaxa, int ACanais);
    void Alimentar(const float* AAmostras, std::size_t AQuadros);
    // The same from one plane per channel.
    void AlimentarPlanar(const float* const* APlanos, std::size_t AQuadros);
    // The next AQuadros frames only settle the filter: their energy is not
    // counted (a measurement that starts in the middle of a file).
    void DefinirAquecimento(std::size_t AQuadros) { FAquecimento = AQuadros; }
    // LUFS, or -999 when under 400 ms or everything is at or below the gate.
    double Resultado() const;
    const std::vector<double>& Potencias() const { return FPotencias; }

  private:
    struct TEstado {
        double X1 = 0;
        double X2 = 0;
        double Y1 = 0;
        double Y2 = 0;
    };
    static double Biquad(const TCoeficientes& AC, TEstado& AS, double AX);
    template <typename TAmostra>
    void Processar(TAmostra AAmostra, std::size_t AQuadros);
    int FCanais;
    std::size_t FQuadrosBloco;
    TFiltroK FFiltro;
    std::array<TEstado, kMaxCanais> FPrateleira{};
    std::array<TEstado, kMaxCanais> FPassaAltas{};
    std::size_t FQuadro = 0;
    std::size_t FAquecimento = 0;
    double FSoma = 0;
    std::vector<double> FPotencias;
};

// The two gates over the 100 ms sub-block powers; -999 when fewer than 4.
double LoudnessDasPotencias(const std::vector<double>& APotencias);

// The integrated loudness of a file in LUFS, decoded at its own rate and
// channels; -999 for anything that cannot be measured. Any thread.
double MedirLoudness(const std::string& ACaminho);

}  // namespace ljsn
