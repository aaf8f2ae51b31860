#pragma once

#include <string>
#include <string_view>

#include "comum/uTipos.h"

namespace ljsn {

// The sentences the announcer speaks on schedule and the company-name
// markers. Pure functions; any thread.

// The first character upper-cased when it is a..z or "à"; the rest untouched.
std::string Capitalizar(std::string_view ATexto);
// The prefix, one space and the text; the text alone when the prefix is empty.
std::string Juntar(std::string_view APrefixo, std::string_view ATexto);
std::string NomeComArtigo(std::string_view ANome, TGeneroEmpresa AGenero);
std::string TextoHora(int AHora, int AMinuto);
std::string FraseHoraCerta(std::string_view ANome, TGeneroEmpresa AGenero, int AHora, int AMinuto);
std::string FraseAvisoFechamento(std::string_view ANome, TGeneroEmpresa AGenero, int AMinutos);
std::string FraseFechamento(std::string_view ANome, TGeneroEmpresa AGenero);
// "à {empresa}" -> "{à empresa}", "Pelo {empresa}" -> "{Pela empresa}".
std::string ConverterMarcadoresAntigos(std::string_view ATexto);
// Expands "{a empresa}", "{da empresa}"... and "{empresa}" into the name.
std::string AplicarEmpresa(std::string_view ATexto, std::string_view ANome, TGeneroEmpresa AGenero);

// The label of a kind of speech in the settings.
const char* RotuloFala(TTipoFala ATipo);

}  // namespace ljsn
