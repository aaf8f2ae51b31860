#pragma once

// Real-time checklist for the audio thread (Renderizar and what it calls):
// - no new/delete/malloc, no std::vector growth, no std::string, no
//   std::function with captures;
// - no mutex, no condition-variable notify, no SDL_LockAudioDevice, no log,
//   no FFmpeg or espeak call;
// - all cross-thread data is an SPSC queue, a ring, or a single lock-free
//   std::atomic;
// - any block size must work: 1 frame or 8192.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

#include "audio/motor/uAnelFala.h"
#include "audio/motor/uFluxo.h"
#include "audio/motor/uRampaGanho.h"
#include "comum/uAnelSpsc.h"

namespace ljsn {

class TGravadorWav;

// Channels the mixer sums, each holding one alias's stream.
inline constexpr std::size_t kCanaisMotor = 32;

// Diagnostics counted on the audio thread, read on the main thread.
struct TContadoresMotor {
    std::uint64_t Faltas = 0;           // blocks where a playing stream had no data ready
    std::uint64_t Saturadas = 0;        // output samples clamped to +-1
    std::uint64_t GravacaoPerdida = 0;  // frames the recorder could not take
};

// Everything the audio thread needs for one change travels in one message, so
// it applies the change whole at the start of a block and never sees half of it.
struct TComandoMotor {
    enum class TTipo : std::uint8_t {
        tcAnexar,  // a newly opened stream for an idle channel
        tcTocar,
        tcPausar,
        tcFechar,       // ramp down, then retire the stream
        tcVolume,       // ramped over one tick
        tcVolumeJa,     // the first volume after opening: at once
        tcTrocarFluxo,  // seek: the new stream replaces the old, not playing
    };
    TTipo Tipo = TTipo::tcTocar;
    std::uint8_t Canal = 0;
    std::uint32_t Seq = 0;
    float Valor = 0.0f;
    TFluxo* Fluxo = nullptr;  // tcAnexar, tcTrocarFluxo: ownership passes to the audio thread
};
static_assert(std::is_trivially_copyable_v<TComandoMotor>);

// The audio thread's half of the engine: the channels' streams and gain
// ramps, the speech channel, the sum and the recorder tap. Its state belongs
// to the audio thread; other threads reach it only through the command ring
// in, the retired-stream ring out, and single atomics.
class TMisturador {
  public:
    explicit TMisturador(int ATaxa);
    // After the output stopped calling Renderizar: frees every stream still
    // queued, playing or retired.
    ~TMisturador();
    TMisturador(const TMisturador&) = delete;
    TMisturador& operator=(const TMisturador&) = delete;

    // Any thread.
    int Taxa() const { return FTaxa; }

    // Main thread, the commands' one producer: false when the ring is full
    // (a stream in the command stays the caller's).
    bool Postar(const TComandoMotor& AComando) { return FComandos.Escrever(AComando); }
    // Main thread, the retired ring's one consumer: a stream the audio
    // thread let go of, now the caller's to free.
    bool TomarAposentado(TFluxo*& AFluxo) { return FAposentados.Ler(AFluxo); }
    // Any thread: the command (its sequence number) that installed the
    // channel's current stream. Acquire: the position and end read after it
    // belong to that stream or a later one.
    std::uint32_t SeqFluxo(std::size_t ACanal) const {
        return FCanais[ACanal].SeqFluxo.load(std::memory_order_acquire);
    }
    // Any thread: the absolute frame the channel's stream has reached.
    std::int64_t Posicao(std::size_t ACanal) const {
        return FCanais[ACanal].Posicao.load(std::memory_order_relaxed);
    }
    // Any thread: the channel's stream played to its end.
    bool Fim(std::size_t ACanal) const {
        return FCanais[ACanal].Fim.load(std::memory_order_relaxed);
    }
    // Main thread: the output's peak since the last call.
    float TomarPico() { return FPicoSaida.exchange(0.0f, std::memory_order_relaxed); }
    // Any thread.
    TContadoresMotor Contadores() const;
    // Main thread, before the output starts: a tap that records the mix.
    void DefinirGravador(TGravadorWav* AGravador) { FGravador.store(AGravador); }
    // The speech channel, for its producer.
    TAnelFala& Fala() { return FFala; }
    const TAnelFala& Fala() const { return FFala; }

    // Audio thread. Interleaved stereo float.
    void Renderizar(std::span<float> ASaida);
    // The offline rendering thread (never a real-time one): waits until every
    // playing stream, and the speech being produced, can fill the block.
    void RenderizarAguardando(std::span<float> ASaida);
    // The offline rendering thread: applies queued commands and waits until
    // every playing stream holds AQuadros frames (or ended).
    void AguardarDados(std::size_t AQuadros);

  private:
    enum class TPendente : std::uint8_t { pnNada, pnPausar, pnFechar, pnTrocar };

    // One channel; the atomics are what other threads read.
    struct TCanal {
        TFluxo* Fluxo = nullptr;
        TFluxo* FluxoNovo = nullptr;
        std::uint32_t SeqNovo = 0;
        bool Tocando = false;
        TPendente Pendente = TPendente::pnNada;
        bool TocarDepois = false;
        bool EmFalta = false;
        TRampaGanho Volume;
        TRampaGanho Declique;
        std::atomic<std::int64_t> Posicao{0};  // absolute frame of the current stream
        std::atomic<bool> Fim{false};          // the current stream played to its end
        std::atomic<std::uint32_t> SeqFluxo{0};
    };

    void AplicarComandos();
    void Aplicar(const TComandoMotor& AComando);
    void AplicarPendente(TCanal& ACanal);
    void Aposentar(TFluxo* AFluxo);
    void InstalarFluxo(TCanal& ACanal, TFluxo* AFluxo, std::uint32_t ASeq);
    void RenderizarBloco(float* ASaida, std::size_t AQuadros);
    void MisturarCanal(TCanal& ACanal, float* AMistura, std::size_t AQuadros);

    const int FTaxa;
    // Shared.
    TAnelSpsc<TComandoMotor> FComandos;
    TAnelSpsc<TFluxo*> FAposentados;
    TAnelFala FFala;
    std::atomic<std::uint64_t> FFaltas{0};
    std::atomic<std::uint64_t> FSaturadas{0};
    std::atomic<float> FPicoSaida{0.0f};
    std::atomic<std::uint64_t> FGravacaoPerdida{0};
    std::atomic<TGravadorWav*> FGravador{nullptr};
    // Audio thread.
    std::array<TCanal, kCanaisMotor> FCanais;
    std::vector<float> FMistura;
    std::vector<float> FTemp;
    bool FFtzDefinido = false;
};

}  // namespace ljsn
