#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "apoio/uArmazenamentoLento.h"
#include "apoio/uMidia.h"
#include "apoio/uPastaTemporaria.h"
#include "apoio/uSinais.h"
#include "audio/motor/uDecodificador.h"
#include "audio/motor/uGravadorWav.h"
#include "audio/motor/uMotor.h"
#include "audio/motor/uPoolAberturas.h"
#include "audio/motor/uSaida.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

constexpr int kTaxa = TMotor::kTaxaPadrao;
constexpr std::size_t kRampaVolume = kTaxa / 10;

// Media the engine tests play, made once per build by ffmpeg.
class Midia {
  public:
    static Midia& Instancia() {
        static Midia m;
        return m;
    }
    std::string operator/(const std::string& ANome) const { return FPasta + ANome; }

  private:
    Midia() : FPasta(MidiaCompartilhada("motor", Gerar)) {}
    static void Gerar(const std::string& APasta) {
        const std::vector<std::string> wavF = {"-c:a", "pcm_f32le"};
        // Constant 0.5 on both channels: levels and ramps read directly.
        GerarExpressao(APasta + "dc.wav", "0.5|0.5", 6);
        GerarExpressao(APasta + "dc25.wav", "0.25|0.25", 3);
        GerarTom(APasta + "tom.wav", 5, 1000, 0.5, wavF, 44100);
        GerarTom(APasta + "tom.mp3", 8, 440, 0.5, {"-c:a", "libmp3lame", "-b:a", "192k"}, 44100);
        GerarTom(APasta + "tom.wma", 8, 440, 0.5, {"-c:a", "wmav2", "-b:a", "128k"}, 44100);
        GerarTom(APasta + "curto.wav", 0.5, 440, 0.5, {"-c:a", "pcm_s16le"}, 44100);
        // 12 MB a second: the first 0.2 s a stream pre-fills take 2.4 MB of reads.
        GerarTom(APasta + "grande.wav", 1, 440, 0.5, {"-c:a", "pcm_f64le"}, 192000, 8);
        // An index ramp: sample i holds i / N, so dropped or repeated frames show.
        GerarExpressao(APasta + "indice.wav", "n/441000|n/441000", 4);
        // A truncated MP3: the first 40 % of a longer file.
        GerarTom(
            APasta + "inteiro.mp3", 10, 440, 0.5, {"-c:a", "libmp3lame", "-b:a", "128k"}, 44100);
        const std::string inteiro = LerArquivo(APasta + "inteiro.mp3");
        EscreverArquivo(APasta + "truncado.mp3", inteiro.substr(0, inteiro.size() * 4 / 10));
        EscreverArquivo(APasta + "texto.mp3", "isto nao e audio, so texto com nome de mp3\n");
        EscreverArquivo(APasta + "vazio.mp3", "");
        std::filesystem::create_directories(APasta + "pasta.mp3");
        for (const char* nome :
             {"Ação \"ótima\" e tal.wav", "-começa com traço.wav", "concat:x.wav"}) {
            std::filesystem::copy_file(APasta + "curto.wav", APasta + nome);
        }
    }
    std::string FPasta;
};

std::string Abrir(const std::string& AArquivo, const std::string& AAlias) {
    return "open \"" + AArquivo + "\" type mpegvideo alias " + AAlias;
}

class Motor : public testing::Test {
  protected:
    std::string Enviar(const std::string& AComando) {
        auto r = FMotor.Enviar(AComando);
        EXPECT_TRUE(r.has_value()) << AComando;
        return r.value_or("");
    }
    std::vector<float> Render(std::size_t AQuadros, std::size_t ABloco = 480) {
        return FSaida.RenderizarQuadros(AQuadros, ABloco);
    }
    void AbrirETocar(const std::string& AArquivo, const std::string& AAlias, int AVolume = 1000) {
        Enviar(Abrir(AArquivo, AAlias));
        Enviar("setaudio " + AAlias + " volume to " + std::to_string(AVolume));
        Enviar("play " + AAlias);
    }
    Midia& FMidia = Midia::Instancia();
    TMotor FMotor;
    TSaidaOffline FSaida{FMotor};
};

}  // namespace

// volume N / 1000 is a linear gain: a 0.5 amplitude tone reads 0.5, 0.25, 0.
TEST_F(Motor, NivelDoTomPorVolume) {
    AbrirETocar(FMidia / "tom.wav", "musica");
    struct TCaso {
        int Volume;
        double Amplitude;
    };
    for (const TCaso c : {TCaso{1000, 0.5}, TCaso{500, 0.25}, TCaso{0, 0.0}, TCaso{1000, 0.5}}) {
        Enviar("setaudio musica volume to " + std::to_string(c.Volume));
        Render(kRampaVolume);  // the ramp
        const auto s = Render(kTaxa / 10);
        EXPECT_NEAR(AmplitudeFrequencia(s, 2, 0, 0, kTaxa / 10, 1000, kTaxa), c.Amplitude, 0.005)
            << c.Volume;
        EXPECT_NEAR(Rms(s, 2, 1, 0, kTaxa / 10), c.Amplitude / std::sqrt(2.0), 0.005);
    }
}

