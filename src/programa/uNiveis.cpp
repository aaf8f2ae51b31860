#include "programa/uNiveis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "audio/uVolumeAuto.h"
#include "comum/uTexto.h"

namespace ljsn {

namespace {
constexpr double kMeiaVolta = std::numbers::pi / 2;
}

TNiveis::TNiveis(TRelogio& ARelogio, IDispositivoMidia& ADispositivo, const TConfiguracoes& AConfig)
    : FRelogio(ARelogio),
      FConfig(AConfig),
      FPlayerA(std::make_unique<TPlayer>(ADispositivo, "musica")),
      FPlayerB(std::make_unique<TPlayer>(ADispositivo, "musica2")),
      FPlayer(FPlayerA.get()) {}

int TNiveis::VolumeCategoria(const TPlayer& APlayer) const {
    switch (APlayer.Categoria()) {
        case TCategoriaAudio::caPropaganda:
            return FConfig.VolumePropagandas;
        case TCategoriaAudio::caVinheta:
            return FConfig.VolumeVinhetas;
        case TCategoriaAudio::caMusica:
            break;
    }
    return FVolume;
}

std::int32_t TNiveis::DuracaoTransicao(std::int32_t AA, std::int32_t AB) const {
    std::int32_t c = FConfig.TransicaoSegundos * 1000;
    if (AA > 0) {
        c = std::min(c, AA / 3);
    }
    if (AB > 0) {
        c = std::min(c, AB / 3);
    }
    return c >= 300 ? c : 0;
}

TNiveis::TFimDoItem TNiveis::FimDoItem(
    const std::function<std::optional<std::int32_t>()>& ADuracaoProxima) {
    TFimDoItem fim;
    if (FPlayerSaindo != nullptr || FConfig.TransicaoSegundos <= 0 ||
        FPlayer->Estado() != TEstadoPlayer::epTocando) {
        return fim;
    }
    const std::int32_t d = FPlayer->Duracao();
    const std::int32_t p = FPlayer->Posicao();
    if (d <= 0 || p <= 0) {
        return fim;
    }
    const std::int32_t r = d - p;
    if (r > FConfig.TransicaoSegundos * 1000) {
        return fim;
    }
    if (const auto proxima = ADuracaoProxima()) {
        const std::int32_t e = DuracaoTransicao(d, *proxima);
        if (e > 0 && e >= r) {
            fim.Transicao = r;
        }
    } else {
        const std::int32_t e = DuracaoTransicao(d, 0);
        if (e > 0 && r < e) {
            fim.Saida = std::sin(static_cast<double>(std::max(r, 0)) / e * kMeiaVolta);
        }
    }
    return fim;
}

void TNiveis::ComecarTransicao(std::int32_t AMs) {
    FPlayerSaindo = FPlayer;
    FPlayer = FPlayer == FPlayerA.get() ? FPlayerB.get() : FPlayerA.get();
    FPlayer->DefinirVolume(0);
    FInicioTransicao = FRelogio.Tique();
    FDuracaoTransicao = AMs > 0 ? static_cast<std::uint32_t>(AMs) : 1;
}

void TNiveis::ComecarEntrada(std::int32_t AMs) {
    FEntradaMs = AMs;
    if (AMs > 0) {
        FPlayer->DefinirVolume(0);
        FEntradaInicio = FRelogio.Tique();
    }
}

void TNiveis::EncerrarSaida() {
    if (FPlayerSaindo != nullptr) {
        FPlayerSaindo->Parar();
        FPlayerSaindo = nullptr;
    }
}

void TNiveis::Aplicar(double AFator, double ASaida) {
    // Read after a crossfade may have started this tick, so its start is
    // never in this tick's future.
    const std::uint32_t agora = FRelogio.Tique();
    double e = 1.0;
    if (FPlayerSaindo != nullptr) {
        const double g = static_cast<double>(agora - FInicioTransicao) / FDuracaoTransicao;
        if (g >= 1.0 || FPlayerSaindo->Estado() != TEstadoPlayer::epTocando) {
            EncerrarSaida();
        } else {
            FPlayerSaindo->DefinirVolume(static_cast<std::int32_t>(ArredondarPar(
                VolumeCategoria(*FPlayerSaindo) * AFator * std::cos(g * kMeiaVolta))));
            e = std::sin(g * kMeiaVolta);
        }
    }
    if (FEntradaMs > 0) {
        const double h = static_cast<double>(agora - FEntradaInicio) / FEntradaMs;
        if (h >= 1.0) {
            FEntradaMs = 0;
        } else {
            e *= std::sin(h * kMeiaVolta);
        }
    }
    const auto volume =
        static_cast<std::int32_t>(ArredondarPar(VolumeCategoria(*FPlayer) * AFator * e * ASaida));
    if (volume != FPlayer->Volume()) {
        FPlayer->DefinirVolume(volume);
    }
}

void TNiveis::PrepararGanho(std::optional<double> AMedida) {
    FLoudnessAtual = -999;
    FAjusteAtual = 0;
    if (FConfig.VolumeAutomatico && AMedida) {
        FLoudnessAtual = *AMedida;
        FAjusteAtual = AjusteVolumeDb(FConfig.ReferenciaVolume, FLoudnessAtual);
    }
    FPlayer->DefinirGanho(FConfig.VolumeAutomatico ? DbParaFator(FAjusteAtual) : 1.0);
}

bool TNiveis::GanhoMedido(const std::string& AArquivo, double ALoudness) {
    bool atual = false;
    for (TPlayer* p : NoAr()) {
        if (p == nullptr || !p->Aberto() || p->Arquivo() != AArquivo) {
            continue;
        }
        const double ajuste = AjusteVolumeDb(FConfig.ReferenciaVolume, ALoudness);
        p->DefinirGanho(DbParaFator(ajuste));
        if (p == FPlayer) {
            FLoudnessAtual = ALoudness;
            FAjusteAtual = ajuste;
            atual = true;
        }
    }
    return atual;
}

}  // namespace ljsn
