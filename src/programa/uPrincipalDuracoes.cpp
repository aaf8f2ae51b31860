// Track durations: read on a worker after every list rebuild, handed back in
// batches of 25, each batch stamped with the reading's generation.
#include <algorithm>

#include "ambiente/uDuracao.h"
#include "programa/uPrincipal.h"

namespace ljsn {

namespace {
constexpr std::size_t kLote = 25;
}

void TPrograma::LerDuracoes() {
    const std::int32_t geracao = FGeracao->fetch_add(1) + 1;
    FDuracoes.assign(FMusicas.size(), -1);
    if (FMusicas.empty()) {
        return;
    }
    RecolherLeitores(false);
    auto terminou = std::make_shared<std::atomic<bool>>(false);
    std::weak_ptr<TPrograma*> vivo = FVivo;
    TFilaPrincipal& fila = FFila;
    FLeitores.push_back(
        {std::jthread([arquivos = FMusicas, geracao, atual = FGeracao, vivo, &fila, terminou]() {
             std::vector<std::int32_t> resultado(arquivos.size(), -1);
             for (std::size_t i = 0; i < arquivos.size(); ++i) {
                 // A newer reading, or the shutdown, supersedes this one.
                 if (geracao != atual->load(std::memory_order_relaxed)) {
                     break;
                 }
                 resultado[i] = DuracaoMidia(arquivos[i]);
                 if (i % kLote == kLote - 1 || i + 1 == arquivos.size()) {
                     std::vector<std::int32_t> lote(
                         resultado.begin(), resultado.begin() + static_cast<std::ptrdiff_t>(i) + 1);
                     fila.Postar([vivo, geracao, lote = std::move(lote)] {
                         if (auto p = vivo.lock(); p && *p != nullptr) {
                             (*p)->GuardarDuracoes(geracao, lote);
                         }
                     });
                 }
             }
             terminou->store(true);
         }),
         terminou});
}

void TPrograma::GuardarDuracoes(std::int32_t AGeracao, const std::vector<std::int32_t>& ADuracoes) {
    if (AGeracao != FGeracao->load()) {
        return;
    }
    const std::size_t n = std::min(ADuracoes.size(), FDuracoes.size());
    std::copy_n(ADuracoes.begin(), n, FDuracoes.begin());
    FVisao.AtualizarLista();
    AtualizarStatus();
}

void TPrograma::RecolherLeitores(bool ATodos) {
    std::erase_if(FLeitores, [ATodos](TLeitor& ALeitor) {
        if (ATodos || ALeitor.Terminou->load()) {
            ALeitor.Thread.join();
            return true;
        }
        return false;
    });
}

std::int64_t TPrograma::TotalDuracoes() const {
    std::int64_t total = 0;
    for (const std::int32_t d : FDuracoes) {
        if (d < 0) {
            return -1;
        }
        total += d;
    }
    return total;
}

}  // namespace ljsn
