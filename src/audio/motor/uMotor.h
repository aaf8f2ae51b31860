#pragma once

// The engine in three parts split along the thread line: the mixer
// (uMisturador.h, the audio thread's, with its real-time rules), the stream
// manager (uGerenciadorFluxos.h, the main thread's) and the pool
// (uPoolAberturas.h, the threads that open files and the decoder threads
// left inside a read). They share only rings and atomics.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "audio/motor/uCanalFala.h"
#include "audio/motor/uDispositivoMidia.h"
#include "audio/motor/uGerenciadorFluxos.h"
#include "audio/motor/uMisturador.h"
#include "audio/motor/uPoolAberturas.h"

namespace ljsn {

class TGravadorWav;

// Our mixer behind the media command strings: each alias is a channel with
// its own decoded stream and gain ramps; one Renderizar sums the channels and
// the speech channel. SDL's callback and the offline output both call it.
class TMotor final : public IDispositivoMidia, public ICanalFala {
  public:
    static constexpr int kTaxaPadrao = 44100;
    static constexpr std::size_t kCanais = kCanaisMotor;
    using TAbridor = TGerenciadorFluxos::TAbridor;

    explicit TMotor(int ATaxa = kTaxaPadrao);
    // Main thread, after the output stopped calling Renderizar. Returns once
    // every thread of the engine has been joined.
    ~TMotor() override;
    TMotor(const TMotor&) = delete;
    TMotor& operator=(const TMotor&) = delete;

    // Main thread.
    std::optional<std::string> Enviar(std::string_view AComando) override {
        return FGerenciador.Enviar(AComando);
    }
    // Main thread: opens an alias on a source of the caller's (tests, tools).
    bool AbrirFonte(std::string_view AAlias, std::unique_ptr<IFonteAudio> AFonte) {
        return FGerenciador.AbrirFonte(AAlias, std::move(AFonte));
    }
    // Main thread: frees the streams the audio thread has let go.
    void Recolher() { FGerenciador.Recolher(); }
    // Any thread.
    TContadoresMotor Contadores() const { return FMisturador.Contadores(); }
    int Taxa() const override { return FMisturador.Taxa(); }
    // Main thread. How long opening or seeking a file may hold the main thread
    // before it goes on in the background (max(): always wait, for exact
    // offline renders), and how long an opening or a playing stream may
    // deliver nothing before it is abandoned and reported as a read error.
    void DefinirLimites(std::chrono::milliseconds AEsperaAbertura,
                        std::chrono::milliseconds ATravamento) {
        FGerenciador.DefinirLimites(AEsperaAbertura, ATravamento);
    }
    // Main thread: how files are opened (FFmpeg unless a test stands in for
    // slow storage). Called on the pool's threads, which shutdown joins: an
    // opener that blocks without returning holds the destructor.
    void DefinirAbridor(TAbridor AAbridor) { FGerenciador.DefinirAbridor(std::move(AAbridor)); }
    // Main thread, before the output starts: a tap that records the mix.
    void DefinirGravador(TGravadorWav* AGravador) { FMisturador.DefinirGravador(AGravador); }

    // The speech channel (ICanalFala).
    std::size_t EscreverFala(std::span<const float> AAmostras) override {
        return FMisturador.Fala().Escrever(AAmostras);
    }
    std::uint64_t FalaEscrita() const override { return FMisturador.Fala().Escrita(); }
    void DescartarFala() override { FMisturador.Fala().Descartar(); }
    std::uint64_t FalaConsumida() const override { return FMisturador.Fala().Consumida(); }
    void ContarFalaPendente(int ADelta) override { FMisturador.Fala().ContarPendente(ADelta); }

    // Audio thread. Interleaved stereo float.
    void Renderizar(std::span<float> ASaida) { FMisturador.Renderizar(ASaida); }
    // The offline rendering thread (never a real-time one): waits until every
    // playing stream, and the speech being produced, can fill the block.
    void RenderizarAguardando(std::span<float> ASaida) { FMisturador.RenderizarAguardando(ASaida); }
    // The offline rendering thread: applies queued commands and waits until
    // every playing stream holds AQuadros frames (or ended).
    void AguardarDados(std::size_t AQuadros) { FMisturador.AguardarDados(AQuadros); }

  private:
    // Declared in this order so they go in reverse: the manager lets go of
    // its openings, the mixer frees its streams (their decoder threads may
    // go to the pool), and the pool joins every thread last.
    TPoolAberturas FPool;
    TMisturador FMisturador;
    TGerenciadorFluxos FGerenciador;
};

}  // namespace ljsn
