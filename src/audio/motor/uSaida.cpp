#include "audio/motor/uSaida.h"

#include <algorithm>

#include <SDL2/SDL.h>

#include "audio/motor/uMotor.h"

namespace ljsn {

void TSaidaSdl::Chamada(void* AUsuario, unsigned char* ADados, int ABytes) {
    auto* saida = static_cast<TSaidaSdl*>(AUsuario);
    saida->FMotor->Renderizar(std::span<float>(reinterpret_cast<float*>(ADados),
                                               static_cast<std::size_t>(ABytes) / sizeof(float)));
}

std::unique_ptr<TSaidaSdl> TSaidaSdl::Abrir(TMotor& AMotor,
                                            const std::string& ADriver,
                                            const std::string& ADispositivo,
                                            std::string* AErro) {
    std::unique_ptr<TSaidaSdl> s(new TSaidaSdl());
    s->FMotor = &AMotor;
    SDL_AudioSpec pedido{};
    pedido.freq = AMotor.Taxa();
    pedido.format = AUDIO_F32SYS;
    pedido.channels = 2;
    pedido.samples = 1024;
    pedido.callback = &TSaidaSdl::Chamada;
    pedido.userdata = s.get();

    auto tentar = [&](const char* ADriverSdl) -> bool {
        if (SDL_AudioInit(ADriverSdl) != 0) {
            return false;
        }
        SDL_AudioSpec obtido{};
        const SDL_AudioDeviceID id = SDL_OpenAudioDevice(
            ADispositivo.empty() ? nullptr : ADispositivo.c_str(), 0, &pedido, &obtido, 0);
        if (id == 0) {
            SDL_AudioQuit();
            return false;
        }
        s->FDispositivo = id;
        const char* atual = SDL_GetCurrentAudioDriver();
        s->FDriver = atual != nullptr ? atual : "";
        return true;
    };

    bool aberto = tentar(ADriver.empty() ? nullptr : ADriver.c_str());
    if (!aberto) {
        // No sound card: SDL does not fall back by itself.
        aberto = tentar("dummy");
    }
    if (!aberto) {
        if (AErro != nullptr) {
            *AErro = SDL_GetError();
        }
        return nullptr;
    }
    SDL_PauseAudioDevice(s->FDispositivo, 0);
    return s;
}

TSaidaSdl::~TSaidaSdl() {
    if (FDispositivo != 0) {
        SDL_CloseAudioDevice(FDispositivo);  // waits for a running callback
    }
    SDL_AudioQuit();
}

void TSaidaOffline::Renderizar(std::span<float> ASaida) {
    FMotor.RenderizarAguardando(ASaida);
}

std::vector<float> TSaidaOffline::RenderizarQuadros(std::size_t AQuadros, std::size_t ABloco) {
    std::vector<float> saida(AQuadros * 2);
    std::size_t feito = 0;
    ABloco = std::max<std::size_t>(ABloco, 1);
    while (feito < AQuadros) {
        const std::size_t n = std::min(ABloco, AQuadros - feito);
        Renderizar(std::span<float>(saida.data() + feito * 2, n * 2));
        feito += n;
    }
    return saida;
}

}  // namespace ljsn
