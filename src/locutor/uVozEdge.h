#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace ljsn {

enum class TEstadoVozEdge : std::uint8_t { evParado, evEsperando, evFalando, evErro };

// The natural online voices, spoken by a hidden Chromium-family browser page.
// The page and its protocol are not part of this build yet: Iniciar fails,
// so every attempt to speak fails at once and the announcer falls back to a
// local voice, as it does when no browser exists. The class-level helpers are
// complete: they decide what the settings store and what the announcer tries.
class TVozEdge {
  public:
    static constexpr const char* kPrefixo = "Voz natural: ";
    static constexpr std::size_t kTamanhoPrefixo = std::char_traits<char>::length(kPrefixo);

    // The single bridge, created on first use. Main thread.
    static TVozEdge& Instancia();

    // The browser that can host the page: LJSN_EDGE when set (and only if that
    // file exists), else Edge, Chrome or Chromium found on this system.
    static std::string CaminhoEdge();
    static bool Disponivel() { return !CaminhoEdge().empty(); }
    // "Edge: X" (older settings) -> "Voz natural: X"; anything else unchanged.
    static std::string NomeAtual(const std::string& ANome);
    static bool EhVozEdge(const std::string& ANome);
    // The bridge voices, prefixed, for the voice list; empty without a browser.
    static std::vector<std::string> VozesComPrefixo();
    // The bridge voice matching a local natural voice's name, or empty.
    static std::string VozEquivalente(const std::string& ANomeSapi);
    // "Microsoft Antônio Online (Natural)..." -> "antonio".
    static std::string NormalizarNomeVoz(const std::string& ANome);

    bool Iniciar();
    void Falar(
        const std::string& ATexto, const std::string& AVoz, int AVelocidade, int ATom, int AVolume);
    void Cancelar();
    TEstadoVozEdge Estado();
    std::string UltimoErro();
    std::string VozUsada();
    std::vector<std::string> Vozes();

  private:
    TVozEdge() = default;
    std::mutex FTrava;
    TEstadoVozEdge FEstado = TEstadoVozEdge::evParado;  // guarded by FTrava
    std::string FErro;                                  // guarded by FTrava
    std::string FVozUsada;                              // guarded by FTrava
    std::vector<std::string> FVozes;                    // guarded by FTrava
};

}  // namespace ljsn
