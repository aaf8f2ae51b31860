// Transitions and levels: per-tick volumes, crossfades, fades, transport.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "ambiente/uDuracao.h"
#include "ambiente/uLog.h"
#include "comum/uTexto.h"
#include "programa/uPrincipal.h"

namespace ljsn {

namespace {
constexpr double kMeiaVolta = std::numbers::pi / 2;
}

TPlayer& TPrograma::OutroPlayer(const TPlayer& APlayer) {
    return &APlayer == FPlayerA.get() ? *FPlayerB : *FPlayerA;
}

int TPrograma::VolumeCategoria(const TPlayer& APlayer) const {
    switch (APlayer.Categoria()) {
        case TCategoriaAudio::caPropaganda:
            return FConfig->VolumePropagandas;
        case TCategoriaAudio::caVinheta:
            return FConfig->VolumeVinhetas;
        case TCategoriaAudio::caMusica:
            break;
    }
    return FVolumeGeral;
}

std::int32_t TPrograma::DuracaoTransicao(std::int32_t A, std::int32_t B) const {
    std::int32_t c = FConfig->TransicaoSegundos * 1000;
    if (A > 0) {
        c = std::min(c, A / 3);
    }
    if (B > 0) {
        c = std::min(c, B / 3);
    }
    return c >= 300 ? c : 0;
}

void TPrograma::IniciarTransicao(std::int32_t AMs) {
    const std::string anterior = FTitulo;
    FPlayerSaindo = FPlayer;
    FPlayer = &OutroPlayer(*FPlayer);
    FPlayer->DefinirVolume(0);
    FInicioTransicao = FRelogio.Tique();
    FDuracaoTransicao = AMs > 0 ? static_cast<std::uint32_t>(AMs) : 1;
    TocarProxima();
    GravarLogFmt("TRANSICAO", "de \"%s\" para \"%s\" em %d ms", anterior, FTitulo, AMs);
}

void TPrograma::IniciarEntrada() {
    const std::int32_t e = DuracaoTransicao(0, DuracaoConhecida(ProximoArquivo()));
    FEntradaMs = e;
    if (e > 0) {
        FPlayer->DefinirVolume(0);
        FEntradaInicio = FRelogio.Tique();
    }
}

void TPrograma::EncerrarSaida() {
    if (FPlayerSaindo != nullptr) {
        FPlayerSaindo->Parar();
        FPlayerSaindo = nullptr;
    }
}

void TPrograma::AtualizarNiveis(double AFator) {
    const int transicaoMs = FConfig->TransicaoSegundos * 1000;
    double a = 1.0;
    if (FEmReproducao && FPlayerSaindo == nullptr && FConfig->TransicaoSegundos > 0 &&
        !FPararAposLocutor && FPlayer->Estado() == TEstadoPlayer::epTocando) {
        const std::int32_t d = FPlayer->Duracao();
        const std::int32_t p = FPlayer->Posicao();
        if (d > 0 && p > 0) {
            const std::int32_t r = d - p;
            if (r <= transicaoMs) {
                const std::string proximo = ProximoArquivo();
                if (!proximo.empty()) {
                    const std::int32_t e = DuracaoTransicao(d, DuracaoConhecida(proximo));
                    if (e > 0 && e >= r) {
                        IniciarTransicao(r);
                        if (!FEmReproducao) {
                            return;
                        }
                    }
                } else {
                    const std::int32_t e = DuracaoTransicao(d, 0);
                    if (e > 0 && r < e) {
                        a = std::sin(static_cast<double>(std::max(r, 0)) / e * kMeiaVolta);
                    }
                }
            }
        }
    }

    // Read after the crossfade may have started above, so its start is never
    // in this tick's future.
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
        static_cast<std::int32_t>(ArredondarPar(VolumeCategoria(*FPlayer) * AFator * e * a));
    if (volume != FPlayer->Volume()) {
        FPlayer->DefinirVolume(volume);
    }
}

void TPrograma::PrepararGanho(const std::string& AArquivo, bool AIntervalo) {
    FLoudnessAtual = -999;
    FAjusteAtual = 0;
    if (FConfig->VolumeAutomatico) {
        // Never measured here: that reads the whole file, and a file on a
        // slow share would hold the music. Unmeasured, it starts as it is and
        // its gain follows when the worker delivers it (GanhoMedido).
        if (const auto medida = FVolumeAuto->Medida(AArquivo)) {
            FLoudnessAtual = *medida;
            DefinirReferenciaSeFalta(AArquivo, AIntervalo, FLoudnessAtual);
            FAjusteAtual = AjusteVolumeDb(FConfig->ReferenciaVolume, FLoudnessAtual);
        } else {
            FVolumeAuto->Priorizar(AArquivo);
        }
    }
    FPlayer->DefinirGanho(FConfig->VolumeAutomatico ? DbParaFator(FAjusteAtual) : 1.0);
}

void TPrograma::DefinirReferenciaSeFalta(const std::string& AArquivo,
                                         bool AIntervalo,
                                         double ALoudness) {
    if (!AIntervalo && FConfig->ReferenciaVolume <= -999 && ALoudness > -999) {
        // The first music measured sets the level everything else follows.
        FConfig->ReferenciaVolume = ALoudness;
        FConfig->ReferenciaNome = NomeExibicao(AArquivo);
        FSalvamento->Salvar();  // a failure is logged and tried again; the music still starts
    }
}

void TPrograma::GanhoMedido(const std::string& AArquivo, double ALoudness) {
    if (!FConfig->VolumeAutomatico) {
        return;
    }
    for (TPlayer* p : {FPlayer, FPlayerSaindo}) {
        if (p == nullptr || !p->Aberto() || p->Arquivo() != AArquivo) {
            continue;
        }
        DefinirReferenciaSeFalta(AArquivo, p->Categoria() != TCategoriaAudio::caMusica, ALoudness);
        const double ajuste = AjusteVolumeDb(FConfig->ReferenciaVolume, ALoudness);
        // The engine ramps it over a tick, as any other change.
        p->DefinirGanho(DbParaFator(ajuste));
        if (p == FPlayer) {
            FLoudnessAtual = ALoudness;
            FAjusteAtual = ajuste;
            AtualizarTipo();
        }
    }
}

void TPrograma::Posicionar(std::int32_t AMs) {
    if (FNoticiasNoAr || FPlayer->Estado() == TEstadoPlayer::epParado) {
        return;
    }
    FPlayer->Posicionar(AMs);
    FPosicao = FPlayer->Posicao();
    FVisao.MostrarTempos(FPosicao, FDuracao);
}

bool TPrograma::EstaPausado() const {
    return FPlayer->Estado() == TEstadoPlayer::epPausado || FPausadoNasNoticias;
}

bool TPrograma::EstaTocando() const {
    return FEmReproducao && !EstaPausado();
}

void TPrograma::Tocar() {
    const TEstadoPlayer estado = FPlayer->Estado();
    if (estado == TEstadoPlayer::epPausado) {
        FPlayer->Continuar();
        AtualizarTipo();
        AnotarPausa();
        return;
    }
    if (estado == TEstadoPlayer::epTocando) {
        return;
    }
    if (FPausadoNasNoticias) {
        Pausar();
        return;
    }
    if (FNoticiasNoAr) {
        InterromperNoticias();
        TocarProxima();
        return;
    }
    if (FMusicas.empty()) {
        FVisao.AbrirConfiguracoes();
        return;
    }
    if (FLinhaSelecionada >= 0) {
        TocarMusica(FLinhaSelecionada);
    } else {
        TocarProxima();
    }
}

void TPrograma::Retomar() {
    if (EstaPausado()) {
        Pausar();
    } else if (FPlayer->Estado() != TEstadoPlayer::epTocando) {
        if (FMusicas.empty()) {
            throw TErroComando("Nenhuma música configurada no programa.");
        }
        TocarProxima();
    }
}

void TPrograma::Pausar() {
    EncerrarSaida();
    FEntradaMs = 0;
    if (FPausadoNasNoticias) {
        FPausadoNasNoticias = false;
        GravarLog("COMANDO", "continuar: depois das noticias, a proxima musica");
        if (FConfig->TransicaoSegundos > 0) {
            IniciarEntrada();
        }
        TocarProxima();
    } else if (FNoticiasNoAr) {
        InterromperNoticias();
        FPausadoNasNoticias = true;
        GravarLog("COMANDO", "pausado no meio das noticias: leitura interrompida");
        FVisao.MostrarTemposVazios();
    } else {
        const TEstadoPlayer estado = FPlayer->Estado();
        if (estado == TEstadoPlayer::epTocando) {
            FPlayer->Pausar();
        } else if (estado == TEstadoPlayer::epPausado) {
            FPlayer->Continuar();
        }
    }
    if (!EstaTocando()) {
        FLocutor->DescartarAutomaticas();
    }
    if (FEmReproducao) {
        AtualizarTipo();
    }
    AtualizarStatus();
    AnotarPausa();
}

void TPrograma::AnotarPausa() {
    // A paused programme is not playing: a crash now resumes nothing.
    if (EstaPausado()) {
        FMarca.Parado(false);
    } else if (EstaTocando() && FIndiceMusica >= 0 &&
               FIndiceMusica < static_cast<int>(FMusicas.size())) {
        FMarca.Tocando(FMusicas[static_cast<std::size_t>(FIndiceMusica)]);
    }
}

void TPrograma::Parar() {
    FEntradaMs = 0;
    FSemMusica = false;
    FFalhasMusica = 0;
    FPausadoNasNoticias = false;
    FLocutor->DescartarAutomaticas();
    FEmReproducao = false;
    FTocandoPropaganda = false;
    FTocandoVinheta = false;
    InterromperNoticias();
    EncerrarSaida();
    FPlayer->Parar();
    FPosicao = 0;
    FDuracao = 0;
    FVisao.MostrarTipo("●  PARADO", TCorVisao::cvCinza);
    if (!FMusicas.empty()) {
        DefinirTitulo("Pronto para tocar");
    }
    FVisao.MostrarCapa(std::string(), kGlifoMusica);
    FVisao.MostrarTempos(0, 0);
    FVisao.AtualizarLista();
    AtualizarStatus();
    FMarca.Parado(false);
}

void TPrograma::Proxima() {
    ProximoItem();
    // Whoever asked sees the new item at once: its times, not those the last
    // tick read from the item before (news keep the zeros they start with).
    if (!FNoticiasNoAr) {
        FDuracao = FPlayer->Duracao();
        FPosicao = FPlayer->Posicao();
    }
}

void TPrograma::ProximoItem() {
    EncerrarSaida();
    FEntradaMs = 0;
    if (FNoticiasNoAr || FPausadoNasNoticias) {
        FPausadoNasNoticias = false;
        InterromperNoticias();
        FMusicasDesdeNoticias = 0;
        if (FConfig->TransicaoSegundos > 0) {
            IniciarEntrada();
        }
        TocarProxima();
        return;
    }
    if (FEmReproducao && FPlayer->Estado() == TEstadoPlayer::epTocando &&
        FConfig->TransicaoSegundos > 0) {
        const std::string proximo = ProximoArquivo();
        if (proximo.empty()) {
            TocarProxima();
            return;
        }
        const std::int32_t l = std::min(DuracaoTransicao(0, DuracaoConhecida(proximo)), 3000);
        if (l < 1) {
            TocarProxima();
        } else {
            IniciarTransicao(l);
        }
        return;
    }
    TocarProxima();
}

}  // namespace ljsn
