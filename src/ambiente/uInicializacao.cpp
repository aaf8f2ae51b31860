#include "ambiente/uInicializacao.h"

#include <array>

#include "comum/uTexto.h"

namespace ljsn {

bool EhOpcao(const std::string& ATexto, const std::string& ANome) {
    if (ATexto.size() != ANome.size() + 1 || (ATexto[0] != '/' && ATexto[0] != '-')) {
        return false;
    }
    return IguaisSemCaixaAZ(std::string_view(ATexto).substr(1), ANome);
}

int ComandoDaLinha(const std::vector<std::string>& AArgs) {
    static constexpr std::array<const char*, 4> kComandos = {
        "tocarpausar", "proxima", "horacerta", "chamadas"};
    for (std::size_t i = 0; i < kComandos.size(); ++i) {
        for (const auto& arg : AArgs) {
            if (EhOpcao(arg, kComandos[i])) {
                return static_cast<int>(i) + 1;
            }
        }
    }
    return 0;
}

TLinhaComando LerLinhaComando(const std::vector<std::string>& AArgs) {
    TLinhaComando r;
    for (const auto& arg : AArgs) {
        r.Argumentos += " " + arg;
    }
    r.Comando = ComandoDaLinha(AArgs);
    auto valor = [&](std::size_t& i, const std::string& ANome, std::string& ADestino) {
        if (i + 1 >= AArgs.size()) {
            r.Erros.push_back(ANome + " precisa de um valor");
            return;
        }
        ADestino = AArgs[++i];
    };
    for (std::size_t i = 0; i < AArgs.size(); ++i) {
        const std::string& arg = AArgs[i];
        const std::string minusculo = MinusculasAZ(arg);
        if (EhOpcao(arg, "bandeja")) {
            r.Bandeja = true;
        } else if (minusculo == "--sem-janela") {
            r.SemJanela = true;
        } else if (minusculo == "--versao") {
            r.Versao = true;
        } else if (minusculo == "--ajuda" || minusculo == "--help" || minusculo == "-h") {
            r.Ajuda = true;
        } else if (minusculo == "--dados") {
            valor(i, arg, r.Dados);
        } else if (minusculo == "--gravar-saida") {
            valor(i, arg, r.GravarSaida);
        } else if (minusculo == "--driver-audio") {
            valor(i, arg, r.DriverAudio);
        } else if (minusculo == "--dispositivo-audio") {
            valor(i, arg, r.DispositivoAudio);
        } else if (minusculo == "--buscar-cidade") {
            r.BuscarCidadePedido = true;
            valor(i, arg, r.BuscarCidade);
        } else if (minusculo == "--salvar") {
            r.Salvar = true;
        } else if (minusculo == "--tags") {
            r.TagsPedido = true;
            r.Tags.assign(AArgs.begin() + static_cast<std::ptrdiff_t>(i) + 1, AArgs.end());
            break;
        } else if (minusculo == "--medir-loudness") {
            r.MedirLoudnessPedido = true;
            r.MedirLoudness.assign(AArgs.begin() + static_cast<std::ptrdiff_t>(i) + 1, AArgs.end());
            break;
        } else if (ComecaCom(arg, "--")) {
            r.Erros.push_back("opcao desconhecida: " + arg);
        }
        // Other words are ignored, as the shop's own switches always were.
    }
    return r;
}

std::string TextoAjuda() {
    return "Uso: lojasonorante [opcoes]\n"
           "\n"
           "Opcoes da loja (com / ou -, maiusculas ou minusculas):\n"
           "  /bandeja         comeca escondido, so com o icone da bandeja\n"
           "  /tocarpausar     toca ou pausa (na copia que ja esta aberta)\n"
           "  /proxima         passa para o proximo item\n"
           "  /horacerta       anuncia a hora agora\n"
           "  /chamadas        abre as chamadas rapidas\n"
           "\n"
           "Opcoes de suporte:\n"
           "  --sem-janela               roda sem janela (controle pelo celular e pela config)\n"
           "  --dados PASTA              guarda config, mensagens, caches e logs em PASTA\n"
           "  --gravar-saida ARQ.wav     grava em ARQ.wav exatamente o que a loja ouve\n"
           "  --driver-audio NOME        driver de audio do SDL (pulseaudio, alsa, dummy...)\n"
           "  --dispositivo-audio NOME   dispositivo de saida (padrao: o do sistema)\n"
           "  --medir-loudness ARQ...    mede a loudness (LUFS) de cada arquivo e sai\n"
           "  --tags ARQ...              mostra as tags e a capa de cada arquivo e sai\n"
           "  --buscar-cidade TEXTO      procura a cidade do tempo e mostra a previsao;\n"
           "                             com --salvar, grava a cidade no config.ini\n"
           "  --versao                   mostra a versao e sai\n"
           "  --ajuda                    mostra esta ajuda e sai\n"
           "\n"
           "Variaveis de ambiente: LJSN_RELOGIO (H:MM, acerta o relogio mostrado),\n"
           "LJSN_EDGE (navegador das vozes naturais), LJSN_NOTICIAS_URL (feed de noticias),\n"
           "LJSN_CLIMA_URL e LJSN_CIDADES_URL (servicos do tempo), SDL_AUDIODRIVER (driver de\n"
           "audio).\n";
}

}  // namespace ljsn
