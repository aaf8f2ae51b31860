#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "audio/motor/uFonteAudio.h"
#include "audio/motor/uMisturador.h"
#include "comum/uVerificar.h"

namespace ljsn {

class TPoolAberturas;
struct TComandoTexto;

// The main thread's half of the engine: runs the media command strings on
// named aliases, each holding one of the mixer's channels; opens and seeks
// files (on the pool when storage may be slow), follows what the mixer
// publishes, and frees the streams it let go of. It reaches the mixer only
// through its command and retired-stream rings and its atomics.
class TGerenciadorFluxos {
  public:
    // How files are opened (FFmpeg unless a test stands in for slow storage).
    // Called on the pool's threads.
    using TAbridor =
        std::function<std::unique_ptr<IFonteAudio>(const std::string& AArquivo, int ATaxa)>;
    // How a file's stream ended early (shared with its decoder thread).
    struct TErroLeitura;

    // Both must outlive the manager.
    TGerenciadorFluxos(TMisturador& AMisturador, TPoolAberturas& APool);
    // Main thread: calls off the openings still under way.
    ~TGerenciadorFluxos();
    TGerenciadorFluxos(const TGerenciadorFluxos&) = delete;
    TGerenciadorFluxos& operator=(const TGerenciadorFluxos&) = delete;

    // Main thread.
    std::optional<std::string> Enviar(std::string_view AComando);
    // Main thread: opens an alias on a source of the caller's (tests, tools).
    bool AbrirFonte(std::string_view AAlias, std::unique_ptr<IFonteAudio> AFonte);
    // Main thread: frees the streams the audio thread has let go.
    void Recolher();
    // Main thread. How long opening or seeking a file may hold the main thread
    // before it goes on in the background (max(): always wait, for exact
    // offline renders), and how long an opening or a playing stream may
    // deliver nothing before it is abandoned and reported as a read error.
    void DefinirLimites(std::chrono::milliseconds AEsperaAbertura,
                        std::chrono::milliseconds ATravamento);
    // Main thread.
    void DefinirAbridor(TAbridor AAbridor) { FAbridor = std::move(AAbridor); }

  private:
    // A file being opened, on the pool or on this thread.
    struct TAbertura;
    enum class TEstadoAlias : std::uint8_t { eaParado, eaTocando, eaPausado };

    // One open alias.
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

    // One of the mixer's channels, as this side books it.
    struct TVaga {
        bool Ocupada = false;
        bool Fechando = false;
        int FluxosVivos = 0;
    };

    std::optional<std::string> Executar(const TComandoTexto& AComando);
    bool Postar(TComandoMotor AComando);
    bool AbrirAlias(const std::string& AAlias,
                    std::unique_ptr<TFluxo> AFluxo,
                    std::int64_t ADuracaoMs,
                    const std::string& AArquivo);
    // Opens a file at a frame with a new stream on it: on this thread when
    // the wait is unbounded, else on the pool.
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

    TMisturador& FMisturador;
    TPoolAberturas& FPool;
    const int FTaxa;
    TDonoThread FDono;
    std::unordered_map<std::string, TAlias> FAliases;
    std::array<TVaga, kCanaisMotor> FVagas{};
    std::unordered_map<TFluxo*, std::size_t> FCanalDoFluxo;
    std::uint32_t FProximaSeq = 1;
    std::chrono::milliseconds FEsperaAbertura = std::chrono::milliseconds::max();
    std::chrono::milliseconds FTravamento{5000};
    TAbridor FAbridor;
};

}  // namespace ljsn
