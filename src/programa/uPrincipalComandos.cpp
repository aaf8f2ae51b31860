// The command handler the phone and the quick controls share, the state
// report, and the control server's start and stop.
#include <algorithm>
#include <cmath>
#include <limits>

#include "ambiente/uLog.h"
#include "comum/uTexto.h"
#include "falas/uChamadas.h"
#include "programa/uPrincipal.h"

namespace ljsn {

namespace {

// A key's value, or ADefault when absent or null; a value of the wrong type
// throws the JSON reader's own message.
// A field of the wrong type is the sender's mistake: it gets a message in
// the shop's language, not the JSON library's text.
[[noreturn]] void TipoErrado(const char* AChave, const char* AEsperado) {
    throw TErroComando(std::string("Pedido inválido: \"") + AChave + "\" deve ser " + AEsperado +
                       ".");
}

std::string LerTexto(const TJson& ADados, const char* AChave) {
    auto it = ADados.find(AChave);
    if (it == ADados.end() || it->is_null()) {
        return {};
    }
    if (!it->is_string()) {
        TipoErrado(AChave, "um texto");
    }
    return it->get<std::string>();
}

bool LerBooleano(const TJson& ADados, const char* AChave, bool APadrao) {
    auto it = ADados.find(AChave);
    if (it == ADados.end() || it->is_null()) {
        return APadrao;
    }
    if (!it->is_boolean()) {
        TipoErrado(AChave, "true ou false");
    }
    return it->get<bool>();
}

int LerInteiroJson(const TJson& ADados, const char* AChave, int APadrao) {
    auto it = ADados.find(AChave);
    if (it == ADados.end() || it->is_null()) {
        return APadrao;
    }
    if (!it->is_number()) {
        TipoErrado(AChave, "um número");
    }
    // Read as a number first: a huge or fractional value must not overflow.
    const double v = it->get<double>();
    if (std::isnan(v)) {
        return APadrao;
    }
    return static_cast<int>(std::clamp(v,
                                       static_cast<double>(std::numeric_limits<int>::min()),
                                       static_cast<double>(std::numeric_limits<int>::max())));
}

// A till number as the quick-call windows allow it: a whole number of at
// most three digits.
int LerCaixa(const TJson& ADados) {
    auto it = ADados.find("caixa");
    if (it == ADados.end() || it->is_null()) {
        return 1;
    }
    if (!it->is_number()) {
        TipoErrado("caixa", "um número");
    }
    const double v = it->get<double>();
    if (!std::isfinite(v) || v != std::floor(v) || v < 0 || v > kMaxCaixa) {
        throw TErroComando("O número do caixa deve ser um número inteiro de 0 a 999.");
    }
    return static_cast<int>(v);
}

}  // namespace

TErroComando::TErroComando(const std::string& AMensagem) : std::runtime_error(AMensagem) {}

std::string TPrograma::ExecutarComando(const std::string& AAcao, const TJson& ADados) {
    VERIFICAR_OU(FDono.NaThreadDona()) {
        return {};
    }
    if (AAcao == "estado") {
        return MontarEstado(LerBooleano(ADados, "completo", false), std::string());
    }
    if (AAcao != "comando") {
        return {};
    }
    const std::string acao = LerTexto(ADados, "acao");
    GravarLog("COMANDO", "celular/controles rapidos: " + acao);
    std::string mensagem;
    if (acao == "tocar") {
        if (EstaPausado()) {
            Pausar();
        } else if (FPlayer->Estado() != TEstadoPlayer::epTocando) {
            if (FMusicas.empty()) {
                throw TErroComando("Nenhuma música configurada no programa.");
            }
            TocarProxima();
        }
    } else if (acao == "pausar") {
        if (FPlayer->Estado() == TEstadoPlayer::epTocando ||
            (FNoticiasNoAr && !FPausadoNasNoticias)) {
            Pausar();
        }
    } else if (acao == "proxima") {
        if (FMusicas.empty()) {
            throw TErroComando("Nenhuma música configurada no programa.");
        }
        Proxima();
        // The reply shows the new item: its times, not those the last tick
        // read from the item before (news keep the zeros they start with).
        if (!FNoticiasNoAr) {
            FDuracao = FPlayer->Duracao();
            FPosicao = FPlayer->Posicao();
        }
    } else if (acao == "parar") {
        Parar();
    } else if (acao == "volume") {
        DefinirVolumeGeral(LerInteiroJson(ADados, "valor", FVolumeGeral));
    } else if (acao == "horacerta") {
        const TDataHora d = DecodificarDataHora(Agora());
        if (!AnunciarHoraCerta(d.Hora, d.Minuto, TOrigemFala::ofPessoa)) {
            throw TErroComando(kErroFilaCheia);
        }
    } else if (acao == "falar") {
        const std::string texto = Aparar(PrimeirosCaracteres(LerTexto(ADados, "texto"), 500));
        if (texto.empty()) {
            throw TErroComando("Digite o que o locutor vai falar.");
        }
        if (!FLocutor->Anunciar(texto, TTipoFala::tfChamada)) {
            throw TErroComando(kErroFilaCheia);
        }
    } else if (acao == "chamada") {
        const auto modelos = CarregarChamadas();
        const int indice = LerInteiroJson(ADados, "indice", -1);
        if (indice < 0 || indice >= static_cast<int>(modelos.size())) {
            throw TErroComando("Escolha uma chamada.");
        }
        TCamposChamada campos;
        campos.Caixa = LerCaixa(ADados);
        campos.Nome = LerTexto(ADados, "nome");
        campos.Setor = LerTexto(ADados, "setor");
        campos.Placa = LerTexto(ADados, "placa");
        campos.Item = LerTexto(ADados, "item");
        const bool repetir = LerBooleano(ADados, "repetir", false);
        const TChamadaMontada chamada = MontarChamada(modelos[static_cast<std::size_t>(indice)],
                                                      campos,
                                                      FConfig->NomeEmpresa,
                                                      FConfig->GeneroEmpresa);
        if (!chamada.Faltando.empty()) {
            throw TErroComando("Preencha: " + chamada.Faltando + ".");
        }
        // Both or neither: half of a repeated call is not what was asked for.
        if (!FLocutor->Cabe(repetir ? 2 : 1)) {
            throw TErroComando(kErroFilaCheia);
        }
        FLocutor->Anunciar(chamada.Texto, TTipoFala::tfChamada);
        if (repetir) {
            FLocutor->Anunciar(chamada.Texto, TTipoFala::tfChamada);
        }
        mensagem = "Chamada enviada ao locutor.";
    } else if (acao == "calar") {
        // Staff stopping a wrong text: what is said now and what waits.
        FLocutor->Cancelar();
    } else {
        throw TErroComando("Comando desconhecido.");
    }
    return MontarEstado(false, mensagem);
}

std::string TPrograma::MontarEstado(bool ACompleto, const std::string& AMensagem) {
    TJson e = TJson::object();
    std::string situacao = "parado";
    if (EstaPausado()) {
        situacao = "pausado";
    } else if (FEmReproducao && (FPlayer->Estado() == TEstadoPlayer::epTocando || FNoticiasNoAr)) {
        situacao = "tocando";
    }
    std::string tipo = "musica";
    if (FNoticiasNoAr) {
        tipo = "noticias";
    } else if (FTocandoVinheta) {
        tipo = "vinheta";
    } else if (FTocandoPropaganda) {
        tipo = "propaganda";
    }
    const bool parado = situacao == "parado";
    e["situacao"] = situacao;
    e["tipo"] = tipo;
    e["faixa"] = parado ? std::string() : FTitulo;
    e["posicao"] = FPosicao;
    e["duracao"] = FDuracao;
    e["volume"] = FVolumeGeral;
    e["locutor"] = FLocutor->TextoAtual();
    e["aseguir"] = FTextosStatus[3];
    e["info"] = parado ? std::string() : FInfo;
    e["silencios"] = FSilencios;
    if (!AMensagem.empty()) {
        e["mensagem"] = AMensagem;
    }
    if (FSalvamento->Falhou()) {
        e["aviso"] = "As configurações não puderam ser salvas (" + FSalvamento->Erro() +
                     "). O programa tenta de novo a cada minuto.";
    }
    if (ACompleto) {
        e["chamadas"] = CarregarChamadas();
    }
    // Names read from disk may hold bytes that are not UTF-8: replaced, not fatal.
    return e.dump(-1, ' ', false, TJson::error_handler_t::replace);
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
            FTextosStatus[3] = FErroCelular;
            FVisao.MostrarStatus(FTextosStatus);
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

void TPrograma::AplicarConfiguracoesSalvas() {
    // The dialog wrote the whole file: whatever failed before is saved now.
    FSalvamento->TentarSePendente();
    GravarLogFmt("CONFIG",
                 "configuracoes salvas | propagandas a cada %d | noticias: %s a cada %d | "
                 "transicao %d s",
                 FConfig->MusicasEntrePropagandas,
                 FConfig->NoticiasAtivas ? "ligadas" : "desligadas",
                 FConfig->NoticiasCadaMusicas,
                 FConfig->TransicaoSegundos);
    AplicarConfiguracoes();
    FMinutosSemMensagem = 0;
    FIndiceMensagem = -1;
    RecarregarListas();
    FAgendaClima->Esvaziar();
    FAgendaClima->AtualizarClima();
    FControle->Parar();
    AtualizarControleRemoto();
    FAgendaNoticias->Esvaziar();
    FAgendaNoticias->AtualizarNoticias();
}

std::string TPrograma::MusicaAtualParaConfig() {
    if (FPlayer == nullptr || FTocandoPropaganda || FTocandoVinheta || FNoticiasNoAr ||
        FIndiceMusica < 0 || FIndiceMusica >= static_cast<int>(FMusicas.size())) {
        return {};
    }
    const TEstadoPlayer estado = FPlayer->Estado();
    if (estado != TEstadoPlayer::epTocando && estado != TEstadoPlayer::epPausado) {
        return {};
    }
    return NomeExibicao(FMusicas[static_cast<std::size_t>(FIndiceMusica)]);
}

std::string TPrograma::TextoCelular() const {
    if (!FControle || !FControle->Ativo()) {
        return {};
    }
    return EnderecoCelular(FControle->Porta());
}

}  // namespace ljsn
