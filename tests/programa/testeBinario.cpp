#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zbar.h>

#include "apoio/uMidia.h"
#include "apoio/uPastaTemporaria.h"
#include "apoio/uProcesso.h"
#include "apoio/uServidorFixtures.h"
#include "apoio/uSinais.h"
#include "comum/uRegex.h"
#include "comum/uTexto.h"
#include "controle/uControleRemoto.h"

using namespace ljsn;
using namespace ljsn::teste;

// The real program, headless, on a data folder of its own: it starts, logs
// its start lines, and SIGTERM ends it through the orderly shutdown.
TEST(Binario, SemJanelaTerminaComSigterm) {
    TPastaTemporaria dados;
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho()},
                       {"LJSN_EDGE=" + (dados / "sem-navegador")});
    // The folders are listed on a worker: their line may come before or
    // after the running line; the start is over once both came.
    bool rodando = false;
    bool listas = false;
    while (!rodando || !listas) {
        const std::string linha = programa.LerLinha();
        ASSERT_FALSE(linha.empty()) << "the program ended while starting";
        rodando = rodando || linha.find("rodando sem janela") != std::string::npos;
        listas = listas || linha.find("[INICIO]   musicas: ") != std::string::npos;
    }
    programa.Sinalizar(SIGTERM);
    EXPECT_EQ(programa.Esperar(), 0);

    ASSERT_TRUE(std::filesystem::exists(dados / "config.ini"));
    const std::string log = LerLogs(dados.Caminho());
    EXPECT_NE(log.find("[INICIO]   Loja Sonorante 1.20.0 aberto em "), std::string::npos) << log;
    EXPECT_NE(log.find("[INICIO]   musicas: "), std::string::npos);
    EXPECT_NE(log.find("[FIM]      programa fechado"), std::string::npos);
    // The first run found the examples beside the executable.
    EXPECT_NE(LerArquivo(dados / "config.ini").find("Exemplos/Musicas"), std::string::npos);
}

