#pragma once

// The boundary between the tag reader and the TagLib module it opens at run
// time: plain C, so the module and the program share no C++ objects.

extern "C" {

// What the module reports, each as UTF-8 text.
enum TCampoTagModulo : int {
    kCampoTitulo = 0,
    kCampoArtista,
    kCampoAlbum,
    kCampoAno,   // the tag's own year, when it has one
    kCampoData,  // the DATE property, for formats without a year field
    kCampoGenero,
};

using TAoLerCampo = void (*)(void* AUsuario, int ACampo, const char* ATexto);
// Calls AAoLer once for each field the file has; nothing when it cannot be
// read. Never throws.
using TLerPropriedadesModulo = void (*)(const char* ACaminho, void* AUsuario, TAoLerCampo AAoLer);

inline constexpr const char* kFuncaoLerPropriedades = "ljsn_ler_propriedades";
inline constexpr const char* kArquivoModuloTags = "libljsn_taglib.so";
}
