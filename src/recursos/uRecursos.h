#pragma once

#include <string_view>

namespace ljsn {

// The files built into the program ("CONTROLE", "CEL_MANIFEST",
// "CEL_ICONE192", "CEL_ICONE512", "CEL_MASKABLE", "CEL_APPLE", "VOZ"); empty for a
// name that does not exist. Any thread.
std::string_view Recurso(std::string_view ANome);

}  // namespace ljsn
