#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "ambiente/uConfiguracoes.h"
#include "ambiente/uInicializacao.h"
#include "audio/motor/uDispositivoMidia.h"
#include "audio/uPlayer.h"
#include "comum/uFilaPrincipal.h"
#include "comum/uRelogio.h"
#include "comum/uVerificar.h"
#include "programa/uVisao.h"

namespace ljsn {

inline constexpr const char* kNomePrograma = "Loja Sonorante";
inline constexpr const char* kVersaoPrograma = LJSN_VERSAO;
inline constexpr std::uint32_t kIntervaloTickMs = 100;

// Offset of the program clock from the system clock, in days, from
// LJSN_RELOGIO ("H:MM"); 0 when unset or without ":".
double CalcularDeslocamentoRelogio(const std::string& AValor, double AAgoraSistema);

// Generation of the durations reader; -1 after shutdown began.
extern std::atomic<std::int32_t> GeracaoAtual;

// What the program was started with.
struct TOpcoesPrograma {
    TLinhaComando Linha;
    std::string CaminhoExecutavel;
    std::string ValorRelogio;  // LJSN_RELOGIO
};

// The headless programme: owns the settings, players, lists, announcer and
// the servers, and is driven by one 100 ms tick on the main thread.
class TPrograma {
  public:
    TPrograma(TRelogio& ARelogio,
              TFilaPrincipal& AFila,
              IVisao& AVisao,
              IDispositivoMidia& ADispositivo,
              TOpcoesPrograma AOpcoes);
    // The orderly shutdown: settings saved, "FIM" logged.
    ~TPrograma();
    TPrograma(const TPrograma&) = delete;
    TPrograma& operator=(const TPrograma&) = delete;

    // Main thread: the creation steps, ending with one tick.
    void Iniciar();
    // Main thread: one tick, errors caught and logged.
    void Tick();
    // Runs AAcao under the application-wide error handler.
    void Protegido(const std::function<void()>& AAcao);

    // The program clock: system local time plus the LJSN_RELOGIO offset.
    double Agora() const;

    TConfiguracoes& Config() { return *FConfig; }
    const TConfiguracoes& Config() const { return *FConfig; }
    bool PrimeiraExecucao() const { return FPrimeiraExecucao; }

  private:
    void ExecutarTick();
    void RegistrarErro(const std::exception& AErro);

    TRelogio& FRelogio;
    TFilaPrincipal& FFila;
    IVisao& FVisao;
    IDispositivoMidia& FDispositivo;
    TOpcoesPrograma FOpcoes;
    TDonoThread FDono;

    std::unique_ptr<TPlayer> FPlayerA;
    std::unique_ptr<TPlayer> FPlayerB;
    TPlayer* FPlayer = nullptr;
    TPlayer* FPlayerSaindo = nullptr;
    std::mt19937 FAleatorio;
    double FDeslocamentoRelogio = 0;
    std::unique_ptr<TConfiguracoes> FConfig;
    bool FPrimeiraExecucao = false;
    bool FIniciado = false;
    bool FAutoTocar = false;
};

}  // namespace ljsn
