#pragma once

#include <string>

#include "comum/uJson.h"
#include "programa/uControle.h"

namespace ljsn {

// The phone's and the quick controls' JSON, turned into typed calls on the
// control surface and back: "estado" and "comando" give the state report,
// any other action gives empty. Refusals throw TErroComando.
std::string ExecutarComando(IControle& AControle, const std::string& AAcao, const TJson& ADados);

// The state report; ACompleto adds the quick-call models, AMensagem (when
// not empty) the outcome of the command just run.
std::string MontarEstado(const IControle& AControle, bool ACompleto, const std::string& AMensagem);

}  // namespace ljsn
