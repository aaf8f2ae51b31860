#pragma once

#include <stop_token>
#include <string>
#include <string_view>

namespace ljsn {

// One forecast query reduced to what the announcer says.
struct TClima {
    bool Valido = false;  // the query gave a current temperature
    double Temperatura = 0;
    std::string Condicao;  // Portuguese words for the sky; possibly empty
    double Maxima = -999;  // highest of today's entries; -999 when none
    double Minima = 999;
    bool Chuva = false;     // at least 0.5 mm expected in the next 6 hours
    double Consultado = 0;  // local date-time when the query finished
};

// The answer of the place search.
struct TCidade {
    bool Encontrada = false;
    double Latitude = 0;
    double Longitude = 0;
    std::string Nome;
    std::string Estado;
    std::string Exibicao;  // "Campinas, São Paulo"
};

// A forecast whose first entry is older than this is stale, not "now".
inline constexpr double kIdadeMaximaPrevisaoDias = 2.0 / 24.0;

// The base addresses of the two services; LJSN_CLIMA_URL and LJSN_CIDADES_URL
// replace them (tests, a shop behind a proxy).
std::string BaseClima();
std::string BaseCidades();
std::string UrlPrevisao(double ALatitude, double ALongitude);
std::string UrlBuscaCidade(std::string_view ATexto);

// Looks a Brazilian place up. Blocks on the network; any thread.
TCidade BuscarCidade(std::string_view ATexto, std::stop_token AParar = {});
// The place-search answer read; not found for anything unexpected.
TCidade LerCidade(std::string_view AJson);

// The forecast at a point, as of AAgora (local date-time). Blocks on the
// network; any thread.
TClima ObterClima(double ALatitude, double ALongitude, double AAgora, std::stop_token AParar = {});
// The forecast document read; not valid for anything unexpected.
TClima LerClima(std::string_view AJson, double AAgora);

std::string CondicaoTempo(std::string_view ACodigo);
// "23 graus", "1 grau", "menos 1 grau": rounded half to even.
std::string TextoGraus(double AGraus);
// The weather sentence, or empty when the result is not valid.
std::string FraseClima(const TClima& AClima, std::string_view ACidade, bool AManha);
// A number written with "." as decimal separator; 0 when it is not one.
double LerNumero(std::string_view ATexto);

}  // namespace ljsn
