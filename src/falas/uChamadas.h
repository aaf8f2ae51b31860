#pragma once

#include <string>
#include <vector>

#include "comum/uTipos.h"

namespace ljsn {

// A quick call's till number at most, and each text field's characters at
// most (longer ones are cut): a call is a sentence, not a document.
inline constexpr int kMaxCaixa = 999;
inline constexpr std::size_t kMaxCampoChamada = 100;

// What a quick call is filled with.
struct TCamposChamada {
    int Caixa = 1;
    std::string Nome;
    std::string Setor;
    std::string Placa;
    std::string Item;
};

// A filled call: the text to speak, and the missing fields ("nome e placa";
// empty when nothing is missing).
struct TChamadaMontada {
    std::string Texto;
    std::string Faltando;
};

// The data folder's "chamadas.txt".
std::string ArquivoChamadas();
// The thirteen models used while the shop has no file of its own.
std::vector<std::string> ChamadasPadrao();
// The shop's models: the file's non-blank lines (old markers converted), or
// the defaults when there is no file.
std::vector<std::string> CarregarChamadas();
// Upper case, keeping only A-Z and 0-9.
std::string NormalizarPlaca(const std::string& APlaca);
// "abc-1d23" -> "A, B, C, 1, D, 2, 3".
std::string SoletrarPlaca(const std::string& APlaca);
TChamadaMontada MontarChamada(const std::string& AModelo,
                              const TCamposChamada& ACampos,
                              const std::string& AEmpresa,
                              TGeneroEmpresa AGenero);

}  // namespace ljsn
