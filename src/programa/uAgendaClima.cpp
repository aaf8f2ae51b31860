#include "programa/uAgendaClima.h"

#include <cmath>

namespace ljsn {

TAgendaClima::TAgendaClima(TRelogio& ARelogio, TFilaPrincipal& AFila, const TConfiguracoes& AConfig)
    : FRelogio(ARelogio), FFila(AFila), FConfig(AConfig) {}

TAgendaClima::~TAgendaClima() {
    *FVivo = nullptr;
    // FTrabalhador, destroyed next, asks the query to stop and joins it.
}

void TAgendaClima::AtualizarClima() {
    if (FConsultandoClima || !FConfig.ClimaAtivo) {
        return;
    }
    if (FConfig.ClimaLat == 0 && FConfig.ClimaLon == 0) {
        return;
    }
    FConsultandoClima = true;
    std::weak_ptr<TAgendaClima*> vivo = FVivo;
    TFilaPrincipal& fila = FFila;
    TRelogio& relogio = FRelogio;
    FTrabalhador =
        std::jthread([lat = FConfig.ClimaLat, lon = FConfig.ClimaLon, vivo, &fila, &relogio](
                         std::stop_token AParar) {
            TClima clima;
            try {
                clima = ObterClima(lat, lon, relogio.Agora(), AParar);
            } catch (...) {
                clima = TClima();
            }
            fila.Postar([vivo, clima = std::move(clima)] {
                if (auto p = vivo.lock(); p && *p != nullptr) {
                    (*p)->FConsultandoClima = false;
                    if (clima.Valido) {
                        (*p)->FClima = clima;
                    }
                }
            });
        });
}

std::string TAgendaClima::FraseParaHora(int AHora) const {
    if (!FConfig.ClimaAtivo || !FClima.Valido) {
        return {};
    }
    const double horas = std::abs(FRelogio.Agora() - FClima.Consultado) * 24.0;
    if (std::floor(horas + 1e-9) >= 2) {
        return {};
    }
    return FraseClima(FClima, FConfig.ClimaCidade, AHora < 12);
}

}  // namespace ljsn
