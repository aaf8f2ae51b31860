#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/motor/uFonteAudio.h"

namespace ljsn {

// Calls off one opening. The FFmpeg I/O of the file reads the flag and gives
// up at its next read; a source being read meanwhile on the opening thread
// (a seek, the first frames) is told through its Cancelar.
class TCancelamento {
  public:
    // Any thread; once is enough.
    void Cancelar();
    // Any thread.
    bool Cancelado() const { return FBandeira->load(std::memory_order_acquire); }
    // For a decoder, which may outlive this record.
    const TBandeiraCancelar& Bandeira() const { return FBandeira; }
    // The opening thread: while AFonte is set, cancelling reaches it too, at
    // once when it came first. Cleared (nullptr) before the source may be freed.
    void Vigiar(IFonteAudio* AFonte);

  private:
    std::mutex FTrava;
    const TBandeiraCancelar FBandeira = std::make_shared<std::atomic<bool>>(false);
    IFonteAudio* FFonte = nullptr;  // guarded by FTrava
};

// The engine's own threads besides the audio callback: a few that open files,
// so that a share that stopped answering holds one of them and not the main
// thread, and the decoder threads of freed streams that were still inside a
// read. Encerrar joins them all, so none outlives the engine.
class TPoolAberturas {
  public:
    static constexpr std::size_t kMaxThreads = 3;
    // Threads at most, counting those held by openings that were given up
    // (a dead share can keep a thread in the kernel for good).
    static constexpr std::size_t kMaxThreadsComPresas = 16;

    TPoolAberturas() = default;
    // Encerrar.
    ~TPoolAberturas();
    TPoolAberturas(const TPoolAberturas&) = delete;
    TPoolAberturas& operator=(const TPoolAberturas&) = delete;

    // Main thread: runs ATarefa on a pool thread, starting one when none is
    // idle, up to kMaxThreads besides those held by given-up openings; past
    // that the task waits its turn. A task
    // cancelled before its turn, or still queued at Encerrar, never runs.
    void Enfileirar(std::shared_ptr<TCancelamento> ACancelamento, std::function<void()> ATarefa);
    // Any thread: a decoder thread told to stop while inside a read, kept
    // until ATerminou is set and then joined (at Encerrar at the latest).
    void Adotar(std::thread AThread, std::shared_ptr<const std::atomic<bool>> ATerminou);
    // Main thread: joins the adopted threads that have ended, and starts a
    // thread for waiting tasks when given-up openings hold the others.
    void Recolher();
    // Main thread: cancels the running tasks, drops the queued ones and joins
    // every thread. A read already waiting on the storage is waited for (the
    // cancel stops everything after it), and so is a source of the caller's
    // that ignores Cancelar.
    void Encerrar();

  private:
    enum class TEstado : std::uint8_t { epAberto, epEncerrando, epEncerrado };
    struct TTarefa {
        std::shared_ptr<TCancelamento> Cancelamento;
        std::function<void()> Executar;
    };
    struct TAdotada {
        std::thread Thread;
        std::shared_ptr<const std::atomic<bool>> Terminou;
    };

    void Trabalhar();
    // Under FTrava: a new thread when tasks wait and fewer than kMaxThreads
    // are free or working on an opening still wanted.
    void CrescerSePreciso();
    // Under FTrava: the adopted threads that ended, to be joined after it.
    std::vector<TAdotada> TirarTerminadas();

    std::mutex FTrava;
    std::condition_variable FSinal;
    std::deque<TTarefa> FFila;                             // guarded by FTrava
    std::vector<std::shared_ptr<TCancelamento>> FEmCurso;  // guarded by FTrava
    std::vector<TAdotada> FAdotadas;                       // guarded by FTrava
    std::size_t FOciosas = 0;                              // guarded by FTrava
    TEstado FEstado = TEstado::epAberto;                   // guarded by FTrava
    std::vector<std::thread> FThreads;                     // main thread; grown under FTrava
};

}  // namespace ljsn
