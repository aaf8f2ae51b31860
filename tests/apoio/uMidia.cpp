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
    std::vector<std::string> args = {
        "-f",
        "lavfi",
        "-i",
        "aevalsrc=" + std::to_string(AAmplitude) + "*sin(2*PI*" + std::to_string(AFrequencia) +
            "*t):s=" + std::to_string(ATaxa) + ":d=" + std::to_string(ASegundos),
        "-ac",
        std::to_string(ACanais)};
    args.insert(args.end(), ACodec.begin(), ACodec.end());
    args.push_back(ACaminho);
    RodarFfmpeg(args);
}

}  // namespace ljsn::teste
