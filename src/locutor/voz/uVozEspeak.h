#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/motor/uCanalFala.h"
#include "locutor/voz/uVozSapi.h"

namespace ljsn {

// The speech engine: espeak-ng behind the voice interface, speaking into the
// engine's speech channel so the voice is mixed with the music, recorded and
// heard on the same device. espeak-ng is process-global and not
// thread-safe: one thread of ours makes every call into it.
class TFabricaVozEspeak final : public IFabricaVoz {
  public:
    // ACanal receives the speech; it must outlive every voice created.
    explicit TFabricaVozEspeak(ICanalFala& ACanal);
    ~TFabricaVozEspeak() override;
    std::unique_ptr<IVozSapi> Criar() override;

    // The tokens offered: every espeak-ng language, and the Brazilian voice
    // with its variants as distinct voices. Empty when espeak-ng cannot start.
    static std::vector<TTokenVoz> Tokens();

  private:
    ICanalFala& FCanal;
};

// The "Language" attribute of an espeak-ng language code: the Windows
// language identifier in hexadecimal where one is known ("pt-br" -> "416"),
// else the code itself.
std::string IdiomaDoCodigo(const std::string& ACodigo);

// SAPI-style text to plain text: the <pitch absmiddle="n"> wrapper gives the
// pitch, and &amp; &lt; &gt; &quot; &apos; are unescaped. Anything else
// stays text, to be spoken literally.
struct TTextoFala {
    std::string Texto;
    int Tom = 0;
};
TTextoFala InterpretarXmlFala(const std::string& AXml);

}  // namespace ljsn
