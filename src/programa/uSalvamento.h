#pragma once

#include <string>

#include "ambiente/uConfiguracoes.h"

namespace ljsn {

// Saves the settings and remembers a save that failed (a full disk, a folder
// made read-only): it is tried again at the next save and every minute until
// it succeeds, and the phone can warn meanwhile. The failure is logged once,
// and so is the save that finally worked. Main thread.
class TSalvamento {
  public:
    explicit TSalvamento(TConfiguracoes& AConfig) : FConfig(AConfig) {}

    // Writes config.ini now; false when it failed.
    bool Salvar();
    // The minute check: tries again when the last save failed.
    void TentarSePendente();
    bool Falhou() const { return !FErro.empty(); }
    // Why the last save failed; empty when it worked.
    const std::string& Erro() const { return FErro; }

  private:
    TConfiguracoes& FConfig;
    std::string FErro;
};

}  // namespace ljsn
