#include "audio/motor/uGravadorWav.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace ljsn {

namespace {

void Acrescentar64(std::string& AS, std::uint64_t AV) {
    for (int i = 0; i < 8; ++i) {
        AS += static_cast<char>((AV >> (8 * i)) & 0xFF);
    }
}
void Acrescentar32(std::string& AS, std::uint32_t AV) {
    for (int i = 0; i < 4; ++i) {
        AS += static_cast<char>((AV >> (8 * i)) & 0xFF);
    }
}
void Acrescentar16(std::string& AS, std::uint16_t AV) {
    AS += static_cast<char>(AV & 0xFF);
    AS += static_cast<char>(AV >> 8);
}

// Writes all ABytes at APosicao, going on after short writes; returns the
// bytes written, fewer only on an error, whose errno goes to AErrno.
std::size_t EscreverTudo(
    int AArquivo, const char* ADados, std::size_t ABytes, std::uint64_t APosicao, int& AErrno) {
    std::size_t feitos = 0;
    while (feitos < ABytes) {
        const ssize_t n = ::pwrite(
            AArquivo, ADados + feitos, ABytes - feitos, static_cast<off_t>(APosicao + feitos));
        if (n > 0) {
            feitos += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            AErrno = n < 0 ? errno : ENOSPC;  // 0 bytes for a non-empty write: no room
            break;
        }
    }
    return feitos;
}

}  // namespace

std::string CabecalhoWavFloat(int ATaxa,
                              int ACanais,
                              std::uint64_t ABytesDados,
                              std::uint64_t ALimiteRiff) {
    const std::uint64_t riff = kCabecalhoWav - 8 + ABytesDados;
    const bool rf64 = riff > std::min(ALimiteRiff, kLimiteRiffWav);
    const auto quadro = static_cast<std::uint16_t>(ACanais * 4);
    std::string h = rf64 ? "RF64" : "RIFF";
    Acrescentar32(h, rf64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(riff));
    h += "WAVE";
    // Readers skip "JUNK"; RF64 reuses its bytes, so the samples never move.
    h += rf64 ? "ds64" : "JUNK";
    Acrescentar32(h, 28);
    Acrescentar64(h, rf64 ? riff : 0);
    Acrescentar64(h, rf64 ? ABytesDados : 0);
    Acrescentar64(h, rf64 ? ABytesDados / quadro : 0);
    Acrescentar32(h, 0);  // no table of other chunk sizes
    h += "fmt ";
    Acrescentar32(h, 16);
    Acrescentar16(h, 3);  // IEEE float
    Acrescentar16(h, static_cast<std::uint16_t>(ACanais));
    Acrescentar32(h, static_cast<std::uint32_t>(ATaxa));
    Acrescentar32(h, static_cast<std::uint32_t>(ATaxa) * quadro);
    Acrescentar16(h, quadro);
    Acrescentar16(h, 32);
    h += "data";
    Acrescentar32(h, rf64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(ABytesDados));
    return h;
}

