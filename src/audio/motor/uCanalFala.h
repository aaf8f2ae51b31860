#pragma once

#include <cstdint>
#include <span>

namespace ljsn {

// The speech channel as a speech producer sees it. One producer thread
// writes stereo frames at the engine's rate and counts them; the mixer
// counts what it played or dropped, so the producer knows when its speech
// has been heard.
class ICanalFala {
  public:
    virtual ~ICanalFala() = default;
    // The producer: writes what fits; returns the frames taken.
    virtual std::size_t EscreverFala(std::span<const float> AAmostras) = 0;
    // Frames written so far (any thread).
    virtual std::uint64_t FalaEscrita() const = 0;
    // The producer, or a thread that keeps it from writing meanwhile:
    // everything written so far that was not played fades out over the
    // de-click ramp and is dropped; speech written afterwards plays as usual.
    virtual void DescartarFala() = 0;
    // Frames of speech played or dropped so far (any thread).
    virtual std::uint64_t FalaConsumida() const = 0;
    // Speech asked for but not fully produced yet: +1 when a text is handed
    // to the speech thread, -1 when that thread is done with it. While any is
    // pending, offline rendering waits for speech frames. Any thread.
    virtual void ContarFalaPendente(int ADelta) = 0;
    // The rate speech is written at (any thread).
    virtual int Taxa() const = 0;
};

}  // namespace ljsn
