#include <cmath>
#include <vector>

#include <benchmark/benchmark.h>

#include "audio/uLoudness.h"

using namespace ljsn;

// The K filter and the gating alone, on decoded stereo floats at 44.1 kHz:
// "x_tempo_real" is seconds of audio measured per second of CPU.
static void BM_FiltroEPortas(benchmark::State& AEstado) {
    constexpr int kTaxa = 44100;
    constexpr int kSegundos = 10;
    std::vector<float> amostras(static_cast<std::size_t>(kTaxa * kSegundos * 2));
    for (std::size_t i = 0; i < amostras.size() / 2; ++i) {
        const double t = static_cast<double>(i) / kTaxa;
        amostras[i * 2] = static_cast<float>(0.3 * std::sin(2 * M_PI * 440 * t));
        amostras[i * 2 + 1] = static_cast<float>(0.2 * std::sin(2 * M_PI * 660 * t));
    }
    for (auto _ : AEstado) {
        TMedidorLoudness medidor(kTaxa, 2);
        medidor.Alimentar(amostras.data(), amostras.size() / 2);
        benchmark::DoNotOptimize(medidor.Resultado());
    }
    AEstado.counters["x_tempo_real"] = benchmark::Counter(
        static_cast<double>(AEstado.iterations()) * kSegundos, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FiltroEPortas)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
