#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "audio/motor/uFonteAudio.h"
#include "comum/uAnelSpsc.h"

namespace ljsn {

// One opened file on its way to the mixer: the source, a ring of decoded
// stereo frames, and a decoder thread that keeps the ring filled. Created and
// destroyed on the main thread; the audio thread only reads the ring.
class TFluxo {
  public:
    // Pre-fills APreenchimento frames on the calling thread, so playback can
    // start at once, then starts the decoder thread.
    TFluxo(std::unique_ptr<IFonteAudio> AFonte,
           std::int64_t AQuadroInicial,
           std::size_t ACapacidadeQuadros,
           std::size_t APreenchimento);
    // Stops and joins the decoder thread.
    ~TFluxo();
    TFluxo(const TFluxo&) = delete;
    TFluxo& operator=(const TFluxo&) = delete;

    // Audio thread.
    std::size_t Ler(float* ADestino, std::size_t AQuadros) {
        return FAnel.Ler(std::span<float>(ADestino, AQuadros * 2)) / 2;
    }
    // The decoder reached the end of the source (or an error ended it).
    bool Terminou() const { return FTerminou.load(std::memory_order_acquire); }
    // Ended with nothing left to read.
    bool Esgotado() const { return Terminou() && FAnel.Disponivel() == 0; }
    std::int64_t QuadroInicial() const { return FQuadroInicial; }

    // Offline rendering only: blocks until AQuadros frames are ready or the
    // source has ended.
    void EsperarDados(std::size_t AQuadros) const {
        FAnel.EsperarDados(std::min(AQuadros * 2, FAnel.Capacidade()),
                           [this] { return Terminou(); });
    }

  private:
    void Decodificar(const std::stop_token& AParar);
    bool Preencher(std::size_t AQuadros);

    std::unique_ptr<IFonteAudio> FFonte;
    std::int64_t FQuadroInicial;
    TAnelSpsc<float> FAnel;
    std::vector<float> FBloco;
    std::atomic<bool> FTerminou{false};
    std::mutex FTrava;  // only for the decoder thread's timed wait
    std::condition_variable_any FSinal;
    std::jthread FThread;
};

}  // namespace ljsn
