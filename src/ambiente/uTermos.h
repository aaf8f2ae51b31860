#pragma once

#include <string>

namespace ljsn {

// The terms of use: their text, the version accepted, and where the copy of
// the accepted text is kept. Acceptance belongs to the user (estado.ini in
// the user's configuration folder), with the date and the text's version.
inline constexpr const char* kVersaoTermos = "1";

std::string TituloTermos();
// The text, paragraphs separated by blank lines.
std::string TextoTermos();
// The user accepted the terms of this version.
bool TermosAceitos();
// Records the acceptance now (ADataHora: local date-time); false when it
// could not be stored.
bool RegistrarAceiteTermos(double ADataHora);
// The PDF copy of the accepted text in the data folder.
std::string CaminhoPdfTermos();
// The headless notice was printed once for this user.
bool AvisoTermosMostrado();
void MarcarAvisoTermosMostrado();

}  // namespace ljsn
