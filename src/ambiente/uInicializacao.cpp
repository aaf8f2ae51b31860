#include "ambiente/uInicializacao.h"

#include <array>
#include <cstdlib>
#include <filesystem>

#include "ambiente/uPastas.h"
#include "comum/uArquivoTexto.h"
#include "comum/uIni.h"
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
        } else if (minusculo == "--aceitar-termos") {
            r.AceitarTermos = true;
        } else if (minusculo == "--estado") {
            r.Estado = true;
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
           "  --aceitar-termos           registra o aceite dos termos de uso (instaladores)\n"
           "  --estado                   mostra o estado da copia em execucao (JSON); sai com 3\n"
           "                             quando nenhuma copia esta rodando\n"
           "  --versao                   mostra a versao e sai\n"
           "  --ajuda                    mostra esta ajuda e sai\n"
           "\n"
           "Variaveis de ambiente: LJSN_RELOGIO (H:MM, acerta o relogio mostrado),\n"
           "LJSN_EDGE (navegador das vozes naturais), LJSN_NOTICIAS_URL (feed de noticias),\n"
           "LJSN_CLIMA_URL e LJSN_CIDADES_URL (servicos do tempo), SDL_AUDIODRIVER (driver de\n"
           "audio).\n";
}

namespace {

std::string Variavel(const char* ANome) {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the environment is not changed
    const char* v = std::getenv(ANome);
    return v != nullptr ? std::string(v) : std::string();
}

std::string PastaConfigBase() {
    std::string base = Variavel("XDG_CONFIG_HOME");
    if (base.empty() || base.front() != '/') {
        const std::string casa = Variavel("HOME");
        base = (casa.empty() ? std::string("/tmp") : ComBarra(casa)) + ".config";
    }
    return ComBarra(base);
}

// A path for the Exec key of a desktop entry: quoted, with the quote, the
// backtick, the dollar sign and the backslash escaped, as that key requires.
std::string CitarExec(const std::string& ACaminho) {
    std::string r = "\"";
    for (const char c : ACaminho) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            r += '\\';
        }
        r += c;
    }
    return r + "\"";
}

}  // namespace

std::string ArquivoAutoInicio() {
    return PastaConfigBase() + "autostart/lojasonorante.desktop";
}

std::string ComandoInicio(const std::string& AExecutavel) {
    return CitarExec(AExecutavel) + " /bandeja";
}

bool IniciaComWindows() {
    const auto texto = LerArquivoTexto(ArquivoAutoInicio());
    if (!texto) {
        return false;
    }
    const TArquivoIni ini = TArquivoIni::Interpretar(*texto);
    // A desktop that hid the entry (its own autostart settings) counts as off.
    return !IguaisSemCaixaAZ(ini.Ler("Desktop Entry", "Hidden").value_or(""), "true");
}

bool DefinirIniciarComWindows(bool ALigar, const std::string& AExecutavel) {
    const std::string arquivo = ArquivoAutoInicio();
    std::error_code erro;
    if (!ALigar) {
        std::filesystem::remove(arquivo, erro);
        return !erro;
    }
    const std::string texto =
        "[Desktop Entry]\nType=Application\nName=Loja Sonorante\n"
        "Comment=Música, propaganda e locução automática\nExec=" +
        ComandoInicio(AExecutavel) +
        "\nIcon=lojasonorante\nTerminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    if (LerArquivoTexto(arquivo).value_or("") == texto) {
        return true;  // already on, with the same command
    }
    std::filesystem::create_directories(std::filesystem::path(arquivo).parent_path(), erro);
    try {
        GravarArquivoAtomico(arquivo, texto);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool IniciarNaBandeja(const TLinhaComando& ALinha) {
    return ALinha.Bandeja;
}

std::string PastaConfigUsuario() {
    return PastaConfigBase() + "LojaSonorante/";
}

std::optional<std::string> LerEstadoUsuario(const std::string& ASecao, const std::string& AChave) {
    const auto texto = LerArquivoTexto(PastaConfigUsuario() + "estado.ini");
    if (!texto) {
        return std::nullopt;
    }
    return TArquivoIni::Interpretar(*texto).Ler(ASecao, AChave);
}

bool GravarEstadoUsuario(const std::string& ASecao,
                         const std::string& AChave,
                         const std::string& AValor) {
    const std::string arquivo = PastaConfigUsuario() + "estado.ini";
    TArquivoIni ini = TArquivoIni::Interpretar(LerArquivoTexto(arquivo).value_or(""));
    ini.Escrever(ASecao, AChave, AValor);
    std::error_code erro;
    std::filesystem::create_directories(PastaConfigUsuario(), erro);
    try {
        GravarArquivoAtomico(arquivo, ini.Texto());
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace ljsn
