// The programme queue: lists, rotation, breaks, and starting each item.
#include <algorithm>
#include <filesystem>
#include <set>

#include <sys/stat.h>

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

namespace {

// The index after AIndice in a rotation of ATamanho (> 0) items.
int Seguinte(int AIndice, std::size_t ATamanho) {
    return (AIndice + 1) % static_cast<int>(ATamanho);
}

}  // namespace

bool TPrograma::VinhetaUsavel(const std::string& ACaminho) const {
    // Checked by the last listing, and still the one the settings name.
    return !ACaminho.empty() && (ACaminho == FVinhetaAntes || ACaminho == FVinhetaDepois);
}

void TPrograma::Embaralhar(std::vector<std::string>& ALista) {
    for (std::size_t i = ALista.size(); i-- > 1;) {
        std::uniform_int_distribution<std::size_t> d(0, i);
        std::swap(ALista[i], ALista[d(FAleatorio)]);
    }
}

void TPrograma::PedirListas(bool ATocarDepois) {
    FTocarAoListar = FTocarAoListar || ATocarDepois;
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
    FVinhetaAntes = std::move(AListas.VinhetaAntes);
    FVinhetaDepois = std::move(AListas.VinhetaDepois);
    if (FConfig->Aleatorio) {
        Embaralhar(AListas.Musicas);
        Embaralhar(AListas.Propagandas);
    }
    // The rotation goes on where it was: the song on air keeps its place, and
    // the break already queued stays when the advertisements did not change.
    std::string atual;
    if (FIndiceMusica >= 0 && FIndiceMusica < static_cast<int>(FMusicas.size())) {
        atual = FMusicas[static_cast<std::size_t>(FIndiceMusica)];
    }
    const bool mesmasPropagandas = FPropagandas == AListas.Propagandas;
    FMusicas = std::move(AListas.Musicas);
    FPropagandas = std::move(AListas.Propagandas);
    FIndiceMusica = -1;
    FLinhaSelecionada = -1;
    if (!atual.empty()) {
        for (std::size_t i = 0; i < FMusicas.size(); ++i) {
            if (IguaisSemCaixa(FMusicas[i], atual)) {
                FIndiceMusica = static_cast<int>(i);
                break;
            }
        }
        FLinhaSelecionada = FIndiceMusica;
    }
    if (!mesmasPropagandas) {
        FIndicePropaganda = -1;
        FFilaIntervalo.clear();
    }
    if (FMusicas.empty()) {
        DefinirTitulo("Clique na engrenagem para escolher a pasta de músicas");
    }
    LerDuracoes();
    if (FConfig->VolumeAutomatico) {
        FVolumeAuto->Analisar(FMusicas);
        FVolumeAuto->Analisar(FPropagandas);
    }
    AtualizarStatus();
    FVisao.AtualizarLista();
    if (!FListasProntas) {
        FListasProntas = true;
        GravarLogFmt("INICIO",
                     "musicas: %d | propagandas: %d (a cada %d musica(s), %d por intervalo) | "
                     "transicao: %d s | noticias: %s",
                     FMusicas.size(),
                     FPropagandas.size(),
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
            FTextosStatus[3] = FErroCelular;
            FVisao.MostrarStatus(FTextosStatus);
        }
        // The command line's switch waited for the lists (/tocarpausar needs
        // songs to play).
        if (FAcaoInicial != 0) {
            ExecutarAcao(std::exchange(FAcaoInicial, 0));
        }
        TocarAoComecar();
    }
    if (std::exchange(FTocarAoListar, false) && !FMusicas.empty() && FEmReproducao &&
        !FNoticiasNoAr && FPlayer->Estado() == TEstadoPlayer::epParado) {
        TocarProxima();
    }
}

