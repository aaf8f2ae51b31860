#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ljsn {

// The command line as the program reads it. The shop's switches take "/" or
// "-" in front, in any letter case, at any position; ours take "--".
struct TLinhaComando {
    bool Bandeja = false;
    int Comando = 0;  // 1 tocarpausar, 2 proxima, 3 horacerta, 4 chamadas; 0 none
    bool SemJanela = false;
    bool Versao = false;
    bool Ajuda = false;
    std::string Dados;                       // --dados PASTA
    std::string GravarSaida;                 // --gravar-saida ARQUIVO.wav
    std::string DriverAudio;                 // --driver-audio NOME (SDL driver)
    std::string DispositivoAudio;            // --dispositivo-audio NOME
    std::vector<std::string> MedirLoudness;  // --medir-loudness ARQUIVO...
    bool MedirLoudnessPedido = false;
    std::vector<std::string> Tags;  // --tags ARQUIVO...
    bool TagsPedido = false;
    std::string BuscarCidade;  // --buscar-cidade TEXTO
    bool BuscarCidadePedido = false;
    bool Salvar = false;             // --salvar (with --buscar-cidade)
    bool AceitarTermos = false;      // --aceitar-termos
    bool Estado = false;             // --estado
    std::vector<std::string> Erros;  // switches that could not be read
    // The arguments as given, each preceded by one space (for the start log line).
    std::string Argumentos;
};

TLinhaComando LerLinhaComando(const std::vector<std::string>& AArgs);

// True when ATexto is "/NOME" or "-NOME" with NOME in any case.
bool EhOpcao(const std::string& ATexto, const std::string& ANome);

// 1..4 for the first action switch present in table order, else 0.
int ComandoDaLinha(const std::vector<std::string>& AArgs);

std::string TextoAjuda();

// Start with the computer: an XDG autostart entry for the user
// ($XDG_CONFIG_HOME/autostart/lojasonorante.desktop) that starts the program
// hidden in the tray.
std::string ArquivoAutoInicio();
// The command an automatic start runs: the executable, quoted, and "/bandeja".
std::string ComandoInicio(const std::string& AExecutavel);
bool IniciaComWindows();
// Writes or removes the entry; false when it could not be done.
bool DefinirIniciarComWindows(bool ALigar, const std::string& AExecutavel);
// Starts hidden: the "bandeja" switch.
bool IniciarNaBandeja(const TLinhaComando& ALinha);

// The user's configuration folder of the program, with a trailing "/":
// $XDG_CONFIG_HOME/LojaSonorante/ (or ~/.config/LojaSonorante/).
std::string PastaConfigUsuario();
// Small per-user facts kept in estado.ini there (release notes seen, terms
// accepted); they belong to the user, not to the installation.
std::optional<std::string> LerEstadoUsuario(const std::string& ASecao, const std::string& AChave);
bool GravarEstadoUsuario(const std::string& ASecao,
                         const std::string& AChave,
                         const std::string& AValor);

}  // namespace ljsn