TEST_F(Motor, DoisAliasesSomam) {
    AbrirETocar(FMidia / "dc25.wav", "musica");
    AbrirETocar(FMidia / "dc25.wav", "musica2", 500);
    const auto s = Render(4800);
    EXPECT_NEAR(s[2000 * 2], 0.25 + 0.125, 1e-5);
    EXPECT_NEAR(s[4000 * 2 + 1], 0.375, 1e-5);
}

// The gain moves linearly over one tick whatever the block size, reaches the
// target exactly, and a retarget mid-ramp turns without a step.
TEST_F(Motor, RampaContinuaEmQualquerBloco) {
    for (std::size_t bloco : {1u, 7u, 64u, 441u, 1024u, 4800u}) {
        SCOPED_TRACE(bloco);
        TMotor motor;
        TSaidaOffline saida(motor);
        ASSERT_TRUE(motor.Enviar(Abrir(FMidia / "dc.wav", "m")));
        ASSERT_TRUE(motor.Enviar("setaudio m volume to 1000"));
        ASSERT_TRUE(motor.Enviar("play m"));
        saida.RenderizarQuadros(600, bloco);  // past the 5 ms start de-click
        ASSERT_TRUE(motor.Enviar("setaudio m volume to 200"));
        auto a = saida.RenderizarQuadros(kRampaVolume / 2, bloco);
        ASSERT_TRUE(motor.Enviar("setaudio m volume to 800"));  // mid-ramp
        auto b = saida.RenderizarQuadros(kRampaVolume + 100, bloco);
        a.insert(a.end(), b.begin(), b.end());
        double maiorPasso = 0;
        for (std::size_t i = 1; i < a.size() / 2; ++i) {
            maiorPasso = std::max(maiorPasso, std::abs(double(a[i * 2]) - a[(i - 1) * 2]));
        }
        EXPECT_LE(maiorPasso, 0.5 / kRampaVolume + 1e-6);
        // First ramp: 1.0 -> 0.2, halfway at 0.6 when the retarget came.
        EXPECT_NEAR(a[(kRampaVolume / 2 - 1) * 2], 0.5 * 0.6, 1e-3);
        // The second ramp ends exactly one ramp length after it began.
        const std::size_t fim = kRampaVolume / 2 + kRampaVolume;
        EXPECT_NEAR(a[(fim - 2) * 2], 0.4, 1e-4);
        EXPECT_FLOAT_EQ(a[fim * 2], 0.4f);
        EXPECT_FLOAT_EQ(a[(fim + 50) * 2], 0.4f);
    }
}

// The first volume after opening applies at once: a track does not fade in.
TEST_F(Motor, PrimeiroVolumeEhImediato) {
    AbrirETocar(FMidia / "dc.wav", "musica", 600);
    const auto s = Render(1000);
    EXPECT_FLOAT_EQ(s[(kTaxa / 200 + 10) * 2], 0.3f);  // after the 5 ms de-click only
}

TEST_F(Motor, PosicaoPausaEFimDoArquivo) {
    AbrirETocar(FMidia / "indice.wav", "musica");
    EXPECT_EQ(Enviar("status musica mode"), "playing");
    EXPECT_EQ(Enviar("status musica length"), "4000");
    Render(kTaxa);  // one second
    EXPECT_EQ(Enviar("status musica position"), "1000");
    Enviar("pause musica");
    EXPECT_EQ(Enviar("status musica mode"), "paused");
    Render(kTaxa / 2);
    const auto silencio = Render(4800);
    EXPECT_EQ(*std::max_element(silencio.begin(), silencio.end()), 0.0f);
    const std::string pausado = Enviar("status musica position");
    EXPECT_NEAR(std::stoi(pausado), 1005, 1);  // the 5 ms fade-out
    Enviar("resume musica");
    const auto r = Render(kTaxa / 2);
    // No frame lost or repeated across the pause: the ramp's content is continuous.
    const double passo = 1.0 / 441000;
    for (std::size_t i = 600; i < kTaxa / 2; ++i) {
        ASSERT_NEAR(r[i * 2] - r[(i - 1) * 2], passo, 1e-6) << i;
    }
    Render(kTaxa * 3);
    EXPECT_EQ(Enviar("status musica mode"), "stopped");  // ended, still open
    EXPECT_EQ(Enviar("status musica position"), "4000");
    Enviar("play musica");
    EXPECT_EQ(Enviar("status musica mode"), "stopped");
}

