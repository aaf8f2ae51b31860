#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>

#include "apoio/uArmazenamentoLento.h"
#include "apoio/uMidia.h"
#include "apoio/uPastaTemporaria.h"
#include "apoio/uProcesso.h"
#include "apoio/uServidorFixtures.h"
#include "comum/uTexto.h"

using namespace ljsn;
using namespace ljsn::teste;

// The real program with its media on storage that stalls or crawls (a FUSE
// mirror the test controls): the main thread never waits on a file, so the
// music goes on, the phone is answered and song changes keep their time.

namespace {

using TRelogioFirme = std::chrono::steady_clock;

// The phone of the shop, polling the state report every 200 ms until
// destroyed; notes the slowest answer and every poll that got none.
class TCelular {
  public:
    explicit TCelular(int APorta)
        : FThread([this, APorta] {
              while (!FParar.load()) {
                  httplib::Client c("127.0.0.1", APorta);
                  c.set_connection_timeout(5, 0);
                  c.set_read_timeout(10, 0);
                  const auto inicio = TRelogioFirme::now();
                  auto r = c.Post("/api/estado",
                                  httplib::Headers{{"X-Pin", "135790"}},
                                  "{}",
                                  "application/json");
                  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      TRelogioFirme::now() - inicio)
                                      .count();
                  if (r && r->status == 200) {
                      ++FRespondidos;
                      FMaisLento.store(std::max<long long>(FMaisLento.load(), ms));
                  } else {
                      ++FFalhas;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(200));
              }
          }) {}
    TCelular(const TCelular&) = delete;
    TCelular& operator=(const TCelular&) = delete;
    ~TCelular() { Parar(); }
    void Parar() {
        FParar.store(true);
        if (FThread.joinable()) {
            FThread.join();
        }
    }
    int Respondidos() const { return FRespondidos.load(); }
    int Falhas() const { return FFalhas.load(); }
    long long MaisLentoMs() const { return FMaisLento.load(); }

  private:
    std::atomic<bool> FParar{false};
    std::atomic<int> FRespondidos{0};
    std::atomic<int> FFalhas{0};
    std::atomic<long long> FMaisLento{0};
    std::thread FThread;
};

// A data folder whose music folder is the slow mirror of "origem".
class BinarioArmazenamento : public testing::Test {
  protected:
    void SetUp() override {
        std::string motivo;
        if (!TArmazenamentoLento::Disponivel(&motivo)) {
            GTEST_SKIP() << motivo;
        }
        std::filesystem::create_directories(FDados / "origem");
    }
    void Montar() {
        FLento.emplace(FDados / "origem", FDados / "musicas");
        ASSERT_TRUE(FLento->Montado()) << FLento->Erro();
    }
    TProcesso& Iniciar(const std::vector<std::string>& AArgs = {"/tocarpausar"}) {
        EscreverArquivo(FDados / "config.ini",
                        "[Geral]\r\nPastaMusicas=" + (FDados / "musicas") +
                            "\r\nTransicaoSegundos=0\r\nTransicaoPadrao8=1\r\nVolumeAutomatico=0"
                            "\r\n[Locutor]\r\nHoraCerta=0\r\n[Datas]\r\nAtivas=\r\n[Celular]\r\n"
                            "Ativo=1\r\nPin=135790\r\nPorta=" +
                            std::to_string(FPorta) + "\r\n");
        std::vector<std::string> args = {LJSN_BINARIO, "--sem-janela", "--dados", FDados.Caminho()};
        args.insert(args.end(), AArgs.begin(), AArgs.end());
        FPrograma.emplace(args,
                          std::vector<std::string>{"LJSN_EDGE=" + (FDados / "sem-navegador"),
                                                   "SDL_AUDIODRIVER=dummy"});
        return *FPrograma;
    }
    // Everything held goes on, then the program ends in order.
    void Encerrar() {
        FLento->LiberarTudo();
        FPrograma->Sinalizar(SIGTERM);
        EXPECT_EQ(FPrograma->Esperar(), 0);
    }

    TPastaTemporaria FDados;
    int FPorta = PortaLivre();
    std::optional<TArmazenamentoLento> FLento;
    std::optional<TProcesso> FPrograma;
};

// Milliseconds of the day of a log line ("AAAA-MM-DD HH:MM:SS.mmm  [...").
long long HoraDaLinha(const std::string& ALinha) {
    if (ALinha.size() < 23) {
        return -1;
    }
    const int h = LerInteiroOu(ALinha.substr(11, 2), -1);
    const int m = LerInteiroOu(ALinha.substr(14, 2), -1);
    const int s = LerInteiroOu(ALinha.substr(17, 2), -1);
    const int ms = LerInteiroOu(ALinha.substr(20, 3), -1);
    return ((h * 60LL + m) * 60 + s) * 1000 + ms;
}

}  // namespace

