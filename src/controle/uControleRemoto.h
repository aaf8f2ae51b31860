#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "ambiente/uRede.h"
#include "comum/uFilaPrincipal.h"
#include "comum/uJson.h"
#include "comum/uRelogio.h"
#include "controle/uGuardaPin.h"

namespace ljsn {

// The command handler: an action and a JSON object in, the reply text out
// (empty for an unknown action); a failure is thrown with its message.
using TEventoComando = std::function<std::string(const std::string& AAcao, const TJson& ADados)>;

// The small HTTP server the shop's phones use: the phone page, its manifest
// and icons, and an API guarded by a six-digit PIN. Each API call is handed to
// the main thread through the queue and waited for at most 5 s; the server
// never touches programme state itself. Wrong PINs lock out the address they
// came from and spend a budget all addresses share (TGuardaPin), and
// connections are capped per address and in all, with places kept for phones
// that presented the right PIN lately, so devices on the shop's network
// cannot keep the phones out.
class TControleRemoto {
  public:
    TControleRemoto(TFilaPrincipal& AFila, TRelogio& ARelogio);
    // Stops listening first.
    ~TControleRemoto();
    TControleRemoto(const TControleRemoto&) = delete;
    TControleRemoto& operator=(const TControleRemoto&) = delete;

    // Main thread, before the first Iniciar.
    void DefinirOnComando(TEventoComando AComando);
    // Main thread, before Iniciar: how long a connection has to deliver its
    // whole request (kPrazoPedidoMs unless a test wants it shorter).
    void DefinirPrazoPedido(std::chrono::milliseconds APrazo) { FPrazoPedido = APrazo; }
    // Main thread. Listens on all IPv4 interfaces; empty on success, else the
    // message to show.
    std::string Iniciar(int APorta, const std::string& APin);
    // Main thread. May wait up to the 5 s a pending API call waits.
    void Parar();
    bool Ativo() const { return FAtivo.load(); }
    int Porta() const { return FPorta; }
    // Any thread, about once a minute: logs the wrong PINs of a minute that
    // ended with no request since.
    void Manter() { FGuarda.Manter(); }

    // How long a call waits for the main thread.
    static constexpr int kEsperaMs = 5000;
    // Bodies above this are refused before they are read.
    static constexpr std::size_t kMaxCorpo = std::size_t{64} * 1024;
    // A connection's whole request must arrive within this of its arrival.
    static constexpr int kPrazoPedidoMs = 5000;
    // Connections served at once from one address and in all; any more are
    // closed as they arrive. Also keeps the server far below the process's
    // open-file limit. Of the places in all, kReservadas serve only addresses
    // that presented the right PIN lately, so slow clients from a handful of
    // addresses cannot take every place.
    static constexpr int kMaxConexoesPorEndereco = 8;
    static constexpr int kMaxConexoes = 80;
    static constexpr int kReservadas = 16;

  private:
    struct TPedido;
    struct TManipulador;
    class TServidor;
    TFilaPrincipal& FFila;
    TRelogio& FRelogio;
    std::unique_ptr<TServidor> FServidor;
    std::thread FEscuta;
    std::atomic<bool> FAtivo{false};
    int FPorta = 0;
    // The handler as the queued jobs see it: gone once this object is.
    std::shared_ptr<TManipulador> FManipulador;
    std::chrono::milliseconds FPrazoPedido{kPrazoPedidoMs};
    TGuardaPin FGuarda;
};

}  // namespace ljsn
