#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <stdlib.h>

#include "apoio/uServidorFixtures.h"
#include "comum/uRelogio.h"
#include "falas/uClima.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

// Forecast times are UTC; the shop's clock here is three hours behind.
class Clima : public testing::Test {
  protected:
    void SetUp() override {
        ::setenv("TZ", "<-03>3", 1);
        ::tzset();
    }
    void TearDown() override {
        ::unsetenv("LJSN_CLIMA_URL");
        ::unsetenv("LJSN_CIDADES_URL");
        ::unsetenv("TZ");
        ::tzset();
    }
    static double Local(int AAno, int AMes, int ADia, int AHora, int AMinuto) {
        return CodificarData(AAno, AMes, ADia) + CodificarHora(AHora, AMinuto);
    }
    static TClima Valido(double ATemperatura, const char* ACondicao, double AMaxima, bool AChuva) {
        TClima c;
        c.Valido = true;
        c.Temperatura = ATemperatura;
        c.Condicao = ACondicao;
        c.Maxima = AMaxima;
        c.Chuva = AChuva;
        return c;
    }
};

// A forecast document with one entry per (UTC time, temperature JSON text).
std::string Previsao(const std::vector<std::pair<std::string, std::string>>& AEntradas,
                     const std::string& ASimbolo = "fair_day",
                     const std::string& AChuva = "0.0") {
    std::string serie;
    for (const auto& [hora, temperatura] : AEntradas) {
        if (!serie.empty()) {
            serie += ",";
        }
        serie += R"({"time":")" + hora + R"(","data":{"instant":{"details":{"air_temperature":)" +
                 temperatura + R"(}},"next_1_hours":{"summary":{"symbol_code":")" + ASimbolo +
                 R"("}},"next_6_hours":{"details":{"precipitation_amount":)" + AChuva + "}}}}";
    }
    return R"({"type":"Feature","properties":{"timeseries":[)" + serie + "]}}";
}

}  // namespace

TEST_F(Clima, CondicaoDoCeu) {
    struct TCaso {
        const char* Codigo;
        const char* Palavras;
    };
    const TCaso casos[] = {
        {"lightrainshowersandthunder_night", "chuva com trovoadas"},
        {"heavyrainshowers_day", "chuva forte"},
        {"lightrain", "chuva fraca"},
        {"rainshowers_day", "chuva"},
        {"lightsnow", "neve"},
        {"lightsleetshowers_day", "neve"},
        {"clearsky_night", "céu limpo"},
        {"fair_night", "poucas nuvens"},
        {"partlycloudy_day", "céu parcialmente nublado"},
        {"CLOUDY", "céu nublado"},
        {"fog", "neblina"},
        {"cloudy_extra", "céu nublado"},
        {"cloudyish", ""},
        {"", ""},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(CondicaoTempo(c.Codigo), c.Palavras) << c.Codigo;
    }
}

TEST_F(Clima, GrausFalados) {
    struct TCaso {
        double Graus;
        const char* Texto;
    };
    const TCaso casos[] = {{0.4, "0 graus"},
                           {-0.6, "menos 1 grau"},
                           {-12.2, "menos 12 graus"},
                           {1.49, "1 grau"},
                           {22.5, "22 graus"},
                           {23.5, "24 graus"},
                           {-0.4, "0 graus"},
                           {1e300, "1000000 graus"}};
    for (const auto& c : casos) {
        EXPECT_EQ(TextoGraus(c.Graus), c.Texto) << c.Graus;
    }
}

TEST_F(Clima, FraseDoTempo) {
    const TClima manha = Valido(23.4, "céu parcialmente nublado", 28.6, true);
    EXPECT_EQ(FraseClima(manha, "Campinas, São Paulo", true),
              "Agora faz 23 graus em Campinas, com céu parcialmente nublado. A máxima hoje é de "
              "29 graus. Há previsão de chuva nas próximas horas.");
    EXPECT_EQ(FraseClima(manha, "Campinas, São Paulo", false),
              "Agora faz 23 graus em Campinas, com céu parcialmente nublado.");
    EXPECT_EQ(FraseClima(Valido(18, "chuva fraca", 20, true), "Curitiba", true),
              "Agora faz 18 graus em Curitiba, com chuva fraca. A máxima hoje é de 20 graus.");
    EXPECT_EQ(FraseClima(Valido(23, "céu limpo", -999, false), "  ", false),
              "Agora faz 23 graus, com céu limpo.");
    EXPECT_EQ(FraseClima(Valido(1, "", -999, true), " Ouro Preto ,MG", true),
              "Agora faz 1 grau em Ouro Preto. Há previsão de chuva nas próximas horas.");
    EXPECT_EQ(FraseClima(TClima(), "Campinas", true), "");
}

TEST_F(Clima, Numeros) {
    EXPECT_EQ(LerNumero("-22.9056391"), -22.9056391);
    EXPECT_EQ(LerNumero(" 47 "), 47);
    EXPECT_EQ(LerNumero("1,5"), 0);
    EXPECT_EQ(LerNumero("nan"), 0);
    EXPECT_EQ(LerNumero(""), 0);
}

