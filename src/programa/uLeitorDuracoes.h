#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "comum/uFilaPrincipal.h"

namespace ljsn {

// The durations reader: after every list rebuild, reads each file's length
// on a worker (the jingles and the advertisements first, a break needs them
// soon; then the music in playing order) and hands them back to the main
// thread in batches, each stamped with the reading's generation, so a newer
// reading supersedes an older one. The main thread only looks lengths up:
// reading one may read the whole file, and a file on a slow share must
// never hold the tick. Main thread only.
class TLeitorDuracoes {
  public:
    using TLeitura = std::function<std::int32_t(const std::string& AArquivo)>;
    // A batch arrived; AMusicas: it held lengths of the music list.
    using TAoReceber = std::function<void(bool AMusicas)>;

    TLeitorDuracoes(TFilaPrincipal& AFila, TLeitura ALeitura, TAoReceber AAoReceber);
    // Stops the readings after the file each is on, and joins them.
    ~TLeitorDuracoes();
    TLeitorDuracoes(const TLeitorDuracoes&) = delete;
    TLeitorDuracoes& operator=(const TLeitorDuracoes&) = delete;

    void Ler(const std::vector<std::string>& AVinhetas,
             const std::vector<std::string>& APropagandas,
             const std::vector<std::string>& AMusicas);
    // The length found for AArquivo; -1 while unknown. No I/O.
    std::int32_t Conhecida(const std::string& AArquivo) const;
    // The music list's lengths in list order (-1: not read yet).
    const std::vector<std::int32_t>& Musicas() const { return FDuracoes; }
    // The music list's total; -1 until every length is in.
    std::int64_t Total() const;
    // Joins the readings that ended.
    void Recolher();

  private:
    void Guardar(std::int32_t AGeracao,
                 std::size_t AInicio,
                 const std::vector<std::int32_t>& ADuracoes);

    TFilaPrincipal& FFila;
    TLeitura FLeitura;
    TAoReceber FAoReceber;
    std::vector<std::int32_t> FDuracoes;
    // Every length read so far, by path, and the order the reader reads them
    // in: the music starts at FPrimeiraMusica.
    std::unordered_map<std::string, std::int32_t> FConhecidas;
    std::vector<std::string> FArquivos;
    std::size_t FPrimeiraMusica = 0;
    struct TLeitor {
        std::jthread Thread;
        std::shared_ptr<std::atomic<bool>> Terminou;
    };
    std::vector<TLeitor> FLeitores;
    // Shared with the readers, so one reader never cancels another's; -1
    // once shutdown began.
    std::shared_ptr<std::atomic<std::int32_t>> FGeracao =
        std::make_shared<std::atomic<std::int32_t>>(0);
    // Batches queued before the shutdown check it before touching this.
    std::shared_ptr<TLeitorDuracoes*> FVivo = std::make_shared<TLeitorDuracoes*>(this);
};

}  // namespace ljsn