// What zbar reads from the terminal drawing of a QR code: each character is
// one module wide and two tall (upper and lower half blocks).
std::string LerQRDoTerminal(const std::vector<std::string>& ALinhas) {
    std::vector<std::vector<int>> modulos;
    for (const auto& l : ALinhas) {
        std::vector<int> cima, baixo;
        for (std::size_t i = 0; i < l.size();) {
            const bool bloco = static_cast<unsigned char>(l[i]) == 0xE2;
            const std::string c = l.substr(i, bloco ? 3 : 1);
            i += c.size();
            cima.push_back(c == "\u2580" || c == "\u2588");
            baixo.push_back(c == "\u2584" || c == "\u2588");
        }
        modulos.push_back(cima);
        modulos.push_back(baixo);
    }
    // 4 pixels per module, dark modules black.
    const int escala = 4;
    const int altura = static_cast<int>(modulos.size()) * escala;
    const int largura = static_cast<int>(modulos.front().size()) * escala;
    std::vector<unsigned char> img(static_cast<std::size_t>(largura * altura), 255);
    for (int y = 0; y < altura; ++y) {
        const auto& linha = modulos[static_cast<std::size_t>(y / escala)];
        for (int x = 0; x < largura && x / escala < static_cast<int>(linha.size()); ++x) {
            if (linha[static_cast<std::size_t>(x / escala)] != 0) {
                img[static_cast<std::size_t>(y * largura + x)] = 0;
            }
        }
    }
    zbar::ImageScanner leitor;
    leitor.set_config(zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    leitor.set_config(zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    zbar::Image imagem(static_cast<unsigned>(largura),
                       static_cast<unsigned>(altura),
                       "Y800",
                       img.data(),
                       img.size());
    if (leitor.scan(imagem) <= 0) {
        return {};
    }
    return imagem.symbol_begin()->get_data();
}

// A headless shop with phone control on and no PIN: the program makes one,
// saves it, serves with it, and prints the address and a QR code a phone
// camera reads from the terminal.
TEST(Binario, SemJanelaGeraPinEMostraQR) {
    TPastaTemporaria dados;
    const int porta = PortaLivre();
    if (EnderecoCelular(porta).empty()) {
        GTEST_SKIP() << "sem rede local nesta máquina: não há endereço para o celular";
    }
    std::filesystem::create_directories(dados.Caminho());
    {
        std::FILE* f = std::fopen((dados / "config.ini").c_str(), "wb");
        std::fprintf(f, "[Celular]\r\nAtivo=1\r\nPorta=%d\r\n", porta);
        std::fclose(f);
    }
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho()},
                       {"LJSN_EDGE=" + (dados / "sem-navegador")});
    std::vector<std::string> linhas;
    std::string endereco;
    for (int i = 0; i < 400; ++i) {
        const std::string l = programa.LerLinha();
        if (l.rfind("Controle pelo celular: ", 0) == 0) {
            endereco = l;
            if (l.find("http") == std::string::npos) {
                break;  // the server did not start: nothing more comes
            }
        }
        if (l == "Aponte a câmera do celular:") {
            // Lines of (n + 8) modules, (n + 8 + 1) / 2 of them.
            std::string primeira = programa.LerLinha();
            std::size_t largura = 0;
            for (unsigned char c : primeira) {
                largura += (c & 0xC0) != 0x80;
            }
            linhas.push_back(primeira);
            while (linhas.size() < (largura + 1) / 2) {
                linhas.push_back(programa.LerLinha());
            }
            break;
        }
    }
    ASSERT_FALSE(linhas.empty()) << endereco;
    const std::string config = LerArquivo(dados / "config.ini");
    const auto p = config.find("Pin=");
    ASSERT_NE(p, std::string::npos) << config;
    const std::string pin = config.substr(p + 4, 6);
    EXPECT_EQ(pin.find_first_not_of("0123456789"), std::string::npos);
    const std::string url = endereco.substr(23, endereco.find(' ', 23) - 23);
    EXPECT_NE(endereco.find("(PIN " + pin + ")"), std::string::npos) << endereco;
    EXPECT_EQ(LerQRDoTerminal(linhas), url + "/#pin=" + pin);
    programa.Sinalizar(SIGTERM);
    EXPECT_EQ(programa.Esperar(), 0);
}

TEST(Binario, VersaoEAjuda) {
    TProcesso versao({LJSN_BINARIO, "--versao"});
    EXPECT_EQ(versao.LerLinha(), "Loja Sonorante 1.20.0");
    EXPECT_EQ(versao.Esperar(), 0);
    TProcesso errado({LJSN_BINARIO, "--opcao-que-nao-existe"});
    EXPECT_EQ(errado.Esperar(), 2);
}

