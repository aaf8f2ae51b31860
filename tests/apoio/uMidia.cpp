#include "apoio/uMidia.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <sys/stat.h>
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

int Rodar(const std::string& AComando) {
    const int estado = std::system(AComando.c_str());  // NOLINT(concurrency-mt-unsafe)
    return WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
}
}  // namespace

void CriarWavSilencioso(const std::string& ACaminho, int AMilissegundos, int ATaxa) {
    const auto dados =
        static_cast<std::uint32_t>(static_cast<std::int64_t>(AMilissegundos) * ATaxa / 1000);
    std::string w = CabecalhoWav(1, 1, ATaxa, 8, dados);
    w.append(dados, static_cast<char>(0x80));
    EscreverArquivo(ACaminho, w);
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
    GerarExpressao(ACaminho, expressoes, ASegundos, ATaxa, ACodec);
}

void GerarExpressao(const std::string& ACaminho,
                    const std::string& AExpressoes,
                    double ASegundos,
                    int ATaxa,
                    const std::vector<std::string>& ACodec) {
    std::vector<std::string> args = {"-f",
                                     "lavfi",
                                     "-i",
                                     "aevalsrc='" + AExpressoes + "':s=" + std::to_string(ATaxa) +
                                         ":d=" + std::to_string(ASegundos)};
    args.insert(args.end(), ACodec.begin(), ACodec.end());
    args.push_back(ACaminho);
    RodarFfmpeg(args);
}

std::string MidiaCompartilhada(const std::string& ANome,
                               const std::function<void(const std::string& APasta)>& AGerar) {
    namespace fs = std::filesystem;
    struct stat executavel {};
    if (::stat("/proc/self/exe", &executavel) != 0) {
        throw std::runtime_error("sem /proc/self/exe");
    }
    // Named after the executable too, so two executables never share (or
    // purge) each other's media.
    std::error_code erro;
    const std::string dono =
        fs::read_symlink("/proc/self/exe", erro).filename().string() + "-" + ANome + "-";
    const std::string marca = dono + std::to_string(executavel.st_mtim.tv_sec) + "." +
                              std::to_string(executavel.st_mtim.tv_nsec) + "-" +
                              std::to_string(executavel.st_size);
    const fs::path raiz = LJSN_MIDIA_TESTES;
    const fs::path pronta = raiz / marca;
    if (fs::is_directory(pronta, erro)) {
        return pronta.string() + "/";
    }
    fs::create_directories(raiz);
    std::string nova = (raiz / (marca + ".XXXXXX")).string();
    if (::mkdtemp(nova.data()) == nullptr) {
        throw std::runtime_error("mkdtemp falhou em " + raiz.string());
    }
    try {
        AGerar(nova + "/");
    } catch (...) {
        fs::remove_all(nova, erro);
        throw;
    }
    if (::rename(nova.c_str(), pronta.c_str()) != 0) {
        fs::remove_all(nova, erro);  // another process made it first
        if (!fs::is_directory(pronta, erro)) {
            throw std::runtime_error("nao foi possivel guardar a midia em " + pronta.string());
        }
    }
    // What earlier builds made of the same media.
    for (const auto& e : fs::directory_iterator(raiz, erro)) {
        const std::string nome = e.path().filename().string();
        if (nome.starts_with(dono) && !nome.starts_with(marca)) {
            fs::remove_all(e.path(), erro);
        }
    }
    return pronta.string() + "/";
}

}  // namespace ljsn::teste
