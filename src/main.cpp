#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <malloc.h>
#include <openssl/crypto.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "ambiente/uInicializacao.h"
#include "ambiente/uInstancia.h"
#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "ambiente/uServico.h"
#include "ambiente/uTermos.h"
#include "comum/uFilaPrincipal.h"
#include "comum/uRelogio.h"
#include "comum/uTexto.h"
#include "programa/uComandosJson.h"
#include "programa/uFerramentas.h"
#include "programa/uPedidosInstancia.h"
#include "programa/uPrincipal.h"
#include "programa/uSom.h"

namespace {

using namespace ljsn;

// The face of a run without a window: errors go to the terminal.
class TVisaoTerminal final : public TVisaoNula {
  public:
    void MostrarErro(const std::string& AMensagem) override {
        std::fprintf(stderr, "Erro: %s\n", AMensagem.c_str());
    }
};

std::string Variavel(const char* ANome) {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): read before any thread starts
    const char* v = std::getenv(ANome);
    return v != nullptr ? std::string(v) : std::string();
}

// The program with windows, beside this one.
std::string ProgramaComJanela() {
    std::error_code erro;
    const auto proprio = std::filesystem::read_symlink("/proc/self/exe", erro);
    if (erro) {
        return {};
    }
    const auto janela = proprio.parent_path() / "lojasonorante-janela";
    return std::filesystem::is_regular_file(janela, erro) ? janela.string() : std::string();
}

// The terms' notice, printed once per user on a headless box: whoever set it
// up read the README, and nobody is there to click "Aceito".
void AvisarTermosSemJanela() {
    if (TermosAceitos() || AvisoTermosMostrado()) {
        return;
    }
    std::printf(
        "%s\n\n%s\n\n(Aviso mostrado uma vez. Para registrar o aceite: lojasonorante "
        "--aceitar-termos)\n\n",
        TituloTermos().c_str(),
        TextoTermos().c_str());
    MarcarAvisoTermosMostrado();
}

