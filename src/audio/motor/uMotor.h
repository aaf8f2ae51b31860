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
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "audio/motor/uDispositivoMidia.h"
#include "audio/motor/uFluxo.h"
#include "audio/motor/uRampaGanho.h"
#include "comum/uAnelSpsc.h"
#include "comum/uVerificar.h"

namespace ljsn {

class TGravadorWav;

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

// Our mixer behind the media command strings: each alias is a channel with
// its own decoded stream and gain ramps; one Renderizar sums the channels and
// the speech channel. SDL's callback and the offline output both call it.
class TMotor final : public IDispositivoMidia {
  public:
    // How a file's stream ended early (shared with its decoder thread).
    struct TErroLeitura;
    // A file being opened on a thread of its own.
    struct TAbertura;
    static constexpr int kTaxaPadrao = 44100;
    static constexpr std::size_t kCanais = 32;

    explicit TMotor(int ATaxa = kTaxaPadrao);
    // Main thread, after the output stopped calling Renderizar.
    ~TMotor() override;
    TMotor(const TMotor&) = delete;
    TMotor& operator=(const TMotor&) = delete;

    // Main thread.
    std::optional<std::string> Enviar(std::string_view AComando) override;
    // Main thread: opens an alias on a source of the caller's (tests, tools).
    bool AbrirFonte(std::string_view AAlias, std::unique_ptr<IFonteAudio> AFonte);
    // Main thread: frees the streams the audio thread has let go.
    void Recolher();
    // Any thread.
    TContadoresMotor Contadores() const;
    int Taxa() const { return FTaxa; }
    // Main thread. How long opening or seeking a file may hold the main thread
    // before it goes on in the background (max(): always wait, for exact
    // offline renders), and how long an opening or a playing stream may
    // deliver nothing before it is abandoned and reported as a read error.
    void DefinirLimites(std::chrono::milliseconds AEsperaAbertura,
                        std::chrono::milliseconds ATravamento);
    // Main thread: how files are opened (FFmpeg unless a test stands in for
    // slow storage). Called on the opening threads.
    using TAbridor =
        std::function<std::unique_ptr<IFonteAudio>(const std::string& AArquivo, int ATaxa)>;
    void DefinirAbridor(TAbridor AAbridor) { FAbridor = std::move(AAbridor); }
    // Main thread, before the output starts: a tap that records the mix.
    void DefinirGravador(TGravadorWav* AGravador) { FGravador.store(AGravador); }

    // The speech channel. One producer thread writes stereo frames at the
    // engine's rate and counts them; the mixer counts what it played or
    // dropped, so the producer knows when its speech has been heard.
    std::size_t EscreverFala(std::span<const float> AAmostras);
    // Frames written so far (any thread).
    std::uint64_t FalaEscrita() const { return FFalaEscrita.load(std::memory_order_acquire); }
    // The producer, or a thread that keeps it from writing meanwhile: everything
    // written so far that was not played fades out over the de-click ramp and
    // is dropped; speech written afterwards plays as usual.
    void DescartarFala();
    // Frames of speech played or dropped so far (any thread).
    std::uint64_t FalaConsumida() const { return FFalaConsumida.load(std::memory_order_acquire); }
    // Speech asked for but not fully produced yet: +1 when a text is handed
    // to the speech thread, -1 when that thread is done with it. While any is
    // pending, offline rendering waits for speech frames. Any thread.
    void ContarFalaPendente(int ADelta);

    // Audio thread. Interleaved stereo float.
    void Renderizar(std::span<float> ASaida);
    // The offline rendering thread (never a real-time one): waits until every
    // playing stream, and the speech being produced, can fill the block.
    void RenderizarAguardando(std::span<float> ASaida);
    // The offline rendering thread: applies queued commands and waits until
    // every playing stream holds AQuadros frames (or ended).
    void AguardarDados(std::size_t AQuadros);

  private:
    enum class TEstadoAlias : std::uint8_t { eaParado, eaTocando, eaPausado };
    enum class TPendente : std::uint8_t { pnNada, pnPausar, pnFechar, pnTrocar };

