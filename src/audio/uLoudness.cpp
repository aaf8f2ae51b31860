#include "audio/uLoudness.h"

#include <cmath>
#include <numbers>

#include "audio/motor/uDecodificador.h"

namespace ljsn {

TFiltroK CalcularFiltroK(double ATaxa) {
    TFiltroK f;
    {
        const double f0 = 1681.974450955533;
        const double g = 3.999843853973347;
        const double q = 0.7071752369554196;
        const double k = std::tan(std::numbers::pi * f0 / ATaxa);
        const double vh = std::pow(10.0, g / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1.0 + k / q + k * k;
        f.Prateleira = {(vh + vb * k / q + k * k) / a0,
                        2.0 * (k * k - vh) / a0,
                        (vh - vb * k / q + k * k) / a0,
                        2.0 * (k * k - 1.0) / a0,
                        (1.0 - k / q + k * k) / a0};
    }
    {
        const double f0 = 38.13547087602444;
        const double q = 0.5003270373238773;
        const double k = std::tan(std::numbers::pi * f0 / ATaxa);
        const double d = 1.0 + k / q + k * k;
        f.PassaAltas = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / d, (1.0 - k / q + k * k) / d};
    }
    return f;
}

TMedidorLoudness::TMedidorLoudness(int ATaxa, int ACanais)
    : FCanais(ACanais),
      FQuadrosBloco(static_cast<std::size_t>(ATaxa / 10)),
      FFiltro(CalcularFiltroK(ATaxa)) {
    FPotencias.reserve(4096);
}

void TMedidorLoudness::Alimentar(const float* AAmostras, std::size_t AQuadros) {
    const int medidos = std::min(FCanais, kMaxCanais);
    const TCoeficientes p = FFiltro.Prateleira;
    const TCoeficientes h = FFiltro.PassaAltas;
    for (std::size_t q = 0; q < AQuadros; ++q) {
        const float* quadro = AAmostras + q * static_cast<std::size_t>(FCanais);
        for (int c = 0; c < medidos; ++c) {
            const double x = quadro[c];
            TEstado& s1 = FPrateleira[static_cast<std::size_t>(c)];
            const double y = p.B0 * x + p.B1 * s1.X1 + p.B2 * s1.X2 - p.A1 * s1.Y1 - p.A2 * s1.Y2;
            s1.X2 = s1.X1;
            s1.X1 = x;
            s1.Y2 = s1.Y1;
            s1.Y1 = y;
            TEstado& s2 = FPassaAltas[static_cast<std::size_t>(c)];
            const double z = h.B0 * y + h.B1 * s2.X1 + h.B2 * s2.X2 - h.A1 * s2.Y1 - h.A2 * s2.Y2;
            s2.X2 = s2.X1;
            s2.X1 = y;
            s2.Y2 = s2.Y1;
            s2.Y1 = z;
            FSoma += z * z;
        }
        if (++FQuadro == FQuadrosBloco) {
            FPotencias.push_back(FSoma / static_cast<double>(FQuadrosBloco));
            FQuadro = 0;
            FSoma = 0;
        }
    }
}

double TMedidorLoudness::Resultado() const {
    return LoudnessDasPotencias(FPotencias);
}

double LoudnessDasPotencias(const std::vector<double>& APotencias) {
    if (APotencias.size() < 4) {
        return -999.0;
    }
    const std::size_t blocos = APotencias.size() - 3;
    std::vector<double> z(blocos);
    for (std::size_t k = 0; k < blocos; ++k) {
        z[k] = (APotencias[k] + APotencias[k + 1] + APotencias[k + 2] + APotencias[k + 3]) / 4.0;
    }
    const double absoluto = std::pow(10.0, -6.9309);
    double soma = 0;
    std::size_t n = 0;
    for (const double v : z) {
        if (v > absoluto) {
            soma += v;
            ++n;
        }
    }
    if (n == 0) {
        return -999.0;
    }
    const double relativo = (soma / static_cast<double>(n)) / 10.0;
    soma = 0;
    n = 0;
    for (const double v : z) {
        if (v > relativo) {
            soma += v;
            ++n;
        }
    }
    return -0.691 + 10.0 * std::log10(soma / static_cast<double>(n));
}

double MedirLoudness(const std::string& ACaminho) {
    auto d = TDecodificador::Abrir(ACaminho, {});
    if (!d || d->Taxa() <= 0 || d->Canais() <= 0) {
        return -999.0;
    }
    TMedidorLoudness medidor(d->Taxa(), d->Canais());
    constexpr std::size_t kQuadros = 8192;
    std::vector<float> bloco(kQuadros * static_cast<std::size_t>(d->Canais()));
    while (const std::size_t n = d->Ler(bloco.data(), kQuadros)) {
        medidor.Alimentar(bloco.data(), n);
    }
    return medidor.Resultado();
}

}  // namespace ljsn
