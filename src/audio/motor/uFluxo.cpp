#include "audio/motor/uFluxo.h"

#include "audio/motor/uPoolAberturas.h"

namespace ljsn {

namespace {
constexpr std::size_t kQuadrosPorBloco = 2048;
// The audio thread cannot wake the decoder (it makes no system calls), so the
// decoder looks at the ring this often when it is full.
constexpr auto kEsperaAnelCheio = std::chrono::milliseconds(15);

// The decoder thread's state: between reads, inside one, or told to stop.
enum : int { kOcioso = 0, kLendo, kParar };

std::int64_t AgoraNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

TFluxo::TNucleo::TNucleo(std::unique_ptr<IFonteAudio> AFonte, std::size_t ACapacidade)
    : Fonte(std::move(AFonte)), Anel(ACapacidade), Bloco(kQuadrosPorBloco * 2) {
    UltimaEntrega.store(AgoraNs(), std::memory_order_relaxed);
}

bool TFluxo::TNucleo::Preencher(std::size_t AQuadros) {
    const std::size_t n = Fonte->Ler(std::span<float>(Bloco.data(), AQuadros * 2));
    if (n > 0) {
        Anel.Escrever(std::span<const float>(Bloco.data(), n * 2));
    }
    if (n < AQuadros) {
        Terminou.store(true, std::memory_order_release);
    }
    UltimaEntrega.store(AgoraNs(), std::memory_order_relaxed);
    Anel.Notificar();
    return n == AQuadros;
}
TFluxo::TFluxo(std::unique_ptr<IFonteAudio> AFonte,
               std::int64_t AQuadroInicial,
               std::size_t ACapacidadeQuadros,
               std::size_t APreenchimento,
               TPoolAberturas& APool)
    : F(std::make_shared<TNucleo>(std::move(AFonte), ACapacidadeQuadros * 2)),
      FQuadroInicial(AQuadroInicial),
      FPool(APool),
      FThreadTerminou(std::make_shared<std::atomic<bool>>(false)) {
    std::size_t feitos = 0;
    while (feitos < APreenchimento && !Terminou()) {
        const std::size_t antes = F->Anel.Disponivel();
        if (!F->Preencher(std::min(kQuadrosPorBloco, APreenchimento - feitos))) {
            break;
        }
        feitos += (F->Anel.Disponivel() - antes) / 2;
    }
    if (!Terminou()) {
        FThread = std::thread([nucleo = F, terminou = FThreadTerminou]() mutable {
            Decodificar(nucleo);
            nucleo.reset();  // the source may be freed here, I/O and all
            terminou->store(true, std::memory_order_release);
        });
    }
}

TFluxo::~TFluxo() {
    if (!FThread.joinable()) {
        return;
    }
    const int antes = F->Estado.exchange(kParar, std::memory_order_acq_rel);
    { std::lock_guard trava(F->Trava); }
    F->Sinal.notify_all();
    if (antes == kLendo) {
        // It may be long in that read; it sees the stop afterwards.
        F->Fonte->Cancelar();
        FPool.Adotar(std::move(FThread), FThreadTerminou);
    } else {
        FThread.join();
    }
}

void TFluxo::EsperarDados(std::size_t AQuadros) const {
    const std::size_t minimo = std::min(AQuadros * 2, F->Anel.Capacidade());
    if (F->Anel.Disponivel() < minimo && !Terminou()) {
        // Rendering offline runs far ahead of real time: the decoder is
        // told at once instead of finding the ring empty on its next look.
        {
            std::lock_guard trava(F->Trava);
            F->Acordar = true;
        }
        F->Sinal.notify_all();
    }
    F->Anel.EsperarDados(minimo, [this] { return Terminou(); });
}

bool TFluxo::Parado(std::chrono::steady_clock::duration ALimite) const {
    if (Terminou() || F->Anel.Disponivel() > 0) {
        return false;
    }
    const std::int64_t desde = F->UltimaEntrega.load(std::memory_order_relaxed);
    return AgoraNs() - desde >
           std::chrono::duration_cast<std::chrono::nanoseconds>(ALimite).count();
}

void TFluxo::Decodificar(const std::shared_ptr<TNucleo>& ANucleo) {
    TNucleo& n = *ANucleo;
    for (;;) {
        const std::size_t livre = n.Anel.Livre() / 2;
        if (livre >= kQuadrosPorBloco / 2) {
            int esperado = kOcioso;
            if (!n.Estado.compare_exchange_strong(esperado, kLendo, std::memory_order_acq_rel)) {
                return;
            }
            const bool continua = n.Preencher(std::min(livre, kQuadrosPorBloco));
            esperado = kLendo;
            if (!n.Estado.compare_exchange_strong(esperado, kOcioso, std::memory_order_acq_rel) ||
                !continua) {
                return;
            }
            continue;
        }
        std::unique_lock trava(n.Trava);
        n.Sinal.wait_for(trava, kEsperaAnelCheio, [&] {
            return n.Acordar || n.Estado.load(std::memory_order_acquire) == kParar;
        });
        n.Acordar = false;
        if (n.Estado.load(std::memory_order_acquire) == kParar) {
            return;
        }
    }
}

}  // namespace ljsn
