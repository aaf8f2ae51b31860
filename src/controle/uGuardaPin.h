#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "comum/uRelogio.h"

namespace ljsn {

// Who may try the phone PIN, and how often. Wrong PINs lock out the address
// they came from, and all addresses together share a budget per minute, so
// an attacker rotating over many addresses (or an IPv6 network's worth of
// them) still gets only a few tries a minute. Phones that presented the right
// PIN lately are never held back by the shared budget. Any thread; times come
// from the monotonic Tique, so a change of the wall clock neither lifts nor
// stretches a lockout.
class TGuardaPin {
  public:
    enum class TResultado { trCerto, trErrado, trBloqueado };

    // Wrong PINs in a row that lock an address out, and for how long.
    static constexpr int kMaxErrosPin = 10;
    static constexpr std::uint32_t kBloqueioMs = 60000;
    // Addresses whose wrong PINs are remembered at once.
    static constexpr std::size_t kMaxEnderecos = 256;
    // Wrong PINs a minute, from all addresses together, before addresses not
    // known lately are refused for the rest of that minute.
    static constexpr int kMaxErrosPorMinuto = 30;
    static constexpr std::uint32_t kJanelaMs = 60000;
    // How long a right PIN makes an address known, and how many are kept.
    static constexpr std::uint32_t kConhecidoMs = 24u * 3600u * 1000u;
    static constexpr std::size_t kMaxConhecidos = 1024;

    explicit TGuardaPin(TRelogio& ARelogio) : FRelogio(ARelogio) {}

    // A new PIN: the counts start again, lockouts and known phones stay.
    void DefinirPin(const std::string& APin);
    // Checks one request's PIN. A locked address, or one not known lately
    // while the shared budget is spent, is refused without looking at it.
    TResultado Conferir(const std::string& APin, const std::string& AEndereco);
    // Whether AEndereco presented the right PIN within kConhecidoMs.
    bool Conhecido(const std::string& AEndereco);
    // Logs the summary of a minute that had wrong PINs once that minute is
    // over; Conferir does it too, so call this when no request may come.
    void Manter();

  private:
    struct TTentativas {
        int Erros = 0;
        bool Bloqueado = false;
        std::uint32_t Desde = 0;  // tick of the last wrong try or the lockout
    };
    TResultado ConferirSemLog(const std::string& APin,
                              const std::string& AEndereco,
                              std::uint32_t AAgora,
                              std::vector<std::string>& ALinhas);
    // FTrava held. The summary line of a minute that is over, else empty.
    std::string FecharJanelaSeAcabou(std::uint32_t AAgora);
    bool ConhecidoSemTrava(const std::string& AEndereco, std::uint32_t AAgora);
    void Lembrar(const std::string& AEndereco, std::uint32_t AAgora);
    bool AbrirVaga(std::uint32_t AAgora);

    TRelogio& FRelogio;
    std::mutex FTrava;
    std::string FPin;                                            // guarded by FTrava
    std::unordered_map<std::string, TTentativas> FTentativas;    // guarded by FTrava
    std::unordered_map<std::string, std::uint32_t> FConhecidos;  // guarded by FTrava
    // The shared minute: opened by its first wrong PIN.
    bool FJanelaAberta = false;                        // guarded by FTrava
    std::uint32_t FJanelaInicio = 0;                   // guarded by FTrava
    int FErrosJanela = 0;                              // guarded by FTrava
    int FRecusadosJanela = 0;                          // guarded by FTrava
    std::unordered_set<std::string> FEnderecosJanela;  // guarded by FTrava
};

}  // namespace ljsn
