#include "controle/uGuardaPin.h"

#include <algorithm>
#include <vector>

#include "ambiente/uLog.h"
#include "comum/uFormato.h"

namespace ljsn {

namespace {

// Takes time that depends on the lengths only, so the reply's timing cannot
// tell how many leading digits were right.
bool PinsIguais(const std::string& ADado, const std::string& ACerto) {
    unsigned diferenca = ADado.size() != ACerto.size() ? 1u : 0u;
    for (std::size_t i = 0; i < ACerto.size(); ++i) {
        const unsigned dado = i < ADado.size() ? static_cast<unsigned char>(ADado[i]) : 0u;
        diferenca |= dado ^ static_cast<unsigned char>(ACerto[i]);
    }
    return diferenca == 0;
}

// Distinct addresses counted for the minute's summary; past this the count
// says "at least".
constexpr std::size_t kMaxEnderecosContados = 4096;

}  // namespace

void TGuardaPin::DefinirPin(const std::string& APin) {
    std::lock_guard trava(FTrava);
    FPin = APin;
    std::erase_if(FTentativas, [](const auto& AItem) { return !AItem.second.Bloqueado; });
}

bool TGuardaPin::ConhecidoSemTrava(const std::string& AEndereco, std::uint32_t AAgora) {
    const auto it = FConhecidos.find(AEndereco);
    if (it == FConhecidos.end()) {
        return false;
    }
    if (DecorridoMs(it->second, AAgora) >= kConhecidoMs) {
        FConhecidos.erase(it);
        return false;
    }
    return true;
}

bool TGuardaPin::Conhecido(const std::string& AEndereco) {
    std::lock_guard trava(FTrava);
    return ConhecidoSemTrava(AEndereco, FRelogio.Tique());
}

void TGuardaPin::Lembrar(const std::string& AEndereco, std::uint32_t AAgora) {
    if (!FConhecidos.contains(AEndereco) && FConhecidos.size() >= kMaxConhecidos) {
        FConhecidos.erase(std::max_element(
            FConhecidos.begin(), FConhecidos.end(), [AAgora](const auto& A, const auto& B) {
                return DecorridoMs(A.second, AAgora) < DecorridoMs(B.second, AAgora);
            }));
    }
    FConhecidos[AEndereco] = AAgora;
}

bool TGuardaPin::AbrirVaga(std::uint32_t AAgora) {
    if (FTentativas.size() < kMaxEnderecos) {
        return true;
    }
    // Full: forget the unlocked address heard from longest ago. A locked one
    // is never forgotten before its minute ends, or fresh addresses could
    // wipe a lockout.
    auto maisAntigo = FTentativas.end();
    for (auto it = FTentativas.begin(); it != FTentativas.end(); ++it) {
        if (!it->second.Bloqueado && (maisAntigo == FTentativas.end() ||
                                      DecorridoMs(it->second.Desde, AAgora) >
                                          DecorridoMs(maisAntigo->second.Desde, AAgora))) {
            maisAntigo = it;
        }
    }
    if (maisAntigo == FTentativas.end()) {
        return false;
    }
    FTentativas.erase(maisAntigo);
    return true;
}

std::string TGuardaPin::FecharJanelaSeAcabou(std::uint32_t AAgora) {
    if (!FJanelaAberta || DecorridoMs(FJanelaInicio, AAgora) < kJanelaMs) {
        return {};
    }
    const std::size_t enderecos = FEnderecosJanela.size();
    std::string linha = FormatarOuFormato(
        "%d PIN(s) errado(s) de %s%d endereco(s) no ultimo minuto%s",
        FErrosJanela,
        enderecos >= kMaxEnderecosContados ? "pelo menos " : "",
        enderecos,
        FRecusadosJanela > 0
            ? FormatarOuFormato("; %d pedido(s) de enderecos desconhecidos recusado(s)",
                                FRecusadosJanela)
            : std::string());
    FJanelaAberta = false;
    FErrosJanela = 0;
    FRecusadosJanela = 0;
    FEnderecosJanela.clear();
    return linha;
}

void TGuardaPin::Manter() {
    std::string linha;
    {
        std::lock_guard trava(FTrava);
        linha = FecharJanelaSeAcabou(FRelogio.Tique());
    }
    if (!linha.empty()) {
        GravarLog("CELULAR", linha);
    }
}

TGuardaPin::TResultado TGuardaPin::Conferir(const std::string& APin, const std::string& AEndereco) {
    const std::uint32_t agora = FRelogio.Tique();
    std::vector<std::string> linhas;
    const TResultado resultado = ConferirSemLog(APin, AEndereco, agora, linhas);
    for (const auto& linha : linhas) {
        GravarLog("CELULAR", linha);
    }
    return resultado;
}

TGuardaPin::TResultado TGuardaPin::ConferirSemLog(const std::string& APin,
                                                  const std::string& AEndereco,
                                                  std::uint32_t AAgora,
                                                  std::vector<std::string>& ALinhas) {
    std::lock_guard trava(FTrava);
    if (std::string linha = FecharJanelaSeAcabou(AAgora); !linha.empty()) {
        ALinhas.push_back(std::move(linha));
    }
    std::erase_if(FTentativas, [AAgora](const auto& AItem) {
        return DecorridoMs(AItem.second.Desde, AAgora) >= kBloqueioMs;
    });
    auto it = FTentativas.find(AEndereco);
    if (it != FTentativas.end() && it->second.Bloqueado) {
        return TResultado::trBloqueado;
    }
    const bool conhecido = ConhecidoSemTrava(AEndereco, AAgora);
    if (!conhecido && FJanelaAberta && FErrosJanela >= kMaxErrosPorMinuto) {
        // Not even a right PIN gets through: the answer would tell the
        // attacker which of its tries was right.
        ++FRecusadosJanela;
        return TResultado::trBloqueado;
    }
    if (!FPin.empty() && PinsIguais(APin, FPin)) {
        if (it != FTentativas.end()) {
            FTentativas.erase(it);
        }
        Lembrar(AEndereco, AAgora);
        return TResultado::trCerto;
    }
    if (!FJanelaAberta) {
        FJanelaAberta = true;
        FJanelaInicio = AAgora;
    }
    ++FErrosJanela;
    if (FEnderecosJanela.size() < kMaxEnderecosContados) {
        FEnderecosJanela.insert(AEndereco);
    }
    if (it == FTentativas.end()) {
        if (!AbrirVaga(AAgora)) {
            // Every remembered address is locked: this one is refused
            // until a lockout ends, rather than tried unlimited.
            return TResultado::trBloqueado;
        }
        it = FTentativas.emplace(AEndereco, TTentativas{}).first;
    }
    it->second.Desde = AAgora;
    if (++it->second.Erros >= kMaxErrosPin) {
        it->second.Bloqueado = true;
        ALinhas.push_back(FormatarOuFormato(
            "%d PINs errados seguidos de %s: bloqueado por um minuto", kMaxErrosPin, AEndereco));
    }
    return TResultado::trErrado;
}

}  // namespace ljsn
