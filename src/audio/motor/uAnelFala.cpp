#include "audio/motor/uAnelFala.h"

#include <algorithm>

namespace ljsn {

namespace {
constexpr std::size_t kQuadrosFala = 131072;  // 3 s of speech ahead of the mixer
}  // namespace

TAnelFala::TAnelFala(int ATaxa) : FAnel(kQuadrosFala * 2), FDeclique(ATaxa / 200) {
    FDeclique.Reiniciar(1.0f);
}

std::size_t TAnelFala::Escrever(std::span<const float> AAmostras) {
    const std::size_t n = FAnel.Escrever(AAmostras) / 2;
    // Release: whoever reads the count and marks a purge up to it hands the
    // mixer a mark whose frames the mixer already sees in the ring.
    FEscrita.fetch_add(n, std::memory_order_release);
    FAnel.Notificar();
    return n;
}

void TAnelFala::Descartar() {
    // Only the mixer may take from the ring; it drops up to this mark.
    FDescartarAte.store(FEscrita.load(std::memory_order_acquire), std::memory_order_release);
    FAnel.Notificar();
}

void TAnelFala::ContarPendente(int ADelta) {
    FPendentes.fetch_add(ADelta, std::memory_order_acq_rel);
    FAnel.Notificar();
}

void TAnelFala::Misturar(float* AMistura, float* ATemp, std::size_t AQuadros) {
    const std::uint64_t descartarAte = FDescartarAte.load(std::memory_order_acquire);
    const std::uint64_t antes = FConsumida.load(std::memory_order_relaxed);
    std::uint64_t consumida = antes;
    std::size_t feitos = 0;
    if (descartarAte > consumida && !FApagando) {
        FApagando = true;
        FDeclique.DefinirAlvo(0.0f);
    }
    if (FApagando) {
        // Withdrawn speech fades out instead of stopping on a click; what is
        // left of it after the ramp is dropped unplayed.
        feitos = static_cast<std::size_t>(
            std::min<std::uint64_t>({AQuadros, FDeclique.Restantes(), descartarAte - consumida}));
        const std::size_t lidos = FAnel.Ler(std::span<float>(ATemp, feitos * 2)) / 2;
        for (std::size_t q = 0; q < feitos; ++q) {
            const float g = FDeclique.Avancar();
            if (q < lidos) {
                AMistura[q * 2] += ATemp[q * 2] * g;
                AMistura[q * 2 + 1] += ATemp[q * 2 + 1] * g;
            }
        }
        consumida += lidos;
        if (FDeclique.Parada() || consumida >= descartarAte) {
            if (descartarAte > consumida) {
                consumida +=
                    FAnel.Descartar(static_cast<std::size_t>(descartarAte - consumida) * 2) / 2;
            }
            if (consumida >= descartarAte) {
                FApagando = false;
                FDeclique.Reiniciar(1.0f);
            }
        }
    }
    if (!FApagando && feitos < AQuadros) {
        // Speech is produced already at its volume.
        const std::size_t fala = FAnel.Ler(std::span<float>(ATemp, (AQuadros - feitos) * 2)) / 2;
        float* destino = AMistura + feitos * 2;
        for (std::size_t i = 0; i < fala * 2; ++i) {
            destino[i] += ATemp[i];
        }
        consumida += fala;
    }
    if (consumida != antes) {
        // Only this thread writes the count.
        FConsumida.store(consumida, std::memory_order_release);
    }
}

void TAnelFala::EsperarDados(std::size_t AQuadros) const {
    FAnel.EsperarDados(std::min(AQuadros * 2, FAnel.Capacidade()),
                       [this] { return FPendentes.load(std::memory_order_acquire) <= 0; });
}

}  // namespace ljsn
