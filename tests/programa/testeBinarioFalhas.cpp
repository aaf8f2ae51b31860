#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include "apoio/uMidia.h"
#include "apoio/uPastaTemporaria.h"
#include "apoio/uProcesso.h"
#include "comum/uTexto.h"

using namespace ljsn;
using namespace ljsn::teste;

// The real program under faults of its surroundings: the music folder gone
// and back, the log's disk full, and kills in the middle of its saves.

namespace {

const std::string kConfigBasica =
    "\r\nTransicaoSegundos=0\r\nTransicaoPadrao8=1\r\nVolumeAutomatico=0\r\n"
    "[Locutor]\r\nHoraCerta=0\r\n[Datas]\r\nAtivas=\r\n";

std::vector<std::string> AmbienteSemSom(const TPastaTemporaria& ADados) {
    return {"LJSN_EDGE=" + (ADados / "sem-navegador"), "SDL_AUDIODRIVER=dummy"};
}

// "AAAA-MM-DD HH:MM:SS.mmm  [" and no second date: not two lines run together.
bool LinhaInteira(const std::string& ALinha) {
    if (ALinha.size() < 26 || ALinha[4] != '-' || ALinha[7] != '-' || ALinha[10] != ' ' ||
        ALinha[13] != ':' || ALinha[16] != ':' || ALinha[19] != '.' || ALinha[23] != ' ' ||
        ALinha[24] != ' ' || ALinha[25] != '[') {
        return false;
    }
    return ALinha.find(ALinha.substr(0, 11), 1) == std::string::npos;
}

int Rodar(const std::string& AComando) {
    const int r = std::system((AComando + " >/dev/null 2>&1").c_str());
    return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
}

// A small filesystem of its own mounted on a folder: a loop-mounted ext2
// image, or else a tmpfs; unmounted when the test ends.
class TDiscoPequeno {
  public:
    explicit TDiscoPequeno(const std::string& APonto, const std::string& AImagem) : FPonto(APonto) {
        std::filesystem::create_directories(APonto);
        if (Rodar("truncate -s 1M '" + AImagem + "'") == 0 &&
            Rodar("PATH=$PATH:/sbin:/usr/sbin mke2fs -q -F '" + AImagem + "'") == 0 &&
            Rodar("mount -o loop '" + AImagem + "' '" + APonto + "'") == 0) {
            FMontado = true;
        } else {
            FMontado = ::mount("ljsn", APonto.c_str(), "tmpfs", 0, "size=256k") == 0;
        }
    }
    ~TDiscoPequeno() {
        if (FMontado) {
            ::umount2(FPonto.c_str(), MNT_DETACH);
        }
    }
    bool Montado() const { return FMontado; }
    // Writes a file until the disk refuses more.
    void Encher(const std::string& ACaminho) {
        std::FILE* f = std::fopen(ACaminho.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const std::string bloco(512, 'x');
        while (std::fwrite(bloco.data(), 1, bloco.size(), f) == bloco.size() &&
               std::fflush(f) == 0) {
        }
        std::fclose(f);
    }

  private:
    std::string FPonto;
    bool FMontado = false;
};

// A music folder with a.wav (ASegundosA s at 440 Hz) and b.wav (1 s at
// 550 Hz), and the settings that play it; returns the folder.
std::string PrepararDuasMusicas(const TPastaTemporaria& ADados, int ASegundosA) {
    const std::string musicas = ADados / "musicas";
    GerarTom(musicas + "/a.wav", ASegundosA, 440, 0.3, {"-c:a", "pcm_s16le"});
    GerarTom(musicas + "/b.wav", 1, 550, 0.3, {"-c:a", "pcm_s16le"});
    EscreverArquivo(ADados / "config.ini", "[Geral]\r\nPastaMusicas=" + musicas + kConfigBasica);
    return musicas;
}

}  // namespace

// The music folder deleted while playing: the songs that no longer open are
// logged once each, then one line says the programme waits, and a folder
// made again under the same name is found and played; no error storm.
TEST(BinarioFalhas, PastaDeMusicasApagadaERecriada) {
    TPastaTemporaria dados;
    const std::string musicas = PrepararDuasMusicas(dados, 1);
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho(), "/tocarpausar"},
                       AmbienteSemSom(dados));
    ASSERT_NE(programa.LerAte("[TOCANDO]").find(".wav"), std::string::npos);
    std::filesystem::remove_all(musicas);
    const std::string espera = programa.LerAte("nenhuma musica abre");
    EXPECT_NE(espera.find("nova tentativa a cada 30 s"), std::string::npos) << espera;
    GerarTom(dados / "nova/c.wav", 2, 660, 0.3, {"-c:a", "pcm_s16le"});
    std::filesystem::rename(dados / "nova", musicas);
    EXPECT_NE(programa.LerAte("as musicas voltaram a abrir").find("[INICIO]"), std::string::npos);
    EXPECT_NE(programa.LerAte("[TOCANDO]").find("c.wav"), std::string::npos);
    programa.Sinalizar(SIGTERM);
    EXPECT_EQ(programa.Esperar(), 0);
    int erros = 0;
    for (const auto& linha : DividirLinhas(LerLogs(dados.Caminho()))) {
        erros += linha.find("[ERRO]") != std::string::npos;
    }
    // The two lost songs and the waiting line, nothing at tick speed.
    EXPECT_LE(erros, 4);
}