// A seek leaves the alias not playing; "play" then starts at the target.
TEST_F(Motor, PosicionarDeixaParadoEComecaNoAlvo) {
    AbrirETocar(FMidia / "indice.wav", "musica");
    Render(4800);
    Enviar("seek musica to 2000");
    EXPECT_EQ(Enviar("status musica mode"), "stopped");
    EXPECT_EQ(Enviar("status musica position"), "2000");
    Render(4800);
    EXPECT_EQ(Enviar("status musica position"), "2000");
    Enviar("play musica");
    const auto s = Render(kTaxa / 10);
    EXPECT_NEAR(s[4000 * 2], (2.0 * kTaxa + 4000) / 441000, 1e-5);
    EXPECT_EQ(Enviar("status musica position"), "2100");
}

TEST_F(Motor, LeituraContinuaIgualAPosicionada) {
    for (const char* nome : {"tom.wav", "tom.mp3", "tom.wma"}) {
        SCOPED_TRACE(nome);
        std::string erro;
        auto continuo = TDecodificador::Abrir(FMidia / nome, {kTaxa, 2}, &erro);
        auto posicionado = TDecodificador::Abrir(FMidia / nome, {kTaxa, 2}, &erro);
        ASSERT_TRUE(continuo && posicionado) << erro;  // every fixture must open
        const std::size_t alvo = 3 * kTaxa + 1234;
        const std::size_t n = 4800;
        std::vector<float> a((alvo + n) * 2);
        ASSERT_EQ(continuo->Ler(a.data(), alvo + n), alvo + n);
        ASSERT_TRUE(posicionado->Posicionar(alvo));
        std::vector<float> b(n * 2);
        ASSERT_EQ(posicionado->Ler(b.data(), n), n);
        double diferenca = 0;
        double sinal = 0;
        for (std::size_t i = 64; i < n * 2; ++i) {  // past the resampler's start-up
            const double d = a[alvo * 2 + i] - b[i];
            diferenca += d * d;
            sinal += double(b[i]) * b[i];
        }
        EXPECT_LT(std::sqrt(diferenca / sinal), 0.02);
    }
}

namespace {
// A source that gives its first frames, then blocks until released.
class TFonteTravada final : public IFonteAudio {
  public:
    std::size_t Ler(std::span<float> AQuadros) override {
        if (FEntregues >= kTaxa / 4) {
            std::unique_lock trava(FTrava);
            FTravada = true;
            FSinal.notify_all();
            FSinal.wait(trava, [this] { return FLiberada; });
            return 0;
        }
        std::fill(AQuadros.begin(), AQuadros.end(), 0.5f);
        FEntregues += AQuadros.size() / 2;
        return AQuadros.size() / 2;
    }
    bool Posicionar(std::int64_t) override { return false; }
    std::int64_t DuracaoMs() const override { return 10000; }
    // Once released, the engine may free the source at any moment.
    void Liberar() {
        std::lock_guard trava(FTrava);
        FLiberada = true;
        FSinal.notify_all();
    }
    // Waits until everything before the stall is in the ring.
    void EsperarTravar() {
        std::unique_lock trava(FTrava);
        FSinal.wait(trava, [this] { return FTravada; });
    }

  private:
    std::size_t FEntregues = 0;
    std::mutex FTrava;
    std::condition_variable FSinal;
    bool FLiberada = false;
    bool FTravada = false;
};
}  // namespace

// A stalled decoder gives silence and counts an underrun; nothing crashes.
TEST_F(Motor, FonteTravadaDaSilencioEConta) {
    auto fonte = std::make_unique<TFonteTravada>();
    TFonteTravada* travada = fonte.get();
    ASSERT_TRUE(FMotor.AbrirFonte("musica", std::move(fonte)));
    Enviar("setaudio musica volume to 1000");
    Enviar("play musica");
    travada->EsperarTravar();
    std::vector<float> s(kTaxa * 2);
    FMotor.Renderizar(s);  // real-time path: no waiting
    EXPECT_EQ(FMotor.Contadores().Faltas, 1u);
    EXPECT_FLOAT_EQ(s[(kTaxa / 8) * 2], 0.5f);
    EXPECT_EQ(s[(kTaxa - 10) * 2], 0.0f);
    EXPECT_EQ(Enviar("status musica mode"), "playing");
    travada->Liberar();
    Enviar("close musica");
    FMotor.Renderizar(s);
}

