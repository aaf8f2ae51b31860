#pragma once

#include <cstdint>
#include <optional>

namespace ljsn {

// The minute clock of the announcer's rotations: whether the minute and the
// day changed, and when the shop's next message and the next commemorative
// date are due, each taking its turn in order. No clock of its own: the
// programme hands it the minute of the day.
class TRodizioFalas {
  public:
    // True once per new minute of the day (0..1439).
    bool NovoMinuto(int AMinutoDoDia) {
        if (AMinutoDoDia == FUltimoMinuto) {
            return false;
        }
        FUltimoMinuto = AMinutoDoDia;
        return true;
    }
    // True when ADia differs from the last day seen, not counting the first.
    bool NovoDia(std::int64_t ADia) {
        const bool novo = FDia != -1 && ADia != FDia;
        FDia = ADia;
        return novo;
    }

    // One playing minute more; the index of the message due now among
    // AQuantas, every AIntervalo minutes.
    std::optional<int> Mensagem(int AIntervalo, int AQuantas) {
        if (++FMinutosSemMensagem < AIntervalo) {
            return std::nullopt;
        }
        FMinutosSemMensagem = 0;
        FIndiceMensagem = (FIndiceMensagem + 1) % AQuantas;
        return FIndiceMensagem;
    }
    // The messages start over (their list changed).
    void ReiniciarMensagens() {
        FMinutosSemMensagem = 0;
        FIndiceMensagem = -1;
    }

    // One playing minute more; true when a date is due (then ProximaData).
    bool DataDevida(int AIntervalo) {
        if (++FMinutosSemData < AIntervalo) {
            return false;
        }
        FMinutosSemData = 0;
        return true;
    }
    int ProximaData(int AQuantas) {
        FIndiceData = (FIndiceData + 1) % AQuantas;
        return FIndiceData;
    }
    // The first date comes halfway through its interval after the start.
    void AdiantarDatas(int AMinutos) { FMinutosSemData = AMinutos; }

  private:
    int FUltimoMinuto = -1;
    std::int64_t FDia = -1;
    int FMinutosSemMensagem = 0;
    int FIndiceMensagem = -1;
    int FMinutosSemData = 0;
    int FIndiceData = -1;
};

}  // namespace ljsn
