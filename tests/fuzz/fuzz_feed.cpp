// The news feed reader and text cleaner on arbitrary bytes: nothing crashes,
// and valid UTF-8 in gives valid UTF-8 out, trimmed.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "comum/uTexto.h"
#include "falas/uNoticias.h"

namespace {

void Conferir(bool ACondicao) {
    if (!ACondicao) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ATamanho) {
    using namespace ljsn;
    const std::string_view bruto(reinterpret_cast<const char*>(AData), ATamanho);
    const bool utf8 = Utf8Valido(bruto);
    (void)PareceFeed(bruto);
    for (const TNoticia& n : LerFeed(bruto, "geral")) {
        Conferir(!n.Titulo.empty());
        Conferir(ContarCaracteres(n.Resumo) <= 250);
        (void)NoticiaPesada(n);
        (void)TextoNoticia(n, true);
        if (utf8) {
            Conferir(Utf8Valido(n.Titulo) && Utf8Valido(n.Resumo) && Utf8Valido(n.Link));
        }
    }
    const std::string limpo = LimparTexto(bruto);
    Conferir(limpo.empty() || (limpo.front() != ' ' && limpo.back() != ' '));
    if (utf8) {
        Conferir(Utf8Valido(limpo));
        Conferir(Utf8Valido(DecodificarEntidades(bruto)));
    }
    (void)PrimeiraFrase(bruto, 250);
    Conferir(std::isfinite(LerDataRss(bruto)));
    return 0;
}
