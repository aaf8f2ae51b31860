#pragma once

#include <algorithm>
#include <cstddef>

namespace ljsn {

// Moves a gain linearly to its target over FQuadrosRampa frames (> 0). A new
// target starts from the gain reached so far, so a change mid-ramp never
// jumps. Audio thread.
class TRampaGanho {
  public:
    explicit TRampaGanho(int AQuadrosRampa = 4800) : FQuadrosRampa(std::max(AQuadrosRampa, 1)) {}

    // Jumps straight to AGanho.
    void Reiniciar(float AGanho) {
        FDe = FPara = AGanho;
        FQuadro = FQuadrosRampa;
    }

    void DefinirAlvo(float AAlvo) {
        if (AAlvo == FPara) {
            return;
        }
        FDe = Atual();
        FPara = AAlvo;
        FQuadro = 0;
    }

    float Atual() const {
        return FDe +
               (FPara - FDe) * (static_cast<float>(FQuadro) / static_cast<float>(FQuadrosRampa));
    }
    bool Parada() const { return FQuadro >= FQuadrosRampa; }
    std::size_t Restantes() const { return static_cast<std::size_t>(FQuadrosRampa - FQuadro); }

    // The gain for the current frame, then one frame on.
    float Avancar() {
        const float g = Atual();
        FQuadro = std::min(FQuadro + 1, FQuadrosRampa);
        return g;
    }

  private:
    int FQuadrosRampa;
    int FQuadro = 0;
    float FDe = 0.0f;
    float FPara = 0.0f;
};

}  // namespace ljsn
