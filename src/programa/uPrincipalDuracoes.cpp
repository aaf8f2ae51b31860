// Lengths arriving from the durations reader.
#include "programa/uPrincipal.h"

namespace ljsn {

void TPrograma::DuracoesLidas(bool AMusicas) {
    // A player that started before its file's length was known corrects
    // its length now (VBR files whose header misleads the engine).
    for (TPlayer* p : FNiveis->NoAr()) {
        if (p != nullptr && p->Aberto()) {
            if (const std::int32_t d = FDuracoes->Conhecida(p->Arquivo()); d != -1) {
                p->DefinirDuracaoReal(d);
            }
        }
    }
    if (AMusicas) {
        FVisao.AtualizarLista();
        AtualizarStatus();
    }
}

}  // namespace ljsn