namespace {
// Asks for the alias's mode until it is AModo or 10 s have passed.
bool EsperarModo(TMotor& AMotor, const std::string& AAlias, const std::string& AModo) {
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (AMotor.Enviar("status " + AAlias + " mode").value_or("") != AModo) {
        if (std::chrono::steady_clock::now() > limite) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
}  // namespace

// A stream that stops delivering (storage that stopped answering) is given up
// after the limit: reported as ended with the reason and where, and closing it
// does not wait for the read that never returns.
TEST_F(Motor, FluxoParadoEhAbandonadoSemPrenderOFechamento) {
    // Opens wait as offline; only the stall limit is short.
    FMotor.DefinirLimites(std::chrono::milliseconds::max(), std::chrono::milliseconds(300));
    auto fonte = std::make_unique<TFonteTravada>();
    TFonteTravada* travada = fonte.get();
    ASSERT_TRUE(FMotor.AbrirFonte("musica", std::move(fonte)));
    Enviar("setaudio musica volume to 1000");
    Enviar("play musica");
    travada->EsperarTravar();
    std::vector<float> s(kTaxa * 2);
    FMotor.Renderizar(s);  // the real-time path plays what there was
    ASSERT_TRUE(EsperarModo(FMotor, "musica", "stopped"));
    // Stopped where the last delivered frame was.
    const std::string posicao = Enviar("status musica position");
    EXPECT_GE(std::stoi(posicao), 250);
    EXPECT_EQ(Enviar("status musica error"), posicao + " o arquivo parou de responder");
    Enviar("close musica");
    FMotor.Renderizar(s);
    FMotor.Recolher();  // frees the stream; its thread is still in the read
    Enviar(Abrir(FMidia / "curto.wav", "musica"));
    EXPECT_EQ(Enviar("status musica length"), "500");
    travada->Liberar();
}

namespace {
// Storage that answers only when the test says so: opening a file whose name
// holds "rede" waits for Liberar, the rest opens at once.
class TAberturaRetida {
  public:
    // The engine keeps a copy of the opener; they share the state.
    TMotor::TAbridor Abridor() {
        return [estado = FEstado](const std::string& AArquivo, int ATaxa) {
            if (AArquivo.find("rede") != std::string::npos) {
                std::unique_lock trava(estado->Trava);
                estado->Sinal.wait(trava, [&] { return estado->Liberado; });
            }
            return AbrirFonteFFmpeg(AArquivo, ATaxa);
        };
    }
    void Liberar() {
        std::lock_guard trava(FEstado->Trava);
        FEstado->Liberado = true;
        FEstado->Sinal.notify_all();
    }

  private:
    struct TEstado {
        std::mutex Trava;
        std::condition_variable Sinal;
        bool Liberado = false;
    };
    std::shared_ptr<TEstado> FEstado = std::make_shared<TEstado>();
};
}  // namespace

// Opening a file on storage that does not answer neither holds the caller
// nor plays: the alias waits, then ends with the reason; the engine goes on
// with other files meanwhile.
TEST_F(Motor, AberturaQueNaoRespondeNaoPrende) {
    auto lento = std::make_shared<TAberturaRetida>();
    FMotor.DefinirAbridor(lento->Abridor());
    // Generous for the file that opens, even on a loaded machine.
    FMotor.DefinirLimites(std::chrono::milliseconds(1000), std::chrono::milliseconds(2500));
    AbrirETocar(FMidia / "rede/nada.wav", "musica", 500);
    EXPECT_EQ(Enviar("status musica mode"), "playing");
    EXPECT_EQ(Enviar("status musica length"), "0");
    AbrirETocar(FMidia / "dc.wav", "outra");
    const auto s = Render(4800);
    EXPECT_FLOAT_EQ(s[4000 * 2], 0.5f);  // only the file that opened sounds
    ASSERT_TRUE(EsperarModo(FMotor, "musica", "stopped"));
    EXPECT_EQ(Enviar("status musica error"), "0 o arquivo nao respondeu ao ser aberto");
    Enviar("close musica");
    lento->Liberar();  // the stuck open fails late and its thread ends
}

// Storage slower than the wait: the open goes on in the background and the
// alias plays from the start once its stream arrives, at the volume set
// meanwhile; a seek on it does the same.
TEST_F(Motor, AberturaLentaTocaQuandoChega) {
    TPastaTemporaria pasta;
    std::filesystem::create_directories(pasta / "rede");
    std::filesystem::copy_file(FMidia / "dc25.wav", pasta / "rede/dc25.wav");
    auto lento = std::make_shared<TAberturaRetida>();
    FMotor.DefinirAbridor(lento->Abridor());
    FMotor.DefinirLimites(std::chrono::milliseconds(20), std::chrono::seconds(30));
    AbrirETocar(pasta / "rede/dc25.wav", "musica", 500);
    EXPECT_EQ(Enviar("status musica mode"), "playing");
    EXPECT_EQ(Enviar("status musica position"), "0");
    lento->Liberar();
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Enviar("status musica length") == "0" && std::chrono::steady_clock::now() < limite) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(Enviar("status musica length"), "3000");
    auto s = Render(4800);
    EXPECT_NEAR(s[4000 * 2], 0.25f * 0.5f, 1e-5);
    EXPECT_EQ(Enviar("status musica position"), "108");
    EXPECT_EQ(Enviar("status musica error"), "");
}

namespace {
// What the sources of one test share: how many exist, how many are held in a
// read, how many were told to give up. A source still alive or still read
// once the engine is gone means a thread of the engine outlived it.
struct TRegistroFontes {
    std::mutex Trava;
    std::condition_variable Sinal;
    int Criadas = 0;
    int Vivas = 0;
    int Lendo = 0;
    int Canceladas = 0;
    bool Soltar = false;  // the test's way out, should the engine never cancel

