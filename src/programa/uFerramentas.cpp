// Command-line tools that answer without starting the programme.
#include "programa/uFerramentas.h"

#include <filesystem>

#include "ambiente/uConfiguracoes.h"
#include "ambiente/uInstancia.h"
#include "ambiente/uLog.h"
#include "audio/uTags.h"
#include "comum/uQRCode.h"
#include "comum/uRelogio.h"
#include "comum/uTexto.h"
#include "falas/uClima.h"
#include "programa/uPedidosInstancia.h"

namespace ljsn {

int FerramentaBuscarCidade(const std::string& ATexto,
                           bool ASalvar,
                           std::FILE* ASaida,
                           const std::string& APastaInstancia,
                           const std::string& ANomeInstancia) {
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
    if (!APastaInstancia.empty()) {
        const TConversaInstancia conversa =
            ConversarComInstancia(APastaInstancia,
                                  ANomeInstancia,
                                  PedidoCidade(cidade.Exibicao, cidade.Latitude, cidade.Longitude),
                                  5000);
        if (conversa.Situacao != TSituacaoInstancia::siNenhuma) {
            std::string mensagem;
            const int codigo = DesfechoDaConversa(conversa, mensagem);
            if (codigo == 0) {
                std::fprintf(ASaida,
                             "Enviado ao programa aberto, que salvou: o tempo de %s vem junto com "
                             "a hora certa.\n",
                             cidade.Exibicao.c_str());
                return 0;
            }
            std::fprintf(ASaida, "Não foi possível salvar: %s\n", mensagem.c_str());
            return codigo == 4 ? 4 : 2;
        }
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

int FerramentaTags(const std::vector<std::string>& AArquivos, std::FILE* ASaida) {
    int codigo = 0;
    for (const auto& arquivo : AArquivos) {
        // Tags and names are anyone's bytes: escape sequences in them would
        // drive the terminal.
        const auto limpo = [](const std::string& ATexto) { return LimparParaLog(ATexto); };
        std::error_code erro;
        if (!std::filesystem::exists(arquivo, erro)) {
            std::fprintf(
                ASaida, "Arquivo: %s\nErro: arquivo nao encontrado\n\n", limpo(arquivo).c_str());
            codigo = 1;
            continue;
        }
        const TTagsAudio t = LerTags(arquivo);
        const std::string nome = std::filesystem::path(arquivo).stem().string();
        std::fprintf(ASaida,
                     "Arquivo: %s\nTitulo: %s\nArtista: %s\nAlbum: %s\nAno: %s\nGenero: %s\n"
                     "Info: %s\n",
                     limpo(arquivo).c_str(),
                     limpo(t.Titulo).c_str(),
                     limpo(t.Artista).c_str(),
                     limpo(t.Album).c_str(),
                     limpo(t.Ano).c_str(),
                     limpo(t.Genero).c_str(),
                     limpo(LinhaInfo(t, nome)).c_str());
        if (t.Capa.empty()) {
            std::fprintf(ASaida, "Capa:\n\n");
        } else {
            std::fprintf(ASaida, "Capa: %s %zu\n\n", limpo(t.CapaMime).c_str(), t.Capa.size());
        }
    }
    return codigo;
}

std::string QRCelularTerminal(const std::string& AEndereco, const std::string& APin, bool ACores) {
    const std::string primeira = AEndereco.substr(0, AEndereco.find_first_of("\r\n"));
    TMatrizQR qr;
    if (primeira.empty() || !GerarQRCode(primeira + "/#pin=" + APin, qr)) {
        return {};
    }
    return QRParaTerminal(qr, ACores);
}

}  // namespace ljsn
