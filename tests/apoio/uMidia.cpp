#include "apoio/uMidia.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <sys/wait.h>

#include "apoio/uPastaTemporaria.h"
#include "apoio/uSinais.h"

namespace ljsn::teste {

namespace {
std::string Citar(const std::string& ATexto) {
    std::string r = "'";
    for (char c : ATexto) {
        if (c == '\'') {
            r += "'\\''";
        } else {
            r += c;
        }
    }
    return r + "'";
}
}  // namespace

void CriarWavSilencioso(const std::string& ACaminho, int AMilissegundos, int ATaxa) {
    const auto dados =
        static_cast<std::uint32_t>(static_cast<std::int64_t>(AMilissegundos) * ATaxa / 1000);
    std::string w = CabecalhoWav(1, 1, ATaxa, 8, dados);
    w.append(dados, static_cast<char>(0x80));
    EscreverArquivo(ACaminho, w);
}

int Rodar(const std::string& AComando) {
    const int estado = std::system(AComando.c_str());  // NOLINT(concurrency-mt-unsafe)
    return WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
}

void RodarFfmpeg(const std::vector<std::string>& AArgs) {
    // The last argument is the output file: make its folder.
    if (!AArgs.empty()) {
        std::error_code erro;
        std::filesystem::create_directories(std::filesystem::path(AArgs.back()).parent_path(),
                                            erro);
    }
    std::string comando = "ffmpeg -hide_banner -loglevel error -nostdin -y";
    for (const auto& a : AArgs) {
        comando += " " + Citar(a);
    }
    if (Rodar(comando) != 0) {
        throw std::runtime_error("ffmpeg falhou: " + comando);
    }
}

void GerarTom(const std::string& ACaminho,
              double ASegundos,
              double AFrequencia,
              double AAmplitude,
              const std::vector<std::string>& ACodec,
              int ATaxa,
              int ACanais) {
    // One expression per channel: "-ac 2" on a mono source would pan it at -3 dB.
    const std::string tom =
        std::to_string(AAmplitude) + "*sin(2*PI*" + std::to_string(AFrequencia) + "*t)";
    std::string expressoes = tom;
    for (int c = 1; c < ACanais; ++c) {
        expressoes += "|" + tom;
    }
    std::vector<std::string> args = {"-f",
                                     "lavfi",
                                     "-i",
                                     "aevalsrc=" + expressoes + ":s=" + std::to_string(ATaxa) +
                                         ":d=" + std::to_string(ASegundos)};
    args.insert(args.end(), ACodec.begin(), ACodec.end());
    args.push_back(ACaminho);
    RodarFfmpeg(args);
}

}  // namespace ljsn::teste
