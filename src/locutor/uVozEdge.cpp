#include "locutor/uVozEdge.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>

#include <unistd.h>

#include "comum/uTexto.h"

namespace ljsn {

namespace {

const std::array<const char*, 3> kVozesPadrao = {
    "Microsoft Antônio Online (Natural) - Portuguese (Brazil)",
    "Microsoft Francisca Online (Natural) - Portuguese (Brazil)",
    "Microsoft Thalita multilíngue Online (Natural) - Portuguese (Brazil)"};

bool Executavel(const std::string& ACaminho) {
    std::error_code erro;
    return !ACaminho.empty() && std::filesystem::is_regular_file(ACaminho, erro) &&
           ::access(ACaminho.c_str(), X_OK) == 0;
}

}  // namespace

TVozEdge& TVozEdge::Instancia() {
    static TVozEdge instancia;
    return instancia;
}

std::string TVozEdge::CaminhoEdge() {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): main thread; the environment is not changed
    if (const char* definido = std::getenv("LJSN_EDGE")) {
        std::error_code erro;
        return std::filesystem::is_regular_file(definido, erro) ? std::string(definido)
                                                                : std::string();
    }
    static constexpr std::array<const char*, 7> kNomes = {"microsoft-edge",
                                                          "microsoft-edge-stable",
                                                          "google-chrome",
                                                          "google-chrome-stable",
                                                          "chromium",
                                                          "chromium-browser",
                                                          "chrome"};
    std::vector<std::string> pastas;
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    if (const char* caminho = std::getenv("PATH")) {
        pastas = Dividir(caminho, ":");
    }
    pastas.insert(pastas.end(), {"/usr/bin", "/usr/local/bin", "/snap/bin"});
    for (const char* nome : kNomes) {
        for (const auto& pasta : pastas) {
            if (!pasta.empty() && Executavel(pasta + "/" + nome)) {
                return pasta + "/" + nome;
            }
        }
    }
    for (const char* fixo : {"/opt/microsoft/msedge/msedge", "/opt/google/chrome/chrome"}) {
        if (Executavel(fixo)) {
            return fixo;
        }
    }
    return {};
}

std::string TVozEdge::NomeAtual(const std::string& ANome) {
    if (IguaisSemCaixaAZ(std::string_view(ANome).substr(0, 6), "Edge: ")) {
        return kPrefixo + ANome.substr(6);
    }
    return ANome;
}

bool TVozEdge::EhVozEdge(const std::string& ANome) {
    const std::string nome = NomeAtual(ANome);
    return IguaisSemCaixaAZ(std::string_view(nome).substr(0, kTamanhoPrefixo), kPrefixo);
}

std::vector<std::string> TVozEdge::VozesComPrefixo() {
    if (!Disponivel()) {
        return {};
    }
    std::vector<std::string> vozes = Instancia().Vozes();
    if (vozes.empty()) {
        vozes.assign(kVozesPadrao.begin(), kVozesPadrao.end());
    }
    std::sort(vozes.begin(), vozes.end());
    for (auto& v : vozes) {
        v = kPrefixo + v;
    }
    return vozes;
}

std::string TVozEdge::NormalizarNomeVoz(const std::string& ANome) {
    std::string nome = MinusculasUtf8(Aparar(ANome));
    if (ComecaCom(nome, "microsoft ")) {
        nome = nome.substr(10);
    }
    nome = nome.substr(0, nome.find(' '));
    static constexpr std::array<std::pair<const char*, char>, 12> kAcentos = {{{"á", 'a'},
                                                                               {"à", 'a'},
                                                                               {"â", 'a'},
                                                                               {"ã", 'a'},
                                                                               {"é", 'e'},
                                                                               {"ê", 'e'},
                                                                               {"í", 'i'},
                                                                               {"ó", 'o'},
                                                                               {"ô", 'o'},
                                                                               {"õ", 'o'},
                                                                               {"ú", 'u'},
                                                                               {"ç", 'c'}}};
    for (const auto& [de, para] : kAcentos) {
        nome = SubstituirTudo(nome, de, std::string(1, para));
    }
    return nome;
}

std::string TVozEdge::VozEquivalente(const std::string& ANomeSapi) {
    const std::string chave = NormalizarNomeVoz(ANomeSapi);
    if (chave.empty()) {
        return {};
    }
    for (const auto& voz : VozesComPrefixo()) {
        const std::string nome = voz.substr(kTamanhoPrefixo);
        if (ComecaCom(chave, NormalizarNomeVoz(nome))) {
            return nome;
        }
    }
    return {};
}

bool TVozEdge::Iniciar() {
    return false;
}

void TVozEdge::Falar(
    const std::string& ATexto, const std::string& AVoz, int AVelocidade, int ATom, int AVolume) {
    (void)ATexto;
    (void)AVoz;
    (void)AVelocidade;
    (void)ATom;
    (void)AVolume;
    {
        std::lock_guard trava(FTrava);
        FEstado = TEstadoVozEdge::evEsperando;
        FErro.clear();
        FVozUsada.clear();
    }
    if (!Iniciar()) {
        std::lock_guard trava(FTrava);
        FEstado = TEstadoVozEdge::evErro;
        FErro = Disponivel() ? "não foi possível abrir a voz natural"
                             : "componente de voz natural não encontrado";
    }
}

void TVozEdge::Cancelar() {
    std::lock_guard trava(FTrava);
    if (FEstado == TEstadoVozEdge::evEsperando || FEstado == TEstadoVozEdge::evFalando) {
        FEstado = TEstadoVozEdge::evParado;
    }
}

TEstadoVozEdge TVozEdge::Estado() {
    std::lock_guard trava(FTrava);
    return FEstado;
}

std::string TVozEdge::UltimoErro() {
    std::lock_guard trava(FTrava);
    return FErro;
}

std::string TVozEdge::VozUsada() {
    std::lock_guard trava(FTrava);
    return FVozUsada;
}

std::vector<std::string> TVozEdge::Vozes() {
    std::lock_guard trava(FTrava);
    return FVozes;
}

}  // namespace ljsn
