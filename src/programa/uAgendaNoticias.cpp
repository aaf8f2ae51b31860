#include "programa/uAgendaNoticias.h"

#include <algorithm>
#include <cmath>

#include "ambiente/uLog.h"

namespace ljsn {

namespace {

constexpr double kSegundo = 1.0 / 86400.0;

// Whole minutes from AAntes to AAgora.
std::int64_t MinutosEntre(double AAntes, double AAgora) {
    return static_cast<std::int64_t>(std::floor(std::abs(AAgora - AAntes) * 1440.0 + 1e-9));
}

}  // namespace

TAgendaNoticias::TAgendaNoticias(TRelogio& ARelogio,
                                 TFilaPrincipal& AFila,
                                 const TConfiguracoes& AConfig)
    : FRelogio(ARelogio), FFila(AFila), FConfig(AConfig) {}

TAgendaNoticias::~TAgendaNoticias() {
    *FVivo = nullptr;
    // FTrabalhador, destroyed next, asks the fetch to stop and joins it.
}

double TAgendaNoticias::ProximaBusca(double AAgora, bool ASucesso, int AFalhas) {
    if (ASucesso) {
        return AAgora + 1200 * kSegundo;
    }
    return AAgora + (AFalhas <= 10 ? 60 : 300) * kSegundo;
}

void TAgendaNoticias::AtualizarNoticias() {
    if (FBuscandoNoticias || !FConfig.NoticiasAtivas) {
        return;
    }
    FBuscandoNoticias = true;
    std::weak_ptr<TAgendaNoticias*> vivo = FVivo;
    TFilaPrincipal& fila = FFila;
    // The previous worker has posted its completion; it is joined here.
    FTrabalhador = std::jthread([assuntos = FConfig.NoticiasAssuntos,
                                 filtrar = FConfig.NoticiasFiltrar,
                                 agora = FRelogio.Agora(),
                                 vivo,
                                 &fila](std::stop_token AParar) {
        std::vector<TNoticia> resultado;
        std::string motivo = "sem internet?";
        try {
            resultado = BaixarNoticias(assuntos, filtrar, agora, AParar, &motivo);
        } catch (...) {
            resultado.clear();  // any failure is an empty fetch
        }
        fila.Postar([vivo, resultado = std::move(resultado), motivo]() mutable {
            if (auto p = vivo.lock(); p && *p != nullptr) {
                (*p)->Concluir(std::move(resultado), motivo);
            }
        });
    });
}

void TAgendaNoticias::Concluir(std::vector<TNoticia> AResultado, const std::string& AMotivo) {
    FBuscandoNoticias = false;
    const double agora = FRelogio.Agora();
    const std::size_t r = AResultado.size();
    if (r == 0) {
        ++FFalhasNoticias;
    } else {
        FNoticias = std::move(AResultado);
        FFalhasNoticias = 0;
    }
    FProximaBuscaNoticias = ProximaBusca(agora, r > 0, FFalhasNoticias);
    if (r == 0) {
        GravarLogFmt("NOTICIAS",
                     "busca falhou (%s) - tentativa %d; tenta de novo as %s",
                     AMotivo,
                     FFalhasNoticias,
                     FormatarHoraMinuto(FProximaBuscaNoticias));
    } else {
        GravarLogFmt("NOTICIAS",
                     "busca: %d noticia(s) baixada(s), %d para ler; proxima busca as %s",
                     r,
                     NoticiasParaLer().size(),
                     FormatarHoraMinuto(FProximaBuscaNoticias));
    }
    if (FAoConcluir) {
        FAoConcluir();
    }
}

void TAgendaNoticias::BuscarSeAcabaram() {
    if (FBuscandoNoticias || !FConfig.NoticiasAtivas) {
        return;
    }
    const double agora = FRelogio.Agora();
    if (MinutosEntre(FUltimaBuscaForcada, agora) <= 1) {
        return;
    }
    const bool todasLidas = std::all_of(
        FNoticias.begin(), FNoticias.end(), [&](const TNoticia& AN) { return FoiLida(AN.Link); });
    if (todasLidas) {
        FUltimaBuscaForcada = agora;
        GravarLog("NOTICIAS", "noticias novas acabaram: buscando");
        AtualizarNoticias();
    }
}

void TAgendaNoticias::VerificarBusca() {
    // Due when the fetch time falls before the next minute's check: a fetch
    // completes seconds after the minute began, so comparing with the exact
    // time would skip every other minute and "retry every minute" would
    // become every two.
    const double proximoMinuto = (std::floor(FRelogio.Agora() * 1440.0 + 1e-9) + 1) / 1440.0;
    if (FProximaBuscaNoticias < proximoMinuto) {
        AtualizarNoticias();
    }
}

std::vector<TNoticia> TAgendaNoticias::NoticiasParaLer() const {
    return EscolherNoticias(FNoticias, FNoticiasLidas, FConfig.NoticiasRepetir, FRelogio.Agora());
}

}  // namespace ljsn
