#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "comum/uFormato.h"

namespace ljsn {

// Appends one line to today's log file. Any thread; never throws; a line that
// cannot be written is lost silently.
void GravarLog(std::string_view ACategoria, std::string_view ATexto);
// Every line also goes to standard output (headless mode: the terminal and
// the system journal), one line each, without the byte-order mark.
void DefinirEcoNaSaida(bool AEco);

// Formats with the printf placeholders of FormatarLista, then logs; when the
// formatting fails the format text itself is logged.
template <typename... TArgs>
void GravarLogFmt(std::string_view ACategoria, std::string_view AFormato, const TArgs&... AArgs) {
    GravarLog(ACategoria, FormatarOuFormato(AFormato, AArgs...));
}

// Deletes the log files last modified more than 720 hours before AAgora.
void LimparLogsAntigos();
void LimparLogsAntigos(std::time_t AAgora);

// Control characters (C0, C1, bidirectional overrides and isolates, line and
// paragraph separators) become spaces and invalid UTF-8 becomes U+FFFD: fit
// for the log and for a terminal.
std::string LimparParaLog(std::string_view ATexto);
// Characters of a line's text at most; a longer one is cut with "…".
inline constexpr std::size_t kMaxCaracteresLog = 500;
// The line as written (without the CR LF): "2024-05-01 14:03:07.123  [FIM]      programa fechado".
std::string MontarLinhaLog(double ADataHora, std::string_view ACategoria, std::string_view ATexto);
// "LojaSonorante_2024-05-01.log"
std::string NomeArquivoLog(double ADataHora);

// The local date-time the log stamps its lines with; tests replace it.
void DefinirHoraDoLog(std::function<double()> AFonte);

// Sends the invariant reports of comum to the log as "ERRO".
void InstalarRelatorDeFalhas();

}  // namespace ljsn
