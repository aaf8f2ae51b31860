#include "apoio/uMidia.h"

#include <cstdlib>
#include <stdexcept>

#include <sys/wait.h>

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

int Rodar(const std::string& AComando) {
    const int estado = std::system(AComando.c_str());  // NOLINT(concurrency-mt-unsafe)
    return WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
}

void RodarFfmpeg(const std::vector<std::string>& AArgs) {
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