// The disk of the log fills up while the program plays: the music goes on,
// the lines still reach standard output, a line the disk cut short is taken
// back instead of left half-written, and logging resumes once space returns.
TEST(BinarioFalhas, DiscoDoLogCheio) {
    TPastaTemporaria dados;
    const std::string musicas = PrepararDuasMusicas(dados, 1);
    TDiscoPequeno disco(dados / "Logs", dados / "logs.img");
    ASSERT_TRUE(disco.Montado()) << "a small filesystem could not be mounted";
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho(), "/tocarpausar"},
                       AmbienteSemSom(dados));
    ASSERT_NE(programa.LerAte("[TOCANDO]").find(".wav"), std::string::npos);
    disco.Encher(dados / "Logs/enchimento");
    // Playing on, song after song, with nowhere to log them: more lines than
    // the free end of the log's last 1 KiB block holds, so one is cut.
    for (int i = 0; i < 12; ++i) {
        ASSERT_NE(programa.LerAte("[TOCANDO]").find(".wav"), std::string::npos) << i;
    }
    std::filesystem::remove(dados / "Logs/enchimento");
    const std::string depois = programa.LerAte("[TOCANDO]");
    programa.Sinalizar(SIGTERM);
    EXPECT_EQ(programa.Esperar(), 0);

    std::string log;
    for (const auto& e : std::filesystem::directory_iterator(dados / "Logs")) {
        if (ComecaCom(e.path().filename().string(), "LojaSonorante_")) {
            log += LerArquivo(e.path().string());
        }
    }
    ASSERT_TRUE(ComecaCom(log, "\xEF\xBB\xBF")) << log.substr(0, 40);
    EXPECT_TRUE(TerminaCom(log, "\r\n"));
    const auto linhas = DividirLinhas(log.substr(3));
    for (const auto& linha : linhas) {
        if (!linha.empty()) {
            EXPECT_TRUE(LinhaInteira(linha)) << linha;
        }
    }
    // After the space came back: the song that followed and the orderly end.
    EXPECT_NE(log.find(depois.substr(24)), std::string::npos) << depois;
    EXPECT_NE(log.find("[FIM]"), std::string::npos);
}

// Killed at random moments while it saves (the loudness table after each
// batch of new songs): every file is whole each time, nothing saved before
// is lost, and the half-written copies a kill leaves are cleared at the next
// start.
TEST(BinarioFalhas, MortoDuranteGravacoes) {
    TPastaTemporaria dados;
    const std::string musicas = dados / "musicas";
    const std::string config =
        "; ajustado pela loja, nao apagar\r\n[Geral]\r\nPastaMusicas=" + musicas +
        "\r\nTransicaoSegundos=0\r\nVolumeAutomatico=1\r\n"
        "[Locutor]\r\nHoraCerta=0\r\n[Datas]\r\nAtivas=\r\n";
    EscreverArquivo(dados / "config.ini", config);
    std::mt19937 aleatorio(std::random_device{}());
    std::uniform_int_distribution<int> momento(0, 300);
    std::size_t medidasAntes = 0;
    for (int i = 0; i < 50; ++i) {
        SCOPED_TRACE("morte " + std::to_string(i + 1));
        // New songs each time, so the loudness table is measured and saved.
        for (int j = 0; j < 25; ++j) {
            CriarWavSilencioso(musicas + "/" + std::to_string(i) + "_" + std::to_string(j) + ".wav",
                               300);
        }
        TProcesso programa(
            {LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho(), "/tocarpausar"},
            AmbienteSemSom(dados));
        // Measuring and saving start once the folders are listed (on a
        // worker, later under a slow build): the kill lands after that.
        programa.LerAte("[INICIO]   musicas: ");
        std::this_thread::sleep_for(std::chrono::milliseconds(momento(aleatorio)));
        programa.Sinalizar(SIGKILL);
        EXPECT_EQ(programa.Esperar(), 128 + SIGKILL);

        EXPECT_EQ(LerArquivo(dados / "config.ini").substr(0, config.size()), config);
        // A kill before the first save leaves no table yet.
        const std::string tabela = std::filesystem::exists(dados / "volumes.ini")
                                       ? LerArquivo(dados / "volumes.ini")
                                       : std::string();
        std::size_t medidas = 0;
        for (const auto& linha : DividirLinhas(tabela)) {
            if (linha.find(".wav=") != std::string::npos) {
                ++medidas;
            } else {
                EXPECT_TRUE(linha.empty() || ComecaCom(linha, "[") ||
                            ComecaCom(linha, "\xEF\xBB\xBF["))
                    << linha;
            }
        }
        EXPECT_TRUE(tabela.empty() || TerminaCom(tabela, "\r\n"));
        EXPECT_GE(medidas, medidasAntes);
        medidasAntes = medidas;
    }
    EXPECT_GT(medidasAntes, 0u);
    // A copy a kill left behind, as the save names them.
    EscreverArquivo(dados / ".volumes.ini.aB3xYz", "[Volume");
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho()},
                       AmbienteSemSom(dados));
    programa.LerAte("rodando sem janela");
    programa.Sinalizar(SIGTERM);
    EXPECT_EQ(programa.Esperar(), 0);
    for (const auto& e : std::filesystem::directory_iterator(dados.Caminho())) {
        EXPECT_FALSE(ComecaCom(e.path().filename().string(), ".")) << e.path();
    }
}

