// Weather: the place search, the forecast reduced to one record, and the
// sentence the announcer says after the time.
#include "falas/uClima.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <optional>

#include <nlohmann/json.hpp>

#include "ambiente/uRede.h"
#include "comum/uFormato.h"
#include "comum/uRelogio.h"
#include "comum/uTexto.h"

namespace ljsn {

namespace {

using TJsonClima = nlohmann::json;

constexpr std::string_view kBaseClima = "https://api.met.no";
constexpr std::string_view kBaseCidades = "https://nominatim.openstreetmap.org";

// A temperature beyond this is a broken document, not weather.
constexpr double kGrausPlausiveis = 150.0;

std::string Ambiente(const char* ANome, std::string_view APadrao) {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): nothing here sets the environment
    const char* valor = std::getenv(ANome);
    std::string r =
        (valor != nullptr && *valor != '\0') ? std::string(valor) : std::string(APadrao);
    while (!r.empty() && r.back() == '/') {
        r.pop_back();
    }
    return r;
}

// The value at a dotted path, or null when a step is missing, not an object,
// or null.
const TJsonClima* Caminho(const TJsonClima& AJson, std::string_view ACaminho) {
    const TJsonClima* atual = &AJson;
    for (const auto& parte : Dividir(ACaminho, ".")) {
        if (!atual->is_object()) {
            return nullptr;
        }
        const auto it = atual->find(parte);
        if (it == atual->end() || it->is_null()) {
            return nullptr;
        }
        atual = &*it;
    }
    return atual;
}

std::string TextoEm(const TJsonClima& AJson, std::string_view ACaminho) {
    const TJsonClima* v = Caminho(AJson, ACaminho);
    if (v == nullptr) {
        return {};
    }
    if (v->is_string()) {
        return v->get<std::string>();
    }
    if (v->is_number()) {
        return v->dump();
    }
    return {};
}

// A number, or a text holding only a number (some proxies and old services
// quote them); ADefault otherwise.
double NumeroEm(const TJsonClima& AJson, std::string_view ACaminho, double APadrao) {
    const TJsonClima* v = Caminho(AJson, ACaminho);
    if (v == nullptr) {
        return APadrao;
    }
    if (v->is_number()) {
        const double d = v->get<double>();
        return std::isfinite(d) ? d : APadrao;
    }
    if (v->is_string()) {
        return LerDecimal(Aparar(v->get<std::string>())).value_or(APadrao);
    }
    return APadrao;
}

double Temperatura(const TJsonClima& AJson, std::string_view ACaminho) {
    const double t = NumeroEm(AJson, ACaminho, -999);
    return std::abs(t) > kGrausPlausiveis && t != -999 ? -999 : t;
}

// "2024-05-16T13:00:00Z" (UTC, or with an offset) as local date-time.
std::optional<double> LerHoraIso(std::string_view ATexto) {
    const auto campo = [&](std::size_t AInicio, std::size_t ATamanho) -> std::optional<int> {
        if (AInicio + ATamanho > ATexto.size()) {
            return std::nullopt;
        }
        const auto v = LerInteiro(ATexto.substr(AInicio, ATamanho));
        if (!v || ATexto[AInicio] == '-' || ATexto[AInicio] == '+') {
            return std::nullopt;
        }
        return *v;
    };
    const auto ano = campo(0, 4);
    const auto mes = campo(5, 2);
    const auto dia = campo(8, 2);
    const auto hora = campo(11, 2);
    const auto minuto = campo(14, 2);
    if (!ano || !mes || !dia || !hora || !minuto || ATexto[4] != '-' || ATexto[7] != '-' ||
        (ATexto[10] != 'T' && ATexto[10] != ' ') || !DataValida(*ano, *mes, *dia) || *hora > 23 ||
        *minuto > 59) {
        return std::nullopt;
    }
    int segundo = 0;
    std::size_t p = 16;
    if (p < ATexto.size() && ATexto[p] == ':') {
        const auto s = campo(17, 2);
        if (!s || *s > 59) {
            return std::nullopt;
        }
        segundo = *s;
        p = 19;
    }
    while (p < ATexto.size() && (ATexto[p] == '.' || (ATexto[p] >= '0' && ATexto[p] <= '9'))) {
        ++p;  // fractions of a second
    }
    int leste = 0;  // minutes east of UTC
    if (p < ATexto.size() && (ATexto[p] == '+' || ATexto[p] == '-')) {
        const auto h = campo(p + 1, 2);
        const auto m = campo(p + 4, 2);
        if (!h || !m) {
            return std::nullopt;
        }
        leste = (*h * 60 + *m) * (ATexto[p] == '-' ? -1 : 1);
    }
    std::tm utc{};
    utc.tm_year = *ano - 1900;
    utc.tm_mon = *mes - 1;
    utc.tm_mday = *dia;
    utc.tm_hour = *hora;
    utc.tm_min = *minuto;
    utc.tm_sec = segundo;
    const std::time_t t = ::timegm(&utc) - static_cast<std::time_t>(leste) * 60;
    return DataHoraDeTempoSistema(t);
}

}  // namespace

