#pragma once

#include <atomic>
#include <cstdint>

#include "comum/uRelogio.h"

namespace ljsn::teste {

// A clock the test moves by hand: hours of programme run in milliseconds.
// The tick counter starts near its wrap point so spans across the wrap are
// exercised for free.
class TRelogioFalso final : public TRelogio {
  public:
    explicit TRelogioFalso(double AAgora = CodificarData(2026, 12, 9) + CodificarHora(10, 0),
                           std::uint32_t ATique = 0xFFFF0000u);

    std::uint32_t Tique() const override { return FTique.load(); }
    double Agora() const override { return FAgora.load(); }

    void Avancar(std::uint32_t AMilissegundos);
    void DefinirAgora(double AAgora) { FAgora.store(AAgora); }

  private:
    std::atomic<std::uint32_t> FTique;
    std::atomic<double> FAgora;
};

}  // namespace ljsn::teste
