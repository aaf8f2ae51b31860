#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "audio/motor/uRampaGanho.h"
#include "comum/uAnelSpsc.h"

namespace ljsn {

// The speech channel's ring and its counts. The producer's calls are the
// ones ICanalFala describes; the audio thread mixes the frames in, or fades
// out and drops the ones withdrawn.
class TAnelFala {
  public:
    explicit TAnelFala(int ATaxa);

    // The producer thread.
    std::size_t Escrever(std::span<const float> AAmostras);
    // Any thread.
    std::uint64_t Escrita() const { return FEscrita.load(std::memory_order_acquire); }
    // The producer, or a thread that keeps it from writing meanwhile.
    void Descartar();
    // Any thread.
    std::uint64_t Consumida() const { return FConsumida.load(std::memory_order_acquire); }
    // Any thread.
    void ContarPendente(int ADelta);

    // Audio thread: adds up to AQuadros frames of speech to AMistura, with
    // ATemp (AQuadros stereo frames) as scratch.
    void Misturar(float* AMistura, float* ATemp, std::size_t AQuadros);
    // The offline rendering thread: waits until AQuadros frames are ready or
    // no speech is being produced.
    void EsperarDados(std::size_t AQuadros) const;

  private:
    TAnelSpsc<float> FAnel;
    std::atomic<std::uint64_t> FConsumida{0};     // written by the audio thread
    std::atomic<std::uint64_t> FEscrita{0};       // written by the producer
    std::atomic<std::uint64_t> FDescartarAte{0};  // the mark Descartar leaves
    std::atomic<int> FPendentes{0};
    // Audio thread.
    TRampaGanho FDeclique;
    bool FApagando = false;  // fading out speech that was withdrawn
};

}  // namespace ljsn
