// The programme queue: lists in, the break and the news due, and starting
// each item on the players.
#include <algorithm>
#include <filesystem>

#include "ambiente/uLog.h"
#include "comum/uTexto.h"
#include "programa/uPrincipal.h"

namespace fs = std::filesystem;

namespace ljsn {

std::string TextoMusicas(int AQuantas) {
    return AQuantas == 1 ? std::string("1 música") : std::to_string(AQuantas) + " músicas";
}

std::string NomeExibicao(const std::string& ACaminho) {
    return fs::path(ACaminho).stem().string();
}

void TPrograma::PedirListas(bool ATocarDepois) {
    FArranque.TocarAoListar = FArranque.TocarAoListar || ATocarDepois;
    FListador->Pedir({FConfig->PastaMusicas,
                      FConfig->PastaPropagandas,
                      FConfig->IncluirSubpastas,
                      FConfig->VinhetaAntes,
                      FConfig->VinhetaDepois});
}

void TPrograma::RecarregarListas() {
    PedirListas(false);
}

void TPrograma::ListasLidas(TListasLidas AListas) {
    for (const auto& recusa : AListas.Recusas) {
        GravarLog("CONFIG", recusa);
    }
    FFilaProg.TrocarListas(std::move(AListas), FConfig->Aleatorio);
    const auto& musicas = FFilaProg.Musicas();
    const auto& propagandas = FFilaProg.Propagandas();
    if (musicas.empty()) {
        DefinirTitulo("Clique na engrenagem para escolher a pasta de músicas");
    }
    FDuracoes->Ler({FFilaProg.VinhetaAntes(), FFilaProg.VinhetaDepois()}, propagandas, musicas);
    if (FConfig->VolumeAutomatico) {
        FVolumeAuto->Analisar(musicas);
        FVolumeAuto->Analisar(propagandas);
    }
    AtualizarStatus();
    FVisao.AtualizarLista();
    if (!FArranque.ListasProntas) {
        FArranque.ListasProntas = true;
        GravarLogFmt("INICIO",
                     "musicas: %d | propagandas: %d (a cada %d musica(s), %d por intervalo) | "
                     "transicao: %d s | noticias: %s",
                     musicas.size(),
                     propagandas.size(),
                     FConfig->MusicasEntrePropagandas,
                     FConfig->PropagandasPorIntervalo,
                     FConfig->TransicaoSegundos,
                     FConfig->NoticiasAtivas ? FormatarOuFormato("a cada %d musica(s), %d por vez",
                                                                 FConfig->NoticiasCadaMusicas,
                                                                 FConfig->NoticiasQuantidade)
                                             : std::string("desligadas"));
        // The phone server's start error stays where the next-item text is,
        // as it did before the lists were in.
        if (!FErroCelular.empty()) {
            FMostrado.TextosStatus[3] = FErroCelular;
            FVisao.MostrarStatus(FMostrado.TextosStatus);
        }
        // The command line's switch waited for the lists (/tocarpausar needs
        // songs to play).
        if (FArranque.AcaoInicial != 0) {
            ExecutarAcao(std::exchange(FArranque.AcaoInicial, 0));
        }
        TocarAoComecar();
    }
    if (std::exchange(FArranque.TocarAoListar, false) && !musicas.empty() && FEmReproducao &&
        !FNoticiasNoAr && FNiveis->Atual().Estado() == TEstadoPlayer::epParado) {
        TocarProxima();
    }
}

void TPrograma::TocarProxima() {
    if (FFilaProg.Musicas().empty()) {
        // Advertisements never play without music.
        FEmReproducao = false;
        AtualizarStatus();
        return;
    }
    if (FFilaProg.FilaVazia()) {
        MontarIntervalo();
    }
    while (true) {
        if (FFilaProg.FilaVazia()) {
            TocarMusica(FFilaProg.SeguinteMusica());
            return;
        }
        const TFilaProgramacao::TEntrada entrada = FFilaProg.Retirar();
        if (entrada.Marca != MARCA_NOTICIAS) {
            FFilaProg.ComecarIntervalo(entrada.Marca);
            FEmReproducao = true;
            TocarArquivo(entrada.Texto, true);
            AtualizarStatus();
            return;
        }
        if (IniciarNoticias()) {
            return;
        }
        GravarLog("NOTICIAS", "estavam na fila, mas nao ha noticia para ler agora: segue a fila");
    }
}

void TPrograma::RegistrarEspera() {
    GravarLogFmt("ERRO",
                 "nenhuma musica abre (%d tentativa(s) seguida(s), pasta %s): nova tentativa a "
                 "cada %d s",
                 FGuardas.FalhasSeguidas(),
                 FConfig->PastaMusicas,
                 static_cast<int>(TGuardas::kEsperaSemMusicaMs / 1000));
}

void TPrograma::MontarIntervalo() {
    const TConfiguracoes& c = *FConfig;
    const bool devidas = FFilaProg.NoticiasDevidas(c);
    if (NoticiasProntas()) {
        FFilaProg.AdicionarNoticias();
        GravarLogFmt("FILA",
                     "noticias depois de %d musica(s) (regra: a cada %d)",
                     FFilaProg.MusicasDesdeNoticias(),
                     c.NoticiasCadaMusicas);
    } else if (devidas) {
        GravarLogFmt("NOTICIAS",
                     "era a vez das noticias (%d musicas), mas nao ha noticia para ler: entram "
                     "assim que chegar noticia (proxima busca as %s)",
                     FFilaProg.MusicasDesdeNoticias(),
                     FormatarHoraMinuto(FAgendaNoticias->ProximaBusca()));
    }
    if (devidas) {
        FAgendaNoticias->BuscarSeAcabaram();
    }
    FFilaProg.MontarIntervalo(c);
}

void TPrograma::TocarMusica(int AIndice) {
    FEmReproducao = true;
    const bool ok = TocarArquivo(FFilaProg.ComecarMusica(AIndice), false);
    // Success is counted once the song is heard (VigiarReproducao).
    if (!ok) {
        FFilaProg.MusicaFalhou();
        if (FGuardas.MusicaFalhou(static_cast<int>(FFilaProg.Musicas().size()))) {
            RegistrarEspera();
        }
    }
    AtualizarStatus();
}

bool TPrograma::TocarArquivo(const std::string& AArquivo, bool AIntervalo) {
    TPlayer& player = FNiveis->Atual();
    const bool vinheta = FFilaProg.TocandoVinheta();
    PrepararGanho(AArquivo, AIntervalo);
    player.DefinirCategoria(!AIntervalo ? TCategoriaAudio::caMusica
                            : vinheta   ? TCategoriaAudio::caVinheta
                                        : TCategoriaAudio::caPropaganda);
    // The length the crossfade already read, so the file is not scanned twice.
    const bool ok = player.Tocar(AArquivo, FDuracoes->Conhecida(AArquivo));
    if (ok && !AIntervalo) {
        // Before the log line: whoever sees the song announced can rely on
        // a restart resuming it.
        FMarca.Tocando(AArquivo);
    }
    if (FConfig->VolumeAutomatico) {
        // Measure what plays next before it is needed: the next
        // advertisement, then (first in the queue) the next music.
        for (const std::string& proximo :
             {FFilaProg.ProximaPropaganda(), FFilaProg.ProximaMusica()}) {
            if (!proximo.empty()) {
                FVolumeAuto->Priorizar(proximo);
            }
        }
    }
    AtualizarTipo();
    DefinirTitulo(NomeExibicao(AArquivo));
    FVisao.MostrarCapa(AArquivo,
                       !AIntervalo ? kGlifoMusica
                       : vinheta   ? kGlifoVinheta
                                   : kGlifoPropaganda);
    // The tag line and cover follow once read off the main thread.
    FMostrado.Info.clear();
    FLeitorTags->Pedir(AArquivo);
    const std::string nome = fs::path(AArquivo).filename().string();
    if (!ok) {
        DefinirTitulo(FMostrado.Titulo + "  (erro ao abrir o arquivo)");
        if (vinheta) {
            // Until the next listing looks at it again.
            FFilaProg.DescartarVinheta(AArquivo);
        }
        if (FGuardas.RegistrarFalha(AArquivo)) {
            GravarLog("ERRO", "nao foi possivel tocar: " + AArquivo);
        }
    } else if (!AIntervalo) {
        GravarLogFmt("TOCANDO",
                     "musica %d/%d: %s (musicas desde a propaganda: %d, desde as noticias: %d)",
                     FFilaProg.IndiceMusica() + 1,
                     FFilaProg.Musicas().size(),
                     nome,
                     FFilaProg.MusicasDesdePropaganda(),
                     FFilaProg.MusicasDesdeNoticias());
    } else if (vinheta) {
        GravarLogFmt("TOCANDO", "vinheta (volume %d%%): %s", FConfig->VolumeVinhetas, nome);
    } else {
        GravarLogFmt("TOCANDO", "propaganda (volume %d%%): %s", FConfig->VolumePropagandas, nome);
    }
    FVisao.AtualizarLista();
    return ok;
}

std::string TPrograma::ProximoArquivo() const {
    return FFilaProg.ProximoArquivo(*FConfig, NoticiasProntas());
}

void TPrograma::SelecionarLinha(int ALinha) {
    FFilaProg.SelecionarLinha(ALinha);
    FVisao.AtualizarLista();
}

void TPrograma::TocarLinha(int ALinha) {
    SelecionarLinha(ALinha);
    if (FFilaProg.LinhaSelecionada() < 0) {
        return;
    }
    FFilaProg.LimparFila();
    FPausadoNasNoticias = false;
    InterromperNoticias();
    FNiveis->EncerrarSaida();
    TocarMusica(FFilaProg.LinhaSelecionada());
}

int TPrograma::LinhaAtual() const {
    if (FEmReproducao && !FFilaProg.TocandoIntervalo() && !FNoticiasNoAr) {
        return FFilaProg.IndiceMusica();
    }
    return -1;
}

}  // namespace ljsn
