#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

#include "comum/uRelogio.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace ljsn {

enum class TEstadoVozEdge : std::uint8_t { evParado, evEsperando, evFalando, evTerminou, evErro };

// The natural online voices, spoken by a hidden Chromium-family browser page
// ("VOZ") that this object serves on 127.0.0.1 and talks to through long
// polls: the page fetches the next command, speaks it with the browser's
// speech synthesis and reports the start, the end or the failure. The
// browser runs in a process group of its own that ends with this object,
// and with the program if the program dies (the kernel's parent-death
// signal). One bridge per process. Public operations are for the main
// thread; the server threads touch only what FTrava guards.
class TVozEdge {
  public:
    static constexpr const char* kPrefixo = "Voz natural: ";
    static constexpr std::size_t kTamanhoPrefixo = std::char_traits<char>::length(kPrefixo);
    static constexpr int kPrimeiraPorta = 47811;
    static constexpr int kPortas = 40;
    // Requests larger than this are refused before they are read.
    static constexpr std::size_t kMaxCorpo = std::size_t{64} * 1024;

    // The single bridge, created on first use.
    static TVozEdge& Instancia();
    // Ends the bridge and its browser (the program is closing).
    static void Finalizar();
    // The clock of the time limits; tests give a fake one. Null: the system's.
    static void DefinirRelogio(TRelogio* ARelogio);

    // The browser that can host the page: LJSN_EDGE when set (and only if that
    // file exists), else Edge, Chrome or Chromium found on this system.
    static std::string CaminhoEdge();
    static bool Disponivel() { return !CaminhoEdge().empty(); }
    // "Edge: X" (older settings) -> "Voz natural: X"; anything else unchanged.
    static std::string NomeAtual(const std::string& ANome);
    static bool EhVozEdge(const std::string& ANome);
    // The bridge voices, prefixed, for the voice list; empty without a browser.
    static std::vector<std::string> VozesComPrefixo();
    // The bridge voice matching a local natural voice's name, or empty.
    static std::string VozEquivalente(const std::string& ANomeSapi);
    // "Microsoft Antônio Online (Natural)..." -> "antonio".
    static std::string NormalizarNomeVoz(const std::string& ANome);

    ~TVozEdge();
    TVozEdge(const TVozEdge&) = delete;
    TVozEdge& operator=(const TVozEdge&) = delete;

    // Makes sure the server listens and a live browser shows the page.
    bool Iniciar();
    void Falar(
        const std::string& ATexto, const std::string& AVoz, int AVelocidade, int ATom, int AVolume);
    void Cancelar();
    TEstadoVozEdge Estado();
    std::string UltimoErro();
    std::string VozUsada();
    std::vector<std::string> Vozes();
    // The page reported that this browser has no online voice at all (not a
    // passing failure); a voice list or a text started by the page clears it.
    bool SemVozesOnline();

    // For diagnostics and tests: where the page is served, its token, and the
    // browser's process (also its process group), 0 when none.
    int Porta() const { return FPorta; }
    const std::string& Token() const { return FToken; }
    pid_t ProcessoNavegador() const { return FProcesso; }
    // A page of the current browser has polled since its launch.
    bool PaginaConectada();

  private:
    TVozEdge();
    std::uint32_t Agora() const;
    bool AbrirServidor();
    bool ProcessoVivo();
    bool AbrirNavegador();
    void FecharNavegador();
    void TratarPedido(const httplib::Request& AReq, httplib::Response& ARes);
    std::string EsperarComando(int ASeqDaPagina, const std::string& APagina);
    // FTrava held. Empty when the page already has the current command.
    std::string MontarComando(const std::unique_lock<std::mutex>& ATrava, int ASeqDaPagina);
    void ReceberEvento(const std::string& ACorpo);
    void ReceberVozes(const std::string& ACorpo);

    std::unique_ptr<httplib::Server> FServidor;
    std::thread FEscuta;
    std::mutex FTrava;
    std::condition_variable FNovoComando;  // wakes the long polls
    std::string FPagina;
    std::string FToken;
    int FPorta = 0;
    pid_t FProcesso = 0;  // leader of the browser's process group
    std::uint32_t FAbertoEm = 0;
    std::atomic<bool> FParando{false};

    // Guarded by FTrava.
    int FSeq = 0;
    std::string FAcao;
    std::string FTexto;
    std::string FVoz;
    double FTaxa = 1;
    double FTom = 1;
    double FVolume = 1;
    TEstadoVozEdge FEstado = TEstadoVozEdge::evParado;
    std::uint32_t FPedidoEm = 0;
    std::uint32_t FFalandoDesde = 0;
    std::string FErro;
    std::string FVozUsada;
    std::vector<std::string> FVozes;
    bool FSemVozes = false;
    std::uint32_t FUltimoContato = 0;
    std::string FPaginaAtiva;
    std::uint32_t FContatoPagina = 0;
};

}  // namespace ljsn
