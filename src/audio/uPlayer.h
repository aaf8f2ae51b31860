#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio/motor/uDispositivoMidia.h"
#include "comum/uVerificar.h"

namespace ljsn {

enum class TEstadoPlayer : std::uint8_t { epParado, epTocando, epPausado };
enum class TCategoriaAudio : std::uint8_t { caMusica, caPropaganda, caVinheta };

// Plays one file at a time on a device alias of its own, with a volume
// 0..100 times a gain, and corrects the length and position the device gives
// for VBR MP3 files against the file's real duration. Main thread only.
class TPlayer {
  public:
    TPlayer(IDispositivoMidia& ADispositivo, std::string AAlias);
    ~TPlayer();
    TPlayer(const TPlayer&) = delete;
    TPlayer& operator=(const TPlayer&) = delete;

    // ADuracaoReal: the file's real length when the caller already read it,
    // -1 when unknown yet (DefinirDuracaoReal then brings it); without it the
    // file is read here, on the caller's thread.
    bool Tocar(const std::string& AArquivo,
               std::optional<std::int32_t> ADuracaoReal = std::nullopt);
    // The real length of the open file, learnt after it started: corrects the
    // device's length from now on, when they differ as Tocar would have.
    void DefinirDuracaoReal(std::int32_t AMilissegundos);
    void Pausar();
    void Continuar();
    void Parar();
    void Posicionar(std::int32_t AMilissegundos);
    bool DuracaoCorrigida() const;

    TEstadoPlayer Estado();
    std::int32_t Duracao();
    std::int32_t Posicao();
    std::int32_t Volume() const { return FVolume; }
    void DefinirVolume(std::int32_t AVolume);
    double Ganho() const { return FGanho; }
    void DefinirGanho(double AGanho);
    TCategoriaAudio Categoria() const { return FCategoria; }
    void DefinirCategoria(TCategoriaAudio ACategoria) { FCategoria = ACategoria; }
    const std::string& Alias() const { return FAlias; }
    bool Aberto() const { return FAberto; }

    // Reply text of one command; empty on any error.
    std::string EnviarComando(const std::string& AComando);
    // The file last opened.
    const std::string& Arquivo() const { return FArquivo; }
    // Why the file's stream ended before its end ("MS TEXT": where, in the
    // device's milliseconds, and why); empty after a normal end.
    std::string ErroLeitura();

  private:
    bool EnviarOk(const std::string& AComando);
    void AplicarVolume();
    // Compares the device's length with the real one, once both are known.
    void Corrigir();

    IDispositivoMidia& FDispositivo;
    TDonoThread FDono;
    bool FAberto = false;
    std::int32_t FVolume = 80;
    double FGanho = 1.0;
    std::string FAlias;
    std::string FArquivo;
    TCategoriaAudio FCategoria = TCategoriaAudio::caMusica;
    std::int32_t FDuracaoMci = 0;
    std::int32_t FDuracaoReal = 0;
    double FEscala = 1.0;
    std::int32_t FBaseReal = 0;
    std::int32_t FBaseMci = 0;
    std::int32_t FRealPendente = -1;  // a real length not compared yet
};

// The device volume for a volume 0..100 and a gain: volume x 10 x gain,
// rounded half to even, capped at 1000.
std::int32_t VolumeDispositivo(std::int32_t AVolume, double AGanho);

}  // namespace ljsn
