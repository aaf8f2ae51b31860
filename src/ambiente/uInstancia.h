#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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

// The user's runtime folder with a trailing "/": $XDG_RUNTIME_DIR, else
// "lojasonorante-UID" under $TMPDIR (or /tmp), else "lojasonorante" in the
// user's cache folder; the first that is safe. A folder is safe only when it
// is a real folder (not a link), owned by this user, with no access for group
// or others: in a folder someone else controls, another user could hold the
// lock and the socket and receive this user's requests. AMotivo, when given,
// says why places were passed over (empty when the first was used).
std::string PastaExecucao(std::string* AMotivo = nullptr);
// The lock and socket name: kNomeInstancia, plus a tag of the data folder
// when one was chosen on the command line.
std::string NomeDaInstancia(const std::string& ADadosEscolhidos);

class TInstanciaUnica {
  public:
    // Answers one request line (without "LJSN/1 "); runs on a connection's
    // own thread, several at once, so it must hand the work to the main
    // thread.
    using TAtender = std::function<std::string(const std::string& APedido)>;

    // The first copy's lock, or nothing when another copy holds it.
    static std::unique_ptr<TInstanciaUnica> Tentar(const std::string& APasta,
                                                   const std::string& ANome);
    // Stops listening, removes the socket, releases the lock.
    ~TInstanciaUnica();
    TInstanciaUnica(const TInstanciaUnica&) = delete;
    TInstanciaUnica& operator=(const TInstanciaUnica&) = delete;

    // Starts listening; false when the socket cannot be made. Only
    // connections from this user are served; each has its own thread and
    // deadline, so idle ones do not hold the others up.
    bool Atender(TAtender AAtender);
    // Stops listening and waits for the requests being answered; the
    // handler is never called afterwards. The destructor does it too.
    void Parar();
    const std::string& CaminhoSocket() const { return FSocket; }

    // Requests answered at once; more are closed on arrival.
    static constexpr std::size_t kMaxConexoes = 16;

  private:
    struct TConexao;
    TInstanciaUnica() = default;
    void Escutar();
    void Servir(int AConexao);
    // Listening thread: joins the connection threads that finished (or all).
    void Recolher(bool ATodas);

    int FTrava = -1;
    int FEscuta = -1;
    int FParar[2] = {-1, -1};
    std::string FSocket;
    TAtender FAtender;
    std::thread FThread;
    std::vector<std::unique_ptr<TConexao>> FConexoes;  // listening thread only
};

// How a request to the running copy went.
enum class TSituacaoInstancia : std::uint8_t {
    siRespondeu,    // the answer is in Resposta
    siSemResposta,  // a copy runs (it holds the lock) but did not answer in time
    siNenhuma,      // no copy runs
    siAlheia,       // the socket belongs to another user: nothing was sent
};
struct TConversaInstancia {
    TSituacaoInstancia Situacao = TSituacaoInstancia::siNenhuma;
    std::string Resposta;
};

// Sends one request to the running copy and waits up to AMs milliseconds
// for its answer line.
TConversaInstancia ConversarComInstancia(const std::string& APasta,
                                         const std::string& ANome,
                                         const std::string& APedido,
                                         int AMs = 3000);
// The answer alone; nothing unless one came.
std::optional<std::string> EnviarAInstancia(const std::string& APasta,
                                            const std::string& ANome,
                                            const std::string& APedido,
                                            int AMs = 3000);

// What a copy answers when its main thread did not take the request in time.
inline constexpr const char* kRespostaOcupado = "ERRO o programa nao respondeu";

// How a conversation ends for a command line: the exit code (0 answered, 1
// refused or the channel is another user's, 3 no copy runs, 4 a copy runs but
// did not answer) and, unless 0, the message for standard error.
int DesfechoDaConversa(const TConversaInstancia& AConversa, std::string& AMensagem);

// The request a second copy sends for its command line: "ACAO n" for a
// command switch, "MOSTRAR" otherwise.
std::string PedidoDaLinha(int AComando);

}  // namespace ljsn
