#include "programa/uLeitorTags.h"

namespace ljsn {

TLeitorTags::TLeitorTags(TFilaPrincipal& AFila, TResposta AResposta)
    : FFila(AFila), FResposta(std::move(AResposta)) {
    FTrabalhador = std::jthread([this](std::stop_token AParar) { Trabalhar(AParar); });
}

TLeitorTags::~TLeitorTags() {
    *FVivo = nullptr;
    FTrabalhador.request_stop();
    FSinal.notify_all();
}

void TLeitorTags::Pedir(const std::string& AArquivo) {
    FAtual = AArquivo;
    {
        std::lock_guard trava(FTrava);
        FPendente = AArquivo;
    }
    FSinal.notify_one();
}

void TLeitorTags::Trabalhar(std::stop_token AParar) {
    std::weak_ptr<TLeitorTags*> vivo = FVivo;
    while (!AParar.stop_requested()) {
        std::string arquivo;
        {
            std::unique_lock trava(FTrava);
            if (!FSinal.wait(trava, AParar, [this] { return FPendente.has_value(); })) {
                return;
            }
            arquivo = std::move(*FPendente);
            FPendente.reset();
        }
        TTagsAudio tags = LerTags(arquivo);
        FFila.Postar([vivo, arquivo, tags = std::move(tags)] {
            if (auto p = vivo.lock(); p && *p != nullptr && (*p)->FAtual == arquivo) {
                (*p)->FResposta(arquivo, tags);
            }
        });
    }
}

}  // namespace ljsn
