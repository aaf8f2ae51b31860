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
    FMostrado.Titulo = ATitulo;
    FVisao.MostrarTitulo(FMostrado.Titulo);
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
    if (FFilaProg.TocandoVinheta()) {
        texto = "●  VINHETA";
        cor = TCorVisao::cvCarmesim;
    } else if (FFilaProg.TocandoIntervalo()) {
        texto = "●  PROPAGANDA";
        cor = TCorVisao::cvCarmesim;
    } else {
        texto = "●  TOCANDO AGORA";
    }
    const double ajuste = FNiveis->AjusteAtual();
    if (FConfig->VolumeAutomatico && FNiveis->LoudnessAtual() > -999) {
        if (std::abs(ajuste) < 0.05) {
            texto += "   ·   VOLUME AUTO: REFERÊNCIA";
        } else {
            // Brazilian number format: a comma before the decimal.
            const std::string valor =
                SubstituirTudo(FormatarOuFormato("%.1f", std::abs(ajuste)), ".", ",");
            texto +=
                FormatarOuFormato("   ·   VOLUME AUTO %s%s dB", ajuste > 0 ? "+" : "\u2212", valor);
        }
    }
    FVisao.MostrarTipo(texto, cor);
}

void TPrograma::AtualizarStatus() {
    const TConfiguracoes& c = *FConfig;
    const TFilaProgramacao& f = FFilaProg;
    std::string musicas = FormatarOuFormato("Músicas: %d", f.Musicas().size());
    const std::int64_t total = FDuracoes->Total();
    if (!f.Musicas().empty() && total > 0) {
        musicas += "  ·  " + FormatarDuracao(total);
    }
    FMostrado.TextosStatus[0] = musicas;
    FMostrado.TextosStatus[1] = FormatarOuFormato("Propagandas: %d", f.Propagandas().size());
    FMostrado.TextosStatus[2] = FormatarOuFormato("Mensagens: %d", c.Mensagens.size());

    std::string seguir;
    if (f.Propagandas().empty()) {
        seguir = "Sem propagandas";
    } else if (f.TocandoIntervalo()) {
        seguir = "Intervalo comercial";
    } else {
        const int d = c.MusicasEntrePropagandas - f.MusicasDesdePropaganda();
        seguir = (d < 1 || f.ArquivosNaFila() > 0) ? std::string("Propaganda após esta música")
                                                   : "Propaganda em " + TextoMusicas(d);
    }
    if (c.NoticiasAtivas) {
        if (FNoticiasNoAr) {
            seguir += "  ·  Notícias no ar";
        } else if (f.NoticiasNaFila()) {
            seguir += "  ·  Notícias a seguir";
        } else {
            const int e = c.NoticiasCadaMusicas - f.MusicasDesdeNoticias();
            if (e < 1) {
                seguir += NoticiasParaLer().empty() ? "  ·  Notícias: aguardando novas"
                                                    : "  ·  Notícias após esta música";
            } else {
                seguir += "  ·  Notícias em " + TextoMusicas(e);
            }
        }
    }
    FMostrado.TextosStatus[3] = seguir;
    FMostrado.TextosStatus[4] = (c.AvisoFechamento && c.MinutoFechamento() >= 0)
                                    ? "Fechamento: " + c.HorarioFechamento
                                    : std::string();
    FVisao.MostrarStatus(FMostrado.TextosStatus);
}

}  // namespace ljsn

namespace ljsn {

std::string LinhaLoudness(const std::string& ACaminho) {
    return FormatarDecimal(MedirLoudness(ACaminho), 2, 2) + "\t" + ACaminho;
}

}  // namespace ljsn
