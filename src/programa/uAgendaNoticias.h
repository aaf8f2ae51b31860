#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ambiente/uConfiguracoes.h"
#include "comum/uFilaPrincipal.h"
#include "comum/uRelogio.h"
#include "falas/uNoticias.h"

namespace ljsn {

// The news fetch schedule: one fetch at a time on a worker, every 20 minutes
// after a success, every minute (every 5 after ten failures in a row) after
// a failure, and early when every item has been read. Also keeps which items
// were read and when. Main thread only; the worker touches none of it.
class TAgendaNoticias {
  public:
    TAgendaNoticias(TRelogio& ARelogio, TFilaPrincipal& AFila, const TConfiguracoes& AConfig);
    // Stops a fetch under way and waits for its worker.
    ~TAgendaNoticias();
    TAgendaNoticias(const TAgendaNoticias&) = delete;
    TAgendaNoticias& operator=(const TAgendaNoticias&) = delete;

    // Starts a background fetch unless one runs or the news are off.
    void AtualizarNoticias();
    // An early fetch when every fetched item has been read (at most one
    // every 2 minutes).
    void BuscarSeAcabaram();
    // The minute events: a fetch when the next one is due within this minute.
    void VerificarBusca();
    // The settings were confirmed: the items of the old subjects go.
    void Esvaziar() { FNoticias.clear(); }

    // What the next block would read now.
    std::vector<TNoticia> NoticiasParaLer() const;
    bool FoiLida(const std::string& ALink) const { return FNoticiasLidas.count(ALink) != 0; }
    void MarcarLida(const std::string& ALink) { FNoticiasLidas[ALink] = FRelogio.Agora(); }

    // Runs on the main thread after each fetch's completion step.
    void DefinirAoConcluir(std::function<void()> AAcao) { FAoConcluir = std::move(AAcao); }

    const std::vector<TNoticia>& Noticias() const { return FNoticias; }
    bool Buscando() const { return FBuscandoNoticias; }
    double ProximaBusca() const { return FProximaBuscaNoticias; }
    int Falhas() const { return FFalhasNoticias; }

    // The time of the next fetch after a success or the given failure count.
    static double ProximaBusca(double AAgora, bool ASucesso, int AFalhas);

  private:
    void Concluir(std::vector<TNoticia> AResultado, const std::string& AMotivo);

    TRelogio& FRelogio;
    TFilaPrincipal& FFila;
    const TConfiguracoes& FConfig;
    std::shared_ptr<TAgendaNoticias*> FVivo = std::make_shared<TAgendaNoticias*>(this);
    std::function<void()> FAoConcluir;

    std::vector<TNoticia> FNoticias;
    TNoticiasLidas FNoticiasLidas;
    bool FBuscandoNoticias = false;
    double FProximaBuscaNoticias = 0;
    int FFalhasNoticias = 0;
    double FUltimaBuscaForcada = 0;
    std::jthread FTrabalhador;
};

}  // namespace ljsn
