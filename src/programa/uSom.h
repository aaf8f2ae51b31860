#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/motor/uGravadorWav.h"
#include "audio/motor/uMotor.h"
#include "audio/motor/uSaida.h"
#include "locutor/voz/uVozEspeak.h"

namespace ljsn {

// The sound of the running program: the engine, the device it plays on and,
// when asked, the recording of the mix. Main thread.
class TSom {
  public:
    struct TOpcoes {
        std::string Driver;       // SDL driver; empty: SDL_AUDIODRIVER or SDL's choice
        std::string Dispositivo;  // empty: the default device
        std::string GravarSaida;  // WAV file recording the mix; empty: none
    };

    // Nothing when no output could be opened or the recording not created;
    // AErro says why.
    static std::unique_ptr<TSom> Criar(const TOpcoes& AOpcoes, std::string* AErro);
    // Stops the device first, then the recording, then frees the engine.
    ~TSom();

    TMotor& Motor() { return *FMotor; }
    IFabricaVoz& FabricaVoz() { return *FFabricaVoz; }
    const std::string& Driver() const { return FSaida->Driver(); }
    // Logs the engine's fault counters when they grew, at most once a minute.
    void VerificarContadores(std::uint32_t ATique);

  private:
    TSom() = default;
    std::unique_ptr<TMotor> FMotor;
    std::unique_ptr<TFabricaVozEspeak> FFabricaVoz;
    std::unique_ptr<TGravadorWav> FGravador;
    std::unique_ptr<TSaidaSdl> FSaida;
    TContadoresMotor FRegistrados;
    std::uint32_t FUltimoRegistro = 0;
    bool FRegistrou = false;
};

}  // namespace ljsn
