#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace ljsn {

// "--buscar-cidade": looks the place up, prints it with the weather sentence
// of now and, with ASalvar, stores it: a copy running on the data folder (its
// channel APastaInstancia/ANomeInstancia) gets it to apply and save, since
// it writes config.ini at exit; with none, config.ini is written here.
// Returns the process exit code: 0 found (and stored), 1 not found, 2 not
// saved (or refused by the running copy), 4 a copy runs but did not answer.
int FerramentaBuscarCidade(const std::string& ATexto,
                           bool ASalvar,
                           std::FILE* ASaida,
                           const std::string& APastaInstancia = {},
                           const std::string& ANomeInstancia = {});

// "--tags": the five fields, the information line and the cover's media
// type and size of each file, one "Key: value" per line and a blank line
// after each file. Returns 0, or 1 when a file does not exist.
// The phone's address with its PIN as a QR code drawn for a terminal (black
// on white when ACores); empty when there is no address line or it does not fit.
std::string QRCelularTerminal(const std::string& AEndereco, const std::string& APin, bool ACores);

int FerramentaTags(const std::vector<std::string>& AArquivos, std::FILE* ASaida);

}  // namespace ljsn