// The file that is playing deleted: what was opened plays to its end, the
// next song follows, and the deleted one is reported when its turn comes.
TEST(BinarioFalhas, ArquivoTocandoApagado) {
    TPastaTemporaria dados;
    const std::string musicas = PrepararDuasMusicas(dados, 2);
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho(), "/tocarpausar"},
                       AmbienteSemSom(dados));
    ASSERT_NE(programa.LerAte("[TOCANDO]").find("a.wav"), std::string::npos);
    const auto inicio = std::chrono::steady_clock::now();
    std::filesystem::remove(musicas + "/a.wav");
    EXPECT_NE(programa.LerAte("[TOCANDO]").find("b.wav"), std::string::npos);
    // The deleted song was heard whole.
    EXPECT_GE(std::chrono::steady_clock::now() - inicio, std::chrono::milliseconds(1500));
    EXPECT_NE(programa.LerAte("[ERRO]").find("nao foi possivel tocar: " + musicas + "/a.wav"),
              std::string::npos);
    EXPECT_NE(programa.LerAte("[TOCANDO]").find("b.wav"), std::string::npos);
    programa.Sinalizar(SIGTERM);
    EXPECT_EQ(programa.Esperar(), 0);
}

// Killed while playing (a crash, a watchdog restart, a power cut), the
// program used to come back silent. It resumes the song that was on air,
// from its start, and says so; stopped by hand before the kill, it stays
// stopped.
TEST(BinarioFalhas, MortoTocandoRetomaAoVoltar) {
    TPastaTemporaria dados;
    PrepararDuasMusicas(dados, 30);
    {
        TProcesso programa(
            {LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho(), "/tocarpausar"},
            AmbienteSemSom(dados));
        ASSERT_NE(programa.LerAte("[TOCANDO]").find("a.wav"), std::string::npos);
        programa.Sinalizar(SIGKILL);
        EXPECT_EQ(programa.Esperar(), 128 + SIGKILL);
    }
    {
        TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho()},
                           AmbienteSemSom(dados));
        EXPECT_NE(programa.LerAte("retomando")
                      .find("o programa parou de forma inesperada: "
                            "retomando a"),
                  std::string::npos);
        ASSERT_NE(programa.LerAte("[TOCANDO]").find("a.wav"), std::string::npos);
        // Paused by a second copy's switch; the state report, answered on
        // the main thread after the switch, shows it applied.
        TProcesso pausar({LJSN_BINARIO, "--dados", dados.Caminho(), "/tocarpausar"},
                         AmbienteSemSom(dados));
        EXPECT_EQ(pausar.Esperar(), 0);
        TProcesso estado({LJSN_BINARIO, "--estado", "--dados", dados.Caminho()},
                         AmbienteSemSom(dados));
        EXPECT_NE(estado.LerLinha().find("\"situacao\":\"pausado\""), std::string::npos);
        EXPECT_EQ(estado.Esperar(), 0);
        programa.Sinalizar(SIGKILL);
        EXPECT_EQ(programa.Esperar(), 128 + SIGKILL);
    }
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho()},
                       AmbienteSemSom(dados));
    programa.LerAte("rodando sem janela");
    TProcesso estado({LJSN_BINARIO, "--estado", "--dados", dados.Caminho()}, AmbienteSemSom(dados));
    EXPECT_NE(estado.LerLinha().find("\"situacao\":\"parado\""), std::string::npos);
    programa.Sinalizar(SIGTERM);
    EXPECT_EQ(programa.Esperar(), 0);
    const std::string log = LerLogs(dados.Caminho());
    const std::size_t ultimaVez = log.rfind(" aberto em ");
    ASSERT_NE(ultimaVez, std::string::npos);
    EXPECT_EQ(log.find("retomando", ultimaVez), std::string::npos) << log.substr(ultimaVez);
}
