#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "comum/uFilaPrincipal.h"

namespace ljsn {

// What the programme's lists are made from.
struct TPedidoListas {
    std::string PastaMusicas;
    std::string PastaPropagandas;
    bool Subpastas = true;
    std::string VinhetaAntes;
    std::string VinhetaDepois;
};

// What the worker found: the files of each folder (sorted), the jingles that
// can be played (empty: none), and a log line for each path refused.
struct TListasLidas {
    std::vector<std::string> Musicas;
    std::vector<std::string> Propagandas;
    std::string VinhetaAntes;
    std::string VinhetaDepois;
    std::vector<std::string> Recusas;
};

// Lists the music and advertisement folders and checks the jingles on a
// worker: a folder of a hundred thousand files, or one on a share that
// stopped answering, never holds the tick or the phone server's start. Only
// the latest request is answered; one made while another is read replaces any
// waiting, and an older answer is dropped. Main thread only.
class TListador {
  public:
    using TResposta = std::function<void(TListasLidas AListas)>;

    TListador(TFilaPrincipal& AFila, TResposta AResposta);
    // Stops the worker after the listing under way, if any.
    ~TListador();
    TListador(const TListador&) = delete;
    TListador& operator=(const TListador&) = delete;

    void Pedir(TPedidoListas APedido);
    // A listing was asked for and its answer has not arrived yet.
    bool Ocupado() const { return FRespondido != FPedido; }

    // What the worker does for one request (any thread).
    static TListasLidas Listar(const TPedidoListas& APedido, std::stop_token AParar = {});

  private:
    void Trabalhar(std::stop_token AParar);

    TFilaPrincipal& FFila;
    TResposta FResposta;
    std::uint32_t FPedido = 0;
    std::uint32_t FRespondido = 0;
    std::shared_ptr<TListador*> FVivo = std::make_shared<TListador*>(this);
    std::mutex FTrava;
    std::condition_variable_any FSinal;
    std::optional<std::pair<std::uint32_t, TPedidoListas>> FPendente;  // guarded by FTrava
    std::jthread FTrabalhador;
};

}  // namespace ljsn
