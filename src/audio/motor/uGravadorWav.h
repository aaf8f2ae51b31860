#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "comum/uAnelSpsc.h"

namespace ljsn {

// Header bytes before the first sample. The header reserves room for a
// "ds64" chunk, so a file outgrowing 32-bit sizes becomes RF64 in place.
inline constexpr std::uint64_t kCabecalhoWav = 80;
// Largest RIFF size a plain WAV may carry; 0xFFFFFFFF itself means "see ds64".
inline constexpr std::uint64_t kLimiteRiffWav = 0xFFFFFFFEu;

struct TOpcoesGravadorWav {
    // Past this RIFF size the file is written as RF64; lowered by tests.
    std::uint64_t LimiteRiff = kLimiteRiffWav;
    // Frames of silence the recording starts with, left as a hole in the file,
    // so tests reach large sizes without writing them.
    std::uint64_t QuadrosIniciais = 0;
};

// Records what the audio thread hands it into a 32-bit float WAV file. The
// audio thread only pushes into a ring; a thread of its own writes the file
// and keeps the header's sizes current, so a recording cut short still opens.
// A write error stops the recording, never the sound: the ring keeps being
// emptied and the error waits in ErroNovo for the main thread to log.
class TGravadorWav {
  public:
    // Main thread. Nothing when the file cannot be created; AErro says why.
    static std::unique_ptr<TGravadorWav> Criar(const std::string& ACaminho,
                                               int ATaxa,
                                               int ACanais,
                                               std::string* AErro = nullptr,
                                               const TOpcoesGravadorWav& AOpcoes = {});
    // Closes the file when Fechar was not called.
    ~TGravadorWav();
    TGravadorWav(const TGravadorWav&) = delete;
    TGravadorWav& operator=(const TGravadorWav&) = delete;

    // Audio thread: returns the frames taken (all, unless the writer lags by seconds).
    std::size_t Escrever(std::span<const float> AAmostras);

    // Main thread, after the audio thread stopped calling Escrever: writes
    // what is left, completes the header and closes the file.
    void Fechar();

    // Main thread: the first write error, once; nothing before one or after it
    // was taken. Writing stopped at that error; the file holds what came before.
    std::optional<std::string> ErroNovo();

  private:
    TGravadorWav(int AArquivo,
                 std::string ACaminho,
                 int ATaxa,
                 int ACanais,
                 const TOpcoesGravadorWav& AOpcoes);
    void Gravar(const std::stop_token& AParar);
    void Descarregar();
    bool EscreverEm(const char* ADados, std::size_t ABytes, std::uint64_t APosicao);
    void AtualizarCabecalho();
    void Falhar(int AErrno);

    int FArquivo;
    std::string FCaminho;
    int FTaxa;
    int FCanais;
    std::uint64_t FLimiteRiff;
    std::uint64_t FBytesDados = 0;  // writer thread; whole or partial frames on disk
    bool FFalhou = false;           // writer thread
    std::atomic<int> FErro{0};      // errno of the first failure
    bool FErroEntregue = false;     // main thread
    TAnelSpsc<float> FAnel;
    std::vector<float> FBloco;
    std::jthread FThread;
};

// The header of a 32-bit float WAV holding ABytesDados of samples: plain WAV
// with a "JUNK" chunk while the RIFF size is at most ALimiteRiff, RF64 with a
// "ds64" chunk beyond it.
std::string CabecalhoWavFloat(int ATaxa,
                              int ACanais,
                              std::uint64_t ABytesDados,
                              std::uint64_t ALimiteRiff = kLimiteRiffWav);

}  // namespace ljsn
