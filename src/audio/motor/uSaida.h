#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace ljsn {

class TMotor;

// Plays the engine's mix on a sound device through SDL2's audio callback.
// Without a usable device (no sound card), SDL's "dummy" driver pulls the mix
// at real-time pace, so the programme still runs and records.
class TSaidaSdl {
  public:
    // ADriver empty: SDL_AUDIODRIVER or SDL's own choice, then "dummy" when
    // that fails. ADispositivo empty: the default device. Nothing when even
    // the dummy driver fails; AErro says why.
    static std::unique_ptr<TSaidaSdl> Abrir(TMotor& AMotor,
                                            const std::string& ADriver,
                                            const std::string& ADispositivo,
                                            std::string* AErro = nullptr);
    // Stops the callback before returning.
    ~TSaidaSdl();
    TSaidaSdl(const TSaidaSdl&) = delete;
    TSaidaSdl& operator=(const TSaidaSdl&) = delete;

    const std::string& Driver() const { return FDriver; }

  private:
    TSaidaSdl() = default;
    static void Chamada(void* AUsuario, unsigned char* ADados, int ABytes);

    TMotor* FMotor = nullptr;
    unsigned FDispositivo = 0;
    std::string FDriver;
};

// The engine without a device: the caller pulls blocks, and each block waits
// for the decoders, so tests and tools get exact, repeatable output.
class TSaidaOffline {
  public:
    explicit TSaidaOffline(TMotor& AMotor) : FMotor(AMotor) {}
    void Renderizar(std::span<float> ASaida);
    // AQuadros stereo frames, rendered in blocks of ABloco frames.
    std::vector<float> RenderizarQuadros(std::size_t AQuadros, std::size_t ABloco = 480);

  private:
    TMotor& FMotor;
};

}  // namespace ljsn
