#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "comum/uRelogio.h"
#include "programa/uFalhasPorArquivo.h"

namespace ljsn {

// The programme's guards, each a small state machine on the tick's clock:
// - dead air: output below -60 dBFS for too long while playing skips the item;
// - the no-music wait: after songs fail in a row, or nothing is heard for
//   10 s, the programme tries again every 30 s instead of at tick speed;
// - the delayed volume save: a volume changed from the phone or the widget
//   reaches the disk within two seconds, however often it changes meanwhile;
// - one error line per file per hour.
// They decide; the programme acts. Main thread.
class TGuardas {
  public:
    static constexpr int kMaxFalhasSeguidas = 20;
    static constexpr std::uint32_t kMaxSemTocarMs = 10000;
    static constexpr std::uint32_t kEsperaSemMusicaMs = 30000;
    static constexpr std::uint32_t kEsperaSalvarVolumeMs = 2000;

    explicit TGuardas(TRelogio& ARelogio) : FRelogio(ARelogio) {}

    // Dead air, once a tick. ANivel: the output's peak in millionths of full
    // scale since the last tick (nothing: the device cannot tell, never
    // judged); AVigiar: something that should sound is playing;
    // ASilencioMaximo: seconds allowed (<= 0: off). True when the item on
    // air must be skipped now.
    bool Silencio(std::optional<int> ANivel,
                  bool AVigiar,
                  int ASilencioMaximo,
                  std::uint32_t ATickMs);
    int Silencios() const { return FSilencios; }

    // A song failed to open; ATamanhoLista: songs in the list. True when this
    // failure starts the wait (log it once).
    bool MusicaFalhou(int ATamanhoLista);
    // Once a tick: whether anything is audibly playing, and whether the
    // programme means to play. True when files that open but never play
    // start the wait now (log it once).
    bool Vigiar(bool AAudivel, bool ADevia);
    // The last Vigiar found music again after a wait (log it once).
    bool Voltou() { return std::exchange(FVoltou, false); }
    bool EsperandoMusicas() const { return FSemMusica; }
    // While waiting: true once the next try is due (the timer restarts).
    bool TentarDeNovo();
    int FalhasSeguidas() const { return FFalhasMusica; }
    // Stopped by a person: no wait, no count.
    void Zerar();

    // The volume changed (AMudou: to another value).
    void VolumeMudou(bool AMudou);
    // True once the pending volume is due on disk (it is no longer pending).
    bool SalvarVolumeAgora();
    // Saved with the rest of the settings: nothing pending.
    void VolumeSalvo() { FVolumePendente = false; }

    // True when AArquivo's error should be logged now.
    bool RegistrarFalha(const std::string& AArquivo) {
        return FFalhasRegistradas.Registrar(AArquivo, FRelogio.Tique());
    }

  private:
    void EntrarNaEspera();

    TRelogio& FRelogio;
    std::uint32_t FSilencioMs = 0;
    int FSilencios = 0;
    int FFalhasMusica = 0;
    bool FSemMusica = false;
    bool FVoltou = false;
    std::uint32_t FSemMusicaDesde = 0;
    std::uint32_t FTocouEm = 0;  // the last tick with something audibly playing
    bool FVolumePendente = false;
    std::uint32_t FVolumeMudouEm = 0;
    TFalhasPorArquivo FFalhasRegistradas;
};

}  // namespace ljsn
