#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ljsn {

// What a file says about itself; an empty field is unknown.
struct TTagsAudio {
    std::string Titulo;
    std::string Artista;
    std::string Album;
    std::string Ano;
    std::string Genero;
    std::vector<std::uint8_t> Capa;  // the picture exactly as stored
    std::string CapaMime;

    bool operator==(const TTagsAudio&) const = default;
};

// The largest ID3v2 tag read (large pictures are normal).
inline constexpr std::size_t kMaxTagId3 = std::size_t{16} * 1024 * 1024;

// ID3v2, then ID3v1 for MP3 files, then the file's own properties (TagLib)
// when title and artist are both still unknown; each source only fills what
// is still empty. Never throws; any thread. Reads the tag and the last 128
// bytes, never the audio.
TTagsAudio LerTags(const std::string& ACaminho);

// One ID3v2 tag (its 10-byte header and body); fills empty fields. A size
// that points past the buffer ends the walk, keeping what was found.
void LerId3v2(std::span<const std::uint8_t> ATag, TTagsAudio& ATags);
// The last 128 bytes of a file, when they are an ID3v1 tag.
void LerId3v1(std::span<const std::uint8_t> AFim, TTagsAudio& ATags);
// The fallback through TagLib: title, artist, album, year and genre.
void LerPropriedades(const std::string& ACaminho, TTagsAudio& ATags);

// Text of an ID3 frame by its encoding byte (0 Latin-1, 1 UTF-16 with or
// without byte-order mark, 2 UTF-16BE, 3 UTF-8), as UTF-8.
std::string DecodificarTextoId3(std::span<const std::uint8_t> ADados, int ACodificacao);
// The name of ID3v1 genre 0..79; empty for any other number.
std::string NomeGeneroId3v1(int ANumero);
// "(17)", "17" -> "Rock"; "(17)Rock and Roll" -> "Rock and Roll"; others unchanged.
std::string NomeGenero(std::string_view ATexto);
// Title (unless the shown name already has it), artist, album, year and
// genre joined with "  ·  ".
std::string LinhaInfo(const TTagsAudio& ATags, std::string_view ANomeExibido);

}  // namespace ljsn
