#include "programa/uGuardas.h"

#include <algorithm>
#include <utility>

namespace ljsn {

bool TGuardas::Silencio(std::optional<int> ANivel,
                        bool AVigiar,
                        int ASilencioMaximo,
                        std::uint32_t ATickMs) {
    // -60 dBFS is 1000 millionths of full scale.
    if (!ANivel || ASilencioMaximo <= 0 || !AVigiar || *ANivel >= 1000) {
        FSilencioMs = 0;
        return false;
    }
    FSilencioMs += ATickMs;
    if (FSilencioMs < static_cast<std::uint32_t>(ASilencioMaximo) * 1000u) {
        return false;
    }
    FSilencioMs = 0;
    ++FSilencios;
    return true;
}

void TGuardas::EntrarNaEspera() {
    FSemMusica = true;
    FSemMusicaDesde = FRelogio.Tique();
}

bool TGuardas::MusicaFalhou(int ATamanhoLista) {
    ++FFalhasMusica;
    // A folder of thousands of files that never open must not be tried at
    // tick speed until each has failed once.
    if (FSemMusica || FFalhasMusica < std::min(ATamanhoLista, kMaxFalhasSeguidas)) {
        return false;
    }
    EntrarNaEspera();
    return true;
}

bool TGuardas::Vigiar(bool AAudivel, bool ADevia) {
    const std::uint32_t agora = FRelogio.Tique();
    if (AAudivel) {
        if (FSemMusica) {
            FVoltou = true;
            FSemMusica = false;
        }
        FFalhasMusica = 0;
        FTocouEm = agora;
        return false;
    }
    if (!ADevia || FSemMusica) {
        FTocouEm = agora;
        return false;
    }
    // Files that open and then never play (a share that stopped, streams the
    // engine keeps abandoning): the same wait as songs that fail to open.
    if (DecorridoMs(FTocouEm, agora) >= kMaxSemTocarMs) {
        EntrarNaEspera();
        return true;
    }
    return false;
}

bool TGuardas::TentarDeNovo() {
    if (!FSemMusica || DecorridoMs(FSemMusicaDesde, FRelogio.Tique()) < kEsperaSemMusicaMs) {
        return false;
    }
    FSemMusicaDesde = FRelogio.Tique();
    return true;
}

void TGuardas::Zerar() {
    FSemMusica = false;
    FFalhasMusica = 0;
}

void TGuardas::VolumeMudou(bool AMudou) {
    if (AMudou && !FVolumePendente) {
        FVolumePendente = true;
        FVolumeMudouEm = FRelogio.Tique();
    }
}

bool TGuardas::SalvarVolumeAgora() {
    if (!FVolumePendente || DecorridoMs(FVolumeMudouEm, FRelogio.Tique()) < kEsperaSalvarVolumeMs) {
        return false;
    }
    FVolumePendente = false;
    return true;
}

}  // namespace ljsn
