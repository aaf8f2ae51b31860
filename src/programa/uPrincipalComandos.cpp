// The control surface's state snapshot, settings, and the control server's
// start and stop.
#include <algorithm>
#include <filesystem>

#include "ambiente/uInicializacao.h"
#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "comum/uTexto.h"
#include "falas/uChamadas.h"
#include "programa/uEscutaTeste.h"
#include "programa/uPrincipal.h"

namespace ljsn {

TErroComando::TErroComando(const std::string& AMensagem) : std::runtime_error(AMensagem) {}

TEstadoControle TPrograma::Estado() const {
    TEstadoControle e;
    if (EstaPausado()) {
        e.Situacao = "pausado";
    } else if (FEmReproducao &&
               (FNiveis->Atual().Estado() == TEstadoPlayer::epTocando || FNoticiasNoAr)) {
        e.Situacao = "tocando";
    }
    if (FNoticiasNoAr) {
        e.Tipo = "noticias";
    } else if (FFilaProg.TocandoVinheta()) {
        e.Tipo = "vinheta";
    } else if (FFilaProg.TocandoIntervalo()) {
        e.Tipo = "propaganda";
    }
    e.Faixa = FMostrado.Titulo;
    e.Posicao = FMostrado.Posicao;
    e.Duracao = FMostrado.Duracao;
    e.Volume = FNiveis->Volume();
    e.Locutor = FLocutor->TextoAtual();
    e.ErroLocutor = FLocutor->UltimoErro();
    e.ASeguir = FMostrado.TextosStatus[3];
    e.Info = FMostrado.Info;
    e.Silencios = FGuardas.Silencios();
    if (FSalvamento->Falhou()) {
        e.Aviso = "As configurações não puderam ser salvas (" + FSalvamento->Erro() +
                  "). O programa tenta de novo a cada minuto.";
    }
    e.EmReproducao = FEmReproducao;
    return e;
}

void TPrograma::AtualizarControleRemoto() {
    if (!FConfig->CelularAtivo || FConfig->CelularPin.empty()) {
        FControle->Parar();
        FErroCelular.clear();
        return;
    }
    if (!FControle->Ativo()) {
        FErroCelular = FControle->Iniciar(FConfig->CelularPorta, FConfig->CelularPin);
        if (!FErroCelular.empty()) {
            // Shown where the next-item text is, until the status texts are rebuilt.
            FMostrado.TextosStatus[3] = FErroCelular;
            FVisao.MostrarStatus(FMostrado.TextosStatus);
            GravarLog("ERRO", FErroCelular);
        }
    }
}

bool TPrograma::GerarPinSeFaltar() {
    if (!FConfig->CelularAtivo || !FConfig->CelularPin.empty()) {
        return false;
    }
    FConfig->CelularPin = GerarPin();
    GravarLog("CELULAR", "PIN gerado para o controle pelo celular");
    // Until a save works, the PIN holds for this run only.
    FSalvamento->Salvar();
    AtualizarControleRemoto();
    return true;
}

std::vector<TProblemaConfig> TPrograma::Validar(const TConfiguracoes& ANovo) const {
    std::vector<TProblemaConfig> problemas;
    const auto pastaExiste = [](const std::string& ACaminho) {
        std::error_code erro;
        return !ACaminho.empty() && std::filesystem::is_directory(ACaminho, erro);
    };
    if (!pastaExiste(ANovo.PastaMusicas)) {
        problemas.push_back({"musicas", "PastaMusicas", "A pasta de músicas não existe."});
    }
    if (!ANovo.PastaPropagandas.empty() && !pastaExiste(ANovo.PastaPropagandas)) {
        problemas.push_back({"musicas", "PastaPropagandas", "A pasta de propagandas não existe."});
    }
    if (ANovo.AvisoFechamento && ANovo.MinutoFechamento() < 0) {
        problemas.push_back({"locutor",
                             "HorarioFechamento",
                             "Informe o horário de fechamento no formato HH:MM (ex.: 18:00)."});
    }
    // A port another program holds would only fail later, in the status bar.
    if (ANovo.CelularAtivo && ANovo.CelularPorta != PortaCelular() &&
        PortaEmUso(ANovo.CelularPorta)) {
        problemas.push_back({"celular",
                             "CelularPorta",
                             "A porta " + std::to_string(ANovo.CelularPorta) +
                                 " já está em uso por outro programa. Escolha outra porta para "
                                 "o controle pelo celular."});
    }
    return problemas;
}

TMudancasConfig TPrograma::Aplicar(const TConfiguracoes& ANovo) {
    TConfiguracoes novo = ANovo;
    TMudancasConfig m;
    // A volume the caller left as stored is the live one, which reaches the
    // disk on its own delay.
    m.Volume = novo.Volume != FConfig->Volume;
    if (!m.Volume) {
        novo.Volume = FNiveis->Volume();
    }
    m.Widget = novo.WidgetX != FConfig->WidgetX || novo.WidgetY != FConfig->WidgetY ||
               novo.WidgetPorCima != FConfig->WidgetPorCima ||
               novo.WidgetNaBandeja != FConfig->WidgetNaBandeja;
    m.Aparencia = novo.Tema != FConfig->Tema;
    m.Celular = novo.CelularAtivo != FConfig->CelularAtivo ||
                novo.CelularPorta != FConfig->CelularPorta ||
                novo.CelularPin != FConfig->CelularPin;
    TConfiguracoes resto = novo;
    resto.Volume = FConfig->Volume;
    resto.WidgetX = FConfig->WidgetX;
    resto.WidgetY = FConfig->WidgetY;
    resto.WidgetPorCima = FConfig->WidgetPorCima;
    resto.WidgetNaBandeja = FConfig->WidgetNaBandeja;
    resto.Tema = FConfig->Tema;
    resto.CelularAtivo = FConfig->CelularAtivo;
    resto.CelularPorta = FConfig->CelularPorta;
    resto.CelularPin = FConfig->CelularPin;
    m.Programacao = !(resto == *FConfig);
    // Written from the copy: a failed write leaves everything as it was.
    try {
        novo.Salvar();
    } catch (const std::exception& e) {
        GravarLog("ERRO", std::string("configuracoes nao salvas: ") + e.what());
        throw TErroComando("Não foi possível salvar as configurações (" + std::string(e.what()) +
                           "). Nada foi alterado; confira o espaço em disco e a permissão da "
                           "pasta " +
                           PastaDados() + " e tente de novo.");
    }
    *FConfig = novo;
    // The whole file was written: whatever failed before is saved now.
    FSalvamento->TentarSePendente();
    if (m.Volume) {
        FGuardas.VolumeSalvo();
        FNiveis->DefinirVolume(std::clamp(novo.Volume, 0, 100));
    }
    if (m.Programacao) {
        AplicarProgramacao();
    } else if (m.Celular) {
        FControle->Parar();
        AtualizarControleRemoto();
    }
    return m;
}

std::unique_ptr<IEscutaTeste> TPrograma::CriarEscutaTeste() {
    return std::make_unique<TEscutaTeste>(FDispositivo, FFabricaVoz, FRelogio);
}

bool TPrograma::IniciaComSistema() const {
    return IniciaComWindows();
}

bool TPrograma::DefinirIniciarComSistema(bool ALigar) {
    if (DefinirIniciarComWindows(ALigar, FOpcoes.CaminhoExecutavel)) {
        return true;
    }
    GravarLog("INICIO", "iniciar com o computador: não foi possível gravar " + ArquivoAutoInicio());
    return false;
}

int TPrograma::PortaCelular() const {
    return FControle && FControle->Ativo() ? FControle->Porta() : 0;
}

void TPrograma::AplicarProgramacao() {
    GravarLogFmt("CONFIG",
                 "configuracoes salvas | propagandas a cada %d | noticias: %s a cada %d | "
                 "transicao %d s",
                 FConfig->MusicasEntrePropagandas,
                 FConfig->NoticiasAtivas ? "ligadas" : "desligadas",
                 FConfig->NoticiasCadaMusicas,
                 FConfig->TransicaoSegundos);
    AplicarConfiguracoes();
    FRodizio.ReiniciarMensagens();
    RecarregarListas();
    FAgendaClima->Esvaziar();
    FAgendaClima->AtualizarClima();
    FControle->Parar();
    AtualizarControleRemoto();
    FAgendaNoticias->Esvaziar();
    FAgendaNoticias->AtualizarNoticias();
}

std::string TPrograma::MusicaAtualParaConfig() const {
    const std::string musica = FFilaProg.MusicaAtual();
    if (!FNiveis || FFilaProg.TocandoIntervalo() || FNoticiasNoAr || musica.empty()) {
        return {};
    }
    const TEstadoPlayer estado = FNiveis->Atual().Estado();
    if (estado != TEstadoPlayer::epTocando && estado != TEstadoPlayer::epPausado) {
        return {};
    }
    return NomeExibicao(musica);
}

std::string TPrograma::TextoCelular() const {
    if (!FControle || !FControle->Ativo()) {
        return {};
    }
    return EnderecoCelular(FControle->Porta());
}

}  // namespace ljsn
