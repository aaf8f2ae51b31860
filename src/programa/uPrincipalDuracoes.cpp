// Durations: read on a worker after every list rebuild (the jingles and the
// advertisements first, a break needs them soon; then the music in playing
// order), handed back in batches of 25, each stamped with the reading's
// generation. The main thread only looks them up: reading a length may read
// the whole file, and a file on a slow share must never hold the tick.
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
    FDuracoesConhecidas.clear();
    FArquivosDuracao.clear();
    for (const std::string* vinheta : {&FVinhetaAntes, &FVinhetaDepois}) {
        if (!vinheta->empty()) {
            FArquivosDuracao.push_back(*vinheta);
        }
    }
    FArquivosDuracao.insert(FArquivosDuracao.end(), FPropagandas.begin(), FPropagandas.end());
    FPrimeiraMusicaDuracao = FArquivosDuracao.size();
    FArquivosDuracao.insert(FArquivosDuracao.end(), FMusicas.begin(), FMusicas.end());
    if (FArquivosDuracao.empty()) {
        return;
    }
    RecolherLeitores(false);
    auto terminou = std::make_shared<std::atomic<bool>>(false);
    std::weak_ptr<TPrograma*> vivo = FVivo;
    TFilaPrincipal& fila = FFila;
    FLeitores.push_back(
        {std::jthread(
             [arquivos = FArquivosDuracao, geracao, atual = FGeracao, vivo, &fila, terminou]() {
                 std::vector<std::int32_t> lote;
                 std::size_t inicio = 0;
                 for (std::size_t i = 0; i < arquivos.size(); ++i) {
                     // A newer reading, or the shutdown, supersedes this one.
                     if (geracao != atual->load(std::memory_order_relaxed)) {
                         break;
                     }
                     lote.push_back(DuracaoMidia(arquivos[i]));
                     if (lote.size() == kLote || i + 1 == arquivos.size()) {
                         fila.Postar([vivo, geracao, inicio, lote = std::move(lote)] {
                             if (auto p = vivo.lock(); p && *p != nullptr) {
                                 (*p)->GuardarDuracoes(geracao, inicio, lote);
                             }
                         });
                         lote.clear();
                         inicio = i + 1;
                     }
                 }
                 terminou->store(true);
             }),
         terminou});
}

void TPrograma::GuardarDuracoes(std::int32_t AGeracao,
                                std::size_t AInicio,
                                const std::vector<std::int32_t>& ADuracoes) {
    if (AGeracao != FGeracao->load()) {
        return;
    }
    bool musicas = false;
    for (std::size_t k = 0; k < ADuracoes.size() && AInicio + k < FArquivosDuracao.size(); ++k) {
        const std::size_t i = AInicio + k;
        FDuracoesConhecidas[FArquivosDuracao[i]] = ADuracoes[k];
        if (i >= FPrimeiraMusicaDuracao && i - FPrimeiraMusicaDuracao < FDuracoes.size()) {
            FDuracoes[i - FPrimeiraMusicaDuracao] = ADuracoes[k];
            musicas = true;
        }
    }
    // A player that started before its file's length was known corrects
    // its length now (VBR files whose header misleads the engine).
    for (TPlayer* p : {FPlayer, FPlayerSaindo}) {
        if (p != nullptr && p->Aberto()) {
            if (auto it = FDuracoesConhecidas.find(p->Arquivo()); it != FDuracoesConhecidas.end()) {
                p->DefinirDuracaoReal(it->second);
            }
        }
    }
    if (musicas) {
        FVisao.AtualizarLista();
        AtualizarStatus();
    }
}

std::int32_t TPrograma::DuracaoConhecida(const std::string& AArquivo) const {
    const auto it = FDuracoesConhecidas.find(AArquivo);
    return it != FDuracoesConhecidas.end() ? it->second : -1;
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
