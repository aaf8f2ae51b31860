// The settings reader on arbitrary bytes: nothing crashes, what it writes
// back reads back the same, and a second save changes nothing.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "comum/uIni.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ATamanho) {
    using namespace ljsn;
    const std::string_view bruto(reinterpret_cast<const char*>(AData), ATamanho);
    TArquivoIni ini = TArquivoIni::Interpretar(bruto);
    // What every save does: known keys written over the file as it stands.
    ini.Escrever("Geral", "Volume", "80");
    ini.Escrever("Locutor", "NomeEmpresa", "Mercado\r\nCentral");
    const std::string texto = ini.Texto();
    const TArquivoIni relido = TArquivoIni::Interpretar(texto);
    if (relido.Texto() != texto || relido.Ler("Geral", "Volume") != "80" ||
        relido.Ler("Locutor", "NomeEmpresa") != "Mercado  Central") {
        std::abort();
    }
    for (const auto& secao : ini.Secoes()) {
        for (const auto& e : secao.Entradas) {
            if (!e.Bruta && !secao.Nome.empty() && relido.Ler(secao.Nome, e.Chave) != e.Valor) {
                std::abort();
            }
        }
    }
    return 0;
}