// Runs the programme with no window until SIGINT or SIGTERM arrives.
int RodarSemJanela(TOpcoesPrograma AOpcoes, TInstanciaUnica& AInstancia) {
    // Every thread inherits the blocked signals; one thread waits for them and
    // turns them into an orderly stop of the main loop.
    sigset_t sinais;
    sigemptyset(&sinais);
    sigaddset(&sinais, SIGINT);
    sigaddset(&sinais, SIGTERM);
    sigaddset(&sinais, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &sinais, nullptr);

    TSom::TOpcoes opcoesSom;
    opcoesSom.Driver = AOpcoes.Linha.DriverAudio;
    opcoesSom.Dispositivo = AOpcoes.Linha.DispositivoAudio;
    opcoesSom.GravarSaida = AOpcoes.Linha.GravarSaida;
    std::string erro;
    auto som = TSom::Criar(opcoesSom, &erro);
    if (!som) {
        std::fprintf(stderr, "lojasonorante: sem saida de audio: %s\n", erro.c_str());
        return 1;
    }

    TFilaSimples fila;
    TRelogioSistema relogio;
    TVisaoTerminal visao;
    DefinirEcoNaSaida(true);
    std::atomic<bool> sair{false};
    std::thread sinaleiro([&] {
        int sinal = 0;
        sigwait(&sinais, &sinal);
        sair.store(true);
        fila.Acordar();
    });

    {
        TPrograma programa(
            relogio, fila, visao, som->Motor(), som->FabricaVoz(), std::move(AOpcoes));
        programa.Iniciar();
        // A second copy's switch runs here as on the window; "show" has
        // nothing to show.
        AInstancia.Atender([&fila, &programa](const std::string& APedido) {
            return AtenderPedidoInstancia(fila, programa, APedido);
        });
        std::printf("%s %s rodando sem janela (audio: %s). Dados em %s. Ctrl+C encerra.\n",
                    kNomePrograma,
                    kVersaoPrograma,
                    som->Driver().c_str(),
                    PastaDados().c_str());
        programa.GerarPinSeFaltar();
        const std::string celular = programa.TextoCelular();
        if (!celular.empty()) {
            std::printf("Controle pelo celular: %s  (PIN %s)\n",
                        SubstituirTudo(celular, "\r\n", "  ou  ").c_str(),
                        programa.Config().CelularPin.c_str());
            // The same code the settings dialog shows: the phone opens the
            // page with the PIN filled in.
            const std::string qr = QRCelularTerminal(
                celular, programa.Config().CelularPin, ::isatty(STDOUT_FILENO) != 0);
            if (!qr.empty()) {
                std::printf("Aponte a câmera do celular:\n%s", qr.c_str());
            }
        } else if (programa.Config().CelularAtivo) {
            std::printf("Controle pelo celular: %s\n", programa.ErroCelular().c_str());
        }
        std::fflush(stdout);
        // Under systemd: ready once the programme runs, and a watchdog fed
        // by the tick, so a frozen main loop is restarted.
        NotificarServico("READY=1");
        const int watchdogMs = IntervaloWatchdogMs();
        auto proximoWatchdog = std::chrono::steady_clock::now();

        const auto intervalo = std::chrono::milliseconds(kIntervaloTickMs);
        auto proximo = std::chrono::steady_clock::now() + intervalo;
        while (!sair.load()) {
            fila.EsperarAte(proximo);
            programa.Protegido([&] { fila.Drenar(); });
            const auto agora = std::chrono::steady_clock::now();
            if (agora >= proximo) {
                programa.Tick();
                som->VerificarContadores(relogio.Tique());
                if (watchdogMs > 0 && agora >= proximoWatchdog) {
                    NotificarServico("WATCHDOG=1");
                    proximoWatchdog = agora + std::chrono::milliseconds(watchdogMs);
                }
                proximo += intervalo;
                if (agora - proximo > std::chrono::seconds(1)) {
                    proximo = agora + intervalo;  // after a stall, do not run a burst of ticks
                }
            }
        }
        // No second copy's request may reach a programme that is going.
        AInstancia.Parar();
        // The orderly end (settings saved, FIM logged) follows.
        NotificarServico("STOPPING=1");
    }
    if (!sair.load()) {
        pthread_kill(sinaleiro.native_handle(), SIGTERM);
    }
    sinaleiro.join();
    return 0;
}

// The HTTP library links OpenSSL and, when loaded, asks it for its error
// texts: over half a megabyte resident for the whole day, and nothing here
// ever prints them. Declining them must come before any library's own
// initialisers run, hence the pre-initialisation hook; OpenSSL keeps the
// first choice made and still reads its configuration later, as usual.
void SemTextosDeErroOpenssl(int, char**, char**) {
    OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CRYPTO_STRINGS, nullptr);
}
[[gnu::section(".preinit_array"),
  gnu::used]] void (*const kAntesDasBibliotecas)(int, char**, char**) = &SemTextosDeErroOpenssl;

}  // namespace

