// The settings dialog's test playback.
#include "programa/uEscutaTeste.h"

#include "programa/uPrincipal.h"

namespace ljsn {

TEscutaTeste::TEscutaTeste(IDispositivoMidia& ADispositivo,
                           IFabricaVoz& AFabricaVoz,
                           TRelogio& ARelogio)
    : FDispositivo(ADispositivo), FFabricaVoz(AFabricaVoz), FRelogio(ARelogio) {}

TEscutaTeste::~TEscutaTeste() {
    PararArquivo();
    CalarVoz();
}

std::vector<std::string> TEscutaTeste::VozesDisponiveis() {
    TLocutor lista(FFabricaVoz, FRelogio);
    return lista.VozesDisponiveis();
}

void TEscutaTeste::Falar(const std::string& ATexto, TTipoFala ATipo, const TVoz& AVoz) {
    if (!FVoz) {
        FVoz = std::make_unique<TLocutor>(FFabricaVoz, FRelogio);
    }
    FVoz->DefinirNomeVoz(AVoz.Nome);
    FVoz->DefinirVelocidade(AVoz.Velocidade);
    FVoz->DefinirTom(AVoz.Tom);
    for (std::size_t i = 0; i < kTiposFala; ++i) {
        FVoz->DefinirVolume(static_cast<TTipoFala>(i), AVoz.Volumes[i]);
    }
    FVoz->FalarImediato(ATexto, ATipo);
}

void TEscutaTeste::DefinirVolumeFala(TTipoFala ATipo, int AVolume) {
    if (FVoz) {
        FVoz->DefinirVolume(ATipo, AVolume);
    }
}

void TEscutaTeste::CalarVoz() {
    if (FVoz) {
        FVoz->Cancelar();
    }
}

void TEscutaTeste::Processar(int AMs) {
    if (FVoz) {
        FVoz->Processar(AMs);
    }
}

std::string TEscutaTeste::PrimeiroArquivo(const std::string& APasta) {
    const auto arquivos = ListarArquivosDaPasta(APasta, true);
    return arquivos.empty() ? std::string() : arquivos.front();
}

bool TEscutaTeste::TocarArquivo(const std::string& AArquivo, int AVolume) {
    if (!FPlayer) {
        FPlayer = std::make_unique<TPlayer>(FDispositivo, "teste");
    }
    FPlayer->DefinirVolume(AVolume);
    return FPlayer->Tocar(AArquivo);
}

void TEscutaTeste::DefinirVolumeArquivo(int AVolume) {
    if (FPlayer) {
        FPlayer->DefinirVolume(AVolume);
    }
}

bool TEscutaTeste::TocandoArquivo() {
    return FPlayer && FPlayer->Estado() != TEstadoPlayer::epParado;
}

void TEscutaTeste::PararArquivo() {
    if (FPlayer) {
        FPlayer->Parar();
    }
}

}  // namespace ljsn
