#include <cmath>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "audio/motor/uMotor.h"

using namespace ljsn;

namespace {

// An endless tone that costs next to nothing to produce, so the benchmark
// measures the mixer and not a decoder.
class TFonteTom final : public IFonteAudio {
  public:
    explicit TFonteTom(double AFrequencia) : FPasso(2 * M_PI * AFrequencia / TMotor::kTaxaPadrao) {}
    std::size_t Ler(std::span<float> AQuadros) override {
        for (std::size_t i = 0; i < AQuadros.size() / 2; ++i) {
            const auto v = static_cast<float>(0.3 * std::sin(FFase));
            FFase += FPasso;
            AQuadros[i * 2] = v;
            AQuadros[i * 2 + 1] = v;
        }
        return AQuadros.size() / 2;
    }
    bool Posicionar(std::int64_t) override { return true; }
    std::int64_t DuracaoMs() const override { return -1; }

  private:
    double FPasso;
    double FFase = 0;
};

}  // namespace

// One 10 ms block (441 frames at 44.1 kHz) with three channels playing and
// their gains ramping, as during a crossfade with a jingle on top.
static void BM_BlocoDe10msTresCanais(benchmark::State& AEstado) {
    TMotor motor;
    for (const char* alias : {"musica", "musica2", "teste"}) {
        motor.AbrirFonte(alias, std::make_unique<TFonteTom>(440));
        motor.Enviar(std::string("setaudio ") + alias + " volume to 700");
        motor.Enviar(std::string("play ") + alias);
    }
    std::vector<float> bloco(441 * 2);
    int volume = 0;
    for (auto _ : AEstado) {
        AEstado.PauseTiming();
        // Keep the gains moving, as the tick does, and let the decoders refill.
        motor.Enviar("setaudio musica volume to " + std::to_string(volume));
        motor.Enviar("setaudio musica2 volume to " + std::to_string(1000 - volume));
        volume = (volume + 10) % 1000;
        motor.AguardarDados(441);
        AEstado.ResumeTiming();
        motor.Renderizar(bloco);
        benchmark::DoNotOptimize(bloco.data());
    }
    // Seconds of audio mixed per second of CPU: 100 means the block costs 1 %.
    AEstado.counters["x_tempo_real"] = benchmark::Counter(
        static_cast<double>(AEstado.iterations()) * 0.010, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BlocoDe10msTresCanais)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
