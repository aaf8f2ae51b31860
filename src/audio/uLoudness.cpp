#include "audio/uLoudness.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <thread>

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

double TMedidorLoudness::Biquad(const TCoeficientes& AC, TEstado& AS, double AX) {
    const double y = AC.B0 * AX + AC.B1 * AS.X1 + AC.B2 * AS.X2 - AC.A1 * AS.Y1 - AC.A2 * AS.Y2;
    AS.X2 = AS.X1;
    AS.X1 = AX;
    AS.Y2 = AS.Y1;
    AS.Y1 = y;
    return y;
}

// AAmostra(q, c) gives channel c of frame q, whatever the layout.
template <typename TAmostra>
void TMedidorLoudness::Processar(TAmostra AAmostra, std::size_t AQuadros) {
    const int medidos = std::min(FCanais, kMaxCanais);
    const TCoeficientes p = FFiltro.Prateleira;
    const TCoeficientes h = FFiltro.PassaAltas;
    for (std::size_t q = 0; q < AQuadros; ++q) {
        double energia = 0;
        for (int c = 0; c < medidos; ++c) {
            const double x = AAmostra(q, c);
            const auto i = static_cast<std::size_t>(c);
            const double z = Biquad(h, FPassaAltas[i], Biquad(p, FPrateleira[i], x));
            energia += z * z;
        }
        if (FAquecimento > 0) {
            --FAquecimento;
            continue;
        }
        FSoma += energia;
        if (++FQuadro == FQuadrosBloco) {
            FPotencias.push_back(FSoma / static_cast<double>(FQuadrosBloco));
            FQuadro = 0;
            FSoma = 0;
        }
    }
}

void TMedidorLoudness::Alimentar(const float* AAmostras, std::size_t AQuadros) {
    const auto canais = static_cast<std::size_t>(FCanais);
    Processar(
        [&](std::size_t q, int c) { return AAmostras[q * canais + static_cast<std::size_t>(c)]; },
        AQuadros);
}

