// The command handler the phone and the quick controls share, and the state
// report: a thin adapter between their JSON and the control surface.
#include "programa/uComandosJson.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "ambiente/uLog.h"
#include "comum/uTexto.h"
#include "falas/uChamadas.h"

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

std::string ExecutarComando(IControle& AControle, const std::string& AAcao, const TJson& ADados) {
    if (AAcao == "estado") {
        return MontarEstado(AControle, LerBooleano(ADados, "completo", false), std::string());
    }
    if (AAcao != "comando") {
        return {};
    }
    const std::string acao = LerTexto(ADados, "acao");
    GravarLog("COMANDO", "celular/controles rapidos: " + acao);
    std::string mensagem;
    if (acao == "tocar") {
        AControle.Retomar();
    } else if (acao == "pausar") {
        if (AControle.Estado().Situacao == "tocando") {
            AControle.Pausar();
        }
    } else if (acao == "proxima") {
        if (AControle.Musicas().empty()) {
            throw TErroComando("Nenhuma música configurada no programa.");
        }
        AControle.Proxima();
    } else if (acao == "parar") {
        AControle.Parar();
    } else if (acao == "volume") {
        AControle.DefinirVolume(LerInteiroJson(ADados, "valor", AControle.Volume()));
    } else if (acao == "horacerta") {
        AControle.HoraCerta();
    } else if (acao == "falar") {
        const std::string texto = Aparar(PrimeirosCaracteres(LerTexto(ADados, "texto"), 500));
        if (texto.empty()) {
            throw TErroComando("Digite o que o locutor vai falar.");
        }
        AControle.FalarAgora(texto);
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
        const TConfiguracoes& config = AControle.Config();
        const TChamadaMontada chamada = MontarChamada(modelos[static_cast<std::size_t>(indice)],
                                                      campos,
                                                      config.NomeEmpresa,
                                                      config.GeneroEmpresa);
        if (!chamada.Faltando.empty()) {
            throw TErroComando("Preencha: " + chamada.Faltando + ".");
        }
        AControle.Chamar(chamada.Texto, repetir);
        mensagem = "Chamada enviada ao locutor.";
    } else if (acao == "calar") {
        AControle.CalarLocutor();
    } else {
        throw TErroComando("Comando desconhecido.");
    }
    return MontarEstado(AControle, false, mensagem);
}

std::string MontarEstado(const IControle& AControle, bool ACompleto, const std::string& AMensagem) {
    const TEstadoControle estado = AControle.Estado();
    TJson e = TJson::object();
    e["situacao"] = estado.Situacao;
    e["tipo"] = estado.Tipo;
    const bool parado = estado.Situacao == "parado";
    e["faixa"] = parado ? std::string() : estado.Faixa;
    e["posicao"] = estado.Posicao;
    e["duracao"] = estado.Duracao;
    e["volume"] = estado.Volume;
    e["locutor"] = estado.Locutor;
    e["aseguir"] = estado.ASeguir;
    e["info"] = parado ? std::string() : estado.Info;
    e["silencios"] = estado.Silencios;
    if (!AMensagem.empty()) {
        e["mensagem"] = AMensagem;
    }
    if (!estado.Aviso.empty()) {
        e["aviso"] = estado.Aviso;
    }
    if (ACompleto) {
        e["chamadas"] = CarregarChamadas();
    }
    // Names read from disk may hold bytes that are not UTF-8: replaced, not fatal.
    return e.dump(-1, ' ', false, TJson::error_handler_t::replace);
}

}  // namespace ljsn
