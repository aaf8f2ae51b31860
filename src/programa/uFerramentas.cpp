// Command-line tools that answer without starting the programme.
#include "programa/uFerramentas.h"

#include "ambiente/uConfiguracoes.h"
#include "comum/uRelogio.h"
#include "comum/uTexto.h"
#include "falas/uClima.h"

namespace ljsn {

int FerramentaBuscarCidade(const std::string& ATexto, bool ASalvar, std::FILE* ASaida) {
    if (Aparar(ATexto).empty()) {
        std::fprintf(ASaida, "Digite o nome da cidade.\n");
        return 1;
    }
    const TCidade cidade = BuscarCidade(ATexto);
    if (!cidade.Encontrada) {
        std::fprintf(ASaida,
                     "Cidade não encontrada (ou sem internet). Confira o nome e tente de novo.\n");
        return 1;
    }
    TRelogioSistema relogio;
    const double agora = relogio.Agora();
    const TClima clima = ObterClima(cidade.Latitude, cidade.Longitude, agora);
    const std::string frase =
        FraseClima(clima, cidade.Exibicao, DecodificarDataHora(agora).Hora < 12);
    std::fprintf(ASaida,
                 "Cidade: %s\nEstado: %s\nLatitude: %s\nLongitude: %s\n%s\n",
                 cidade.Nome.c_str(),
                 cidade.Estado.c_str(),
                 FormatarDecimal(cidade.Latitude, 0, 7).c_str(),
                 FormatarDecimal(cidade.Longitude, 0, 7).c_str(),
                 frase.empty() ? "(Previsão indisponível agora.)" : frase.c_str());
    if (!ASalvar) {
        return 0;
    }
    TConfiguracoes config;
    config.Carregar();
    config.ClimaCidade = cidade.Exibicao;
    config.ClimaLat = cidade.Latitude;
    config.ClimaLon = cidade.Longitude;
    config.ClimaAtivo = true;
    try {
        config.Salvar();
    } catch (const std::exception& e) {
        std::fprintf(ASaida, "Não foi possível salvar o config.ini: %s\n", e.what());
        return 2;
    }
    std::fprintf(ASaida,
                 "Salvo em %s: o tempo de %s vem junto com a hora certa.\n",
                 TConfiguracoes::CaminhoConfig().c_str(),
                 cidade.Exibicao.c_str());
    return 0;
}

}  // namespace ljsn