void TMedidorLoudness::AlimentarPlanar(const float* const* APlanos, std::size_t AQuadros) {
    Processar([&](std::size_t q, int c) { return APlanos[c][q]; }, AQuadros);
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

namespace {

// Feeds the first AQuadros frames of a decoded piece into a measurer.
void Alimentar(TMedidorLoudness& AMedidor,
               const float* const* APlanos,
               bool APlanar,
               std::size_t AQuadros) {
    if (AQuadros == 0) {
        return;
    }
    if (APlanar) {
        AMedidor.AlimentarPlanar(APlanos, AQuadros);
    } else {
        AMedidor.Alimentar(APlanos[0], AQuadros);
    }
}

// Copies frames [AInicio, AInicio + AQuadros) of a piece, interleaved, to the end of ADestino.
void Copiar(std::vector<float>& ADestino,
            const float* const* APlanos,
            bool APlanar,
            int ACanais,
            std::size_t AInicio,
            std::size_t AQuadros) {
    for (std::size_t q = AInicio; q < AInicio + AQuadros; ++q) {
        for (int c = 0; c < ACanais; ++c) {
            ADestino.push_back(APlanar ? APlanos[c][q]
                                       : APlanos[0][q * static_cast<std::size_t>(ACanais) +
                                                    static_cast<std::size_t>(c)]);
        }
    }
}

// The same audio, decoded by two decoders: equal, and not silence (where a
// misplaced start would go unnoticed).
bool MesmoTrecho(const std::vector<float>& A, const std::vector<float>& B) {
    if (A.empty() || A.size() != B.size()) {
        return false;
    }
    double energia = 0;
    for (std::size_t i = 0; i < A.size(); ++i) {
        if (std::abs(A[i] - B[i]) > 1e-3f) {
            return false;
        }
        energia += static_cast<double>(A[i]) * A[i];
    }
    return energia / static_cast<double>(A.size()) > 1e-8;
}

double MedirSequencial(TDecodificador& ADecodificador, TMedidorLoudness& AMedidor) {
    ADecodificador.LerTudo(
        [&](const float* const* APlanos, bool APlanar, int /*ACanais*/, std::size_t AQuadros) {
            Alimentar(AMedidor, APlanos, APlanar, AQuadros);
            return true;
        });
    return AMedidor.Resultado();
}

}  // namespace

double MedirLoudness(const std::string& ACaminho) {
    auto d = TDecodificador::Abrir(ACaminho, {});
    if (!d || d->Taxa() <= 0 || d->Canais() <= 0) {
        return -999.0;
    }
    const int taxa = d->Taxa();
    const int canais = d->Canais();
    const auto n = static_cast<std::size_t>(taxa / 10);
    TMedidorLoudness primeira(taxa, canais);
    const std::int64_t duracao = d->DuracaoMs();
    const auto total = static_cast<std::size_t>(duracao > 0 ? duracao * taxa / 1000 : 0);
    if (total < static_cast<std::size_t>(60 * taxa) || n == 0) {
        return MedirSequencial(*d, primeira);
    }

    // A long file is measured in two halves at once, one decoder each: the
    // second starts at a sub-block boundary, after a warm-up that settles the
    // filter. Its first frames are compared with what the first decoder
    // reads at the same place; only if they agree (the container seeks
    // exactly) are the halves joined, otherwise the first decoder goes on.
    const std::size_t meio = total / 2 / n * n;
    const auto aquecimento = static_cast<std::size_t>(2 * taxa);
    const auto verificar = static_cast<std::size_t>(taxa / 2);
    const std::size_t inicioB = meio - aquecimento;

    TMedidorLoudness segunda(taxa, canais);
    segunda.DefinirAquecimento(aquecimento);
    std::vector<float> amostraB;
    bool okB = false;
    std::thread outra([&] {
        auto d2 = TDecodificador::Abrir(ACaminho, {});
        if (!d2 || !d2->Posicionar(static_cast<std::int64_t>(inicioB))) {
            return;
        }
        std::size_t lidos = 0;
        d2->LerTudo([&](const float* const* APlanos,
                        bool APlanar,
                        int ACanais,
                        std::size_t AQuadros) {
            if (lidos < verificar) {
                Copiar(
                    amostraB, APlanos, APlanar, ACanais, 0, std::min(AQuadros, verificar - lidos));
            }
            Alimentar(segunda, APlanos, APlanar, AQuadros);
            lidos += AQuadros;
            return true;
        });
        okB = lidos > aquecimento;
    });

    std::vector<float> amostraA;
    std::vector<float> resto;
    std::size_t pos = 0;
    d->LerTudo([&](const float* const* APlanos, bool APlanar, int ACanais, std::size_t AQuadros) {
        // The frames the other decoder starts with, for the comparison.
        const std::size_t de = std::max(pos, inicioB);
        const std::size_t ate = std::min(pos + AQuadros, inicioB + verificar);
        if (de < ate) {
            Copiar(amostraA, APlanos, APlanar, ACanais, de - pos, ate - de);
        }
        if (pos + AQuadros < meio) {
            Alimentar(primeira, APlanos, APlanar, AQuadros);
            pos += AQuadros;
            return true;
        }
        const std::size_t antes = meio - pos;
        Alimentar(primeira, APlanos, APlanar, antes);
        Copiar(resto, APlanos, APlanar, ACanais, antes, AQuadros - antes);
        pos = meio;
        return false;
    });
    outra.join();

    if (pos == meio && okB && MesmoTrecho(amostraA, amostraB)) {
        std::vector<double> potencias = primeira.Potencias();
        potencias.insert(potencias.end(), segunda.Potencias().begin(), segunda.Potencias().end());
        return LoudnessDasPotencias(potencias);
    }
    if (!resto.empty()) {
        primeira.Alimentar(resto.data(), resto.size() / static_cast<std::size_t>(canais));
    }
    return MedirSequencial(*d, primeira);
}

}  // namespace ljsn
