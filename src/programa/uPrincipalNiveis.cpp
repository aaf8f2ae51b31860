// Transitions and levels: per-tick volumes, crossfades, fades, transport.
#include <algorithm>

#include "ambiente/uDuracao.h"
#include "ambiente/uLog.h"
#include "comum/uTexto.h"
#include "programa/uPrincipal.h"

namespace ljsn {

void TPrograma::IniciarTransicao(std::int32_t AMs) {
    const std::string anterior = FMostrado.Titulo;
    FNiveis->ComecarTransicao(AMs);
    TocarProxima();
    GravarLogFmt("TRANSICAO", "de \"%s\" para \"%s\" em %d ms", anterior, FMostrado.Titulo, AMs);
}

void TPrograma::IniciarEntrada() {
    FNiveis->ComecarEntrada(FNiveis->DuracaoTransicao(0, FDuracoes->Conhecida(ProximoArquivo())));
}

void TPrograma::AtualizarNiveis(double AFator) {
    double saida = 1.0;
    if (FEmReproducao && !FPararAposLocutor) {
        const auto fim = FNiveis->FimDoItem([this]() -> std::optional<std::int32_t> {
            const std::string proximo = ProximoArquivo();
            if (proximo.empty()) {
                return std::nullopt;
            }
            return FDuracoes->Conhecida(proximo);
        });
        if (fim.Transicao >= 0) {
            IniciarTransicao(fim.Transicao);
            if (!FEmReproducao) {
                return;
            }
        }
        saida = fim.Saida;
    }
    FNiveis->Aplicar(AFator, saida);
}

void TPrograma::PrepararGanho(const std::string& AArquivo, bool AIntervalo) {
    std::optional<double> medida;
    if (FConfig->VolumeAutomatico) {
        // Never measured here: that reads the whole file, and a file on a
        // slow share would hold the music. Unmeasured, it starts as it is and
        // its gain follows when the worker delivers it (GanhoMedido).
        medida = FVolumeAuto->Medida(AArquivo);
        if (medida) {
            DefinirReferenciaSeFalta(AArquivo, AIntervalo, *medida);
        } else {
            FVolumeAuto->Priorizar(AArquivo);
        }
    }
    FNiveis->PrepararGanho(medida);
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
    for (TPlayer* p : FNiveis->NoAr()) {
        if (p != nullptr && p->Aberto() && p->Arquivo() == AArquivo) {
            DefinirReferenciaSeFalta(
                AArquivo, p->Categoria() != TCategoriaAudio::caMusica, ALoudness);
        }
    }
    if (FNiveis->GanhoMedido(AArquivo, ALoudness)) {
        AtualizarTipo();
    }
}

void TPrograma::Posicionar(std::int32_t AMs) {
    if (FNoticiasNoAr || FNiveis->Atual().Estado() == TEstadoPlayer::epParado) {
        return;
    }
    FNiveis->Atual().Posicionar(AMs);
    FMostrado.Posicao = FNiveis->Atual().Posicao();
    FVisao.MostrarTempos(FMostrado.Posicao, FMostrado.Duracao);
}

bool TPrograma::EstaPausado() const {
    return FNiveis->Atual().Estado() == TEstadoPlayer::epPausado || FPausadoNasNoticias;
}

bool TPrograma::EstaTocando() const {
    return FEmReproducao && !EstaPausado();
}

void TPrograma::Tocar() {
    const TEstadoPlayer estado = FNiveis->Atual().Estado();
    if (estado == TEstadoPlayer::epPausado) {
        FNiveis->Atual().Continuar();
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
    if (FFilaProg.Musicas().empty()) {
        FVisao.AbrirConfiguracoes();
        return;
    }
    if (FFilaProg.LinhaSelecionada() >= 0) {
        TocarMusica(FFilaProg.LinhaSelecionada());
    } else {
        TocarProxima();
    }
}

void TPrograma::Retomar() {
    if (EstaPausado()) {
        Pausar();
    } else if (FNiveis->Atual().Estado() != TEstadoPlayer::epTocando) {
        if (FFilaProg.Musicas().empty()) {
            throw TErroComando("Nenhuma música configurada no programa.");
        }
        TocarProxima();
    }
}

void TPrograma::Pausar() {
    FNiveis->EncerrarSaida();
    FNiveis->CancelarEntrada();
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
        const TEstadoPlayer estado = FNiveis->Atual().Estado();
        if (estado == TEstadoPlayer::epTocando) {
            FNiveis->Atual().Pausar();
        } else if (estado == TEstadoPlayer::epPausado) {
            FNiveis->Atual().Continuar();
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
    } else if (const std::string musica = FFilaProg.MusicaAtual();
               EstaTocando() && !musica.empty()) {
        FMarca.Tocando(musica);
    }
}

void TPrograma::Parar() {
    FNiveis->CancelarEntrada();
    FGuardas.Zerar();
    FPausadoNasNoticias = false;
    FLocutor->DescartarAutomaticas();
    FEmReproducao = false;
    FFilaProg.NadaNoAr();
    InterromperNoticias();
    FNiveis->EncerrarSaida();
    FNiveis->Atual().Parar();
    FMostrado.Posicao = 0;
    FMostrado.Duracao = 0;
    FVisao.MostrarTipo("●  PARADO", TCorVisao::cvCinza);
    if (!FFilaProg.Musicas().empty()) {
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
        FMostrado.Duracao = FNiveis->Atual().Duracao();
        FMostrado.Posicao = FNiveis->Atual().Posicao();
    }
}

void TPrograma::ProximoItem() {
    FNiveis->EncerrarSaida();
    FNiveis->CancelarEntrada();
    if (FNoticiasNoAr || FPausadoNasNoticias) {
        FPausadoNasNoticias = false;
        InterromperNoticias();
        FFilaProg.ZerarNoticias();
        if (FConfig->TransicaoSegundos > 0) {
            IniciarEntrada();
        }
        TocarProxima();
        return;
    }
    if (FEmReproducao && FNiveis->Atual().Estado() == TEstadoPlayer::epTocando &&
        FConfig->TransicaoSegundos > 0) {
        const std::string proximo = ProximoArquivo();
        if (proximo.empty()) {
            TocarProxima();
            return;
        }
        const std::int32_t l =
            std::min(FNiveis->DuracaoTransicao(0, FDuracoes->Conhecida(proximo)), 3000);
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