std::string BaseClima() {
    return Ambiente("LJSN_CLIMA_URL", kBaseClima);
}

std::string BaseCidades() {
    return Ambiente("LJSN_CIDADES_URL", kBaseCidades);
}

std::string UrlPrevisao(double ALatitude, double ALongitude) {
    return BaseClima() + FormatarOuFormato("/weatherapi/locationforecast/2.0/compact?lat=%s&lon=%s",
                                           FormatarDecimal(ALatitude, 0, 4),
                                           FormatarDecimal(ALongitude, 0, 4));
}

std::string UrlBuscaCidade(std::string_view ATexto) {
    return BaseCidades() + "/search?q=" + CodificarURL(Aparar(ATexto)) +
           "&format=json&limit=1&countrycodes=br&accept-language=pt-BR&addressdetails=1";
}

TCidade LerCidade(std::string_view AJson) {
    TCidade c;
    const TJsonClima doc = TJsonClima::parse(AJson, nullptr, false);
    if (doc.is_discarded() || !doc.is_array() || doc.empty() || !doc[0].is_object()) {
        return c;
    }
    const TJsonClima& primeiro = doc[0];
    c.Latitude = LerNumero(TextoEm(primeiro, "lat"));
    c.Longitude = LerNumero(TextoEm(primeiro, "lon"));
    c.Nome = TextoEm(primeiro, "name");
    if (const TJsonClima* endereco = Caminho(primeiro, "address");
        endereco != nullptr && endereco->is_object()) {
        for (const char* chave : {"city", "town", "municipality", "village"}) {
            const std::string nome = TextoEm(*endereco, chave);
            if (!nome.empty()) {
                c.Nome = nome;
                break;
            }
        }
        c.Estado = TextoEm(*endereco, "state");
    }
    c.Exibicao = c.Estado.empty() ? c.Nome : c.Nome + ", " + c.Estado;
    c.Encontrada = !c.Exibicao.empty() && (c.Latitude != 0 || c.Longitude != 0);
    return c;
}

TCidade BuscarCidade(std::string_view ATexto, std::stop_token AParar) {
    TOpcoesBaixar opcoes;
    opcoes.Parar = std::move(AParar);
    return LerCidade(BaixarTexto(UrlBuscaCidade(ATexto), kAgenteUsuario, opcoes));
}

