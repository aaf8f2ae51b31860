#include "audio/motor/uPoolAberturas.h"

#include <algorithm>
#include <utility>

namespace ljsn {

void TCancelamento::Cancelar() {
    std::lock_guard trava(FTrava);
    FBandeira->store(true, std::memory_order_release);
    if (FFonte != nullptr) {
        FFonte->Cancelar();
    }
}

void TCancelamento::Vigiar(IFonteAudio* AFonte) {
    std::lock_guard trava(FTrava);
    FFonte = AFonte;
    if (FFonte != nullptr && Cancelado()) {
        FFonte->Cancelar();
    }
}

TPoolAberturas::~TPoolAberturas() {
    Encerrar();
}

void TPoolAberturas::Enfileirar(std::shared_ptr<TCancelamento> ACancelamento,
                                std::function<void()> ATarefa) {
    {
        std::lock_guard trava(FTrava);
        if (FEstado != TEstado::epAberto) {
            return;
        }
        FFila.push_back({std::move(ACancelamento), std::move(ATarefa)});
        CrescerSePreciso();
    }
    FSinal.notify_one();
}

void TPoolAberturas::CrescerSePreciso() {
    if (FEstado != TEstado::epAberto || FFila.size() <= FOciosas ||
        FThreads.size() >= kMaxThreadsComPresas) {
        return;
    }
    const auto presas = static_cast<std::size_t>(
        std::count_if(FEmCurso.begin(), FEmCurso.end(), [](const auto& ACancelamento) {
            return ACancelamento->Cancelado();
        }));
    if (FThreads.size() - presas < kMaxThreads) {
        FThreads.emplace_back([this] { Trabalhar(); });
    }
}

void TPoolAberturas::Trabalhar() {
    std::unique_lock trava(FTrava);
    for (;;) {
        ++FOciosas;
        FSinal.wait(trava, [this] { return FEstado != TEstado::epAberto || !FFila.empty(); });
        --FOciosas;
        if (FEstado != TEstado::epAberto) {
            return;
        }
        TTarefa tarefa = std::move(FFila.front());
        FFila.pop_front();
        const std::shared_ptr<TCancelamento> cancelamento = tarefa.Cancelamento;
        FEmCurso.push_back(cancelamento);
        trava.unlock();
        if (!cancelamento->Cancelado()) {
            tarefa.Executar();
        }
        // Freed without the lock: the task may hold the last reference to a
        // stream, whose decoder thread may come to Adotar.
        tarefa = TTarefa{};
        trava.lock();
        FEmCurso.erase(std::find(FEmCurso.begin(), FEmCurso.end(), cancelamento));
    }
}

std::vector<TPoolAberturas::TAdotada> TPoolAberturas::TirarTerminadas() {
    std::vector<TAdotada> terminadas;
    for (auto it = FAdotadas.begin(); it != FAdotadas.end();) {
        if (it->Terminou->load(std::memory_order_acquire)) {
            terminadas.push_back(std::move(*it));
            it = FAdotadas.erase(it);
        } else {
            ++it;
        }
    }
    return terminadas;
}

void TPoolAberturas::Adotar(std::thread AThread,
                            std::shared_ptr<const std::atomic<bool>> ATerminou) {
    std::vector<TAdotada> terminadas;
    {
        std::lock_guard trava(FTrava);
        FAdotadas.push_back({std::move(AThread), std::move(ATerminou)});
        // After Encerrar nobody is left to join it later: it is joined here.
        terminadas =
            FEstado == TEstado::epEncerrado ? std::exchange(FAdotadas, {}) : TirarTerminadas();
    }
    for (auto& t : terminadas) {
        t.Thread.join();
    }
}

void TPoolAberturas::Recolher() {
    std::vector<TAdotada> terminadas;
    {
        std::lock_guard trava(FTrava);
        terminadas = TirarTerminadas();
        CrescerSePreciso();
    }
    FSinal.notify_one();
    for (auto& t : terminadas) {
        t.Thread.join();
    }
}

void TPoolAberturas::Encerrar() {
    std::deque<TTarefa> largadas;
    {
        std::lock_guard trava(FTrava);
        if (FEstado != TEstado::epAberto) {
            return;
        }
        FEstado = TEstado::epEncerrando;
        largadas.swap(FFila);
        for (const auto& c : FEmCurso) {
            c->Cancelar();
        }
    }
    FSinal.notify_all();
    largadas.clear();
    for (auto& t : FThreads) {
        t.join();
    }
    FThreads.clear();
    // The pool threads may have freed streams on their way out, adopting
    // their decoder threads: only now is the list complete.
    std::vector<TAdotada> adotadas;
    {
        std::lock_guard trava(FTrava);
        adotadas.swap(FAdotadas);
        FEstado = TEstado::epEncerrado;
    }
    for (auto& a : adotadas) {
        a.Thread.join();
    }
}

}  // namespace ljsn