// The headless program plays a folder with crossfades: the log gives the
// expected order and the recording shows the two songs overlapping. The
// crossfade is paced by the main loop's ticks in real time, so it is long
// enough that a loaded machine stalling a tick cannot skip all of it.
TEST(Binario, TocaComCruzamentoEGrava) {
    TPastaTemporaria dados;
    const std::string musicas = dados / "musicas";
    const int frequencias[] = {440, 660, 990};
    for (int i = 0; i < 3; ++i) {
        GerarTom(musicas + "/m" + std::to_string(i + 1) + ".wav",
                 9,
                 frequencias[i],
                 0.4,
                 {"-c:a", "pcm_s16le"},
                 44100);
    }
    EscreverArquivo(dados / "config.ini",
                    "[Geral]\r\nPastaMusicas=" + musicas +
                        "\r\nTransicaoSegundos=3\r\nTransicaoPadrao8=1\r\nTocarAoIniciar=1\r\n"
                        "VolumeAutomatico=0\r\nVolume=100\r\n");
    TProcesso programa({LJSN_BINARIO,
                        "--sem-janela",
                        "--dados",
                        dados.Caminho(),
                        "--gravar-saida",
                        dados / "saida.wav",
                        "--driver-audio",
                        "dummy"},
                       {"LJSN_EDGE=" + (dados / "sem-navegador")});
    ASSERT_NE(programa.LerAte("rodando sem janela").find("rodando sem janela"), std::string::npos);
    auto log = [&] { return LerLogs(dados.Caminho()); };
    // Real time passes in the program: wait until the third song starts.
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (log().find("musica 3/3") == std::string::npos &&
           std::chrono::steady_clock::now() < limite) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    programa.Sinalizar(SIGTERM);
    ASSERT_EQ(programa.Esperar(), 0);
    const std::string texto = log();
    const auto p1 = texto.find("[TOCANDO]  musica 1/3: m1.wav");
    const auto p2 = texto.find("[TOCANDO]  musica 2/3: m2.wav");
    const auto p3 = texto.find("[TOCANDO]  musica 3/3: m3.wav");
    ASSERT_NE(p3, std::string::npos) << texto;
    EXPECT_LT(p1, p2);
    EXPECT_LT(p2, p3);
    // Real ticks land anywhere in the last second of the 3 s, and the device
    // takes blocks of 23 ms: 2800 to 3000 ms.
    EXPECT_TRUE(
        TRegex("\\[TRANSICAO\\] de \"m1\" para \"m2\" em (2[89]\\d\\d|3000) ms").Contem(texto))
        << texto;

    // In the recording: m1 alone, then both at once, then m2 alone.
    const TWav wav = LerWav(dados / "saida.wav");
    ASSERT_EQ(wav.Taxa, 44100);
    const std::size_t janela = 4800;
    bool so440 = false;
    bool juntos = false;
    bool so660 = false;
    for (std::size_t i = 0; i + janela <= wav.Quadros(); i += janela) {
        const double a = AmplitudeFrequencia(wav.Amostras, 2, 0, i, janela, 440, 44100);
        const double b = AmplitudeFrequencia(wav.Amostras, 2, 0, i, janela, 660, 44100);
        so440 = so440 || (a > 0.3 && b < 0.01);
        juntos = juntos || (so440 && a > 0.1 && b > 0.1);
        so660 = so660 || (juntos && b > 0.3 && a < 0.01);
    }
    EXPECT_TRUE(so440) << texto;
    EXPECT_TRUE(juntos) << texto;
    EXPECT_TRUE(so660) << texto;
}

// Headless, every log line is also a line of standard output, with the same
// text; "--estado" asks the running copy for its state report, and says so
// with exit code 3 when no copy runs.
TEST(Binario, SaidaPadraoEEstado) {
    TPastaTemporaria dados;
    const std::vector<std::string> ambiente = {"LJSN_EDGE=" + (dados / "sem-navegador")};
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho(), "/tocarpausar"},
                       ambiente);
    std::vector<std::string> saida;
    for (std::string l = programa.LerLinha(); l.find("rodando sem janela") == std::string::npos;
         l = programa.LerLinha()) {
        ASSERT_FALSE(l.empty());
        saida.push_back(l);
    }
    TProcesso estado({LJSN_BINARIO, "--estado", "--dados", dados.Caminho()}, ambiente);
    const std::string json = estado.LerLinha();
    EXPECT_EQ(estado.Esperar(), 0);
    EXPECT_EQ(json.rfind("{\"situacao\":", 0), 0u) << json;
    EXPECT_NE(json.find("\"faixa\":"), std::string::npos) << json;

    programa.Sinalizar(SIGTERM);
    for (std::string l = programa.LerLinha(); !l.empty(); l = programa.LerLinha()) {
        saida.push_back(l);
    }
    EXPECT_EQ(programa.Esperar(), 0);
    // The log's lines, without the byte-order mark and the CR.
    std::string log = LerLogs(dados.Caminho());
    if (log.rfind("\xEF\xBB\xBF", 0) == 0) {
        log.erase(0, 3);
    }
    std::vector<std::string> doLog;
    for (const auto& l : Dividir(SubstituirTudo(log, "\r\n", "\n"), "\n")) {
        if (!l.empty()) {
            doLog.push_back(l);
        }
    }
    std::vector<std::string> doTerminal;
    const TRegex carimbo("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  \\[");
    for (const auto& l : saida) {
        if (carimbo.Procurar(l)) {
            doTerminal.push_back(l);
        }
    }
    ASSERT_GE(doLog.size(), 3u);
    EXPECT_EQ(doTerminal, doLog);
    for (const auto& l : saida) {
        EXPECT_EQ(l.find('\r'), std::string::npos);
        EXPECT_EQ(l.find("\xEF\xBB\xBF"), std::string::npos);
    }

    TProcesso nenhum({LJSN_BINARIO, "--estado", "--dados", dados.Caminho()}, ambiente);
    EXPECT_EQ(nenhum.Esperar(), 3);
}