void TPrograma::TocarProxima() {
    if (FMusicas.empty()) {
        // Advertisements never play without music.
        FEmReproducao = false;
        AtualizarStatus();
        return;
    }
    if (FFilaIntervalo.empty()) {
        MontarIntervalo();
    }
    while (true) {
        if (FFilaIntervalo.empty()) {
            FTocandoVinheta = false;
            TocarMusica(Seguinte(FIndiceMusica, FMusicas.size()));
            return;
        }
        const TEntradaFila entrada = FFilaIntervalo.front();
        FFilaIntervalo.pop_front();
        if (entrada.Marca != MARCA_NOTICIAS) {
            FTocandoVinheta = entrada.Marca == MARCA_VINHETA;
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

void TPrograma::EsperarPorMusicas() {
    if (FSemMusica) {
        return;
    }
    FSemMusica = true;
    FSemMusicaDesde = FRelogio.Tique();
    GravarLogFmt("ERRO",
                 "nenhuma musica abre (%d tentativa(s) seguida(s), pasta %s): nova tentativa a "
                 "cada %d s",
                 FFalhasMusica,
                 FConfig->PastaMusicas,
                 static_cast<int>(kEsperaSemMusicaMs / 1000));
}

void TPrograma::MontarIntervalo() {
    const TConfiguracoes& c = *FConfig;
    if (NoticiasProntas()) {
        FFilaIntervalo.push_back({"noticias", MARCA_NOTICIAS});
        GravarLogFmt("FILA",
                     "noticias depois de %d musica(s) (regra: a cada %d)",
                     FMusicasDesdeNoticias,
                     c.NoticiasCadaMusicas);
    } else if (c.NoticiasAtivas && FMusicasDesdeNoticias >= c.NoticiasCadaMusicas) {
        GravarLogFmt("NOTICIAS",
                     "era a vez das noticias (%d musicas), mas nao ha noticia para ler: entram "
                     "assim que chegar noticia (proxima busca as %s)",
                     FMusicasDesdeNoticias,
                     FormatarHoraMinuto(FAgendaNoticias->ProximaBusca()));
    }
    if (c.NoticiasAtivas && FMusicasDesdeNoticias >= c.NoticiasCadaMusicas) {
        BuscarSeAcabaram();
    }
    if (!FPropagandas.empty() && FMusicasDesdePropaganda >= c.MusicasEntrePropagandas) {
        AdicionarIntervalo();
        const auto arquivos = ArquivosNaFila();
        GravarLogFmt("FILA",
                     "intervalo comercial depois de %d musica(s) (regra: a cada %d): %d arquivo(s)",
                     FMusicasDesdePropaganda,
                     c.MusicasEntrePropagandas,
                     arquivos);
        FMusicasDesdePropaganda = 0;
    }
}

void TPrograma::AdicionarIntervalo() {
    const TConfiguracoes& c = *FConfig;
    if (VinhetaUsavel(c.VinhetaAntes)) {
        FFilaIntervalo.push_back({c.VinhetaAntes, MARCA_VINHETA});
    }
    for (int i = 0; i < c.PropagandasPorIntervalo; ++i) {
        FIndicePropaganda = Seguinte(FIndicePropaganda, FPropagandas.size());
        FFilaIntervalo.push_back({FPropagandas[static_cast<std::size_t>(FIndicePropaganda)], 0});
    }
    if (VinhetaUsavel(c.VinhetaDepois)) {
        FFilaIntervalo.push_back({c.VinhetaDepois, MARCA_VINHETA});
    }
}

bool TPrograma::NoticiasNaFila() const {
    return std::any_of(FFilaIntervalo.begin(), FFilaIntervalo.end(), [](const TEntradaFila& e) {
        return e.Marca == MARCA_NOTICIAS;
    });
}

std::ptrdiff_t TPrograma::ArquivosNaFila() const {
    return std::count_if(FFilaIntervalo.begin(), FFilaIntervalo.end(), [](const TEntradaFila& e) {
        return e.Marca != MARCA_NOTICIAS;
    });
}

void TPrograma::TocarMusica(int AIndice) {
    FIndiceMusica = AIndice;
    FLinhaSelecionada = AIndice;
    ++FMusicasDesdePropaganda;
    ++FMusicasDesdeNoticias;
    FEmReproducao = true;
    const bool ok = TocarArquivo(FMusicas[static_cast<std::size_t>(AIndice)], false);
    // Success is counted once the song is heard (VigiarReproducao).
    if (!ok) {
        // A song that never played does not bring the break nearer.
        --FMusicasDesdePropaganda;
        --FMusicasDesdeNoticias;
        ++FFalhasMusica;
        // A folder of thousands of files that never open must not be tried
        // at tick speed until each has failed once.
        if (FFalhasMusica >= std::min(static_cast<int>(FMusicas.size()), kMaxFalhasSeguidas)) {
            EsperarPorMusicas();
        }
    }
    AtualizarStatus();
}

bool TPrograma::TocarArquivo(const std::string& AArquivo, bool AIntervalo) {
    PrepararGanho(AArquivo, AIntervalo);
    FPlayer->DefinirCategoria(!AIntervalo       ? TCategoriaAudio::caMusica
                              : FTocandoVinheta ? TCategoriaAudio::caVinheta
                                                : TCategoriaAudio::caPropaganda);
    // The length the crossfade already read, so the file is not scanned twice.
    const bool ok = FPlayer->Tocar(AArquivo, DuracaoConhecida(AArquivo));
    if (ok && !AIntervalo) {
        // Before the log line: whoever sees the song announced can rely on
        // a restart resuming it.
        FMarca.Tocando(AArquivo);
    }
    if (FConfig->VolumeAutomatico) {
        // Measure what plays next before it is needed: the next
        // advertisement, then (first in the queue) the next music.
        if (!FPropagandas.empty()) {
            FVolumeAuto->Priorizar(FPropagandas[static_cast<std::size_t>(
                Seguinte(FIndicePropaganda, FPropagandas.size()))]);
        }
        if (!FMusicas.empty()) {
            FVolumeAuto->Priorizar(
                FMusicas[static_cast<std::size_t>(Seguinte(FIndiceMusica, FMusicas.size()))]);
        }
    }
    FTocandoPropaganda = AIntervalo;
    AtualizarTipo();
    DefinirTitulo(NomeExibicao(AArquivo));
    FVisao.MostrarCapa(AArquivo,
                       !AIntervalo       ? kGlifoMusica
                       : FTocandoVinheta ? kGlifoVinheta
                                         : kGlifoPropaganda);
    // The tag line and cover follow once read off the main thread.
    FInfo.clear();
    FLeitorTags->Pedir(AArquivo);
    const std::string nome = fs::path(AArquivo).filename().string();
    if (!ok) {
        DefinirTitulo(FTitulo + "  (erro ao abrir o arquivo)");
        if (FTocandoVinheta) {
            // Until the next listing looks at it again.
            (AArquivo == FVinhetaAntes ? FVinhetaAntes : FVinhetaDepois).clear();
        }
        if (FFalhasRegistradas.Registrar(AArquivo, FRelogio.Tique())) {
            GravarLog("ERRO", "nao foi possivel tocar: " + AArquivo);
        }
    } else if (!AIntervalo) {
        GravarLogFmt("TOCANDO",
                     "musica %d/%d: %s (musicas desde a propaganda: %d, desde as noticias: %d)",
                     FIndiceMusica + 1,
                     FMusicas.size(),
                     nome,
                     FMusicasDesdePropaganda,
                     FMusicasDesdeNoticias);
    } else if (FTocandoVinheta) {
        GravarLogFmt("TOCANDO", "vinheta (volume %d%%): %s", FConfig->VolumeVinhetas, nome);
    } else {
        GravarLogFmt("TOCANDO", "propaganda (volume %d%%): %s", FConfig->VolumePropagandas, nome);
    }
    FVisao.AtualizarLista();
    return ok;
}

std::string TPrograma::ProximoArquivo() {
    if (!FFilaIntervalo.empty()) {
        const TEntradaFila& e = FFilaIntervalo.front();
        return e.Marca == MARCA_NOTICIAS ? std::string() : e.Texto;
    }
    if (NoticiasProntas()) {
        return {};
    }
    if (FPropagandas.empty() || FMusicasDesdePropaganda < FConfig->MusicasEntrePropagandas) {
        if (FMusicas.empty()) {
            return {};
        }
        return FMusicas[static_cast<std::size_t>(Seguinte(FIndiceMusica, FMusicas.size()))];
    }
    if (VinhetaUsavel(FConfig->VinhetaAntes)) {
        return FConfig->VinhetaAntes;
    }
    return FPropagandas[static_cast<std::size_t>(Seguinte(FIndicePropaganda, FPropagandas.size()))];
}

void TPrograma::SelecionarLinha(int ALinha) {
    FLinhaSelecionada = (ALinha >= 0 && ALinha < static_cast<int>(FMusicas.size())) ? ALinha : -1;
    FVisao.AtualizarLista();
}

void TPrograma::TocarLinha(int ALinha) {
    SelecionarLinha(ALinha);
    if (FLinhaSelecionada < 0) {
        return;
    }
    FFilaIntervalo.clear();
    FPausadoNasNoticias = false;
    InterromperNoticias();
    EncerrarSaida();
    TocarMusica(FLinhaSelecionada);
}

int TPrograma::LinhaAtual() const {
    if (FEmReproducao && !FTocandoPropaganda && !FTocandoVinheta && !FNoticiasNoAr) {
        return FIndiceMusica;
    }
    return -1;
}

}  // namespace ljsn