int main(int argc, char** argv) {
    // One malloc arena for all threads: the workers allocate little, and
    // per-thread arenas would keep megabytes resident for a day's run.
    mallopt(M_ARENA_MAX, 1);
    std::vector<std::string> args(argv + 1, argv + argc);
    TLinhaComando linha = LerLinhaComando(args);
    if (linha.Ajuda) {
        std::fputs(TextoAjuda().c_str(), stdout);
        return 0;
    }
    if (linha.Versao) {
        std::printf("%s %s\n", kNomePrograma, kVersaoPrograma);
        return 0;
    }
    if (linha.MedirLoudnessPedido) {
        // A tool for the shop and support: no programme, one line per file.
        for (const auto& arquivo : linha.MedirLoudness) {
            std::printf("%s\n", LinhaLoudness(arquivo).c_str());
        }
        return 0;
    }
    if (linha.TagsPedido) {
        return FerramentaTags(linha.Tags, stdout);
    }
    // With a display (or to accept the terms, which writes their PDF), the
    // program with windows takes over; Qt is never loaded in this one.
    const bool tela = !Variavel("DISPLAY").empty() || !Variavel("WAYLAND_DISPLAY").empty();
    if (!linha.SemJanela && !linha.Estado && !linha.BuscarCidadePedido &&
        (tela || linha.AceitarTermos) && linha.Erros.empty()) {
        const std::string janela = ProgramaComJanela();
        if (!janela.empty()) {
            std::vector<char*> argvJanela;
            std::string nome = janela;
            argvJanela.push_back(nome.data());
            for (int i = 1; i < argc; ++i) {
                argvJanela.push_back(argv[i]);
            }
            argvJanela.push_back(nullptr);
            ::execv(janela.c_str(), argvJanela.data());
            std::fprintf(stderr,
                         "lojasonorante: nao foi possivel abrir a janela; seguindo sem ela\n");
        }
    }
    if (!linha.Erros.empty()) {
        for (const auto& erro : linha.Erros) {
            std::fprintf(stderr, "lojasonorante: %s\n", erro.c_str());
        }
        std::fprintf(stderr, "Use --ajuda para ver as opcoes.\n");
        return 2;
    }
    if (!linha.Dados.empty()) {
        DefinirPastaDados(linha.Dados);
    }
    if (linha.BuscarCidadePedido) {
        return FerramentaBuscarCidade(linha.BuscarCidade,
                                      linha.Salvar,
                                      stdout,
                                      PastaExecucao(nullptr),
                                      NomeDaInstancia(linha.Dados));
    }
    if (linha.AceitarTermos) {
        TRelogioSistema relogio;
        if (!RegistrarAceiteTermos(relogio.Agora())) {
            std::fprintf(stderr, "lojasonorante: nao foi possivel registrar o aceite\n");
            return 1;
        }
        std::printf("Termos de uso aceitos.\n");
        return 0;
    }
    // One copy per user (per data folder when one was chosen): a second copy
    // hands its switch to the first and ends.
    std::string motivoPasta;
    const std::string pastaInstancia = PastaExecucao(&motivoPasta);
    const std::string nomeInstancia = NomeDaInstancia(linha.Dados);
    std::unique_ptr<TInstanciaUnica> instancia;
    if (!linha.Estado) {
        instancia = TInstanciaUnica::Tentar(pastaInstancia, nomeInstancia);
    }
    if (!instancia) {
        // --estado (scripts and monitoring) asks for the running copy's state
        // report; a second copy hands it its switch and ends.
        const auto conversa = ConversarComInstancia(
            pastaInstancia, nomeInstancia, linha.Estado ? "ESTADO" : PedidoDaLinha(linha.Comando));
        std::string mensagem;
        const int codigo = DesfechoDaConversa(conversa, mensagem);
        if (codigo != 0) {
            std::fprintf(stderr, "lojasonorante: %s\n", mensagem.c_str());
        } else if (linha.Estado) {
            std::printf("%s\n",
                        conversa.Resposta.substr(std::min<std::size_t>(3, conversa.Resposta.size()))
                            .c_str());
        }
        return codigo;
    }
    AvisarTermosSemJanela();

    TOpcoesPrograma opcoes;
    opcoes.MotivoPastaExecucao = std::move(motivoPasta);
    opcoes.Linha = std::move(linha);
    std::error_code erro;
    opcoes.CaminhoExecutavel = std::filesystem::read_symlink("/proc/self/exe", erro).string();
    // NOLINTNEXTLINE(concurrency-mt-unsafe): before any thread
    if (const char* relogio = std::getenv("LJSN_RELOGIO")) {
        opcoes.ValorRelogio = relogio;
    }
    return RodarSemJanela(std::move(opcoes), *instancia);
}
