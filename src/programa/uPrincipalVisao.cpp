// What the programme shows: type label, title line, status texts.
#include <algorithm>
#include <cmath>

#include "ambiente/uDuracao.h"
#include "audio/uLoudness.h"
#include "comum/uFormato.h"
#include "comum/uTexto.h"
#include "programa/uPrincipal.h"

namespace ljsn {

void TPrograma::DefinirTitulo(const std::string& ATitulo) {
    FTitulo = ATitulo;
    FVisao.MostrarTitulo(FTitulo);
}

void TPrograma::AtualizarTipo() {
    std::string texto;
    TCorVisao cor = TCorVisao::cvAzul;
    if (EstaPausado()) {
        FVisao.MostrarTipo("●  PAUSADO", TCorVisao::cvCinza);
        return;
    }
    if (FNoticiasNoAr) {
        FVisao.MostrarTipo("●  NOTÍCIAS", TCorVisao::cvAmbar);
        return;
    }
    if (FTocandoVinheta) {
        texto = "●  VINHETA";
        cor = TCorVisao::cvCarmesim;
    } else if (FTocandoPropaganda) {
        texto = "●  PROPAGANDA";
        cor = TCorVisao::cvCarmesim;
    } else {
        texto = "●  TOCANDO AGORA";
    }
    if (FConfig->VolumeAutomatico && FLoudnessAtual > -999) {
        if (std::abs(FAjusteAtual) < 0.05) {
            texto += "   ·   VOLUME AUTO: REFERÊNCIA";
        } else {
            // Brazilian number format: a comma before the decimal.
            const std::string valor =
                SubstituirTudo(FormatarOuFormato("%.1f", std::abs(FAjusteAtual)), ".", ",");
            texto += FormatarOuFormato(
                "   ·   VOLUME AUTO %s%s dB", FAjusteAtual > 0 ? "+" : "\u2212", valor);
        }
    }
    FVisao.MostrarTipo(texto, cor);
}

void TPrograma::AtualizarStatus() {
    const TConfiguracoes& c = *FConfig;
    std::string musicas = FormatarOuFormato("Músicas: %d", FMusicas.size());
    const std::int64_t total = TotalDuracoes();
    if (!FMusicas.empty() && total > 0) {
        musicas += "  ·  " + FormatarDuracao(total);
    }
    FTextosStatus[0] = musicas;
    FTextosStatus[1] = FormatarOuFormato("Propagandas: %d", FPropagandas.size());
    FTextosStatus[2] = FormatarOuFormato("Mensagens: %d", c.Mensagens.size());

    std::string seguir;
    if (FPropagandas.empty()) {
        seguir = "Sem propagandas";
    } else if (FTocandoPropaganda || FTocandoVinheta) {
        seguir = "Intervalo comercial";
    } else {
        const int d = c.MusicasEntrePropagandas - FMusicasDesdePropaganda;
        seguir = (d < 1 || ArquivosNaFila() > 0) ? std::string("Propaganda após esta música")
                                                 : "Propaganda em " + TextoMusicas(d);
    }
    if (c.NoticiasAtivas) {
        if (FNoticiasNoAr) {
            seguir += "  ·  Notícias no ar";
        } else if (NoticiasNaFila()) {
            seguir += "  ·  Notícias a seguir";
        } else {
            const int e = c.NoticiasCadaMusicas - FMusicasDesdeNoticias;
            if (e < 1) {
                seguir += NoticiasParaLer().empty() ? "  ·  Notícias: aguardando novas"
                                                    : "  ·  Notícias após esta música";
            } else {
                seguir += "  ·  Notícias em " + TextoMusicas(e);
            }
        }
    }
    FTextosStatus[3] = seguir;
    FTextosStatus[4] = (c.AvisoFechamento && c.MinutoFechamento() >= 0)
                           ? "Fechamento: " + c.HorarioFechamento
                           : std::string();
    FVisao.MostrarStatus(FTextosStatus);
}

}  // namespace ljsn

namespace ljsn {

std::string LinhaLoudness(const std::string& ACaminho) {
    return FormatarDecimal(MedirLoudness(ACaminho), 2, 2) + "\t" + ACaminho;
}

}  // namespace ljsn
