#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "apoio/uMidia.h"
#include "apoio/uPastaTemporaria.h"
#include "audio/motor/uMotor.h"
#include "audio/motor/uSaida.h"
#include "audio/uPlayer.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

using TComandos = std::vector<std::string>;

// Records every command and answers from a table; "open" of a path holding
// "falha" fails, and "play" fails when told to.
class TDispositivoGravado final : public IDispositivoMidia {
  public:
    std::optional<std::string> Enviar(std::string_view AComando) override {
        Comandos.emplace_back(AComando);
        const std::string c(AComando);
        if (c.rfind("open ", 0) == 0 && c.find("falha") != std::string::npos) {
            return std::nullopt;
        }
        if (c.rfind("play ", 0) == 0 && FalharPlay) {
            return std::nullopt;
        }
        auto it = Respostas.find(c);
        return it != Respostas.end() ? it->second : std::string();
    }
    TComandos Tirar() { return std::exchange(Comandos, {}); }
    TComandos Comandos;
    std::map<std::string, std::string> Respostas;
    bool FalharPlay = false;
};

// Media whose real length the player compares with the device's.
class MidiaPlayer {
  public:
    static MidiaPlayer& Instancia() {
        static MidiaPlayer m;
        return m;
    }
    std::string operator/(const std::string& ANome) const { return FPasta + ANome; }

  private:
    MidiaPlayer() : FPasta(MidiaCompartilhada("player", Gerar)) {}
    static void Gerar(const std::string& APasta) {
        GerarTom(APasta + "24s.wav", 24, 440, 0.3, {"-c:a", "pcm_s16le"}, 8000, 1);
        GerarTom(APasta + "20s.wav", 20, 440, 0.3, {"-c:a", "pcm_s16le"}, 8000, 1);
        // VBR without a Xing header: the container's guess of its length is wrong.
        GerarExpressao(APasta + "vbr sem xing.mp3",
                       "if(lt(mod(t,6),3),0.02*sin(2*PI*220*t),0.7*(random(0)-0.5))",
                       30,
                       44100,
                       {"-c:a", "libmp3lame", "-q:a", "6", "-write_xing", "0"});
    }
    std::string FPasta;
};

class Player : public testing::Test {
  protected:
    void SetUp() override { DefinirPastaDados(FPasta.Caminho()); }
    std::string Log() const { return LerLogs(FPasta.Caminho()); }
    TPastaTemporaria FPasta;
    TDispositivoGravado FDisp;
    MidiaPlayer& FMidia = MidiaPlayer::Instancia();
};

}  // namespace

TEST_F(Player, TocarEnviaOsComandosNaOrdem) {
    TPlayer p(FDisp, "musica");
    FDisp.Respostas["status musica length"] = "200000";
    EXPECT_TRUE(p.Tocar("/m/nao existe.mp3"));  // no real length: nothing to correct
    EXPECT_EQ(FDisp.Tirar(),
              (TComandos{"open \"/m/nao existe.mp3\" type mpegvideo alias musica",
                         "set musica time format milliseconds",
                         "status musica length",
                         "setaudio musica volume to 800",
                         "play musica"}));
    EXPECT_FALSE(p.DuracaoCorrigida());
    EXPECT_TRUE(p.Tocar("/m/b.mp3"));
    const TComandos c = FDisp.Tirar();
    EXPECT_EQ((TComandos{c[0], c[1], c[2]}),
              (TComandos{
                  "stop musica", "close musica", "open \"/m/b.mp3\" type mpegvideo alias musica"}));
    p.Parar();
    EXPECT_EQ(FDisp.Tirar(), (TComandos{"stop musica", "close musica"}));
    p.Parar();
    p.Pausar();
    p.Continuar();
    p.Posicionar(1000);
    EXPECT_EQ(p.Estado(), TEstadoPlayer::epParado);
    EXPECT_EQ(p.Duracao(), 0);
    EXPECT_EQ(p.Posicao(), 0);
    EXPECT_TRUE(FDisp.Tirar().empty());  // a closed player sends nothing
}

TEST_F(Player, FalhasAoAbrirETocar) {
    TPlayer p(FDisp, "musica");
    EXPECT_FALSE(p.Tocar("/m/falha.mp3"));
    EXPECT_FALSE(p.Aberto());
    EXPECT_EQ(FDisp.Tirar().size(), 1u);
    FDisp.FalharPlay = true;
    EXPECT_FALSE(p.Tocar("/m/ok.mp3"));
    EXPECT_TRUE(p.Aberto());  // open worked; only play failed
}

