#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace ljsn {

// A flag another thread sets to make a source's file I/O give up. Shared:
// the source may outlive whoever sets it, and the reverse.
using TBandeiraCancelar = std::shared_ptr<std::atomic<bool>>;

// A source of audio already in the engine's format: interleaved stereo float
// at the engine's rate. Used by one thread at a time, except Cancelar.
class IFonteAudio {
  public:
    virtual ~IFonteAudio() = default;
    // Fills up to AQuadros.size() / 2 frames; returns the frames written,
    // 0 at the end (or after an error, which counts as the end).
    virtual std::size_t Ler(std::span<float> AQuadros) = 0;
    // Moves to an absolute frame; false when the source cannot.
    virtual bool Posicionar(std::int64_t AQuadro) = 0;
    // The container's estimate of the length, or -1 when unknown.
    virtual std::int64_t DuracaoMs() const = 0;
    // Why the source ended early (a read or decoding error); empty for a
    // normal end. Read by the thread that reads the source.
    virtual std::string Erro() const { return {}; }
    // Any thread, even while another is inside Ler or Posicionar: the source
    // is being given up, so I/O under way should return soon and every later
    // read end the stream. A source with nothing to wait for ignores it.
    virtual void Cancelar() {}
};

}  // namespace ljsn
