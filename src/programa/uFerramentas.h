#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace ljsn {

// "--buscar-cidade": looks the place up, prints it with the weather sentence
// of now and, with ASalvar, stores it in config.ini as the settings dialog
// does. Returns the process exit code: 0 found, 1 not found, 2 not saved.
int FerramentaBuscarCidade(const std::string& ATexto, bool ASalvar, std::FILE* ASaida);

// "--tags": the five fields, the information line and the cover's media
// type and size of each file, one "Key: value" per line and a blank line
// after each file. Returns 0, or 1 when a file does not exist.
// The phone's address with its PIN as a QR code drawn for a terminal (black
// on white when ACores); empty when there is no address line or it does not fit.
std::string QRCelularTerminal(const std::string& AEndereco, const std::string& APin, bool ACores);

int FerramentaTags(const std::vector<std::string>& AArquivos, std::FILE* ASaida);

}  // namespace ljsn
