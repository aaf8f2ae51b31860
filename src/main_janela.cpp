// The program with its windows: started by "lojasonorante" when a display
// exists (or directly).
#include <QApplication>
#include <QMessageBox>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <malloc.h>
#include <pthread.h>
#include <signal.h>

#include "ambiente/uInicializacao.h"
#include "ambiente/uInstancia.h"
#include "ambiente/uPastas.h"
#include "comum/uRelogio.h"
#include "comum/uTexto.h"
#include "janelas/uFilaQt.h"
#include "janelas/uFrmPrincipal.h"
#include "janelas/uTemas.h"
#include "janelas/uTermosJanela.h"
#include "programa/uPedidosInstancia.h"
#include "programa/uPrincipal.h"
#include "programa/uSom.h"

namespace {

using namespace ljsn;

// A second copy's request: the window shows itself and runs its own actions.
std::string AtenderPedido(TFilaPrincipal& AFila,
                          TfrmPrincipal& AJanela,
                          const std::string& APedido) {
    TFaceInstancia face;
    face.Mostrar = [&AJanela] { AJanela.MostrarJanela(); };
    face.Acao = [&AJanela](int AAcao) { AJanela.ExecutarAcaoRemota(AAcao); };
    return AtenderPedidoInstancia(AFila, AJanela.Programa(), APedido, face);
}

}  // namespace

int main(int argc, char** argv) {
    mallopt(M_ARENA_MAX, 1);
    const std::vector<std::string> args(argv + 1, argv + argc);
    TLinhaComando linha = LerLinhaComando(args);
    if (!linha.Erros.empty()) {
        for (const auto& erro : linha.Erros) {
            std::fprintf(stderr, "lojasonorante: %s\n", erro.c_str());
        }
        return 2;
    }
    if (!linha.Dados.empty()) {
        DefinirPastaDados(linha.Dados);
    }
    // SIGINT and SIGTERM end the program in order, through the event loop.
    sigset_t sinais;
    sigemptyset(&sinais);
    sigaddset(&sinais, SIGINT);
    sigaddset(&sinais, SIGTERM);
    sigaddset(&sinais, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &sinais, nullptr);

    if (linha.AceitarTermos) {
        // Installers and kiosks: no window; the PDF needs only the offscreen platform.
        // NOLINTNEXTLINE(concurrency-mt-unsafe): before any thread
        if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        }
        QGuiApplication app(argc, argv);
        TfrmTermos::Aceitar();
        std::printf("Termos de uso aceitos. Copia em %s\n", PastaDados().c_str());
        return 0;
    }

    std::string motivoPasta;
    const std::string pasta = PastaExecucao(&motivoPasta);
    const std::string nome = NomeDaInstancia(linha.Dados);
    auto instancia = TInstanciaUnica::Tentar(pasta, nome);
    if (!instancia) {
        // Another copy runs: it gets this command line's request; this one ends.
        std::string mensagem;
        const int codigo = DesfechoDaConversa(
            ConversarComInstancia(pasta, nome, PedidoDaLinha(linha.Comando)), mensagem);
        if (codigo != 0) {
            std::fprintf(stderr, "lojasonorante: %s\n", mensagem.c_str());
        }
        return codigo;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Loja Sonorante"));
    QApplication::setDesktopFileName(QStringLiteral("lojasonorante"));
    QApplication::setQuitOnLastWindowClosed(false);
    AplicarTema(QString::fromUtf8(kTemaPadrao));
    if (!TfrmTermos::Confirmar()) {
        return 0;
    }

    TSom::TOpcoes opcoesSom;
    opcoesSom.Driver = linha.DriverAudio;
    opcoesSom.Dispositivo = linha.DispositivoAudio;
    opcoesSom.GravarSaida = linha.GravarSaida;
    std::string erro;
    auto som = TSom::Criar(opcoesSom, &erro);
    if (!som) {
        QMessageBox::critical(
            nullptr,
            QStringLiteral("Loja Sonorante"),
            QStringLiteral("Sem saída de áudio: %1").arg(QString::fromStdString(erro)));
        return 1;
    }

    TOpcoesPrograma opcoes;
    opcoes.MotivoPastaExecucao = std::move(motivoPasta);
    std::error_code e;
    opcoes.CaminhoExecutavel = std::filesystem::read_symlink("/proc/self/exe", e).string();
    // NOLINTNEXTLINE(concurrency-mt-unsafe): before any thread
    if (const char* relogio = std::getenv("LJSN_RELOGIO")) {
        opcoes.ValorRelogio = relogio;
    }
    const bool naBandeja = IniciarNaBandeja(linha);
    opcoes.Linha = std::move(linha);

    TRelogioSistema relogio;
    TFilaPrincipalQt fila(app);
    int codigo = 0;
    {
        TfrmPrincipal janela(
            {relogio,
             fila,
             [&] { som->VerificarContadores(relogio.Tique()); },
             [&](IVisao& AVisao, TOpcoesPrograma AOpcoes) {
                 return std::make_unique<TPrograma>(
                     relogio, fila, AVisao, som->Motor(), som->FabricaVoz(), std::move(AOpcoes));
             }},
            std::move(opcoes));
        instancia->Atender(
            [&](const std::string& APedido) { return AtenderPedido(fila, janela, APedido); });
        std::atomic<bool> encerrado{false};
        std::thread sinaleiro([&] {
            int sinal = 0;
            sigwait(&sinais, &sinal);
            if (!encerrado.load()) {
                fila.Postar([&janela] { janela.Sair(); });
            }
        });
        janela.Iniciar(naBandeja);
        codigo = app.exec();
        // No request of a second copy may reach a window that is going.
        instancia.reset();
        encerrado.store(true);
        pthread_kill(sinaleiro.native_handle(), SIGTERM);
        sinaleiro.join();
    }
    return codigo;
}
