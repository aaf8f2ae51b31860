// The running copy's answers to a second copy, shared by both faces.
#include "programa/uPedidosInstancia.h"

#include <cmath>

#include "ambiente/uInstancia.h"
#include "ambiente/uLog.h"
#include "comum/uTexto.h"
#include "controle/uControleRemoto.h"
#include "programa/uComandosJson.h"

namespace ljsn {

namespace {

// The place in a "CIDADE" request applied through the settings path, so it
// is validated, saved once and kept at exit.
std::string AplicarCidade(IControle& AControle, const std::string& AJson) {
    const TJson dados = TJson::parse(AJson, nullptr, false);
    if (!dados.is_object() || !dados.contains("cidade") || !dados["cidade"].is_string() ||
        !dados.contains("lat") || !dados["lat"].is_number() || !dados.contains("lon") ||
        !dados["lon"].is_number()) {
        return "ERRO pedido de cidade invalido";
    }
    const std::string cidade = LimparParaLog(dados["cidade"].get<std::string>());
    const double lat = dados["lat"].get<double>();
    const double lon = dados["lon"].get<double>();
    if (cidade.empty() || !std::isfinite(lat) || !std::isfinite(lon) || std::abs(lat) > 90 ||
        std::abs(lon) > 180) {
        return "ERRO pedido de cidade invalido";
    }
    TConfiguracoes novo = AControle.Config();
    novo.ClimaCidade = cidade;
    novo.ClimaLat = lat;
    novo.ClimaLon = lon;
    novo.ClimaAtivo = true;
    try {
        AControle.Aplicar(novo);
    } catch (const TErroComando& e) {
        return std::string("ERRO ") + e.what();
    }
    GravarLog("CONFIG", "cidade do tempo recebida da linha de comando: " + cidade);
    return "OK";
}

}  // namespace

std::string AtenderPedidoInstancia(TFilaPrincipal& AFila,
                                   IControle& AControle,
                                   const std::string& APedido,
                                   const TFaceInstancia& AFace) {
    if (APedido == "MOSTRAR") {
        if (AFace.Mostrar) {
            AFila.Postar(AFace.Mostrar);
        }
        return "OK";
    }
    if (ComecaCom(APedido, "ACAO ")) {
        const int acao = LerInteiroOu(APedido.substr(5), 0);
        if (AFace.Acao) {
            AFila.Postar([acao, f = AFace.Acao] { f(acao); });
        } else {
            AFila.Postar([&AControle, acao] { AControle.ExecutarAcao(acao); });
        }
        return "OK";
    }
    if (APedido == "ESTADO") {
        const auto estado = PedirNaFila(
            AFila, [&AControle] { return MontarEstado(AControle, true, std::string()); }, 3000);
        return estado ? "OK " + *estado : std::string(kRespostaOcupado);
    }
    if (ComecaCom(APedido, "CIDADE ")) {
        const auto resposta = PedirNaFila(
            AFila,
            [&AControle, json = APedido.substr(7)] { return AplicarCidade(AControle, json); },
            3000);
        return resposta ? *resposta : std::string(kRespostaOcupado);
    }
    return "ERRO pedido desconhecido";
}

std::string PedidoCidade(const std::string& AExibicao, double ALatitude, double ALongitude) {
    TJson j = TJson::object();
    j["cidade"] = AExibicao;
    j["lat"] = ALatitude;
    j["lon"] = ALongitude;
    return "CIDADE " + j.dump(-1, ' ', false, TJson::error_handler_t::replace);
}

}  // namespace ljsn