std::unique_ptr<TGravadorWav> TGravadorWav::Criar(const std::string& ACaminho,
                                                  int ATaxa,
                                                  int ACanais,
                                                  std::string* AErro,
                                                  const TOpcoesGravadorWav& AOpcoes) {
    const int arquivo = ::open(ACaminho.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (arquivo < 0) {
        if (AErro != nullptr) {
            *AErro = std::strerror(errno);  // NOLINT(concurrency-mt-unsafe): main thread at start
        }
        return nullptr;
    }
    return std::unique_ptr<TGravadorWav>(
        new TGravadorWav(arquivo, ACaminho, ATaxa, ACanais, AOpcoes));
}

TGravadorWav::TGravadorWav(
    int AArquivo, std::string ACaminho, int ATaxa, int ACanais, const TOpcoesGravadorWav& AOpcoes)
    : FArquivo(AArquivo),
      FCaminho(std::move(ACaminho)),
      FTaxa(ATaxa),
      FCanais(ACanais),
      FLimiteRiff(AOpcoes.LimiteRiff),
      FBytesDados(AOpcoes.QuadrosIniciais * static_cast<std::uint64_t>(ACanais) * sizeof(float)),
      FAnel(static_cast<std::size_t>(ATaxa * ACanais * 4)),
      FBloco(static_cast<std::size_t>(ATaxa * ACanais / 10)) {
    if (FBytesDados > 0 &&
        ::ftruncate(FArquivo, static_cast<off_t>(kCabecalhoWav + FBytesDados)) != 0) {
        Falhar(errno);
    }
    AtualizarCabecalho();
    FThread = std::jthread([this](const std::stop_token& AParar) { Gravar(AParar); });
}

TGravadorWav::~TGravadorWav() {
    Fechar();
}

void TGravadorWav::Fechar() {
    if (FArquivo < 0) {
        return;
    }
    FThread.request_stop();
    FThread.join();
    Descarregar();
    const std::uint64_t quadro = static_cast<std::uint64_t>(FCanais) * sizeof(float);
    if (FFalhou && FBytesDados % quadro != 0) {
        // Drop a frame cut by the error; a failure here leaves bytes readers ignore.
        FBytesDados -= FBytesDados % quadro;
        static_cast<void>(::ftruncate(FArquivo, static_cast<off_t>(kCabecalhoWav + FBytesDados)));
    }
    AtualizarCabecalho();
    if (::close(FArquivo) != 0) {
        Falhar(errno);  // some filesystems report a lost write only here
    }
    FArquivo = -1;
}

std::optional<std::string> TGravadorWav::ErroNovo() {
    const int erro = FErro.load(std::memory_order_acquire);
    if (erro == 0 || FErroEntregue) {
        return std::nullopt;
    }
    FErroEntregue = true;
    return "a gravacao de " + FCaminho +
           " parou: " + std::strerror(erro);  // NOLINT(concurrency-mt-unsafe): main thread
}

std::size_t TGravadorWav::Escrever(std::span<const float> AAmostras) {
    return FAnel.Escrever(AAmostras) / static_cast<std::size_t>(FCanais);
}

void TGravadorWav::Falhar(int AErrno) {
    int nenhum = 0;
    FErro.compare_exchange_strong(nenhum, AErrno != 0 ? AErrno : EIO, std::memory_order_release);
    FFalhou = true;
}

void TGravadorWav::Descarregar() {
    while (true) {
        if (FFalhou) {
            // The ring still empties, so the audio thread never finds it full.
            FAnel.Descartar(FAnel.Capacidade());
            return;
        }
        const std::size_t n = FAnel.Ler(std::span<float>(FBloco));
        if (n == 0) {
            return;
        }
        const std::size_t bytes = n * sizeof(float);
        int erro = 0;
        const std::size_t feitos = EscreverTudo(FArquivo,
                                                reinterpret_cast<const char*>(FBloco.data()),
                                                bytes,
                                                kCabecalhoWav + FBytesDados,
                                                erro);
        FBytesDados += feitos;
        if (feitos < bytes) {
            Falhar(erro);
            AtualizarCabecalho();  // the file stays readable even if never closed
        }
    }
}

void TGravadorWav::AtualizarCabecalho() {
    const std::uint64_t quadro = static_cast<std::uint64_t>(FCanais) * sizeof(float);
    const std::string cabecalho =
        CabecalhoWavFloat(FTaxa, FCanais, FBytesDados - FBytesDados % quadro, FLimiteRiff);
    int erro = 0;
    if (EscreverTudo(FArquivo, cabecalho.data(), cabecalho.size(), 0, erro) < cabecalho.size()) {
        Falhar(erro);
    }
}

void TGravadorWav::Gravar(const std::stop_token& AParar) {
    auto ultimoCabecalho = std::chrono::steady_clock::now();
    while (!AParar.stop_requested()) {
        Descarregar();
        const auto agora = std::chrono::steady_clock::now();
        if (!FFalhou && agora - ultimoCabecalho > std::chrono::seconds(1)) {
            AtualizarCabecalho();
            ultimoCabecalho = agora;
        }
        // The audio thread cannot signal; a recording is read back much later.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace ljsn
