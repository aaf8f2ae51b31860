#include "programa/uLeitorDuracoes.h"

#include <algorithm>

namespace ljsn {

namespace {
constexpr std::size_t kLote = 25;
}

TLeitorDuracoes::TLeitorDuracoes(TFilaPrincipal& AFila, TLeitura ALeitura, TAoReceber AAoReceber)
    : FFila(AFila), FLeitura(std::move(ALeitura)), FAoReceber(std::move(AAoReceber)) {}

TLeitorDuracoes::~TLeitorDuracoes() {
    FGeracao->store(-1);
    *FVivo = nullptr;
    for (TLeitor& l : FLeitores) {
        l.Thread.join();
    }
}

void TLeitorDuracoes::Ler(const std::vector<std::string>& AVinhetas,
                          const std::vector<std::string>& APropagandas,
                          const std::vector<std::string>& AMusicas) {
    const std::int32_t geracao = FGeracao->fetch_add(1) + 1;
    FDuracoes.assign(AMusicas.size(), -1);
    FConhecidas.clear();
    FArquivos.clear();
    for (const std::string& v : AVinhetas) {
        if (!v.empty()) {
            FArquivos.push_back(v);
        }
    }
    FArquivos.insert(FArquivos.end(), APropagandas.begin(), APropagandas.end());
    FPrimeiraMusica = FArquivos.size();
    FArquivos.insert(FArquivos.end(), AMusicas.begin(), AMusicas.end());
    if (FArquivos.empty()) {
        return;
    }
    Recolher();
    auto terminou = std::make_shared<std::atomic<bool>>(false);
    std::weak_ptr<TLeitorDuracoes*> vivo = FVivo;
    TFilaPrincipal& fila = FFila;
    FLeitores.push_back({std::jthread([arquivos = FArquivos,
                                       geracao,
                                       atual = FGeracao,
                                       leitura = FLeitura,
                                       vivo,
                                       &fila,
                                       terminou]() {
                             std::vector<std::int32_t> lote;
                             std::size_t inicio = 0;
                             for (std::size_t i = 0; i < arquivos.size(); ++i) {
                                 // A newer reading, or the shutdown, supersedes this one.
                                 if (geracao != atual->load(std::memory_order_relaxed)) {
                                     break;
                                 }
                                 lote.push_back(leitura(arquivos[i]));
                                 if (lote.size() == kLote || i + 1 == arquivos.size()) {
                                     fila.Postar([vivo, geracao, inicio, lote = std::move(lote)] {
                                         if (auto p = vivo.lock(); p && *p != nullptr) {
                                             (*p)->Guardar(geracao, inicio, lote);
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

void TLeitorDuracoes::Guardar(std::int32_t AGeracao,
                              std::size_t AInicio,
                              const std::vector<std::int32_t>& ADuracoes) {
    if (AGeracao != FGeracao->load()) {
        return;
    }
    bool musicas = false;
    for (std::size_t k = 0; k < ADuracoes.size() && AInicio + k < FArquivos.size(); ++k) {
        const std::size_t i = AInicio + k;
        FConhecidas[FArquivos[i]] = ADuracoes[k];
        if (i >= FPrimeiraMusica && i - FPrimeiraMusica < FDuracoes.size()) {
            FDuracoes[i - FPrimeiraMusica] = ADuracoes[k];
            musicas = true;
        }
    }
    if (FAoReceber) {
        FAoReceber(musicas);
    }
}

std::int32_t TLeitorDuracoes::Conhecida(const std::string& AArquivo) const {
    const auto it = FConhecidas.find(AArquivo);
    return it != FConhecidas.end() ? it->second : -1;
}

void TLeitorDuracoes::Recolher() {
    std::erase_if(FLeitores, [](TLeitor& ALeitor) {
        if (ALeitor.Terminou->load()) {
            ALeitor.Thread.join();
            return true;
        }
        return false;
    });
}

std::int64_t TLeitorDuracoes::Total() const {
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
