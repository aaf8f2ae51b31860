#pragma once

#include <cstdio>
#include <memory>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "comum/uAnelSpsc.h"

namespace ljsn {

// Records what the audio thread hands it into a 32-bit float WAV file. The
// audio thread only pushes into a ring; a thread of its own writes the file
// and keeps the header's sizes current, so a recording cut short still opens.
class TGravadorWav {
  public:
    // Nothing when the file cannot be created; AErro says why.
    static std::unique_ptr<TGravadorWav> Criar(const std::string& ACaminho,
                                               int ATaxa,
                                               int ACanais,
                                               std::string* AErro = nullptr);
    // Writes what is left and closes the file.
    ~TGravadorWav();
    TGravadorWav(const TGravadorWav&) = delete;
    TGravadorWav& operator=(const TGravadorWav&) = delete;

    // Audio thread: returns the frames taken (all, unless the writer lags by seconds).
    std::size_t Escrever(std::span<const float> AAmostras);

  private:
    TGravadorWav(std::FILE* AArquivo, int ATaxa, int ACanais);
    void Gravar(const std::stop_token& AParar);
    void Descarregar();
    void AtualizarCabecalho();

    std::FILE* FArquivo;
    int FTaxa;
    int FCanais;
    std::uint64_t FBytesDados = 0;
    TAnelSpsc<float> FAnel;
    std::vector<float> FBloco;
    std::jthread FThread;
};

// The header of a 32-bit float WAV holding ABytesDados of samples.
std::string CabecalhoWavFloat(int ATaxa, int ACanais, std::uint64_t ABytesDados);

}  // namespace ljsn
