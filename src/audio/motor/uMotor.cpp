#include "audio/motor/uMotor.h"

namespace ljsn {

TMotor::TMotor(int ATaxa) : FMisturador(ATaxa), FGerenciador(FMisturador, FPool) {}

TMotor::~TMotor() {
    // Openings under way are cancelled and joined, and queued ones dropped,
    // before the manager lets go of its aliases: a thread freed by one
    // cancel must not start a queued opening meanwhile.
    FPool.Encerrar();
}

}  // namespace ljsn
