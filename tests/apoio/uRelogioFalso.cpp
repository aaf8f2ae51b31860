#include "apoio/uRelogioFalso.h"

namespace ljsn::teste {

TRelogioFalso::TRelogioFalso(double AAgora, std::uint32_t ATique)
    : FTique(ATique), FAgora(AAgora) {}

void TRelogioFalso::Avancar(std::uint32_t AMilissegundos) {
    FTique.fetch_add(AMilissegundos);
    FAgora.store(FAgora.load() + AMilissegundos / kMsPorDia);
}

}  // namespace ljsn::teste
