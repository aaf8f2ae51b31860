// The main window offscreen at 960 x 680 with 20 000 tracks: one full
// repaint, and one tick of the window's timer (main-thread time).
#include <QApplication>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include <benchmark/benchmark.h>

#include "ambiente/uPastas.h"
#include "comum/uFilaPrincipal.h"
#include "janelas/uFrmPrincipal.h"
#include "janelas/uNovidades.h"
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

class TFabricaVozMuda final : public IFabricaVoz {
  public:
    std::unique_ptr<IVozSapi> Criar() override { return nullptr; }
};

struct TCenario {
    TRelogioSistema Relogio;
    TFilaSimples Fila;
    TDispositivoInstantaneo Dispositivo;
    TFabricaVozMuda Voz;
    std::unique_ptr<TfrmPrincipal> Janela;
    TPrograma* Programa = nullptr;

    TCenario() {
        const auto raiz = std::filesystem::temp_directory_path() / "ljsn-bench-janela";
        const auto musicas = raiz / "musicas";
        std::filesystem::create_directories(musicas);
        for (int i = 0; i < 20000; ++i) {
            const auto f = musicas / ("faixa numero " + std::to_string(i) + ".mp3");
            if (!std::filesystem::exists(f)) {
                std::ofstream(f) << "x";
            }
        }
        ::setenv("XDG_CONFIG_HOME", (raiz / "config").c_str(), 1);
        ::setenv("LJSN_EDGE", (raiz / "sem-navegador").c_str(), 1);
        MarcarNotasVistas();
        DefinirPastaDados((raiz / "dados").string());
        std::ofstream((raiz / "dados/config.ini").string())
            << "[Geral]\r\nPastaMusicas=" << musicas.string() << "\r\nVolumeAutomatico=0\r\n";
        Janela = std::make_unique<TfrmPrincipal>(
            TfrmPrincipal::TDependencias{Relogio,
                                         Fila,
                                         {},
                                         [this](IVisao& AVisao, TOpcoesPrograma AOpcoes) {
                                             auto p = std::make_unique<TPrograma>(
                                                 Relogio, Fila, AVisao, Dispositivo, Voz, AOpcoes);
                                             Programa = p.get();
                                             return std::unique_ptr<IControle>(std::move(p));
                                         }},
            TOpcoesPrograma{});
        Janela->Iniciar(false);
        while (Programa->Listando()) {
            Fila.EsperarAte(std::chrono::steady_clock::now() + std::chrono::seconds(1));
            Fila.Drenar();
        }
        Janela->resize(960, 680);
        Janela->Programa().Tocar();
        for (int i = 0; i < 20; ++i) {
            Fila.Drenar();
            Janela->Tick();
            QApplication::processEvents();
        }
    }
    ~TCenario() {
        Janela.reset();
        Fila.Drenar();
    }
};

// Made on first use and destroyed by main: a window outliving the
// application it belongs to crashed every run at exit.
std::unique_ptr<TCenario> GCenario;

TCenario& Cenario() {
    if (!GCenario) {
        GCenario = std::make_unique<TCenario>();
    }
    return *GCenario;
}

}  // namespace

static void BM_RepintarJanela(benchmark::State& AEstado) {
    TCenario& c = Cenario();
    for (auto _ : AEstado) {
        c.Janela->repaint();
    }
    AEstado.counters["faixas"] = static_cast<double>(c.Janela->Programa().Musicas().size());
}
BENCHMARK(BM_RepintarJanela)->Unit(benchmark::kMillisecond);

static void BM_TickDaJanela(benchmark::State& AEstado) {
    TCenario& c = Cenario();
    for (auto _ : AEstado) {
        c.Fila.Drenar();
        c.Janela->Tick();
    }
}
BENCHMARK(BM_TickDaJanela)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    GCenario.reset();
    return 0;
}
