// The real program with its window on Xvfb, a real tray host (trayer) and a
// real sound server (PulseAudio), all started by the test.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/stat.h>

#include "apoio/uMidia.h"
#include "apoio/uPastaTemporaria.h"
#include "apoio/uProcesso.h"
#include "apoio/uServidorFixtures.h"
#include "comum/uTexto.h"

using namespace ljsn;
using namespace ljsn::teste;
using Relogio = std::chrono::steady_clock;

namespace {

// Output of a shell command.
std::string Rodar(const std::string& AComando) {
    std::unique_ptr<FILE, int (*)(FILE*)> p(::popen(AComando.c_str(), "r"), &::pclose);
    std::string r;
    std::array<char, 4096> b{};
    while (p && std::fgets(b.data(), b.size(), p.get()) != nullptr) {
        r += b.data();
    }
    return r;
}

bool Esperar(const std::function<bool()>& ACondicao, int ASegundos) {
    const auto limite = Relogio::now() + std::chrono::seconds(ASegundos);
    while (!ACondicao()) {
        if (Relogio::now() > limite) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

struct TJanelaX {
    std::string Id;
    int X = 0, Y = 0, L = 0, A = 0;
};

class JanelaReal : public testing::Test {
  protected:
    void SetUp() override {
        // Xvfb picks a free display and says which.
        FXvfb = std::make_unique<TProcesso>(std::vector<std::string>{
            "/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
        const std::string numero = Aparar(FXvfb->LerLinha());
        ASSERT_FALSE(numero.empty());
        FTela = ":" + numero;
        FRuntime = FPasta / "runtime";
        std::filesystem::create_directories(FRuntime);
        ::chmod(FRuntime.c_str(), 0700);
        FTrayer = std::make_unique<TProcesso>(std::vector<std::string>{"/usr/bin/trayer",
                                                                       "--edge",
                                                                       "top",
                                                                       "--align",
                                                                       "right",
                                                                       "--widthtype",
                                                                       "pixel",
                                                                       "--width",
                                                                       "200",
                                                                       "--height",
                                                                       "32"},
                                              Ambiente());
        FPulse = std::make_unique<TProcesso>(
            std::vector<std::string>{
                "/usr/bin/pulseaudio",
                "-n",
                "--daemonize=no",
                "--exit-idle-time=-1",
                "--disallow-exit",
                "--load=module-null-sink sink_name=ci_sink rate=44100 channels=2",
                "--load=module-native-protocol-unix auth-anonymous=1 socket=" + FRuntime +
                    "/pulse/native"},
            Ambiente());
        ASSERT_TRUE(Esperar(
            [&] {
                return Rodar("env " + Prefixo() + " pactl info 2>/dev/null").find("Server Name") !=
                       std::string::npos;
            },
            20));
        ASSERT_TRUE(Esperar([&] { return !Painel().Id.empty(); }, 20)) << "trayer nao abriu";
    }
    void TearDown() override {
        for (auto* p :
             {FSegundo.get(), FPrograma.get(), FTrayer.get(), FPulse.get(), FXvfb.get()}) {
            if (p != nullptr) {
                p->Sinalizar(SIGTERM);
                p->Esperar();
            }
        }
    }
    std::vector<std::string> Ambiente() const {
        return {"DISPLAY=" + FTela,
                "XDG_RUNTIME_DIR=" + FRuntime,
                "PULSE_SERVER=unix:" + FRuntime + "/pulse/native",
                "XDG_CONFIG_HOME=" + FPasta / "config",
                "LJSN_EDGE=" + FPasta / "sem-navegador",
                "SDL_AUDIODRIVER=pulseaudio",
                // The tests run offscreen; the program under test uses the display.
                "QT_QPA_PLATFORM=xcb"};
    }
    std::string Prefixo() const {
        std::string r;
        for (const auto& v : Ambiente()) {
            r += "'" + v + "' ";
        }
        return r;
    }
    // The windows under the root (or under AId), as xwininfo lists them.
    std::vector<std::pair<std::string, TJanelaX>> Janelas(const std::string& AId = "-root") {
        const std::string texto =
            Rodar("env " + Prefixo() + " xwininfo -tree " +
                  (AId == "-root" ? std::string("-root") : "-id " + AId) + " 2>/dev/null");
        static const std::regex linha(
            R"(^\s*(0x[0-9a-f]+) (.*?)  (\d+)x(\d+)\+-?\d+\+-?\d+  \+(-?\d+)\+(-?\d+)$)");
        std::vector<std::pair<std::string, TJanelaX>> r;
        for (const auto& l : DividirLinhas(texto)) {
            std::smatch m;
            if (std::regex_match(l, m, linha)) {
                TJanelaX j{
                    m[1], std::stoi(m[5]), std::stoi(m[6]), std::stoi(m[3]), std::stoi(m[4])};
                r.emplace_back(m[2], j);
            }
        }
        return r;
    }
    TJanelaX Painel() {
        for (const auto& [nome, j] : Janelas()) {
            if (nome.find("(\"panel\" \"trayer\")") != std::string::npos) {
                return j;
            }
        }
        return {};
    }
    // The program's tray icon, inside trayer's panel.
    TJanelaX IconeNaBandeja() {
        const TJanelaX painel = Painel();
        if (painel.Id.empty()) {
            return {};
        }
        for (const auto& [nome, j] : Janelas(painel.Id)) {
            if (nome.find("lojasonorante-janela") != std::string::npos) {
                return j;
            }
        }
        return {};
    }
    std::string JanelaPrincipal() {
        for (const auto& [nome, j] : Janelas()) {
            if (nome.rfind("\"Loja Sonorante 1.20.0\"", 0) == 0) {
                return j.Id;
            }
        }
        return {};
    }
    // The program's windows that are mapped now (main window, balloon, menu).
    std::vector<std::string> Visiveis() {
        return Dividir(Aparar(Rodar("env " + Prefixo() +
                                    " xdotool search --onlyvisible --classname "
                                    "lojasonorante-janela 2>/dev/null")),
                       "\n");
    }
    bool WidgetVisivel() {
        return !Aparar(
                    Rodar("env " + Prefixo() +
                          " xdotool search --onlyvisible --name 'controles rápidos' 2>/dev/null"))
                    .empty();
    }
    std::string Estado() {
        httplib::Client c("127.0.0.1", FPorta);
        auto r = c.Get("/api/estado", {{"X-Pin", "112233"}});
        return r && r->status == 200 ? r->body : std::string();
    }
    int Tocadas() {
        const std::string log = LerLogs(FPasta / "dados/");
        int n = 0;
        for (std::size_t p = log.find("[TOCANDO]"); p != std::string::npos;
             p = log.find("[TOCANDO]", p + 1)) {
            ++n;
        }
        return n;
    }
    void Xdotool(const std::string& AArgs) { Rodar("env " + Prefixo() + " xdotool " + AArgs); }

    TPastaTemporaria FPasta;
    std::string FTela;
    std::string FRuntime;
    int FPorta = 0;
    std::unique_ptr<TProcesso> FXvfb, FTrayer, FPulse, FPrograma, FSegundo;
};

}  // namespace

// The program opens its window and its tray icon; the tray menu's "Próxima"
// skips an item; closing hides to the tray with the balloon once; a second
// copy with /proxima hands over its switch and ends with 0.
TEST_F(JanelaReal, BandejaMenuFecharESegundaCopia) {
    const std::string dados = FPasta / "dados";
    for (int i = 1; i <= 3; ++i) {
        GerarTom(dados + "/musicas/m" + std::to_string(i) + ".wav",
                 30,
                 300 + 100 * i,
                 0.3,
                 {"-c:a", "pcm_s16le"});
    }
    FPorta = PortaLivre();
    EscreverArquivo(dados + "/config.ini",
                    "[Geral]\r\nPastaMusicas=" + dados +
                        "/musicas\r\nTocarAoIniciar=1\r\n"
                        "VolumeAutomatico=0\r\nTransicaoSegundos=0\r\nTransicaoPadrao8=1\r\n"
                        "[Celular]\r\nAtivo=1\r\nPin=112233\r\nPorta=" +
                        std::to_string(FPorta) + "\r\n");
    EscreverArquivo(FPasta / "config/LojaSonorante/estado.ini",
                    "[Novidades]\r\nVersaoVista=1.20.0\r\n[Termos]\r\nVersao=1\r\n");
    FPrograma = std::make_unique<TProcesso>(
        std::vector<std::string>{LJSN_BINARIO, "--dados", dados, "--driver-audio", "pulseaudio"},
        Ambiente());
    ASSERT_TRUE(Esperar([&] { return !JanelaPrincipal().empty(); }, 30)) << LerLogs(dados);
    ASSERT_TRUE(Esperar([&] { return !IconeNaBandeja().Id.empty(); }, 20)) << "sem icone";
    ASSERT_TRUE(Esperar([&] { return Tocadas() == 1; }, 20)) << LerLogs(dados);
    EXPECT_NE(Estado().find("\"faixa\":\"m1\""), std::string::npos) << Estado();

    // The tray menu: right button on the icon, then "Próxima" (third item).
    const TJanelaX icone = IconeNaBandeja();
    const std::string centro =
        std::to_string(icone.X + icone.L / 2) + " " + std::to_string(icone.Y + icone.A / 2);
    const auto semMenu = Visiveis().size();
    Xdotool("mousemove " + centro + " click 3");
    ASSERT_TRUE(Esperar([&] { return Visiveis().size() > semMenu; }, 10)) << "o menu nao abriu";
    Xdotool("key Down Down Down Return");
    ASSERT_TRUE(Esperar([&] { return Tocadas() == 2; }, 10)) << LerLogs(dados);
    EXPECT_NE(Estado().find("\"faixa\":\"m2\""), std::string::npos) << Estado();

    // Closing hides the window to the tray and shows the balloon, once. The
    // balloon is shown in the same step that hides the window.
    const std::string principal = JanelaPrincipal();
    const std::string decimal = std::to_string(std::stoul(principal, nullptr, 16));
    const auto visivel = [&] {
        const auto v = Visiveis();
        return std::find(v.begin(), v.end(), decimal) != v.end();
    };
    ASSERT_TRUE(Esperar([&] { return Visiveis().size() == semMenu; }, 10));  // menu gone
    const auto antes = Visiveis().size();
    Rodar("env " + Prefixo() + " " + LJSN_X11 + " fechar " + principal);
    ASSERT_TRUE(Esperar([&] { return !visivel(); }, 10));
    // The main window went; the balloon and the quick controls came.
    EXPECT_TRUE(Esperar([&] { return Visiveis().size() == antes + 1; }, 10)) << Visiveis().size();
    EXPECT_TRUE(WidgetVisivel());
    EXPECT_NE(Estado().find("\"situacao\":\"tocando\""), std::string::npos);  // still playing
    // Back from the tray with a click, closed again: no second balloon.
    Xdotool("mousemove " + centro + " click 1");
    ASSERT_TRUE(Esperar(visivel, 10));
    ASSERT_TRUE(Esperar([&] { return Visiveis().size() == antes; }, 20));  // balloon timed out
    EXPECT_FALSE(WidgetVisivel());
    Rodar("env " + Prefixo() + " " + LJSN_X11 + " fechar " + principal);
    ASSERT_TRUE(Esperar([&] { return !visivel(); }, 10));
    // The main window went, the quick controls came, and no second balloon.
    EXPECT_TRUE(Esperar([&] { return WidgetVisivel(); }, 10));
    EXPECT_TRUE(Esperar([&] { return Visiveis().size() == antes; }, 10)) << Visiveis().size();

    // A second copy with /proxima: the first skips, the second ends with 0.
    FSegundo = std::make_unique<TProcesso>(
        std::vector<std::string>{LJSN_BINARIO, "--dados", dados, "/proxima"}, Ambiente());
    EXPECT_EQ(FSegundo->Esperar(), 0);
    FSegundo.reset();
    ASSERT_TRUE(Esperar([&] { return Tocadas() == 3; }, 10)) << LerLogs(dados);
    EXPECT_NE(Estado().find("\"faixa\":\"m3\""), std::string::npos) << Estado();

    // "Sair" from the tray menu (last item) really exits, saving the settings.
    const auto semMenu2 = Visiveis().size();
    Xdotool("mousemove " + centro + " click 3");
    ASSERT_TRUE(Esperar([&] { return Visiveis().size() > semMenu2; }, 10));
    Xdotool("key Up Return");
    EXPECT_EQ(FPrograma->Esperar(), 0);
    FPrograma.reset();
    EXPECT_NE(LerLogs(dados).find("[FIM]      programa fechado"), std::string::npos);
}
