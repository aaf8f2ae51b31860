#include "audio/motor/uGravadorWav.h"

#include <cerrno>
#include <chrono>
#include <cstring>

namespace ljsn {

namespace {

void Acrescentar32(std::string& AS, std::uint32_t AV) {
    for (int i = 0; i < 4; ++i) {
        AS += static_cast<char>((AV >> (8 * i)) & 0xFF);
    }
}
void Acrescentar16(std::string& AS, std::uint16_t AV) {
    AS += static_cast<char>(AV & 0xFF);
    AS += static_cast<char>(AV >> 8);
}

}  // namespace

std::string CabecalhoWavFloat(int ATaxa, int ACanais, std::uint64_t ABytesDados) {
    const auto dados =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(ABytesDados, 0xFFFFFFF0u - 36));
    std::string h = "RIFF";
    Acrescentar32(h, 36 + dados);
    h += "WAVEfmt ";
    Acrescentar32(h, 16);
    Acrescentar16(h, 3);  // IEEE float
    Acrescentar16(h, static_cast<std::uint16_t>(ACanais));
    Acrescentar32(h, static_cast<std::uint32_t>(ATaxa));
    Acrescentar32(h, static_cast<std::uint32_t>(ATaxa * ACanais * 4));
    Acrescentar16(h, static_cast<std::uint16_t>(ACanais * 4));
    Acrescentar16(h, 32);
    h += "data";
    Acrescentar32(h, dados);
    return h;
}

std::unique_ptr<TGravadorWav> TGravadorWav::Criar(const std::string& ACaminho,
                                                  int ATaxa,
                                                  int ACanais,
                                                  std::string* AErro) {
    std::FILE* arquivo = std::fopen(ACaminho.c_str(), "wb");
    if (arquivo == nullptr) {
        if (AErro != nullptr) {
            *AErro = std::strerror(errno);  // NOLINT(concurrency-mt-unsafe): main thread at start
        }
        return nullptr;
    }
    return std::unique_ptr<TGravadorWav>(new TGravadorWav(arquivo, ATaxa, ACanais));
}

TGravadorWav::TGravadorWav(std::FILE* AArquivo, int ATaxa, int ACanais)
    : FArquivo(AArquivo),
      FTaxa(ATaxa),
      FCanais(ACanais),
      FAnel(static_cast<std::size_t>(ATaxa * ACanais * 4)),
      FBloco(static_cast<std::size_t>(ATaxa * ACanais / 10)) {
    AtualizarCabecalho();
    FThread = std::jthread([this](const std::stop_token& AParar) { Gravar(AParar); });
}

TGravadorWav::~TGravadorWav() {
    FThread.request_stop();
    FThread.join();
    Descarregar();
    AtualizarCabecalho();
    std::fclose(FArquivo);
}

std::size_t TGravadorWav::Escrever(std::span<const float> AAmostras) {
    return FAnel.Escrever(AAmostras) / static_cast<std::size_t>(FCanais);
}

void TGravadorWav::Descarregar() {
    while (true) {
        const std::size_t n = FAnel.Ler(std::span<float>(FBloco));
        if (n == 0) {
            break;
        }
        FBytesDados += std::fwrite(FBloco.data(), sizeof(float), n, FArquivo) * sizeof(float);
    }
}

void TGravadorWav::AtualizarCabecalho() {
    const long fim = std::ftell(FArquivo);
    const std::string cabecalho = CabecalhoWavFloat(FTaxa, FCanais, FBytesDados);
    std::fseek(FArquivo, 0, SEEK_SET);
    std::fwrite(cabecalho.data(), 1, cabecalho.size(), FArquivo);
    if (fim > static_cast<long>(cabecalho.size())) {
        std::fseek(FArquivo, fim, SEEK_SET);
    }
    std::fflush(FArquivo);
}

void TGravadorWav::Gravar(const std::stop_token& AParar) {
    auto ultimoCabecalho = std::chrono::steady_clock::now();
    while (!AParar.stop_requested()) {
        Descarregar();
        const auto agora = std::chrono::steady_clock::now();
        if (agora - ultimoCabecalho > std::chrono::seconds(1)) {
            AtualizarCabecalho();
            ultimoCabecalho = agora;
        }
        // The audio thread cannot signal; a recording is read back much later.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace ljsn
