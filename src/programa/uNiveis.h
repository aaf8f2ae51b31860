#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ambiente/uConfiguracoes.h"
#include "audio/uPlayer.h"
#include "comum/uRelogio.h"

namespace ljsn {

// Crossfades and levels: the two music players, which one is on air and
// which one fades out, the fade-in after a stop, the general volume, and the
// gain that levels each file to the reference loudness. Driven once a tick
// with the announcer's ducking factor; time comes from the clock it is given.
class TNiveis {
  public:
    TNiveis(TRelogio& ARelogio, IDispositivoMidia& ADispositivo, const TConfiguracoes& AConfig);
    TNiveis(const TNiveis&) = delete;
    TNiveis& operator=(const TNiveis&) = delete;

    TPlayer& Atual() { return *FPlayer; }
    const TPlayer& Atual() const { return *FPlayer; }
    TPlayer* Saindo() { return FPlayerSaindo; }
    // Both players that may hold a file now (the fading one may be null).
    std::array<TPlayer*, 2> NoAr() { return {FPlayer, FPlayerSaindo}; }

    // The crossfade between items of AA and AB ms (<= 0: unknown): the
    // settings' length, at most a third of either, none under 300 ms.
    std::int32_t DuracaoTransicao(std::int32_t AA, std::int32_t AB) const;

    // What the end of the item on air asks for this tick: a crossfade of
    // Transicao ms to start now (-1: none), or a fade-out factor for an item
    // with nothing after it. ADuracaoProxima tells the next item's length
    // (-1 unknown) or nothing when no item follows; it is asked only near
    // the end.
    struct TFimDoItem {
        std::int32_t Transicao = -1;
        double Saida = 1.0;
    };
    TFimDoItem FimDoItem(const std::function<std::optional<std::int32_t>()>& ADuracaoProxima);
    // Swaps the players: the one on air fades out over AMs, the other is
    // silent until the caller starts the next item on it.
    void ComecarTransicao(std::int32_t AMs);
    // The next item fades in over AMs (after the news or a pause).
    void ComecarEntrada(std::int32_t AMs);
    void CancelarEntrada() { FEntradaMs = 0; }
    // The fading player stops at once.
    void EncerrarSaida();
    // The levels of both players for this tick: category volume, ducking
    // factor, crossfade and fade curves.
    void Aplicar(double AFator, double ASaida);

    // The general (music) volume, 0..100.
    int Volume() const { return FVolume; }
    void DefinirVolume(int AVolume) { FVolume = AVolume; }

    // The gain of the item about to start on the current player: its
    // measured loudness, or nothing while unmeasured (it plays as it is).
    void PrepararGanho(std::optional<double> AMedida);
    // A measure arrived: players on AArquivo take its gain (ramped by the
    // engine). True when the one on air did.
    bool GanhoMedido(const std::string& AArquivo, double ALoudness);
    double LoudnessAtual() const { return FLoudnessAtual; }
    double AjusteAtual() const { return FAjusteAtual; }

  private:
    int VolumeCategoria(const TPlayer& APlayer) const;

    TRelogio& FRelogio;
    const TConfiguracoes& FConfig;
    std::unique_ptr<TPlayer> FPlayerA;
    std::unique_ptr<TPlayer> FPlayerB;
    TPlayer* FPlayer = nullptr;
    TPlayer* FPlayerSaindo = nullptr;
    std::uint32_t FInicioTransicao = 0;
    std::uint32_t FDuracaoTransicao = 0;
    std::uint32_t FEntradaInicio = 0;
    std::int32_t FEntradaMs = 0;
    int FVolume = 80;
    double FLoudnessAtual = -999;
    double FAjusteAtual = 0;
};

}  // namespace ljsn
