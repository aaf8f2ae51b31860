#pragma once

#include <cstdio>
#include <string>

namespace ljsn {

// "--buscar-cidade": looks the place up, prints it with the weather sentence
// of now and, with ASalvar, stores it in config.ini as the settings dialog
// does. Returns the process exit code: 0 found, 1 not found, 2 not saved.
int FerramentaBuscarCidade(const std::string& ATexto, bool ASalvar, std::FILE* ASaida);

}  // namespace ljsn