// Device 20 000 ms, file 24 000 ms: the real length wins, seeks are scaled to
// the device and positions come back on the real scale.
TEST_F(Player, CorrecaoDeDuracao) {
    TPlayer p(FDisp, "musica");
    FDisp.Respostas["status musica length"] = "20000";
    FDisp.Respostas["status musica mode"] = "playing";
    ASSERT_TRUE(p.Tocar(FMidia / "24s.wav"));
    EXPECT_TRUE(p.DuracaoCorrigida());
    EXPECT_EQ(p.Duracao(), 24000);
    EXPECT_NE(Log().find("[DURACAO]  MCI informou 0:20, o arquivo tem 0:24 (MP3 de taxa variavel): "
                         "corrigido | 24s.wav"),
              std::string::npos);
    FDisp.Tirar();
    p.Posicionar(12000);
    EXPECT_EQ(FDisp.Tirar(),
              (TComandos{"status musica mode", "seek musica to 10000", "play musica"}));
    struct TCaso {
        const char* Dispositivo;
        int Real;
    };
    for (const TCaso c : {TCaso{"10000", 12000},
                          TCaso{"13000", 15000},
                          TCaso{"19999", 21999},
                          TCaso{"20000", 24000},
                          TCaso{"abc", 2000}}) {
        FDisp.Respostas["status musica position"] = c.Dispositivo;
        EXPECT_EQ(p.Posicao(), c.Real) << c.Dispositivo;
    }
    FDisp.Tirar();
    p.Posicionar(99999);  // clamped to the real length
    EXPECT_EQ(FDisp.Tirar()[1], "seek musica to 20000");
    FDisp.Respostas["status musica mode"] = "paused";
    p.Posicionar(6000);
    EXPECT_EQ(FDisp.Tirar(), (TComandos{"status musica mode", "seek musica to 5000"}));
}

// Exactly 2 % apart is not corrected, nor is an unknown real length.
TEST_F(Player, DoisPorCentoNaoCorrige) {
    TPlayer p(FDisp, "musica");
    FDisp.Respostas["status musica length"] = "20400";
    ASSERT_TRUE(p.Tocar(FMidia / "20s.wav"));
    EXPECT_FALSE(p.DuracaoCorrigida());
    EXPECT_EQ(p.Duracao(), 20400);
    FDisp.Respostas["status musica position"] = "123";
    EXPECT_EQ(p.Posicao(), 123);
    FDisp.Tirar();
    p.Posicionar(-5);  // unclamped without correction
    EXPECT_EQ(FDisp.Tirar()[1], "seek musica to -5");
}

struct TCasoVolume {
    const char* Nome;
    int Volume;
    double Ganho;
    int Guardado;
    int Enviado;
};

// The device gets volume x 10 x gain, ties to even, capped at 1000.
TEST_F(Player, VolumeEGanho) {
    const TCasoVolume casos[] = {
        {"Normal", 80, 1.0, 80, 800},
        {"GanhoAltoParaEm1000", 100, 1.5, 100, 1000},
        {"MeioGanho", 80, 0.5, 80, 400},
        {"AcimaDe100", 150, 1.0, 100, 1000},
        {"Negativo", -5, 1.0, 0, 0},
        {"EmpateDesceAoPar", 5, 0.25, 5, 12},
        {"EmpateSobeAoPar", 7, 0.25, 7, 18},
        {"GanhoNegativo", 50, -1.0, 50, 0},
    };
    TPlayer p(FDisp, "musica");
    ASSERT_TRUE(p.Tocar("/m/a.mp3"));
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Nome);
        p.DefinirGanho(1.0);
        FDisp.Tirar();
        p.DefinirVolume(c.Volume);
        p.DefinirGanho(c.Ganho);
        EXPECT_EQ(p.Volume(), c.Guardado);
        EXPECT_EQ(FDisp.Tirar().back(), "setaudio musica volume to " + std::to_string(c.Enviado));
    }
    p.Parar();
    FDisp.Tirar();
    p.DefinirVolume(33);  // stored while closed, applied at the next start
    EXPECT_TRUE(FDisp.Tirar().empty());
    p.DefinirGanho(1.0);
    ASSERT_TRUE(p.Tocar("/m/a.mp3"));
    EXPECT_EQ(FDisp.Tirar()[3], "setaudio musica volume to 330");
}

TEST_F(Player, EstadoPeloModo) {
    TPlayer p(FDisp, "musica2");
    ASSERT_TRUE(p.Tocar("/m/a.mp3"));
    const std::pair<const char*, TEstadoPlayer> casos[] = {
        {"playing", TEstadoPlayer::epTocando},
        {"PAUSED", TEstadoPlayer::epPausado},
        {"stopped", TEstadoPlayer::epParado},
        {"seeking", TEstadoPlayer::epParado},
        {"", TEstadoPlayer::epParado},
    };
    for (const auto& [modo, estado] : casos) {
        FDisp.Respostas["status musica2 mode"] = modo;
        EXPECT_EQ(p.Estado(), estado) << modo;
    }
}

// Through the real engine: a VBR MP3 without a Xing header is corrected end
// to end, plays to its real end and reads stopped there.
TEST_F(Player, Mp3VbrSemXingNoMotorReal) {
    TMotor motor;
    TSaidaOffline saida(motor);
    TPlayer p(motor, "musica");
    ASSERT_TRUE(p.Tocar(FMidia / "vbr sem xing.mp3"));
    EXPECT_TRUE(p.DuracaoCorrigida());
    EXPECT_NEAR(p.Duracao(), 30000, 60);
    EXPECT_NE(Log().find("(MP3 de taxa variavel): corrigido | vbr sem xing.mp3"),
              std::string::npos);
    EXPECT_EQ(p.Estado(), TEstadoPlayer::epTocando);
    saida.RenderizarQuadros(TMotor::kTaxaPadrao * 10, 4800);
    EXPECT_NEAR(p.Posicao(), 10000, 150);
    saida.RenderizarQuadros(TMotor::kTaxaPadrao * 21, 4800);
    EXPECT_EQ(p.Estado(), TEstadoPlayer::epParado);
    EXPECT_TRUE(p.Aberto());
    EXPECT_EQ(p.Posicao(), p.Duracao());
}
