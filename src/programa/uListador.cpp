#include "programa/uListador.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

#include "programa/uPrincipal.h"

namespace ljsn {

namespace {

// A jingle is played only when it is a regular file with something in it:
// a device, a kernel file or a folder would loop in silence.
std::string VinhetaUsavel(const std::string& ACaminho, std::vector<std::string>& ARecusas) {
    if (ACaminho.empty()) {
        return {};
    }
    struct stat info {};
    if (::stat(ACaminho.c_str(), &info) != 0) {
        return {};  // missing now: it joins the breaks once it is back
    }
    if (!S_ISREG(info.st_mode) || info.st_size <= 0) {
        ARecusas.push_back("vinheta recusada (nao e um arquivo de audio): " + ACaminho);
        return {};
    }
    return ACaminho;
}

void VerificarPasta(const char* ANome,
                    const std::string& APasta,
                    std::vector<std::string>& ARecusas) {
    struct stat info {};
    if (!APasta.empty() && ::stat(APasta.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
        ARecusas.push_back(std::string("pasta de ") + ANome +
                           " recusada (nao e uma pasta): " + APasta);
    }
}

}  // namespace

TListador::TListador(TFilaPrincipal& AFila, TResposta AResposta)
    : FFila(AFila), FResposta(std::move(AResposta)) {
    FTrabalhador = std::jthread([this](std::stop_token AParar) { Trabalhar(AParar); });
}

TListador::~TListador() {
    *FVivo = nullptr;
    FTrabalhador.request_stop();
    FSinal.notify_all();
}

void TListador::Pedir(TPedidoListas APedido) {
    ++FPedido;
    {
        std::lock_guard trava(FTrava);
        FPendente.emplace(FPedido, std::move(APedido));
    }
    FSinal.notify_one();
}

TListasLidas TListador::Listar(const TPedidoListas& APedido, std::stop_token AParar) {
    TListasLidas r;
    VerificarPasta("musicas", APedido.PastaMusicas, r.Recusas);
    VerificarPasta("propagandas", APedido.PastaPropagandas, r.Recusas);
    r.Musicas = ListarArquivosDaPasta(APedido.PastaMusicas, APedido.Subpastas, AParar);
    r.Propagandas = ListarArquivosDaPasta(APedido.PastaPropagandas, APedido.Subpastas, AParar);
    r.VinhetaAntes = VinhetaUsavel(APedido.VinhetaAntes, r.Recusas);
    r.VinhetaDepois = VinhetaUsavel(APedido.VinhetaDepois, r.Recusas);
    return r;
}

void TListador::Trabalhar(std::stop_token AParar) {
    std::weak_ptr<TListador*> vivo = FVivo;
    while (!AParar.stop_requested()) {
        std::pair<std::uint32_t, TPedidoListas> pedido;
        {
            std::unique_lock trava(FTrava);
            if (!FSinal.wait(trava, AParar, [this] { return FPendente.has_value(); })) {
                return;
            }
            pedido = std::move(*FPendente);
            FPendente.reset();
        }
        TListasLidas listas = Listar(pedido.second, AParar);
        if (AParar.stop_requested()) {
            return;
        }
        FFila.Postar([vivo, numero = pedido.first, listas = std::move(listas)]() mutable {
            auto p = vivo.lock();
            if (!p || *p == nullptr || (*p)->FPedido != numero) {
                return;  // gone, or a newer listing was asked for
            }
            (*p)->FRespondido = numero;
            (*p)->FResposta(std::move(listas));
        });
    }
}

}  // namespace ljsn
