#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ljsn {

// Removes every character up to and including the space (control characters
// too) from both ends, as the settings and message readers expect.
std::string Aparar(std::string_view ATexto);

// Case changes that touch only A..Z / a..z; every other byte stays as it is.
std::string MaiusculasAZ(std::string_view ATexto);
std::string MinusculasAZ(std::string_view ATexto);
bool IguaisSemCaixaAZ(std::string_view A, std::string_view B);

// Lower case for comparisons of names and paths: ASCII plus the Latin letters
// of U+00C0..U+017F, which is what Portuguese file names use.
std::string MinusculasUtf8(std::string_view ATexto);
bool IguaisSemCaixa(std::string_view A, std::string_view B);
// Collation key for sorting paths without regard to case or accents; ties are
// broken by the caller with the plain text.
std::string ChaveOrdenacao(std::string_view ATexto);

bool ComecaCom(std::string_view ATexto, std::string_view APrefixo);
bool TerminaCom(std::string_view ATexto, std::string_view ASufixo);

// Splits at every one of the separator characters; empty pieces are kept.
std::vector<std::string> Dividir(std::string_view ATexto, std::string_view ASeparadores);
std::string Juntar(const std::vector<std::string>& APartes, std::string_view ASeparador);
std::string SubstituirTudo(std::string_view ATexto, std::string_view ADe, std::string_view APara);
// Replaces ADe wherever it occurs, comparing A..Z without regard to case.
std::string SubstituirTudoSemCaixaAZ(std::string_view ATexto,
                                     std::string_view ADe,
                                     std::string_view APara);
// Replaces ADe wherever it occurs once both are passed through ADobrar, a
// fold that keeps every byte in place (A..Z to a..z, "À" to "à").
std::string SubstituirTudoDobrado(std::string_view ATexto,
                                  std::string_view ADe,
                                  std::string_view APara,
                                  std::string (*ADobrar)(std::string_view));

// A decimal integer: optional sign and digits, nothing else; fits in 32 bits.
std::optional<std::int32_t> LerInteiro(std::string_view ATexto);
std::int32_t LerInteiroOu(std::string_view ATexto, std::int32_t APadrao);
// A decimal number with "." as separator, whatever the locale.
std::optional<double> LerDecimal(std::string_view ATexto);
// Writes with "." as separator and between AMin and AMax decimals (trailing
// zeros beyond AMin dropped); no grouping.
std::string FormatarDecimal(double AValor, int AMinDecimais, int AMaxDecimais);

// Nearest integer, ties to even (12.5 -> 12, 13.5 -> 14).
std::int64_t ArredondarPar(double AValor);

// UTF-8 handling.
bool Utf8Valido(std::string_view ATexto);
// Windows-1252 (a superset of Latin-1 for printable text) to UTF-8.
std::string Cp1252ParaUtf8(std::string_view ATexto);
// Valid UTF-8 passes unchanged; anything else is read as Windows-1252.
std::string GarantirUtf8(std::string_view ATexto);
// UTF-8 text with a few bad bytes: each byte that starts no valid sequence
// becomes its Windows-1252 character (a stray en dash from a Windows editor
// reads as one), or U+FFFD where that is a control code; the rest is kept.
std::string RepararUtf8(std::string_view ATexto);
// Whether text that is not valid UTF-8 still looks like UTF-8 with a few bad
// bytes: it holds more valid multi-byte sequences than invalid bytes.
bool PareceUtf8(std::string_view ATexto);
// Number of code points (invalid bytes count one each).
std::size_t ContarCaracteres(std::string_view ATexto);
// The first ACaracteres code points.
std::string PrimeirosCaracteres(std::string_view ATexto, std::size_t ACaracteres);
// At most ACaracteres code points, cut at the last space before the limit
// (hard at the limit when the text has none) and trimmed.
std::string CortarEmPalavra(std::string_view ATexto, std::size_t ACaracteres);
// Decodes the code point at APos and advances it; invalid bytes give U+FFFD.
char32_t LerCodigo(std::string_view ATexto, std::size_t& APos);
void AcrescentarCodigo(std::string& ADestino, char32_t ACodigo);

// Lines split at CR LF, lone CR or lone LF; a final line break does not add
// an empty line, as a text editor shows the file.
std::vector<std::string> DividirLinhas(std::string_view ATexto);

}  // namespace ljsn