TClima LerClima(std::string_view AJson, double AAgora) {
    TClima r;
    const TJsonClima doc = TJsonClima::parse(AJson, nullptr, false);
    if (doc.is_discarded()) {
        return r;
    }
    const TJsonClima* serie = Caminho(doc, "properties.timeseries");
    if (serie == nullptr || !serie->is_array() || serie->empty()) {
        return r;
    }
    const double hoje = SoData(AAgora);
    bool primeiro = true;
    for (const TJsonClima& entrada : *serie) {
        const bool eraPrimeiro = primeiro;
        primeiro = false;
        if (!entrada.is_object()) {
            continue;
        }
        const std::optional<double> hora = LerHoraIso(TextoEm(entrada, "time"));
        const TJsonClima* dados = Caminho(entrada, "data");
        if (dados == nullptr || !dados->is_object()) {
            continue;
        }
        const double t = Temperatura(*dados, "instant.details.air_temperature");
        if (eraPrimeiro) {
            if (hora && *hora < AAgora - kIdadeMaximaPrevisaoDias) {
                // A document hours old (a stale cache): its "now" is not now.
                return TClima();
            }
            r.Temperatura = t;
            std::string codigo = TextoEm(*dados, "next_1_hours.summary.symbol_code");
            if (codigo.empty()) {
                codigo = TextoEm(*dados, "next_6_hours.summary.symbol_code");
            }
            r.Condicao = CondicaoTempo(codigo);
            r.Chuva = NumeroEm(*dados, "next_6_hours.details.precipitation_amount", 0) >= 0.5;
            r.Valido = t > -999;
        }
        if (hora && SoData(*hora) == hoje && t > -999) {
            r.Maxima = std::max(r.Maxima, t);
        }
    }
    if (!r.Valido) {
        return TClima();
    }
    r.Consultado = AAgora;
    return r;
}

TClima ObterClima(double ALatitude, double ALongitude, double AAgora, std::stop_token AParar) {
    TOpcoesBaixar opcoes;
    opcoes.Parar = std::move(AParar);
    return LerClima(BaixarTexto(UrlPrevisao(ALatitude, ALongitude), kAgenteUsuario, opcoes),
                    AAgora);
}

std::string CondicaoTempo(std::string_view ACodigo) {
    const std::string c = MinusculasAZ(ACodigo.substr(0, ACodigo.find('_')));
    if (c.find("thunder") != std::string::npos) {
        return "chuva com trovoadas";
    }
    if (ComecaCom(c, "heavyrain")) {
        return "chuva forte";
    }
    if (ComecaCom(c, "lightrain")) {
        return "chuva fraca";
    }
    if (ComecaCom(c, "rain")) {
        return "chuva";
    }
    if (c.find("sleet") != std::string::npos || c.find("snow") != std::string::npos) {
        return "neve";
    }
    if (c == "clearsky") {
        return "céu limpo";
    }
    if (c == "fair") {
        return "poucas nuvens";
    }
    if (c == "partlycloudy") {
        return "céu parcialmente nublado";
    }
    if (c == "cloudy") {
        return "céu nublado";
    }
    if (c == "fog") {
        return "neblina";
    }
    return {};
}

std::string TextoGraus(double AGraus) {
    const std::int64_t n = ArredondarPar(std::clamp(AGraus, -1e6, 1e6));
    if (n == 1) {
        return "1 grau";
    }
    if (n == -1) {
        return "menos 1 grau";
    }
    if (n < 0) {
        return FormatarOuFormato("menos %d graus", -n);
    }
    return FormatarOuFormato("%d graus", n);
}

std::string FraseClima(const TClima& AClima, std::string_view ACidade, bool AManha) {
    if (!AClima.Valido) {
        return {};
    }
    std::string nome = Aparar(ACidade);
    if (const std::size_t virgula = nome.find(','); virgula != std::string::npos) {
        nome = Aparar(nome.substr(0, virgula));
    }
    std::string t = "Agora faz " + TextoGraus(AClima.Temperatura);
    if (!nome.empty()) {
        t += " em " + nome;
    }
    if (!AClima.Condicao.empty()) {
        t += ", com " + AClima.Condicao;
    }
    t += ".";
    if (AManha) {
        if (AClima.Maxima > -999) {
            t += " A máxima hoje é de " + TextoGraus(AClima.Maxima) + ".";
        }
        if (AClima.Chuva && MinusculasUtf8(AClima.Condicao).find("chuva") == std::string::npos) {
            t += " Há previsão de chuva nas próximas horas.";
        }
    }
    return t;
}

double LerNumero(std::string_view ATexto) {
    return LerDecimal(Aparar(ATexto)).value_or(0);
}

}  // namespace ljsn
