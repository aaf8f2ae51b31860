#include "programa/uSalvamento.h"

#include <exception>

#include "ambiente/uLog.h"

namespace ljsn {

bool TSalvamento::Salvar() {
    try {
        FConfig.Salvar();
    } catch (const std::exception& e) {
        if (FErro.empty()) {
            GravarLogFmt("ERRO",
                         "configuracoes nao salvas: %s (nova tentativa a cada minuto)",
                         std::string(e.what()));
        }
        FErro = e.what();
        if (FErro.empty()) {
            FErro = "erro desconhecido";
        }
        return false;
    }
    if (!FErro.empty()) {
        GravarLog("CONFIG", "configuracoes salvas (a falha anterior passou)");
        FErro.clear();
    }
    return true;
}

void TSalvamento::TentarSePendente() {
    if (Falhou()) {
        Salvar();
    }
}

}  // namespace ljsn
