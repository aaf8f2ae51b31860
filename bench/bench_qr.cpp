#include <string>

#include <benchmark/benchmark.h>
#include <qrencode.h>

#include "comum/uQRCode.h"

using namespace ljsn;

namespace {

// The phone's address with its PIN, 40 bytes: version 3, the mask chosen
// among all eight.
const std::string kEndereco = "http://192.168.100.200:18090/#pin=123456";

}  // namespace

static void BM_GerarQRCode(benchmark::State& AEstado) {
    for (auto _ : AEstado) {
        TMatrizQR matriz;
        benchmark::DoNotOptimize(GerarQRCode(kEndereco, matriz));
        benchmark::DoNotOptimize(matriz.data());
    }
}
BENCHMARK(BM_GerarQRCode);

// The same text through libqrencode, the peer to keep up with.
static void BM_Libqrencode(benchmark::State& AEstado) {
    for (auto _ : AEstado) {
        QRcode* codigo = QRcode_encodeString8bit(kEndereco.c_str(), 0, QR_ECLEVEL_M);
        benchmark::DoNotOptimize(codigo);
        QRcode_free(codigo);
    }
}
BENCHMARK(BM_Libqrencode);

BENCHMARK_MAIN();