    // Waits until AQuantas reads are held (10 s at most).
    bool EsperarLendo(int AQuantas) {
        std::unique_lock trava(Trava);
        return Sinal.wait_for(trava, std::chrono::seconds(10), [&] { return Lendo >= AQuantas; });
    }
    void SoltarTodas() {
        std::lock_guard trava(Trava);
        Soltar = true;
        Sinal.notify_all();
    }
};

// A share that stopped answering, as a source of the caller's: after about
// AAntes frames every read waits until the source is cancelled.
class TFonteAteCancelar final : public IFonteAudio {
  public:
    TFonteAteCancelar(std::shared_ptr<TRegistroFontes> ARegistro, std::size_t AAntes)
        : FRegistro(std::move(ARegistro)), FAntes(AAntes) {
        std::lock_guard trava(FRegistro->Trava);
        ++FRegistro->Criadas;
        ++FRegistro->Vivas;
    }
    ~TFonteAteCancelar() override {
        std::lock_guard trava(FRegistro->Trava);
        --FRegistro->Vivas;
        FRegistro->Sinal.notify_all();
    }
    std::size_t Ler(std::span<float> AQuadros) override {
        if (FEntregues < FAntes) {
            // Whole reads only: a short one is the end of the stream.
            std::fill(AQuadros.begin(), AQuadros.end(), 0.5f);
            FEntregues += AQuadros.size() / 2;
            return AQuadros.size() / 2;
        }
        TRegistroFontes& r = *FRegistro;
        std::unique_lock trava(r.Trava);
        ++r.Lendo;
        r.Sinal.notify_all();
        r.Sinal.wait(trava, [&] { return FCancelada || r.Soltar; });
        --r.Lendo;
        r.Sinal.notify_all();
        return 0;
    }
    bool Posicionar(std::int64_t) override { return false; }
    std::int64_t DuracaoMs() const override { return 10000; }
    void Cancelar() override {
        std::lock_guard trava(FRegistro->Trava);
        if (!FCancelada) {
            FCancelada = true;
            ++FRegistro->Canceladas;
        }
        FRegistro->Sinal.notify_all();
    }

