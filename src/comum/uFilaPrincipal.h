#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace ljsn {

// The queued call of the main thread: workers hand results back with Postar,
// and the main thread runs them between ticks.
class TFilaPrincipal {
  public:
    virtual ~TFilaPrincipal() = default;
    // Any thread.
    virtual void Postar(std::function<void()> ATarefa) = 0;
};

// Runs ATrabalho on the main thread through AFila and waits for its answer;
// nothing when the main thread does not run it within AMs milliseconds.
// Not from the main thread itself.
std::optional<std::string> PedirNaFila(TFilaPrincipal& AFila,
                                       std::function<std::string()> ATrabalho,
                                       int AMs);

// A plain queue: the headless main loop and the tests drain it themselves.
class TFilaSimples final : public TFilaPrincipal {
  public:
    void Postar(std::function<void()> ATarefa) override;

    // Main thread. Runs the queued calls, including those they queue in turn,
    // until the queue is empty; returns how many ran.
    std::size_t Drenar();
    // Main thread. Runs the oldest queued call, if any.
    bool ExecutarUma();
    // Main thread. Waits until a call is queued, Acordar is called or the
    // deadline passes; true when there is something to drain.
    bool EsperarAte(std::chrono::steady_clock::time_point APrazo);
    // Any thread (not from a signal handler): ends a wait at once.
    void Acordar();
    std::size_t Pendentes() const;

  private:
    mutable std::mutex FTrava;
    std::condition_variable FSinal;
    std::deque<std::function<void()>> FTarefas;  // guarded by FTrava
    bool FAcordado = false;                      // guarded by FTrava
};

}  // namespace ljsn
