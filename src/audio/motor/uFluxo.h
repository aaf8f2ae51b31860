#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/motor/uFonteAudio.h"
#include "comum/uAnelSpsc.h"

namespace ljsn {

class TPoolAberturas;

// One opened file on its way to the mixer: the source, a ring of decoded
// stereo frames, and a decoder thread that keeps the ring filled. Created on
// the main thread or an opening thread, destroyed on the main thread (or on
// the opening thread, when the opening was given up); the audio thread only
// reads the ring.
class TFluxo {
  private:
    // What the decoder thread uses, shared so that a thread left behind in a
    // read still owns it.
    struct TNucleo {
        TNucleo(std::unique_ptr<IFonteAudio> AFonte, std::size_t ACapacidade);
        // Decodes up to AQuadros frames into the ring; false once the source ended.
        bool Preencher(std::size_t AQuadros);

        std::unique_ptr<IFonteAudio> Fonte;
        TAnelSpsc<float> Anel;
        std::vector<float> Bloco;
        std::atomic<bool> Terminou{false};
        std::atomic<int> Estado{0};                  // idle, reading, told to stop
        std::atomic<std::int64_t> UltimaEntrega{0};  // steady clock, ns
        std::mutex Trava;                            // only for the decoder thread's timed wait
        std::condition_variable Sinal;
        bool Acordar = false;  // guarded by Trava: an offline reader is waiting
    };

  public:
    // Pre-fills APreenchimento frames on the calling thread, so playback can
    // start at once, then starts the decoder thread. APool must outlive the
    // stream.
    TFluxo(std::unique_ptr<IFonteAudio> AFonte,
           std::int64_t AQuadroInicial,
           std::size_t ACapacidadeQuadros,
           std::size_t APreenchimento,
           TPoolAberturas& APool);
    // Stops the decoder thread. Never waits on file I/O: a thread caught in a
    // read (a network share that stopped answering) has its source cancelled
    // and goes to the pool, which joins it once the read returns; the thread
    // frees the source itself.
    ~TFluxo();
    TFluxo(const TFluxo&) = delete;
    TFluxo& operator=(const TFluxo&) = delete;

    // Audio thread.
    std::size_t Ler(float* ADestino, std::size_t AQuadros) {
        return F->Anel.Ler(std::span<float>(ADestino, AQuadros * 2)) / 2;
    }
    // The decoder reached the end of the source (or an error ended it).
    bool Terminou() const { return F->Terminou.load(std::memory_order_acquire); }
    // Ended with nothing left to read.
    bool Esgotado() const { return Terminou() && F->Anel.Disponivel() == 0; }
    std::int64_t QuadroInicial() const { return FQuadroInicial; }
    // Any thread: nothing to play and nothing new from the source for longer
    // than ALimite (a source stuck in I/O).
    bool Parado(std::chrono::steady_clock::duration ALimite) const;

    // Offline rendering only: blocks until AQuadros frames are ready or the
    // source has ended.
    void EsperarDados(std::size_t AQuadros) const;

  private:
    static void Decodificar(const std::shared_ptr<TNucleo>& ANucleo);

    std::shared_ptr<TNucleo> F;
    std::int64_t FQuadroInicial;
    TPoolAberturas& FPool;
    // Set by the decoder thread as its last act, so the pool knows when a
    // join no longer waits.
    std::shared_ptr<std::atomic<bool>> FThreadTerminou;
    std::thread FThread;
};

}  // namespace ljsn
