#include "comum/uVerificar.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace ljsn {

namespace {
std::mutex& TravaRelator() {
    static std::mutex trava;
    return trava;
}
std::function<void(const std::string&)>& Relator() {
    static std::function<void(const std::string&)> relator;
    return relator;
}
}  // namespace

void DefinirRelatorDeFalhas(std::function<void(const std::string&)> ARelator) {
    std::lock_guard trava(TravaRelator());
    Relator() = std::move(ARelator);
}

bool FalhaDeInvariante(const char* ACondicao, const char* AArquivo, int ALinha) {
    const std::string texto = std::string("invariante violada: ") + ACondicao + " em " + AArquivo +
                              ":" + std::to_string(ALinha);
#ifdef LJSN_ASSERT_FATAL
    std::fprintf(stderr, "%s\n", texto.c_str());
    std::abort();
#else
    std::function<void(const std::string&)> relator;
    {
        std::lock_guard trava(TravaRelator());
        relator = Relator();
    }
    if (relator) {
        relator(texto);
    } else {
        std::fprintf(stderr, "%s\n", texto.c_str());
    }
    return true;
#endif
}

}  // namespace ljsn
