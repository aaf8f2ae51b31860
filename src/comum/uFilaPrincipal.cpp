#include "comum/uFilaPrincipal.h"

namespace ljsn {

void TFilaSimples::Postar(std::function<void()> ATarefa) {
    {
        std::lock_guard trava(FTrava);
        FTarefas.push_back(std::move(ATarefa));
    }
    FSinal.notify_one();
}

std::size_t TFilaSimples::Drenar() {
    std::size_t n = 0;
    while (ExecutarUma()) {
        ++n;
    }
    return n;
}

bool TFilaSimples::ExecutarUma() {
    std::function<void()> tarefa;
    {
        std::lock_guard trava(FTrava);
        if (FTarefas.empty()) {
            return false;
        }
        tarefa = std::move(FTarefas.front());
        FTarefas.pop_front();
    }
    tarefa();
    return true;
}

bool TFilaSimples::EsperarAte(std::chrono::steady_clock::time_point APrazo) {
    std::unique_lock trava(FTrava);
    FSinal.wait_until(trava, APrazo, [this] { return !FTarefas.empty() || FAcordado; });
    FAcordado = false;
    return !FTarefas.empty();
}

void TFilaSimples::Acordar() {
    {
        std::lock_guard trava(FTrava);
        FAcordado = true;
    }
    FSinal.notify_one();
}

std::size_t TFilaSimples::Pendentes() const {
    std::lock_guard trava(FTrava);
    return FTarefas.size();
}

}  // namespace ljsn
