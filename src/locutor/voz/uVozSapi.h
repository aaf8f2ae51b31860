#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ljsn {

// A voice token: its display name, its "Language" attribute (hexadecimal
// language identifiers separated by ";", Brazilian Portuguese being 416) and
// the engine's own name for it.
struct TTokenVoz {
    std::string Descricao;
    std::string Idioma;
    std::string Identificador;
    bool operator==(const TTokenVoz&) const = default;
};

// Flags of Falar, as the speech interface the announcer was written for.
inline constexpr int kFalaAssincrona = 1;
inline constexpr int kFalaDescartar = 2;  // purge what was queued or is being spoken
inline constexpr int kFalaXml = 8;        // the text carries <pitch absmiddle="n"> mark-up

// One voice object: select a token, rate, volume, speak asynchronously and
// poll for the end. Main thread.
class IVozSapi {
  public:
    virtual ~IVozSapi() = default;
    virtual std::vector<TTokenVoz> ListarTokens() = 0;
    virtual bool DefinirVoz(const TTokenVoz& AToken) = 0;
    // The description of the selected voice.
    virtual std::string DescricaoVoz() = 0;
    virtual void DefinirTaxa(int ATaxa) = 0;      // -10..10
    virtual void DefinirVolume(int AVolume) = 0;  // 0..100
    // False when the request could not be made.
    virtual bool Falar(const std::string& ATexto, int AFlags) = 0;
    // WaitUntilDone(0): true when nothing is being spoken any more.
    virtual bool Terminou() = 0;
    // Status.LastHResult: non-zero when the last speech failed.
    virtual long UltimoResultado() = 0;
};

// Creates voice objects ("SAPI.SpVoice"); nothing when the engine is missing.
class IFabricaVoz {
  public:
    virtual ~IFabricaVoz() = default;
    virtual std::unique_ptr<IVozSapi> Criar() = 0;
};

}  // namespace ljsn
