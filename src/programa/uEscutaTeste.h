#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/motor/uDispositivoMidia.h"
#include "audio/uPlayer.h"
#include "comum/uRelogio.h"
#include "locutor/uLocutor.h"
#include "locutor/voz/uVozSapi.h"
#include "programa/uControle.h"

namespace ljsn {

// The test playback: its own player ("teste") and voice, made on first use.
// Main thread.
class TEscutaTeste final : public IEscutaTeste {
  public:
    TEscutaTeste(IDispositivoMidia& ADispositivo, IFabricaVoz& AFabricaVoz, TRelogio& ARelogio);
    ~TEscutaTeste() override;
    TEscutaTeste(const TEscutaTeste&) = delete;
    TEscutaTeste& operator=(const TEscutaTeste&) = delete;

    std::vector<std::string> VozesDisponiveis() override;
    void Falar(const std::string& ATexto, TTipoFala ATipo, const TVoz& AVoz) override;
    void DefinirVolumeFala(TTipoFala ATipo, int AVolume) override;
    void CalarVoz() override;
    void Processar(int AMs) override;
    std::string PrimeiroArquivo(const std::string& APasta) override;
    bool TocarArquivo(const std::string& AArquivo, int AVolume) override;
    void DefinirVolumeArquivo(int AVolume) override;
    bool TocandoArquivo() override;
    void PararArquivo() override;

    // What the tests look at; null until first used.
    TLocutor* Voz() { return FVoz.get(); }
    TPlayer* Player() { return FPlayer.get(); }

  private:
    IDispositivoMidia& FDispositivo;
    IFabricaVoz& FFabricaVoz;
    TRelogio& FRelogio;
    std::unique_ptr<TLocutor> FVoz;
    std::unique_ptr<TPlayer> FPlayer;
};

}  // namespace ljsn