// A recording that cannot be written (a full disk) is reported once, and
// the programme keeps playing.
TEST(Binario, GravacaoQueFalhaEhAvisadaUmaVez) {
    TPastaTemporaria dados;
    TProcesso programa({LJSN_BINARIO,
                        "--sem-janela",
                        "--dados",
                        dados.Caminho(),
                        "--gravar-saida",
                        "/dev/full",
                        "/tocarpausar"},
                       {"LJSN_EDGE=" + (dados / "sem-navegador")});
    const std::string erro = programa.LerAte("gravacao da saida");
    EXPECT_NE(erro.find("No space left on device"), std::string::npos) << erro;
    // Still playing: the next song starts as usual.
    EXPECT_NE(programa.LerAte("[TOCANDO]").find("musica"), std::string::npos);
    programa.Sinalizar(SIGTERM);
    EXPECT_EQ(programa.Esperar(), 0);
    const std::string log = LerLogs(dados.Caminho());
    std::size_t n = 0;
    for (auto p = log.find("gravacao da saida"); p != std::string::npos;
         p = log.find("gravacao da saida", p + 1)) {
        ++n;
    }
    EXPECT_EQ(n, 1u) << log;
}

// Started as a systemd service: ready once the programme runs, the watchdog
// fed by the tick, and the stop announced before the orderly end.
TEST(Binario, AvisosAoGerenciadorDeServicos) {
    TPastaTemporaria dados;
    const std::string caminho = dados / "notify.sock";
    const int s = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un endereco{};
    endereco.sun_family = AF_UNIX;
    std::snprintf(endereco.sun_path, sizeof endereco.sun_path, "%s", caminho.c_str());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco), 0);
    const auto receber = [s] {
        pollfd p{s, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0) {
            return std::string("(nada)");
        }
        char buf[256];
        const ssize_t n = ::recv(s, buf, sizeof buf, 0);
        return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string("(erro)");
    };
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho()},
                       {"LJSN_EDGE=" + (dados / "sem-navegador"),
                        "NOTIFY_SOCKET=" + caminho,
                        "WATCHDOG_USEC=400000"});
    EXPECT_EQ(receber(), "READY=1");
    EXPECT_EQ(receber(), "WATCHDOG=1");
    EXPECT_EQ(receber(), "WATCHDOG=1");
    programa.Sinalizar(SIGTERM);
    std::string m = receber();
    while (m == "WATCHDOG=1") {
        m = receber();
    }
    EXPECT_EQ(m, "STOPPING=1");
    EXPECT_EQ(programa.Esperar(), 0);
    EXPECT_NE(LerLogs(dados.Caminho()).find("[FIM]"), std::string::npos);
    ::close(s);
}

