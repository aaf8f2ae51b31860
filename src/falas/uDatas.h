#pragma once

#include <string>
#include <vector>

#include "comum/uTipos.h"

namespace ljsn {

// One commemorative date: the stable key stored in the settings, its label,
// the phrase for the day itself and the countdown phrase ("%s" = days left).
struct TDataComemorativa {
    std::string Chave;
    std::string Nome;
    std::string Frase;
    std::string FraseAntes;
};

// The twelve dates of the Brazilian retail calendar, a fresh copy each call.
std::vector<TDataComemorativa> ListaDatas();
// Easter Sunday (anonymous Gregorian algorithm), as days since 1899-12-30.
double DataPascoa(int AAno);
// The n-th weekday (1 = Monday .. 7 = Sunday) of a month.
double EnesimoDiaSemana(int AAno, int AMes, int ADiaSemana, int AN);
// The date of a key in a year; 0 for a key not in the table.
double DataDoAno(const std::string& AChave, int AAno);
// "*" or a comma-separated list of keys, case ignored.
bool DataAtiva(const std::string& AAtivas, const std::string& AChave);
// "Falta 1 dia", "Faltam 5 dias".
std::string TextoFaltam(int ADias);
// The phrases (markers expanded) for ADia, in table order, the anniversary last.
std::vector<std::string> FrasesDoDia(const std::string& AAtivas,
                                     int ADiasAntes,
                                     const std::string& AAniversario,
                                     TGeneroEmpresa AGenero,
                                     const std::string& ANomeEmpresa,
                                     double ADia);

}  // namespace ljsn
