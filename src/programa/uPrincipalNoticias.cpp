// The news block: when it is due, starting it, reading it and its end.
#include <algorithm>

#include "ambiente/uLog.h"
#include "programa/uPrincipal.h"

namespace ljsn {

std::vector<TNoticia> TPrograma::NoticiasParaLer() const {
    return FAgendaNoticias ? FAgendaNoticias->NoticiasParaLer() : std::vector<TNoticia>();
}

bool TPrograma::NoticiasProntas() const {
    return FFilaProg.NoticiasDevidas(*FConfig) && !NoticiasParaLer().empty();
}

bool TPrograma::IniciarNoticias() {
    const std::vector<TNoticia> lista = NoticiasParaLer();
    if (lista.empty()) {
        return false;
    }
    // The music stops (it is not paused); the block is the item on air.
    FNiveis->EncerrarSaida();
    FNiveis->Atual().Parar();
    FFilaProg.ZerarNoticias();
    FFilaProg.NadaNoAr();
    FNoticiasNoAr = true;
    FEmReproducao = true;

    FLocutor->Anunciar(kAberturaNoticias, TTipoFala::tfNoticia);
    const std::size_t quantas =
        std::min(static_cast<std::size_t>(std::max(FConfig->NoticiasQuantidade, 0)), lista.size());
    for (std::size_t i = 0; i < quantas; ++i) {
        const TNoticia& n = lista[i];
        if (!FLocutor->Anunciar(TextoNoticia(n, FConfig->NoticiasResumo), TTipoFala::tfNoticia)) {
            continue;
        }
        GravarLog("NOTICIAS",
                  (FAgendaNoticias->FoiLida(n.Link) ? "relendo (as novas acabaram): " : "lendo: ") +
                      n.Titulo);
        // Read once queued, even if the block is interrupted later.
        FAgendaNoticias->MarcarLida(n.Link);
    }
    FLocutor->Anunciar(kFechoNoticias, TTipoFala::tfNoticia);
    // The music is silent already: nothing to lower before the first text.
    FLocutor->SemDescida();
    FAgendaNoticias->BuscarSeAcabaram();

    FMostrado.Posicao = 0;
    FMostrado.Duracao = 0;
    FMostrado.Info.clear();
    FLeitorTags->Esquecer();
    DefinirTitulo(kLegendaNoticias);
    FVisao.MostrarCapa(std::string(), kGlifoNoticias);
    FVisao.MostrarTemposVazios();
    AtualizarTipo();
    FVisao.AtualizarLista();
    AtualizarStatus();
    return true;
}

void TPrograma::InterromperNoticias() {
    if (FNoticiasNoAr) {
        FNoticiasNoAr = false;
        FLocutor->Cancelar();
    }
}

void TPrograma::EncerrarNoticiasSeAcabou() {
    if (FLocutor->Ocupado()) {
        return;
    }
    FNoticiasNoAr = false;
    GravarLog("NOTICIAS", "fim da leitura");
    if (FConfig->TransicaoSegundos > 0) {
        IniciarEntrada();
    }
    TocarProxima();
}

}  // namespace ljsn
