#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ljsn {

inline constexpr std::string_view kBomUtf8 = "\xEF\xBB\xBF";

// The whole file as bytes; nothing when it cannot be read.
std::optional<std::string> LerArquivoBytes(const std::string& ACaminho);

// The file as UTF-8 text. A byte-order mark decides the encoding (UTF-8,
// UTF-16 LE or BE) and is removed; without one, valid UTF-8 is taken as it is
// and anything else is read as Windows-1252.
std::optional<std::string> LerArquivoTexto(const std::string& ACaminho);
std::string DecodificarTexto(std::string_view ABytes);

// Writes a temporary file beside the target, flushes it to disk and renames it
// over the target, so a crash mid-save leaves either the old or the new file.
// Throws std::system_error on failure (the target is then unchanged).
void GravarArquivoAtomico(const std::string& ACaminho, std::string_view ABytes);
// Removes the temporary copies GravarArquivoAtomico leaves beside ACaminho
// when the process is killed in the middle of a save. Only for a caller that
// knows no save of that file is under way.
void RemoverTemporariosDe(const std::string& ACaminho);

// UTF-8 with a byte-order mark and CR LF after every line, the last included.
std::string MontarTextoComBom(const std::vector<std::string>& ALinhas);

}  // namespace ljsn