  private:
    std::shared_ptr<TRegistroFontes> FRegistro;
    const std::size_t FAntes;
    std::size_t FEntregues = 0;
    bool FCancelada = false;  // guarded by FRegistro->Trava
};

constexpr int kThreadsAbertura = static_cast<int>(TPoolAberturas::kMaxThreads);
}  // namespace

// Shutdown with every opening thread held in a read of a share that stopped
// answering, and more openings waiting their turn: the held ones are
// cancelled and joined (no source outlives the engine or is still being
// read), and the waiting ones never start.
TEST(MotorThreads, AberturasPresasSaoCanceladasEJuntadas) {
    auto registro = std::make_shared<TRegistroFontes>();
    auto motor = std::make_unique<TMotor>();
    motor->DefinirLimites(std::chrono::milliseconds(20), std::chrono::seconds(60));
    motor->DefinirAbridor([registro](const std::string&, int) {
        return std::make_unique<TFonteAteCancelar>(registro, 0);
    });
    for (int i = 0; i < kThreadsAbertura + 3; ++i) {
        const std::string alias = "m" + std::to_string(i);
        ASSERT_EQ(motor->Enviar(Abrir("/rede/" + alias + ".wav", alias)), "");
    }
    ASSERT_TRUE(registro->EsperarLendo(kThreadsAbertura));
    motor.reset();
    {
        std::lock_guard trava(registro->Trava);
        EXPECT_EQ(registro->Lendo, 0);
        EXPECT_EQ(registro->Vivas, 0);
        EXPECT_EQ(registro->Canceladas, kThreadsAbertura);
        EXPECT_EQ(registro->Criadas, kThreadsAbertura);
    }
    registro->SoltarTodas();
}

// An opening given up after the stall limit is cancelled, so its thread
// comes back for the next file instead of staying with the dead share: with
// every opening thread once held, a local file still opens.
TEST(MotorThreads, AberturaAbandonadaDevolveAThread) {
    auto registro = std::make_shared<TRegistroFontes>();
    auto motor = std::make_unique<TMotor>();
    motor->DefinirLimites(std::chrono::milliseconds(20), std::chrono::milliseconds(300));
    motor->DefinirAbridor([registro](const std::string& AArquivo, int ATaxa) {
        if (AArquivo.find("/rede/") != std::string::npos) {
            return std::unique_ptr<IFonteAudio>(std::make_unique<TFonteAteCancelar>(registro, 0));
        }
        return AbrirFonteFFmpeg(AArquivo, ATaxa);
    });
    for (int i = 0; i < kThreadsAbertura; ++i) {
        const std::string alias = "r" + std::to_string(i);
        ASSERT_EQ(motor->Enviar(Abrir("/rede/" + alias + ".wav", alias)), "");
    }
    ASSERT_TRUE(registro->EsperarLendo(kThreadsAbertura));
    // The stall limit is checked when the main thread looks at the aliases.
    const auto prazo = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        for (int i = 0; i < kThreadsAbertura; ++i) {
            motor->Enviar("status r" + std::to_string(i) + " mode");
        }
        {
            std::lock_guard trava(registro->Trava);
            if (registro->Canceladas >= kThreadsAbertura) {
                break;
            }
        }
        ASSERT_LT(std::chrono::steady_clock::now(), prazo) << "the stalled openings were kept";
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (int i = 0; i < kThreadsAbertura; ++i) {
        EXPECT_EQ(motor->Enviar("status r" + std::to_string(i) + " mode"), "stopped");
    }
    {
        std::lock_guard trava(registro->Trava);
        EXPECT_EQ(registro->Canceladas, kThreadsAbertura);
    }
    ASSERT_TRUE(motor->Enviar(Abrir(Midia::Instancia() / "dc.wav", "local")));
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (motor->Enviar("status local length") != "6000" &&
           std::chrono::steady_clock::now() < limite) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(motor->Enviar("status local length"), "6000");
    motor.reset();
    registro->SoltarTodas();
}

// Openings held where no cancel reaches them (a read waiting in the kernel on
// a dead share): once given up they no longer count, so a local file still
// opens instead of waiting behind them.
TEST(MotorThreads, AberturasPresasNoNucleoNaoBloqueiamAsOutras) {
    auto registro = std::make_shared<TRegistroFontes>();
    auto motor = std::make_unique<TMotor>();
    motor->DefinirLimites(std::chrono::milliseconds(20), std::chrono::milliseconds(300));
    motor->DefinirAbridor([registro](const std::string& AArquivo, int ATaxa) {
        if (AArquivo.find("/rede/") != std::string::npos) {
            std::unique_lock trava(registro->Trava);
            ++registro->Lendo;
            registro->Sinal.notify_all();
            registro->Sinal.wait(trava, [&] { return registro->Soltar; });
            --registro->Lendo;
            return std::unique_ptr<IFonteAudio>();
        }
        return AbrirFonteFFmpeg(AArquivo, ATaxa);
    });
    for (int i = 0; i < kThreadsAbertura; ++i) {
        const std::string alias = "r" + std::to_string(i);
        ASSERT_EQ(motor->Enviar(Abrir("/rede/" + alias + ".wav", alias)), "");
    }
    ASSERT_TRUE(registro->EsperarLendo(kThreadsAbertura));
    ASSERT_TRUE(motor->Enviar(Abrir(Midia::Instancia() / "dc.wav", "local")));
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (motor->Enviar("status local length") != "6000" &&
           std::chrono::steady_clock::now() < limite) {
        motor->Recolher();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(motor->Enviar("status local length"), "6000");
    registro->SoltarTodas();
    motor.reset();
    std::lock_guard trava(registro->Trava);
    EXPECT_EQ(registro->Lendo, 0);
}

// A stream freed while its decoder thread is held in a read: the source is
// told to give up, and that thread is joined before the engine is gone.
TEST(MotorThreads, LeituraPresaDeFluxoFechadoEhCanceladaEJuntada) {
    auto registro = std::make_shared<TRegistroFontes>();
    auto motor = std::make_unique<TMotor>();
    ASSERT_TRUE(
        motor->AbrirFonte("musica", std::make_unique<TFonteAteCancelar>(registro, kTaxa / 4)));
    ASSERT_TRUE(registro->EsperarLendo(1));
    ASSERT_TRUE(motor->Enviar("close musica"));
    std::vector<float> s(480 * 2);
    motor->Renderizar(s);  // the audio thread lets go of the stream
    motor->Recolher();     // and this frees it, its decoder thread inside the read
    {
        std::lock_guard trava(registro->Trava);
        EXPECT_EQ(registro->Canceladas, 1);
    }
    motor.reset();
    {
        std::lock_guard trava(registro->Trava);
        EXPECT_EQ(registro->Lendo, 0);
        EXPECT_EQ(registro->Vivas, 0);
    }
    registro->SoltarTodas();
}

// FFmpeg opening a file on a share that crawls when the engine goes: the
// open gives up at its next read instead of reading on at the share's pace,
// so the destructor returns in about one read's time, not the twenty
// seconds the open would take.
TEST(MotorThreads, AberturaFFmpegNumCompartilhamentoLentoEhInterrompida) {
    std::string motivo;
    if (!teste::TArmazenamentoLento::Disponivel(&motivo)) {
        GTEST_SKIP() << motivo;
    }
    TPastaTemporaria pasta;
    std::string origem = Midia::Instancia() / "";
    origem.pop_back();
    teste::TArmazenamentoLento lento(origem, pasta / "rede");
    ASSERT_TRUE(lento.Montado()) << lento.Erro();
    // One 32 KiB read takes a quarter of a second.
    ASSERT_TRUE(lento.Lento("grande.wav", 128 * 1024)) << lento.Erro();
    auto motor = std::make_unique<TMotor>();
    motor->DefinirLimites(std::chrono::milliseconds(20), std::chrono::seconds(120));
    ASSERT_EQ(motor->Enviar(Abrir(lento / "grande.wav", "musica")), "");
    // The first open of the file is the MP3 sniff; the second is FFmpeg's.
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (lento.Aberturas("grande.wav") < 2) {
        ASSERT_LT(std::chrono::steady_clock::now(), limite) << "FFmpeg never opened the file";
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto inicio = std::chrono::steady_clock::now();
    motor.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::seconds(5));
}

struct TCasoRuim {
    const char* Nome;
    const char* Arquivo;
    bool Abre;
};

// Bad files fail to open cleanly, odd names open, and the alias stays usable.
TEST_F(Motor, EntradasRuins) {
    const TCasoRuim casos[] = {
        {"NaoExiste", "nao-existe.mp3", false},
        {"Pasta", "pasta.mp3", false},
        {"Vazio", "vazio.mp3", false},
        {"Texto", "texto.mp3", false},
        {"AcentosEAspas", "Ação \"ótima\" e tal.wav", true},
        {"TracoNaFrente", "-começa com traço.wav", true},
        {"PareceProtocolo", "concat:x.wav", true},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Nome);
        EXPECT_EQ(FMotor.Enviar(Abrir(FMidia / c.Arquivo, "musica")).has_value(), c.Abre);
        if (c.Abre) {
            EXPECT_EQ(Enviar("status musica length"), "500");
            Enviar("close musica");
        } else {
            EXPECT_FALSE(FMotor.Enviar("status musica mode"));
        }
        // The alias is free for the next file.
        ASSERT_TRUE(FMotor.Enviar(Abrir(FMidia / "curto.wav", "musica")));
        Enviar("close musica");
    }
    EXPECT_FALSE(FMotor.Enviar("play ninguem"));
    EXPECT_FALSE(FMotor.Enviar("setaudio musica volume to dez"));
    Enviar(Abrir(FMidia / "curto.wav", "musica"));
    EXPECT_FALSE(FMotor.Enviar(Abrir(FMidia / "curto.wav", "musica")));  // alias in use
    Enviar("close musica");
}

// A truncated MP3 plays what it has and ends as stopped.
TEST_F(Motor, Mp3TruncadoTerminaLimpo) {
    AbrirETocar(FMidia / "truncado.mp3", "musica");
    Render(kTaxa * 5);
    EXPECT_EQ(Enviar("status musica mode"), "stopped");
}

// A file deleted or replaced while it plays keeps playing what was opened.
TEST_F(Motor, ArquivoApagadoOuTrocadoDuranteReproducao) {
    TPastaTemporaria pasta;
    std::filesystem::copy_file(FMidia / "tom.mp3", pasta / "a.mp3");
    std::filesystem::copy_file(FMidia / "tom.mp3", pasta / "b.mp3");
    AbrirETocar(pasta / "a.mp3", "musica");
    AbrirETocar(pasta / "b.mp3", "musica2");
    Render(kTaxa / 2);
    std::filesystem::remove(pasta / "a.mp3");
    EscreverArquivo(pasta / "b.mp3.novo", "outra coisa");
    std::filesystem::rename(pasta / "b.mp3.novo", pasta / "b.mp3");
    Render(kTaxa * 9);
    EXPECT_EQ(Enviar("status musica mode"), "stopped");
    EXPECT_EQ(Enviar("status musica2 mode"), "stopped");
    EXPECT_EQ(FMotor.Contadores().Faltas, 0u);
}

TEST_F(Motor, GravadorGuardaOQueSaiu) {
    TPastaTemporaria pasta;
    std::vector<float> saida;
    {
        auto gravador = TGravadorWav::Criar(pasta / "saida.wav", kTaxa, 2);
        ASSERT_TRUE(gravador);
        FMotor.DefinirGravador(gravador.get());
        AbrirETocar(FMidia / "tom.wav", "musica");
        saida = Render(kTaxa);
        FMotor.DefinirGravador(nullptr);
    }
    const TWav wav = LerWav(pasta / "saida.wav");
    EXPECT_EQ(wav.Taxa, kTaxa);
    EXPECT_EQ(wav.Canais, 2);
    EXPECT_EQ(wav.Amostras, saida);
}

TEST_F(Motor, FalaEntraNaMistura) {
    std::vector<float> voz(960, 0.25f);
    EXPECT_EQ(FMotor.EscreverFala(voz), 480u);
    const auto s = Render(960);
    EXPECT_FLOAT_EQ(s[0], 0.25f);
    EXPECT_FLOAT_EQ(s[479 * 2 + 1], 0.25f);
    EXPECT_EQ(s[480 * 2], 0.0f);
    EXPECT_EQ(FMotor.FalaConsumida(), 480u);
    FMotor.EscreverFala(voz);
    EXPECT_EQ(FMotor.FalaEscrita(), 960u);
    FMotor.DescartarFala();
    const auto t = Render(480);
    // After the 5 ms fade, nothing of the withdrawn speech.
    EXPECT_EQ(*std::max_element(t.begin() + kTaxa / 200 * 2, t.end()), 0.0f);
    EXPECT_EQ(FMotor.FalaConsumida(), 960u);
}

// Withdrawn speech fades out over 5 ms in any block size instead of stopping
// on a click, the rest of it is never heard, and speech written after the
// purge plays at once at its level.
TEST_F(Motor, FalaDescartadaSaiComRampa) {
    constexpr std::size_t kRampa = kTaxa / 200;
    for (std::size_t bloco : {1u, 7u, 64u, 441u, 1024u, 4800u}) {
        SCOPED_TRACE(bloco);
        TMotor motor;
        TSaidaOffline saida(motor);
        const std::vector<float> antiga(kTaxa * 2, 0.25f);  // a second of speech
        ASSERT_EQ(motor.EscreverFala(antiga), static_cast<std::size_t>(kTaxa));
        const auto antes = saida.RenderizarQuadros(480, bloco);
        EXPECT_FLOAT_EQ(antes[479 * 2], 0.25f);
        motor.DescartarFala();
        const std::vector<float> nova(480 * 2, 0.5f);
        ASSERT_EQ(motor.EscreverFala(nova), 480u);
        const auto s = saida.RenderizarQuadros(kRampa + 960, bloco);
        double maiorPasso = std::abs(s[0] - antes[479 * 2]);
        for (std::size_t q = 0; q < kRampa; ++q) {
            const float esperado = 0.25f * (1.0f - static_cast<float>(q) / kRampa);
            ASSERT_NEAR(s[q * 2], esperado, 1e-6) << q;
            ASSERT_EQ(s[q * 2], s[q * 2 + 1]) << q;
            if (q > 0) {
                maiorPasso = std::max(maiorPasso, double(std::abs(s[q * 2] - s[(q - 1) * 2])));
            }
        }
        EXPECT_LE(maiorPasso, 0.25 / kRampa + 1e-6);
        for (std::size_t q = kRampa; q < kRampa + 480; ++q) {
            ASSERT_FLOAT_EQ(s[q * 2], 0.5f) << q;
        }
        for (std::size_t q = kRampa + 480; q < s.size() / 2; ++q) {
            ASSERT_EQ(s[q * 2], 0.0f) << q;
        }
        EXPECT_EQ(motor.FalaConsumida(), motor.FalaEscrita());
    }
}

// Sums above full scale are clamped and counted.
TEST_F(Motor, SaturacaoContada) {
    AbrirETocar(FMidia / "dc.wav", "a");
    AbrirETocar(FMidia / "dc.wav", "b");
    AbrirETocar(FMidia / "dc.wav", "c");
    const auto s = Render(4800);
    EXPECT_FLOAT_EQ(s[3000 * 2], 1.0f);
    EXPECT_GT(FMotor.Contadores().Saturadas, 0u);
}

// The real callback path on SDL's dummy driver, two aliases crossfading by
// volume commands from this thread while the callback runs (run under TSan).
TEST(MotorTempoReal, CrossfadeNoDriverDummy) {
    TMotor motor;
    std::string erro;
    auto saida = TSaidaSdl::Abrir(motor, "dummy", "", &erro);
    ASSERT_TRUE(saida) << erro;
    EXPECT_EQ(saida->Driver(), "dummy");
    auto& m = Midia::Instancia();
    ASSERT_TRUE(motor.Enviar(Abrir(m / "tom.mp3", "musica")));
    ASSERT_TRUE(motor.Enviar(Abrir(m / "tom.wma", "musica2")));
    ASSERT_TRUE(motor.Enviar("setaudio musica volume to 1000"));
    ASSERT_TRUE(motor.Enviar("setaudio musica2 volume to 0"));
    ASSERT_TRUE(motor.Enviar("play musica"));
    ASSERT_TRUE(motor.Enviar("play musica2"));
    // Step the crossfade each time the device has consumed another 20 ms.
    for (int passo = 0; passo <= 50; ++passo) {
        const int alvo = 20 * passo;
        while (std::stoi(motor.Enviar("status musica2 position").value_or("0")) < alvo) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const double g = passo / 50.0;
        const auto sai = static_cast<int>(std::lround(1000 * std::cos(g * M_PI / 2)));
        const auto entra = static_cast<int>(std::lround(1000 * std::sin(g * M_PI / 2)));
        ASSERT_TRUE(motor.Enviar("setaudio musica volume to " + std::to_string(sai)));
        ASSERT_TRUE(motor.Enviar("setaudio musica2 volume to " + std::to_string(entra)));
    }
    ASSERT_TRUE(motor.Enviar("close musica"));
    EXPECT_EQ(motor.Enviar("status musica2 mode"), "playing");
    ASSERT_TRUE(motor.Enviar("close musica2"));
    saida.reset();
    EXPECT_EQ(motor.Contadores().Faltas, 0u);
}
