#pragma once

#include <string>
#include <vector>

namespace ljsn {

// A QR code symbol, [row][column] from the top-left, true = dark; the symbol
// only, without the quiet zone. Empty means no code.
using TMatrizQR = std::vector<std::vector<bool>>;

// Encodes the bytes of ATexto (already UTF-8) in byte mode at error correction
// level M, in the smallest version from 1 to 10 that holds them: up to 213
// bytes. AMascara chooses the mask (0..7); -1 picks the one with the lowest
// penalty. False, with AMatriz empty, when the text does not fit or the mask
// is out of range.
bool GerarQRCode(const std::string& ATexto, TMatrizQR& AMatriz, int AMascara = -1);

// The symbol drawn with Unicode half blocks, two module rows per line, inside
// a quiet zone of 4 modules; dark modules are ink. ACores wraps each line in
// black on white so the code also reads on a dark terminal. Empty for an
// empty matrix.
std::string QRParaTerminal(const TMatrizQR& AMatriz, bool ACores);

// The mask penalty of a square symbol of at most 64 modules a side (runs,
// 2x2 blocks, finder-like patterns, dark/light balance); -1 for any other
// shape.
int PenalidadeQR(const TMatrizQR& AMatriz);

}  // namespace ljsn
