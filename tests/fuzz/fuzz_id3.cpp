// The ID3 reader on arbitrary bytes: nothing reads outside the buffer (the
// sanitizers watch), and what it returns is well-formed text.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "audio/uTags.h"
#include "comum/uTexto.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ATamanho) {
    using namespace ljsn;
    const std::span<const std::uint8_t> bytes(AData, ATamanho);
    TTagsAudio t;
    LerId3v2(bytes, t);
    if (ATamanho >= 128) {
        LerId3v1(bytes.last(128), t);
    }
    for (const std::string* campo : {&t.Titulo, &t.Artista, &t.Album, &t.Ano, &t.Genero}) {
        if (!Utf8Valido(*campo)) {
            std::abort();
        }
    }
    if (t.Capa.size() > ATamanho) {
        std::abort();
    }
    (void)LinhaInfo(t, "faixa");
    for (int e = 0; e < 5; ++e) {
        if (!Utf8Valido(DecodificarTextoId3(bytes, e))) {
            std::abort();
        }
    }
    return 0;
}