// A music folder that takes for ever to list (a huge one, a share) used to
// hold the start: the phone port stayed closed and nothing played. The phones
// are served at once, and the music starts when the listing comes in.
TEST_F(BinarioArmazenamento, ListagemLentaNaoAtrasaOCelular) {
    CriarWavSilencioso(FDados / "origem/a.wav", 3000);
    Montar();
    ASSERT_TRUE(FLento->BloquearListar("."));
    TProcesso& programa = Iniciar();
    // Bounded: before the fix the phone never answered.
    httplib::Client c("127.0.0.1", FPorta);
    c.set_connection_timeout(1, 0);
    c.set_read_timeout(5, 0);
    std::shared_ptr<httplib::Response> resposta;
    const auto limite = TRelogioFirme::now() + std::chrono::seconds(15);
    while (!resposta && TRelogioFirme::now() < limite) {
        if (auto r = c.Post(
                "/api/estado", httplib::Headers{{"X-Pin", "135790"}}, "{}", "application/json")) {
            resposta = std::make_shared<httplib::Response>(*r);
        }
    }
    ASSERT_TRUE(resposta) << "the phone was not answered while the folder was being listed";
    EXPECT_EQ(resposta->status, 200);
    EXPECT_NE(resposta->body.find("\"situacao\":\"parado\""), std::string::npos) << resposta->body;
    ASSERT_TRUE(FLento->Liberar("."));
    EXPECT_NE(programa.LerAte("[TOCANDO]").find("a.wav"), std::string::npos);
    Encerrar();
}

// The next song on a share that does not answer its open used to silence the
// shop and freeze the program (its length was read on the main thread). It
// is abandoned after the engine's 5 s with the usual error line, the one
// after it plays, and the phone is answered throughout.
TEST_F(BinarioArmazenamento, ProximaMusicaTravadaEhAbandonada) {
    CriarWavSilencioso(FDados / "origem/a.wav", 2000);
    CriarWavSilencioso(FDados / "origem/b.wav", 2000);
    CriarWavSilencioso(FDados / "origem/c.wav", 2000);
    Montar();
    ASSERT_TRUE(FLento->BloquearAbrir("b.wav"));
    TProcesso& programa = Iniciar();
    ASSERT_NE(programa.LerAte("[TOCANDO]").find("a.wav"), std::string::npos);
    TCelular celular(FPorta);
    const std::string erro = programa.LerAte("[ERRO]");
    EXPECT_NE(erro.find("o arquivo nao respondeu ao ser aberto"), std::string::npos) << erro;
    EXPECT_NE(erro.find("b.wav"), std::string::npos) << erro;
    EXPECT_NE(programa.LerAte("[TOCANDO]").find("c.wav"), std::string::npos);
    celular.Parar();
    EXPECT_EQ(celular.Falhas(), 0);
    EXPECT_GT(celular.Respondidos(), 10);
    EXPECT_LT(celular.MaisLentoMs(), 1000);
    Encerrar();
}

// On a share that serves a few kilobytes a second, every song change used to
// come late by the time it took to read the next file whole on the main
// thread (3.2 s here), with dead air meanwhile. It keeps its time now.
TEST_F(BinarioArmazenamento, CompartilhamentoLentoMantemAsTrocas) {
    GerarTom(FDados / "origem/a.wav", 4, 440, 0.3, {"-c:a", "pcm_s16le"});
    // 8 s at 128 kb/s: 128 kB, 3.2 s to read whole at 40 kB/s.
    GerarTom(FDados / "origem/b.mp3", 8, 550, 0.3, {"-c:a", "libmp3lame", "-b:a", "128k"});
    GerarTom(FDados / "origem/c.wav", 2, 660, 0.3, {"-c:a", "pcm_s16le"});
    Montar();
    ASSERT_TRUE(FLento->Lento("b.mp3", 40000));
    TProcesso& programa = Iniciar();
    const std::string a = programa.LerAte("[TOCANDO]");
    ASSERT_NE(a.find("a.wav"), std::string::npos);
    TCelular celular(FPorta);
    const std::string b = programa.LerAte("[TOCANDO]");
    ASSERT_NE(b.find("b.mp3"), std::string::npos);
    const long long troca = HoraDaLinha(b) - HoraDaLinha(a);
    EXPECT_GE(troca, 3900);
    EXPECT_LT(troca, 5000) << "the change to the slow file came " << troca - 4000 << " ms late";
    EXPECT_NE(programa.LerAte("[TOCANDO]").find("c.wav"), std::string::npos);
    celular.Parar();
    EXPECT_EQ(celular.Falhas(), 0);
    EXPECT_LT(celular.MaisLentoMs(), 1000);
    Encerrar();
}

// Every file on a share that stopped answering: the song on air runs dry and
// is abandoned, so are the next ones, and after 10 s without anything
// playing the program waits 30 s between tries instead of trying at tick
// speed; the phone is answered throughout and the program still ends in
// order once the share is back.
TEST_F(BinarioArmazenamento, CompartilhamentoParadoNaoCongelaOPrograma) {
    for (const char* n : {"a.wav", "b.wav", "c.wav"}) {
        GerarTom(FDados / "origem/" + n, 20, 440, 0.3, {"-c:a", "pcm_s16le"});
    }
    Montar();
    TProcesso& programa = Iniciar();
    ASSERT_NE(programa.LerAte("[TOCANDO]").find("a.wav"), std::string::npos);
    TCelular celular(FPorta);
    ASSERT_TRUE(FLento->BloquearTudo());
    const std::string espera = programa.LerAte("nenhuma musica abre");
    EXPECT_NE(espera.find("nova tentativa a cada 30 s"), std::string::npos) << espera;
    celular.Parar();
    EXPECT_EQ(celular.Falhas(), 0);
    EXPECT_GT(celular.Respondidos(), 20);
    EXPECT_LT(celular.MaisLentoMs(), 1000);
    Encerrar();
}