// Real documents of the forecast service, read as of a local moment.
TEST_F(Clima, PrevisoesReais) {
    const TClima innsbruck =
        LerClima(LerFixture("metno/compact_innsbruck_2024-05-16.json"), Local(2024, 5, 16, 10, 30));
    EXPECT_TRUE(innsbruck.Valido);
    EXPECT_DOUBLE_EQ(innsbruck.Temperatura, 20.2);
    EXPECT_EQ(innsbruck.Condicao, "céu nublado");
    EXPECT_FALSE(innsbruck.Chuva);
    EXPECT_DOUBLE_EQ(innsbruck.Maxima, 20.2);
    EXPECT_DOUBLE_EQ(innsbruck.Consultado, Local(2024, 5, 16, 10, 30));

    // Late evening: today's entries are only the last hours.
    const TClima noruega = LerClima(LerFixture("metno/compact_lat60_lon11_2024-02-04.json"),
                                    Local(2024, 2, 3, 22, 30));
    EXPECT_TRUE(noruega.Valido);
    EXPECT_DOUBLE_EQ(noruega.Temperatura, 0.7);
    EXPECT_EQ(noruega.Condicao, "céu limpo");
    EXPECT_DOUBLE_EQ(noruega.Maxima, 0.7);
    EXPECT_EQ(FraseClima(noruega, "Valestrand", false),
              "Agora faz 1 grau em Valestrand, com céu limpo.");

    // The cache format of a client library is not the service's answer.
    const std::string embrulhado =
        LerFixture("metno/wrapped_lat40.7lon-74.0altitude10_compact.json");
    EXPECT_FALSE(LerClima(embrulhado, Local(2020, 7, 19, 23, 0)).Valido);
    const auto dados = nlohmann::json::parse(embrulhado)["data"].dump();
    const TClima novaYork = LerClima(dados, Local(2020, 7, 19, 23, 0));
    EXPECT_TRUE(novaYork.Valido);
}

// A document whose "now" is two hours past is stale; one hour is normal.
TEST_F(Clima, PrevisaoVelha) {
    const std::string doc = LerFixture("metno/compact_innsbruck_2024-05-16.json");
    EXPECT_TRUE(LerClima(doc, Local(2024, 5, 16, 11, 59)).Valido);
    EXPECT_FALSE(LerClima(doc, Local(2024, 5, 16, 12, 1)).Valido);
}

TEST_F(Clima, DocumentosRuins) {
    const double agora = Local(2026, 12, 9, 9, 30);  // 12:30 UTC
    struct TCaso {
        const char* Nome;
        std::string Json;
        bool Valido;
        double Temperatura;
    };
    const TCaso casos[] = {
        {"paginaHtml", "<html><body>503 Service Unavailable</body></html>", false, 0},
        {"vazio", "", false, 0},
        {"listaVazia", "[]", false, 0},
        {"semTimeseries", R"({"properties":{"meta":{}}})", false, 0},
        {"timeseriesVazia", R"({"properties":{"timeseries":[]}})", false, 0},
        {"timeseriesNaoLista", R"({"properties":{"timeseries":{"a":1}}})", false, 0},
        {"truncado", Previsao({{"2026-12-09T12:00:00Z", "21.5"}}).substr(0, 80), false, 0},
        {"semTemperatura",
         R"({"properties":{"timeseries":[{"time":"2026-12-09T12:00:00Z","data":{"instant":{"details":{}}}}]}})",
         false,
         0},
        {"primeiraSemData",
         R"({"properties":{"timeseries":[{"time":"2026-12-09T12:00:00Z"},)"
         R"({"time":"2026-12-09T13:00:00Z","data":{"instant":{"details":{"air_temperature":20}}}}]}})",
         false,
         0},
        {"temperaturaNula", Previsao({{"2026-12-09T12:00:00Z", "null"}}), false, 0},
        {"temperaturaAbsurda", Previsao({{"2026-12-09T12:00:00Z", "1e300"}}), false, 0},
        {"numeroComoTexto", Previsao({{"2026-12-09T12:00:00Z", "\"21.5\""}}), true, 21.5},
        {"textoQueNaoENumero", Previsao({{"2026-12-09T12:00:00Z", "\"quente\""}}), false, 0},
        {"horaIlegivel", Previsao({{"ontem", "19"}}), true, 19},
        {"normal", Previsao({{"2026-12-09T12:00:00Z", "21.5"}}), true, 21.5},
    };
    for (const auto& c : casos) {
        const TClima r = LerClima(c.Json, agora);
        EXPECT_EQ(r.Valido, c.Valido) << c.Nome;
        if (c.Valido) {
            EXPECT_DOUBLE_EQ(r.Temperatura, c.Temperatura) << c.Nome;
        }
    }
}

