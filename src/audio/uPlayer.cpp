#include "audio/uPlayer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "ambiente/uDuracao.h"
#include "ambiente/uLog.h"
#include "comum/uTexto.h"

namespace ljsn {

std::int32_t VolumeDispositivo(std::int32_t AVolume, double AGanho) {
    const double v = static_cast<double>(AVolume) * 10.0 * AGanho;
    if (!(v > 0)) {
        return 0;
    }
    return static_cast<std::int32_t>(std::min<std::int64_t>(ArredondarPar(v), 1000));
}

TPlayer::TPlayer(IDispositivoMidia& ADispositivo, std::string AAlias)
    : FDispositivo(ADispositivo), FAlias(std::move(AAlias)) {}

TPlayer::~TPlayer() {
    Parar();
}

std::string TPlayer::EnviarComando(const std::string& AComando) {
    auto r = FDispositivo.Enviar(AComando);
    return r ? std::move(*r) : std::string();
}

bool TPlayer::EnviarOk(const std::string& AComando) {
    return FDispositivo.Enviar(AComando).has_value();
}

bool TPlayer::Tocar(const std::string& AArquivo, std::optional<std::int32_t> ADuracaoReal) {
    VERIFICAR_OU(FDono.NaThreadDona()) {
        return false;
    }
    Parar();
    if (!EnviarOk("open \"" + AArquivo + "\" type mpegvideo alias " + FAlias)) {
        return false;
    }
    FAberto = true;
    FArquivo = AArquivo;
    EnviarComando("set " + FAlias + " time format milliseconds");
    FDuracaoMci = LerInteiroOu(EnviarComando("status " + FAlias + " length"), 0);
    FDuracaoReal = FDuracaoMci;
    FEscala = 1.0;
    FBaseReal = 0;
    FBaseMci = 0;
    FRealPendente = ADuracaoReal ? *ADuracaoReal : DuracaoMidia(AArquivo);
    Corrigir();
    AplicarVolume();
    return EnviarOk("play " + FAlias);
}

void TPlayer::DefinirDuracaoReal(std::int32_t AMilissegundos) {
    if (!FAberto || DuracaoCorrigida() || AMilissegundos <= 0) {
        return;
    }
    FRealPendente = AMilissegundos;
    Corrigir();
}

void TPlayer::Corrigir() {
    const std::int32_t real = FRealPendente;
    if (real <= 0 || DuracaoCorrigida()) {
        return;
    }
    if (FDuracaoMci <= 0) {
        // Opened in the background (slow storage): its length comes later.
        FDuracaoMci = LerInteiroOu(EnviarComando("status " + FAlias + " length"), 0);
        FDuracaoReal = FDuracaoMci;
        if (FDuracaoMci <= 0) {
            return;
        }
    }
    FRealPendente = -1;
    // |device / real - 1| > 2 %, in integers so exactly 2 % is never corrected
    // by a rounding error.
    const std::int64_t diferenca = std::abs(static_cast<std::int64_t>(FDuracaoMci) - real);
    if (diferenca * 50 > real) {
        // Positions keep counting from where the device is; a seek made
        // before now was on the device's scale.
        FDuracaoReal = real;
        FEscala = static_cast<double>(FDuracaoMci) / real;
        GravarLogFmt("DURACAO",
                     "MCI informou %s, o arquivo tem %s (MP3 de taxa variavel): corrigido | %s",
                     FormatarDuracao(FDuracaoMci),
                     FormatarDuracao(real),
                     std::filesystem::path(FArquivo).filename().string());
    }
}

void TPlayer::Parar() {
    if (FAberto) {
        EnviarComando("stop " + FAlias);
        EnviarComando("close " + FAlias);
    }
    FAberto = false;
}

void TPlayer::Pausar() {
    if (FAberto) {
        EnviarComando("pause " + FAlias);
    }
}

void TPlayer::Continuar() {
    if (FAberto) {
        EnviarComando("resume " + FAlias);
    }
}

bool TPlayer::DuracaoCorrigida() const {
    return FAberto && FEscala != 1.0;
}

void TPlayer::Posicionar(std::int32_t AMilissegundos) {
    if (!FAberto) {
        return;
    }
    const TEstadoPlayer antes = Estado();
    std::int64_t dispositivo = AMilissegundos;
    if (DuracaoCorrigida()) {
        const std::int32_t b = std::clamp(AMilissegundos, 0, FDuracaoReal);
        FBaseReal = b;
        dispositivo = ArredondarPar(b * FEscala);
        FBaseMci = static_cast<std::int32_t>(dispositivo);
    }
    EnviarComando(FormatarOuFormato("seek %s to %d", FAlias, dispositivo));
    if (antes != TEstadoPlayer::epPausado) {
        EnviarComando("play " + FAlias);
    }
}

TEstadoPlayer TPlayer::Estado() {
    if (!FAberto) {
        return TEstadoPlayer::epParado;
    }
    const std::string modo = MinusculasAZ(EnviarComando("status " + FAlias + " mode"));
    if (modo == "playing") {
        return TEstadoPlayer::epTocando;
    }
    if (modo == "paused") {
        return TEstadoPlayer::epPausado;
    }
    return TEstadoPlayer::epParado;
}

std::int32_t TPlayer::Duracao() {
    if (!FAberto) {
        return 0;
    }
    Corrigir();
    if (DuracaoCorrigida()) {
        return FDuracaoReal;
    }
    return LerInteiroOu(EnviarComando("status " + FAlias + " length"), 0);
}

std::int32_t TPlayer::Posicao() {
    if (!FAberto) {
        return 0;
    }
    const std::int32_t p = LerInteiroOu(EnviarComando("status " + FAlias + " position"), 0);
    if (!DuracaoCorrigida()) {
        return p;
    }
    if (p < FDuracaoMci) {
        return std::clamp(p + FBaseReal - FBaseMci, 0, FDuracaoReal);
    }
    return FDuracaoReal;
}

void TPlayer::DefinirVolume(std::int32_t AVolume) {
    FVolume = std::clamp(AVolume, 0, 100);
    AplicarVolume();
}

void TPlayer::DefinirGanho(double AGanho) {
    FGanho = AGanho;
    AplicarVolume();
}

void TPlayer::AplicarVolume() {
    if (!FAberto) {
        return;
    }
    const std::int32_t v = ljsn::VolumeDispositivo(FVolume, FGanho);
    EnviarComando(FormatarOuFormato("setaudio %s volume to %d", FAlias, v));
}

std::string TPlayer::ErroLeitura() {
    if (!FAberto) {
        return {};
    }
    return EnviarComando("status " + FAlias + " error");
}

}  // namespace ljsn
