#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "comum/uFilaPrincipal.h"
#include "comum/uRelogio.h"

namespace httplib {
class Server;
}

namespace ljsn {

using TJson = nlohmann::ordered_json;

// The command handler: an action and a JSON object in, the reply text out
// (empty for an unknown action); a failure is thrown with its message.
using TEventoComando = std::function<std::string(const std::string& AAcao, const TJson& ADados)>;

// The small HTTP server the shop's phones use: the phone page, its manifest
// and icons, and an API guarded by a six-digit PIN. Each API call is handed to
// the main thread through the queue and waited for at most 5 s; the server
// never touches programme state itself.
class TControleRemoto {
  public:
    TControleRemoto(TFilaPrincipal& AFila, TRelogio& ARelogio);
    // Stops listening first.
    ~TControleRemoto();
    TControleRemoto(const TControleRemoto&) = delete;
    TControleRemoto& operator=(const TControleRemoto&) = delete;

    // Main thread, before the first Iniciar.
    void DefinirOnComando(TEventoComando AComando);
    // Main thread. Listens on all IPv4 interfaces; empty on success, else the
    // message to show.
    std::string Iniciar(int APorta, const std::string& APin);
    // Main thread. May wait up to the 5 s a pending API call waits.
    void Parar();
    bool Ativo() const { return FAtivo.load(); }
    int Porta() const { return FPorta; }

    // How long a call waits for the main thread.
    static constexpr int kEsperaMs = 5000;
    // Bodies above this are refused before they are read.
    static constexpr std::size_t kMaxCorpo = std::size_t{64} * 1024;

  private:
    struct TPedido;
    struct TManipulador;
    bool ConferirPin(const std::string& APin);

    TFilaPrincipal& FFila;
    TRelogio& FRelogio;
    std::unique_ptr<httplib::Server> FServidor;
    std::thread FEscuta;
    std::atomic<bool> FAtivo{false};
    int FPorta = 0;
    std::string FPin;  // written only while stopped
    // The handler as the queued jobs see it: gone once this object is.
    std::shared_ptr<TManipulador> FManipulador;
    std::mutex FTravaPin;
    int FErros = 0;            // guarded by FTravaPin
    double FBloqueadoAte = 0;  // guarded by FTravaPin
};

// The address the phone opens: "http://IP:PORTA", one line per address.
std::string EnderecoCelular(int APorta);
// Whether another program holds APorta on IPv4 now (a bind would fail).
bool PortaEmUso(int APorta);
// A new PIN of six digits from the system's cryptographic random source.
std::string GerarPin();

}  // namespace ljsn