// The day's maximum counts only today's local entries; rain is read from
// the next six hours.
TEST_F(Clima, MaximaEChuva) {
    const std::string doc = Previsao({{"2026-12-09T12:00:00Z", "21"},
                                      {"2026-12-09T18:00:00Z", "29.4"},
                                      {"2026-12-10T02:00:00Z", "31"},   // 23:00 local: today
                                      {"2026-12-10T03:00:00Z", "35"}},  // tomorrow
                                     "rain",
                                     "0.5");
    const TClima r = LerClima(doc, Local(2026, 12, 9, 9, 30));
    EXPECT_TRUE(r.Valido);
    EXPECT_DOUBLE_EQ(r.Maxima, 31);
    EXPECT_TRUE(r.Chuva);
    EXPECT_EQ(r.Condicao, "chuva");
    EXPECT_FALSE(LerClima(Previsao({{"2026-12-09T12:00:00Z", "21"}}, "rain", "0.49"),
                          Local(2026, 12, 9, 9, 30))
                     .Chuva);
}

TEST_F(Clima, RespostasDaBuscaDeCidade) {
    struct TCaso {
        const char* Arquivo;
        bool Encontrada;
        const char* Exibicao;
        double Latitude;
    };
    const TCaso casos[] = {
        {"nominatim/campinas.json", true, "Campinas, São Paulo", -22.9056391},
        {"nominatim/sao_jose_dos_campos.json", true, "São José dos Campos, São Paulo", -23.1791},
        {"nominatim/povoado.json", true, "Povoado Boa Vista, Alagoas", -9.5},
        {"nominatim/sp_antigo.json", true, "SP, SP", -23.5506507},
        {"nominatim/vazio.json", false, "", 0},
    };
    for (const auto& c : casos) {
        const TCidade r = LerCidade(LerFixture(c.Arquivo));
        EXPECT_EQ(r.Encontrada, c.Encontrada) << c.Arquivo;
        EXPECT_EQ(r.Exibicao, c.Exibicao) << c.Arquivo;
        EXPECT_DOUBLE_EQ(r.Latitude, c.Latitude) << c.Arquivo;
    }
    EXPECT_FALSE(LerCidade("<html>erro</html>").Encontrada);
    EXPECT_FALSE(LerCidade(R"({"lat":"-22","lon":"-47","name":"X"})").Encontrada);
    EXPECT_FALSE(LerCidade(R"([{"lat":"0","lon":"0","name":"Null Island"}])").Encontrada);
    EXPECT_FALSE(LerCidade(R"([{"lat":"-22","lon":"-47"}])").Encontrada);
    const TCidade numeros = LerCidade(R"([{"lat":-22.5,"lon":-47.25,"name":"Numérica"}])");
    EXPECT_TRUE(numeros.Encontrada);
    EXPECT_DOUBLE_EQ(numeros.Longitude, -47.25);
}

// Both services through a local server: the paths and queries the Part
// fixes, the user agent, and the answers read.
TEST_F(Clima, ServicosLocais) {
    TServidorFixtures servidor;
    std::string busca;
    std::string previsao;
    std::string agente;
    servidor.Servidor().Get("/search", [&](const httplib::Request& AReq, httplib::Response& AResp) {
        busca = AReq.target;
        agente = AReq.get_header_value("User-Agent");
        AResp.set_content(LerFixture("nominatim/sao_jose_dos_campos.json"), "application/json");
    });
    servidor.Servidor().Get(
        "/weatherapi/locationforecast/2.0/compact",
        [&](const httplib::Request& AReq, httplib::Response& AResp) {
            previsao = AReq.target;
            AResp.set_content(Previsao({{"2026-12-09T12:00:00Z", "27.6"}}), "application/json");
        });
    servidor.Iniciar();
    ::setenv("LJSN_CIDADES_URL", servidor.Url("/").c_str(), 1);
    ::setenv("LJSN_CLIMA_URL", servidor.Url("").c_str(), 1);

    const TCidade cidade = BuscarCidade("  São José dos Campos ");
    EXPECT_EQ(busca,
              "/search?q=S%C3%A3o%20Jos%C3%A9%20dos%20Campos&format=json&limit=1&countrycodes=br&"
              "accept-language=pt-BR&addressdetails=1");
    EXPECT_EQ(agente, "LojaSonorante (+https://lojasonorante.com.br)");
    ASSERT_TRUE(cidade.Encontrada);
    const TClima clima = ObterClima(cidade.Latitude, cidade.Longitude, Local(2026, 12, 9, 9, 30));
    EXPECT_EQ(previsao, "/weatherapi/locationforecast/2.0/compact?lat=-23.1791&lon=-45.8872");
    EXPECT_TRUE(clima.Valido);
    EXPECT_EQ(FraseClima(clima, cidade.Exibicao, false),
              "Agora faz 28 graus em São José dos Campos, com poucas nuvens.");
    EXPECT_EQ(UrlPrevisao(-23.55055555, 0.1),
              servidor.Url("") +
                  "/weatherapi/locationforecast/2.0/"
                  "compact?lat=-23.5506&lon=0.1");

    ::setenv("LJSN_CLIMA_URL", "http://127.0.0.1:1", 1);
    EXPECT_FALSE(ObterClima(-23, -45, Local(2026, 12, 9, 9, 30)).Valido);
}