    // Main side of one open alias.
    struct TAlias {
        std::size_t Canal = 0;
        TEstadoAlias Estado = TEstadoAlias::eaParado;
        std::int64_t DuracaoMs = -1;
        bool VolumeDefinido = false;
        std::uint32_t SeqFluxo = 0;  // command that installed the current stream
        std::int64_t PosicaoSeekMs = 0;
        bool SeekPendente = false;
        std::string Arquivo;
        // How the current stream ended, written by its decoder thread.
        std::shared_ptr<TErroLeitura> ErroLeitura;
        // An open or a seek still under way, and which of the two.
        std::shared_ptr<TAbertura> Abertura;
        bool AberturaTroca = false;
        TFluxo* Fluxo = nullptr;  // the newest stream handed over (owned by the audio side)
        float Volume = 1.0f;
        bool Falhou = false;  // abandoned: reported as ended, with the reason
    };

    // Audio side of one channel; the atomics are what the main thread reads.
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

    // Main side of one channel slot.
    struct TVaga {
        bool Ocupada = false;
        bool Fechando = false;
        int FluxosVivos = 0;
    };

    std::optional<std::string> Executar(const struct TComandoTexto& AComando);
    bool Postar(TComandoMotor AComando);
    bool AbrirAlias(const std::string& AAlias,
                    std::unique_ptr<TFluxo> AFluxo,
                    std::int64_t ADuracaoMs,
                    const std::string& AArquivo);
    // Opens a file at a frame with a new stream on it: on this thread when
    // the wait is unbounded, else on a thread of its own.
    std::shared_ptr<TAbertura> Lancar(const std::string& AArquivo,
                                      std::int64_t AQuadro,
                                      std::shared_ptr<TErroLeitura> AErro);
    bool Concluida(TAbertura& AAbertura) const;
    // Installs what finished opening meanwhile; abandons what took too long.
    void AcompanharAberturas();
    void Instalar(TAlias& AAlias, std::unique_ptr<TFluxo> AFluxo, std::int64_t ADuracaoMs);
    void Falhar(TAlias& AAlias, std::string ATexto);
    bool Travado(TAlias& AAlias);
    std::optional<std::size_t> ReservarCanal();
    // A new stream for a channel, handed to the audio thread; its sequence
    // number, or nothing when the command ring is full.
    std::optional<std::uint32_t> PostarFluxo(TComandoMotor::TTipo ATipo,
                                             TAlias& AAlias,
                                             std::unique_ptr<TFluxo> AFluxo);
    std::int64_t PosicaoMs(const TAlias& AAlias) const;
    bool EmFim(const TAlias& AAlias) const;

    // Audio thread.
    void AplicarComandos();
    void Aplicar(const TComandoMotor& AComando);
    void AplicarPendente(TCanal& ACanal);
    void Aposentar(TFluxo* AFluxo);
    void InstalarFluxo(TCanal& ACanal, TFluxo* AFluxo, std::uint32_t ASeq);
    void RenderizarBloco(float* ASaida, std::size_t AQuadros);
    void MisturarCanal(TCanal& ACanal, float* AMistura, std::size_t AQuadros);
    void MisturarFala(float* AMistura, std::size_t AQuadros);

    const int FTaxa;
    TDonoThread FDono;

    // Main side.
    std::unordered_map<std::string, TAlias> FAliases;
    std::array<TVaga, kCanais> FVagas{};
    std::unordered_map<TFluxo*, std::size_t> FCanalDoFluxo;
    std::uint32_t FProximaSeq = 1;
    std::chrono::milliseconds FEsperaAbertura = std::chrono::milliseconds::max();
    std::chrono::milliseconds FTravamento{5000};
    TAbridor FAbridor;

    // Shared.
    TAnelSpsc<TComandoMotor> FComandos;
    TAnelSpsc<TFluxo*> FAposentados;
    TAnelSpsc<float> FFala;
    std::atomic<std::uint64_t> FFalaConsumida{0};
    std::atomic<std::uint64_t> FFalaEscrita{0};
    std::atomic<std::uint64_t> FFalaDescartarAte{0};
    std::atomic<int> FFalasPendentes{0};
    std::atomic<std::uint64_t> FFaltas{0};
    std::atomic<std::uint64_t> FSaturadas{0};
    std::atomic<float> FPicoSaida{0.0f};
    std::atomic<std::uint64_t> FGravacaoPerdida{0};
    std::atomic<TGravadorWav*> FGravador{nullptr};

    // Audio side.
    std::array<TCanal, kCanais> FCanaisAudio;
    std::vector<float> FMistura;
    std::vector<float> FTemp;
    TRampaGanho FDecliqueFala;
    bool FApagandoFala = false;  // fading out speech that was withdrawn
    bool FFtzDefinido = false;
};

}  // namespace ljsn
