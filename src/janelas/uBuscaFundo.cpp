#include "janelas/uBuscaFundo.h"

#include <QMetaObject>
#include <QObject>

namespace ljsn {

TBuscaFundo::TBuscaFundo() : FContexto(std::make_unique<QObject>()) {}

TBuscaFundo::~TBuscaFundo() {
    // All asked first, so they wind down together; then each is joined.
    for (auto& t : FTrabalhadores) {
        t.Linha.request_stop();
    }
    FTrabalhadores.clear();
    // Nothing posts any more: results still queued go with their receiver.
    FContexto.reset();
}

void TBuscaFundo::Cancelar() {
    ++FGeracao;
    FPendente = false;
    FEntregar = nullptr;
    for (auto& t : FTrabalhadores) {
        t.Linha.request_stop();
    }
}

void TBuscaFundo::Recolher() {
    std::erase_if(FTrabalhadores, [](const TTrabalhador& AT) { return AT.Terminou->load(); });
}

void TBuscaFundo::Lancar(TTrabalhoApagado ATrabalho, TEntregaApagada AEntregar) {
    Cancelar();
    Recolher();
    const std::uint64_t geracao = FGeracao;
    FEntregar = std::move(AEntregar);
    FPendente = true;
    auto terminou = std::make_shared<std::atomic<bool>>(false);
    // The worker touches nothing of ours but the receiver, which outlives it
    // (the destructor joins first); the delivery itself runs on the main
    // thread.
    QObject* contexto = FContexto.get();
    std::jthread linha([this, contexto, geracao, terminou, trabalho = std::move(ATrabalho)](
                           std::stop_token AParar) mutable {
        std::shared_ptr<void> resultado = trabalho(AParar);
        if (!AParar.stop_requested()) {
            QMetaObject::invokeMethod(
                contexto,
                [this, geracao, resultado = std::move(resultado)] { Entregar(geracao, resultado); },
                Qt::QueuedConnection);
        }
        terminou->store(true);
    });
    FTrabalhadores.push_back({std::move(linha), std::move(terminou)});
}

void TBuscaFundo::Entregar(std::uint64_t AGeracao, const std::shared_ptr<void>& AResultado) {
    // A request cancelled or superseded after its worker posted.
    if (AGeracao != FGeracao) {
        return;
    }
    FPendente = false;
    // Taken out first: the delivery may start the next request.
    TEntregaApagada entregar = std::move(FEntregar);
    FEntregar = nullptr;
    Recolher();
    entregar(AResultado);
}

}  // namespace ljsn