// Dead air in real time: the headless program on the dummy driver skips a
// file that went silent after SilencioMaximo seconds and says so.
TEST(Binario, SilencioEmTempoReal) {
    TPastaTemporaria dados;
    const std::string musicas = dados / "musicas";
    GerarTom(musicas + "/a-tom.wav", 1, 440, 0.3, {"-c:a", "pcm_s16le"});
    GerarTom(musicas + "/b-mudo.wav", 60, 440, 0.0, {"-c:a", "pcm_s16le"});
    GerarTom(musicas + "/c-tom.wav", 1, 660, 0.3, {"-c:a", "pcm_s16le"});
    EscreverArquivo(dados / "config.ini",
                    "[Geral]\r\nPastaMusicas=" + musicas +
                        "\r\nTransicaoSegundos=0\r\nTransicaoPadrao8=1\r\nVolumeAutomatico=0\r\n"
                        "SilencioMaximo=3\r\n[Locutor]\r\nHoraCerta=0\r\n[Datas]\r\nAtivas=\r\n");
    const auto inicio = std::chrono::steady_clock::now();
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho(), "/tocarpausar"},
                       {"LJSN_EDGE=" + (dados / "sem-navegador"), "SDL_AUDIODRIVER=dummy"});
    const std::string silencio = programa.LerAte("[SILENCIO]");
    const double segundos =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    EXPECT_NE(silencio.find("3 s sem som: pulando b-mudo.wav"), std::string::npos) << silencio;
    // One second of tone, then three of silence.
    EXPECT_GE(segundos, 3.5);
    EXPECT_NE(programa.LerAte("[TOCANDO]").find("c-tom.wav"), std::string::npos);
    programa.Sinalizar(SIGTERM);
    EXPECT_EQ(programa.Esperar(), 0);
}

// Files changing under a running programme: the next song deleted is
// skipped with one error line, a song replaced under the same name plays
// the new file, and the day goes on.
TEST(Binario, ArquivosMudamDuranteOPrograma) {
    TPastaTemporaria dados;
    const std::string musicas = dados / "musicas";
    GerarTom(musicas + "/a.wav", 1, 440, 0.3, {"-c:a", "pcm_s16le"});
    GerarTom(musicas + "/b.wav", 1, 550, 0.3, {"-c:a", "pcm_s16le"});
    GerarTom(musicas + "/c.wav", 1, 660, 0.3, {"-c:a", "pcm_s16le"});
    EscreverArquivo(dados / "config.ini",
                    "[Geral]\r\nPastaMusicas=" + musicas +
                        "\r\nTransicaoSegundos=0\r\nTransicaoPadrao8=1\r\nVolumeAutomatico=0\r\n"
                        "[Locutor]\r\nHoraCerta=0\r\n[Datas]\r\nAtivas=\r\n");
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho(), "/tocarpausar"},
                       {"LJSN_EDGE=" + (dados / "sem-navegador"), "SDL_AUDIODRIVER=dummy"});
    ASSERT_NE(programa.LerAte("[TOCANDO]").find("a.wav"), std::string::npos);
    std::filesystem::remove(musicas + "/b.wav");
    GerarTom(musicas + "/novo.wav", 2, 880, 0.3, {"-c:a", "pcm_s16le"});
    std::filesystem::rename(musicas + "/novo.wav", musicas + "/c.wav");
    const std::string erro = programa.LerAte("[ERRO]");
    EXPECT_NE(erro.find("nao foi possivel tocar: " + musicas + "/b.wav"), std::string::npos)
        << erro;
    EXPECT_NE(programa.LerAte("[TOCANDO]").find("c.wav"), std::string::npos);
    // The replaced file is the new one: two seconds, not one.
    EXPECT_NE(programa.LerAte("[TOCANDO]").find("a.wav"), std::string::npos);
    programa.Sinalizar(SIGTERM);
    EXPECT_EQ(programa.Esperar(), 0);
    const std::string log = LerLogs(dados.Caminho());
    const auto c = log.find("c.wav");
    ASSERT_NE(c, std::string::npos);
    const auto a = log.find("[TOCANDO]  musica 1/3: a.wav", c);
    ASSERT_NE(a, std::string::npos) << log;
    // Timestamps: the replaced c.wav lasted about 2 s.
    const auto horaC = log.rfind('\n', c);
    const auto horaA = log.rfind('\n', a);
    const auto segundos = [&log](std::size_t AInicioLinha) {
        // "AAAA-MM-DD HH:MM:SS.mmm"
        const std::string h = log.substr(AInicioLinha + 12, 12);
        return std::stoi(h.substr(0, 2)) * 3600.0 + std::stoi(h.substr(3, 2)) * 60.0 +
               std::stod(h.substr(6));
    };
    double duracao = segundos(horaA) - segundos(horaC);
    if (duracao < 0) {
        duracao += 86400;  // midnight in between
    }
    EXPECT_GE(duracao, 1.8) << log;
}
