#pragma once

#include <nlohmann/json.hpp>

namespace ljsn {

// JSON with its keys in the order they were written: replies keep a stable
// shape on the wire.
using TJson = nlohmann::ordered_json;

}  // namespace ljsn
