#pragma once

#include <string>
#include <vector>

namespace ljsn {

// Folder of the running executable, with a trailing "/".
std::string PastaPrograma();

// True when the program runs from a system install: an executable under /usr,
// or inside an AppImage, a Flatpak or a Snap. Such an install cannot keep its
// data beside the executable.
bool EmPacote();
// The sandbox's application id (Flatpak, Snap), or empty.
std::string NomeFamiliaPacote();

// The data folder, with a trailing "/": beside the executable for a portable
// copy; $XDG_DATA_HOME/LojaSonorante/ for a packaged one (created, and filled
// once from an older portable installation). Computed once.
std::string PastaDados();
// Chooses the data folder before its first use (the --dados switch).
void DefinirPastaDados(const std::string& APasta);

// PastaDados + "Logs", or the per-user fallback when that cannot be written.
std::string PastaLogs();

// True when the folder exists or could be created, and a file could be
// written into it and deleted again.
bool PastaGravavel(const std::string& APasta);

// The per-user data folder of a packaged install: $XDG_DATA_HOME (or
// ~/.local/share) + "/LojaSonorante/".
std::string PastaDadosUsuario();

// Copies the data files of an older installation into ADestino when it has
// no config.ini yet. AInstalacoes are the folders where older copies may live,
// in order of preference; the first that holds config.ini and is not
// APastaPrograma is used. References to the old examples folder inside the
// copied config.ini are pointed at APastaPrograma's. Errors are ignored.
void MigrarDadosAntigos(const std::string& ADestino,
                        const std::vector<std::string>& AInstalacoes,
                        const std::string& APastaPrograma);
// Where older portable copies are looked for.
std::vector<std::string> InstalacoesAntigas();

// Makes sure a folder path ends with "/".
std::string ComBarra(std::string APasta);

}  // namespace ljsn
