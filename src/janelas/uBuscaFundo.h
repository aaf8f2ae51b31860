#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

class QObject;

namespace ljsn {

// A slow look-up (the network) for a window. The work runs on a worker
// thread with a stop token; its result comes back on the main thread. Only
// the newest request is delivered: a new one, Cancelar and the destructor ask
// the older workers to stop and drop whatever they still find. The
// destructor joins every worker, so no work outlives its window and no
// result reaches a window that is gone. Made and used on the main thread.
class TBuscaFundo {
  public:
    TBuscaFundo();
    ~TBuscaFundo();
    TBuscaFundo(const TBuscaFundo&) = delete;
    TBuscaFundo& operator=(const TBuscaFundo&) = delete;

    // Runs ATrabalho(std::stop_token) on a worker thread, then AEntregar with
    // its result on the main thread. ATrabalho must carry copies of what it
    // needs (the window may be gone while it runs) and report failure in its
    // result: as on any thread, an exception escaping it ends the program.
    template <typename TTrabalho, typename TEntrega>
    void Iniciar(TTrabalho ATrabalho, TEntrega AEntregar) {
        using TResultado = std::decay_t<std::invoke_result_t<TTrabalho&, std::stop_token>>;
        Lancar(
            [trabalho = std::move(ATrabalho)](std::stop_token AParar) mutable {
                return std::shared_ptr<void>(std::make_shared<TResultado>(trabalho(AParar)));
            },
            [entregar = std::move(AEntregar)](const std::shared_ptr<void>& AResultado) mutable {
                entregar(std::move(*std::static_pointer_cast<TResultado>(AResultado)));
            });
    }
    // Drops the request under way: its worker is asked to stop and its
    // result goes nowhere.
    void Cancelar();
    // A request is under way (its result not delivered yet).
    bool Ocupado() const { return FPendente; }

  private:
    using TTrabalhoApagado = std::function<std::shared_ptr<void>(std::stop_token)>;
    using TEntregaApagada = std::function<void(const std::shared_ptr<void>&)>;
    struct TTrabalhador {
        std::jthread Linha;
        std::shared_ptr<std::atomic<bool>> Terminou;
    };

    void Lancar(TTrabalhoApagado ATrabalho, TEntregaApagada AEntregar);
    void Entregar(std::uint64_t AGeracao, const std::shared_ptr<void>& AResultado);
    // Joins the workers that have finished.
    void Recolher();

    // Results are posted to this object: deleting it drops those not yet
    // delivered.
    std::unique_ptr<QObject> FContexto;
    std::vector<TTrabalhador> FTrabalhadores;
    TEntregaApagada FEntregar;
    std::uint64_t FGeracao = 0;
    bool FPendente = false;
};

}  // namespace ljsn
