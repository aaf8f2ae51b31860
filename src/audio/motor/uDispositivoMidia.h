#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ljsn {

// The command-string interface the player is written against: "open", "set",
// "status", "play", "pause", "resume", "stop", "close", "seek", "setaudio" on
// named aliases. No value means the command failed; an empty text is success
// without a reply.
class IDispositivoMidia {
  public:
    virtual ~IDispositivoMidia() = default;
    // Main thread.
    virtual std::optional<std::string> Enviar(std::string_view AComando) = 0;
};

}  // namespace ljsn
