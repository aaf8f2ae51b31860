#pragma once

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>

namespace ljsn {

// Single producer, single consumer; lock- and wait-free. The capacity is a
// power of two so indices wrap with a mask. The producer copies the items,
// then stores FEscrita with release; the consumer loads FEscrita with acquire
// before reading, so it never sees an index ahead of its data. FLeitura pairs
// the same way back. Memory is allocated once, in the constructor.
template <typename T>
class TAnelSpsc {
    static_assert(std::is_trivially_copyable_v<T>);
    static_assert(std::atomic<std::size_t>::is_always_lock_free);

  public:
    // The memory is not cleared: a slot is only read after it was written, and
    // untouched pages of a large ring cost no resident memory.
    explicit TAnelSpsc(std::size_t ACapacidade)
        : FTamanho(std::bit_ceil(std::max<std::size_t>(ACapacidade, 2))),
          FDados(new T[FTamanho]),
          FMascara(FTamanho - 1) {}

    std::size_t Capacidade() const { return FTamanho; }

    // Producer thread only. Returns how many items fitted.
    std::size_t Escrever(std::span<const T> AItens) {
        const std::size_t escrita = FEscrita.load(std::memory_order_relaxed);
        const std::size_t leitura = FLeitura.load(std::memory_order_acquire);
        const std::size_t n = std::min(AItens.size(), FTamanho - (escrita - leitura));
        for (std::size_t i = 0; i < n; ++i) {
            FDados[(escrita + i) & FMascara] = AItens[i];
        }
        FEscrita.store(escrita + n, std::memory_order_release);
        return n;
    }
    bool Escrever(const T& AItem) { return Escrever(std::span<const T>(&AItem, 1)) == 1; }

    // Producer thread only: room left.
    std::size_t Livre() const {
        return FTamanho - (FEscrita.load(std::memory_order_relaxed) -
                           FLeitura.load(std::memory_order_acquire));
    }

    // Consumer thread only. Returns how many items were read.
    std::size_t Ler(std::span<T> ADestino) {
        const std::size_t leitura = FLeitura.load(std::memory_order_relaxed);
        const std::size_t escrita = FEscrita.load(std::memory_order_acquire);
        const std::size_t n = std::min(ADestino.size(), escrita - leitura);
        for (std::size_t i = 0; i < n; ++i) {
            ADestino[i] = FDados[(leitura + i) & FMascara];
        }
        FLeitura.store(leitura + n, std::memory_order_release);
        return n;
    }
    bool Ler(T& AItem) { return Ler(std::span<T>(&AItem, 1)) == 1; }

    // Consumer thread only: drops up to AQuantos items; returns how many.
    std::size_t Descartar(std::size_t AQuantos) {
        const std::size_t leitura = FLeitura.load(std::memory_order_relaxed);
        const std::size_t escrita = FEscrita.load(std::memory_order_acquire);
        const std::size_t n = std::min(AQuantos, escrita - leitura);
        FLeitura.store(leitura + n, std::memory_order_release);
        return n;
    }

    // Consumer thread only: items ready to read.
    std::size_t Disponivel() const {
        return FEscrita.load(std::memory_order_acquire) - FLeitura.load(std::memory_order_relaxed);
    }

    // Producer thread (or whoever changes what APronto reads): wakes a
    // consumer blocked in EsperarDados. Offline use only.
    void Notificar() {
        FAvisos.fetch_add(1, std::memory_order_release);
        FAvisos.notify_all();
    }
    // Consumer thread, never the real-time one: blocks until at least
    // AMinimo items are ready or APronto() turns true. The notice count is
    // read before the checks, so a notice given after them always wakes us.
    template <typename TPronto>
    void EsperarDados(std::size_t AMinimo, TPronto APronto) const {
        while (true) {
            const std::uint32_t avisos = FAvisos.load(std::memory_order_acquire);
            const std::size_t escrita = FEscrita.load(std::memory_order_acquire);
            if (escrita - FLeitura.load(std::memory_order_relaxed) >= AMinimo || APronto()) {
                return;
            }
            FAvisos.wait(avisos, std::memory_order_acquire);
        }
    }

  private:
    std::size_t FTamanho;
    std::unique_ptr<T[]> FDados;
    std::size_t FMascara;
    alignas(64) std::atomic<std::size_t> FEscrita{0};  // own cache line: no false sharing
    alignas(64) std::atomic<std::size_t> FLeitura{0};
    std::atomic<std::uint32_t> FAvisos{0};
};

}  // namespace ljsn
