#include <filesystem>
#include <fstream>

#include <benchmark/benchmark.h>

#include "ambiente/uPastas.h"
#include "comum/uFilaPrincipal.h"
#include "programa/uPrincipal.h"

using namespace ljsn;

namespace {

// A device that answers at once, as if a long song were playing.
class TDispositivoInstantaneo final : public IDispositivoMidia {
  public:
    std::optional<std::string> Enviar(std::string_view AComando) override {
        if (AComando.ends_with(" mode")) {
            return std::string("playing");
        }
        if (AComando.ends_with(" length")) {
            return std::string("600000");
        }
        if (AComando.ends_with(" position")) {
            return std::to_string(++FPosicao % 500000);
        }
        return std::string();
    }

  private:
    long FPosicao = 1000;
};

// No speech engine: the announcer stays idle.
class TFabricaVozMuda final : public IFabricaVoz {
  public:
    std::unique_ptr<IVozSapi> Criar() override { return nullptr; }
};

}  // namespace

// One tick with 20 000 tracks loaded and a song playing.
static void BM_TickCom20000Faixas(benchmark::State& AEstado) {
    const auto raiz = std::filesystem::temp_directory_path() / "ljsn-bench-tick";
    const auto musicas = raiz / "musicas";
    std::filesystem::create_directories(musicas);
    for (int i = 0; i < 20000; ++i) {
        const auto f = musicas / ("faixa " + std::to_string(i) + ".mp3");
        if (!std::filesystem::exists(f)) {
            std::ofstream(f) << "x";
        }
    }
    DefinirPastaDados((raiz / "dados").string());
    std::ofstream((raiz / "dados/config.ini").string())
        << "[Geral]\r\nPastaMusicas=" << musicas.string() << "\r\nVolumeAutomatico=0\r\n";
    TRelogioSistema relogio;
    TFilaSimples fila;
    TVisaoNula visao;
    TDispositivoInstantaneo dispositivo;
    TFabricaVozMuda voz;
    {
        TPrograma programa(relogio, fila, visao, dispositivo, voz, TOpcoesPrograma{});
        programa.Iniciar();
        programa.Tocar();
        for (auto _ : AEstado) {
            programa.Tick();
        }
        AEstado.counters["faixas"] = static_cast<double>(programa.Musicas().size());
    }
    fila.Drenar();
}
BENCHMARK(BM_TickCom20000Faixas)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
