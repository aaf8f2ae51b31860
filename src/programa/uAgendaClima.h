#pragma once

#include <memory>
#include <thread>

#include "ambiente/uConfiguracoes.h"
#include "comum/uFilaPrincipal.h"
#include "comum/uRelogio.h"
#include "falas/uClima.h"

namespace ljsn {

// The weather refresh: one query at a time on a worker; a valid answer
// replaces the last one, anything else leaves it. Main thread only.
class TAgendaClima {
  public:
    TAgendaClima(TRelogio& ARelogio, TFilaPrincipal& AFila, const TConfiguracoes& AConfig);
    // Stops a query under way and waits for its worker.
    ~TAgendaClima();
    TAgendaClima(const TAgendaClima&) = delete;
    TAgendaClima& operator=(const TAgendaClima&) = delete;

    // Starts a background query when the weather is on, a city is chosen and
    // no query runs.
    void AtualizarClima();
    // The settings were confirmed: a result for another city is never spoken.
    void Esvaziar() { FClima = TClima(); }
    // The sentence for a time announcement at AHora, when the last result
    // is fresh (under 2 whole hours old); else empty.
    std::string FraseParaHora(int AHora) const;

    const TClima& Clima() const { return FClima; }
    bool Consultando() const { return FConsultandoClima; }

  private:
    TRelogio& FRelogio;
    TFilaPrincipal& FFila;
    const TConfiguracoes& FConfig;
    std::shared_ptr<TAgendaClima*> FVivo = std::make_shared<TAgendaClima*>(this);
    TClima FClima;
    bool FConsultandoClima = false;
    std::jthread FTrabalhador;
};

}  // namespace ljsn
