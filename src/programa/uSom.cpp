#include "programa/uSom.h"

#include <dlfcn.h>

#include "ambiente/uLog.h"

namespace ljsn {

namespace {

// A local file opens in a few milliseconds; anything slower goes on in the
// background, so a stalled share costs the tick at most this, within its
// 100 ms.
constexpr std::chrono::milliseconds kEsperaAbertura{40};
constexpr std::chrono::milliseconds kTravamento{5000};

void AlsaCalada(const char*, int, const char*, int, const char*, ...) {}

// ALSA prints its own complaints on a machine without a sound card before
// SDL falls back to another driver; the program says what it uses itself.
// ALSA is loaded by SDL only when present, so it is reached the same way.
void SilenciarAlsa() {
    void* alsa = ::dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
    if (alsa == nullptr) {
        return;
    }
    using TManipulador = void (*)(const char*, int, const char*, int, const char*, ...);
    using TDefinir = int (*)(TManipulador);
    auto* definir = reinterpret_cast<TDefinir>(::dlsym(alsa, "snd_lib_error_set_handler"));
    if (definir != nullptr) {
        definir(&AlsaCalada);
    }
    // Kept loaded: the handler must outlive every ALSA call.
}

}  // namespace

std::unique_ptr<TSom> TSom::Criar(const TOpcoes& AOpcoes, std::string* AErro) {
    std::unique_ptr<TSom> som(new TSom());
    som->FMotor = std::make_unique<TMotor>();
    // Real time: a slow disk or a share that stopped answering must not hold
    // the ticks, the ducking and the phone.
    som->FMotor->DefinirLimites(kEsperaAbertura, kTravamento);
    som->FFabricaVoz = std::make_unique<TFabricaVozEspeak>(*som->FMotor);
    if (!AOpcoes.GravarSaida.empty()) {
        som->FGravador = TGravadorWav::Criar(AOpcoes.GravarSaida, som->FMotor->Taxa(), 2, AErro);
        if (!som->FGravador) {
            return nullptr;
        }
        som->FMotor->DefinirGravador(som->FGravador.get());
    }
    SilenciarAlsa();
    som->FSaida = TSaidaSdl::Abrir(*som->FMotor, AOpcoes.Driver, AOpcoes.Dispositivo, AErro);
    if (!som->FSaida) {
        return nullptr;
    }
    return som;
}

TSom::~TSom() {
    FSaida.reset();  // the callback is stopped from here on
    if (FMotor) {
        FMotor->DefinirGravador(nullptr);
    }
    if (FGravador) {
        // The last write happens here: its failure is logged too.
        FGravador->Fechar();
        if (auto erro = FGravador->ErroNovo()) {
            GravarLog("ERRO", "gravacao da saida: " + *erro);
        }
    }
    FGravador.reset();
    FFabricaVoz.reset();
    FMotor.reset();
}

void TSom::VerificarContadores(std::uint32_t ATique) {
    if (FGravador) {
        // Reported once; the music goes on without the recording.
        if (auto erro = FGravador->ErroNovo()) {
            GravarLog("ERRO", "gravacao da saida: " + *erro);
        }
    }
    if (FRegistrou && ATique - FUltimoRegistro < 60000) {
        return;
    }
    const TContadoresMotor c = FMotor->Contadores();
    if (c.Faltas == FRegistrados.Faltas && c.Saturadas == FRegistrados.Saturadas &&
        c.GravacaoPerdida == FRegistrados.GravacaoPerdida) {
        return;
    }
    GravarLogFmt("ERRO",
                 "audio: %d falta(s) de dados no dispositivo, %d amostra(s) saturada(s), %d "
                 "quadro(s) perdidos na gravacao (desde o inicio)",
                 c.Faltas,
                 c.Saturadas,
                 c.GravacaoPerdida);
    FRegistrados = c;
    FUltimoRegistro = ATique;
    FRegistrou = true;
}

}  // namespace ljsn
