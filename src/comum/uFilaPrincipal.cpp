#include "comum/uFilaPrincipal.h"

#include <future>
#include <memory>

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

std::optional<std::string> PedirNaFila(TFilaPrincipal& AFila,
                                       std::function<std::string()> ATrabalho,
                                       int AMs) {
    // Shared: a late answer finds its promise alive after the caller left.
    auto promessa = std::make_shared<std::promise<std::string>>();
    auto futuro = promessa->get_future();
    AFila.Postar([promessa, trabalho = std::move(ATrabalho)] {
        try {
            promessa->set_value(trabalho());
        } catch (...) {
            promessa->set_exception(std::current_exception());
        }
    });
    if (futuro.wait_for(std::chrono::milliseconds(AMs)) != std::future_status::ready) {
        return std::nullopt;
    }
    try {
        return futuro.get();
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace ljsn
