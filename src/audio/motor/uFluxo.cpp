#include "audio/motor/uFluxo.h"

#include <chrono>

namespace ljsn {

namespace {
constexpr std::size_t kQuadrosPorBloco = 2048;
// The audio thread cannot wake the decoder (it makes no system calls), so the
// decoder looks at the ring this often when it is full.
constexpr auto kEsperaAnelCheio = std::chrono::milliseconds(15);
}  // namespace

TFluxo::TFluxo(std::unique_ptr<IFonteAudio> AFonte,
               std::int64_t AQuadroInicial,
               std::size_t ACapacidadeQuadros,
               std::size_t APreenchimento)
    : FFonte(std::move(AFonte)),
      FQuadroInicial(AQuadroInicial),
      FAnel(ACapacidadeQuadros * 2),
      FBloco(kQuadrosPorBloco * 2) {
    std::size_t feitos = 0;
    while (feitos < APreenchimento && !FTerminou.load()) {
        const std::size_t antes = FAnel.Disponivel();
        if (!Preencher(std::min(kQuadrosPorBloco, APreenchimento - feitos))) {
            break;
        }
        feitos += (FAnel.Disponivel() - antes) / 2;
    }
    if (!FTerminou.load()) {
        FThread = std::jthread([this](const std::stop_token& AParar) { Decodificar(AParar); });
    }
}

TFluxo::~TFluxo() {
    if (FThread.joinable()) {
        FThread.request_stop();
        FSinal.notify_all();
        FThread.join();
    }
}

// Decodes up to AQuadros frames into the ring; false once the source ended.
bool TFluxo::Preencher(std::size_t AQuadros) {
    const std::size_t n = FFonte->Ler(std::span<float>(FBloco.data(), AQuadros * 2));
    if (n > 0) {
        FAnel.Escrever(std::span<const float>(FBloco.data(), n * 2));
    }
    if (n < AQuadros) {
        FTerminou.store(true, std::memory_order_release);
    }
    FAnel.Notificar();
    return n == AQuadros;
}

void TFluxo::Decodificar(const std::stop_token& AParar) {
    while (!AParar.stop_requested()) {
        const std::size_t livre = FAnel.Livre() / 2;
        if (livre >= kQuadrosPorBloco / 2) {
            if (!Preencher(std::min(livre, kQuadrosPorBloco))) {
                return;
            }
            continue;
        }
        std::unique_lock trava(FTrava);
        FSinal.wait_for(trava, AParar, kEsperaAnelCheio, [] { return false; });
    }
}

}  // namespace ljsn
