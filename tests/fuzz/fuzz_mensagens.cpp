// The shop's message and quick-call files on arbitrary bytes: decoding,
// line splitting, old-marker conversion and the company markers never crash
// and always give valid UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "comum/uArquivoTexto.h"
#include "comum/uTexto.h"
#include "falas/uChamadas.h"
#include "falas/uFrases.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ATamanho) {
    using namespace ljsn;
    const std::string_view bruto(reinterpret_cast<const char*>(AData), ATamanho);
    const std::string texto = DecodificarTexto(bruto);
    if (!Utf8Valido(texto)) {
        std::abort();
    }
    const std::string convertido = ConverterMarcadoresAntigos(texto);
    for (const auto& linha : DividirLinhas(convertido)) {
        for (auto genero : {TGeneroEmpresa::geFeminino,
                            TGeneroEmpresa::geMasculino,
                            TGeneroEmpresa::geSemArtigo}) {
            const std::string falada = AplicarEmpresa(linha, "Mercado São João", genero);
            if (!Utf8Valido(falada)) {
                std::abort();
            }
        }
        TCamposChamada campos;
        campos.Nome = linha.substr(0, 40);
        campos.Placa = linha.substr(0, 8);
        (void)MontarChamada(linha, campos, "Farmácia Vida", TGeneroEmpresa::geFeminino);
    }
    return 0;
}
