#include <benchmark/benchmark.h>

#include "comum/uFormato.h"
#include "comum/uIni.h"
#include "comum/uTexto.h"

using namespace ljsn;

// The log formats a line per event from every thread; it must stay cheap.
static void BM_FormatarLinha(benchmark::State& AEstado) {
    for (auto _ : AEstado) {
        benchmark::DoNotOptimize(
            Formatar("musica %d/%d: %s (musicas desde a propaganda: %d, desde as noticias: %d)",
                     12,
                     340,
                     std::string("Café na Esquina.mp3"),
                     2,
                     3));
    }
}
BENCHMARK(BM_FormatarLinha);

static void BM_InterpretarIni(benchmark::State& AEstado) {
    std::string texto = "[Geral]\r\n";
    for (int i = 0; i < 80; ++i) {
        texto += "Chave" + std::to_string(i) + "=valor " + std::to_string(i) + "\r\n";
    }
    for (auto _ : AEstado) {
        benchmark::DoNotOptimize(TArquivoIni::Interpretar(texto));
    }
}
BENCHMARK(BM_InterpretarIni);

BENCHMARK_MAIN();
