#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace ljsn {

// One copy per user (per data folder when --dados chooses one): the first
// copy holds a lock file and listens on a Unix socket beside it, under the
// user's runtime folder; a second copy sends its request there and quits.
// The lock dies with its process, so a crash never blocks the next start.
//
// The protocol is one line each way, versioned:
//   "LJSN/1 ACAO n"    run action n (1 play/pause .. 6 widget)  -> "OK"
//   "LJSN/1 MOSTRAR"   show the window                          -> "OK"
//   "LJSN/1 ESTADO"    the state report                          -> "OK {json}"
// Anything else -> "ERRO pedido desconhecido".
inline constexpr const char* kNomeInstancia = "LojaSonorante_InstanciaUnica";
inline constexpr const char* kVersaoProtocoloInstancia = "LJSN/1";

// The user's runtime folder with a trailing "/": $XDG_RUNTIME_DIR, or a
// private folder under /tmp.
std::string PastaExecucao();
// The lock and socket name: kNomeInstancia, plus a tag of the data folder
// when one was chosen on the command line.
std::string NomeDaInstancia(const std::string& ADadosEscolhidos);

class TInstanciaUnica {
  public:
    // Answers one request line (without "LJSN/1 "); runs on the listening
    // thread, so it must hand the work to the main thread.
    using TAtender = std::function<std::string(const std::string& APedido)>;

    // The first copy's lock, or nothing when another copy holds it.
    static std::unique_ptr<TInstanciaUnica> Tentar(const std::string& APasta,
                                                   const std::string& ANome);
    // Stops listening, removes the socket, releases the lock.
    ~TInstanciaUnica();
    TInstanciaUnica(const TInstanciaUnica&) = delete;
    TInstanciaUnica& operator=(const TInstanciaUnica&) = delete;

    // Starts listening; false when the socket cannot be made.
    bool Atender(TAtender AAtender);
    const std::string& CaminhoSocket() const { return FSocket; }

  private:
    TInstanciaUnica() = default;
    void Escutar();

    int FTrava = -1;
    int FEscuta = -1;
    int FParar[2] = {-1, -1};
    std::string FSocket;
    TAtender FAtender;
    std::thread FThread;
};

// Sends one request to the running copy and returns its answer; nothing
// when no copy answers within AMs milliseconds.
std::optional<std::string> EnviarAInstancia(const std::string& APasta,
                                            const std::string& ANome,
                                            const std::string& APedido,
                                            int AMs = 3000);

// The request a second copy sends for its command line: "ACAO n" for a
// command switch, "MOSTRAR" otherwise.
std::string PedidoDaLinha(int AComando);

}  // namespace ljsn
