#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "apoio/uMidia.h"
#include "apoio/uPastaTemporaria.h"
#include "apoio/uProcesso.h"
#include "apoio/uServidorFixtures.h"
#include "apoio/uSinais.h"
#include "comum/uFormato.h"
#include "comum/uTexto.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

// Dates in GMT, as many feeds write them.
std::string DataGmt(std::time_t AQuando) {
    std::tm t{};
    ::gmtime_r(&AQuando, &t);
    std::array<char, 64> b{};
    std::strftime(b.data(), b.size(), "%a, %d %b %Y %H:%M:%S GMT", &t);
    return b.data();
}

std::string HoraIso(std::time_t AQuando) {
    std::tm t{};
    ::gmtime_r(&AQuando, &t);
    std::array<char, 32> b{};
    std::strftime(b.data(), b.size(), "%Y-%m-%dT%H:00:00Z", &t);
    return b.data();
}

// The texts the announcer started, in order.
std::vector<std::string> Falas(const std::string& ALog) {
    std::vector<std::string> r;
    for (const auto& l : DividirLinhas(ALog)) {
        const auto p = l.find("[LOCUTOR]  fala (");
        const auto q = l.find("): ", p == std::string::npos ? 0 : p);
        if (p != std::string::npos && q != std::string::npos) {
            r.push_back(l.substr(q + 3));
        }
    }
    return r;
}

}  // namespace

// The real headless program with a local feed, forecast and the phone API:
// news every 2 songs; the log has the block in its place, the recording has
// the music fading out, the speech, and the next song fading in; the phone
// sees "noticias" during the block; the time is followed by the weather.
TEST(BinarioNoticias, BlocoDeNoticiasEClimaDeVerdade) {
    TPastaTemporaria dados;
    const std::string musicas = dados / "musicas";
    const int frequencias[] = {440, 660, 990};
    for (int i = 0; i < 3; ++i) {
        GerarTom(musicas + "/m" + std::to_string(i + 1) + ".wav",
                 4,
                 frequencias[i],
                 0.4,
                 {"-c:a", "pcm_s16le"},
                 44100);
    }
    const std::time_t agora = std::time(nullptr);
    const std::string feed =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel>"
        "<item><title><![CDATA[Feira de livros abre hoje]]></title><link>https://n.br/1</link>"
        "<pubDate>" +
        DataGmt(agora - 600) +
        "</pubDate></item>"
        "<item><title>Chuva volta no fim de semana</title><link>https://n.br/2</link>"
        "<pubDate>" +
        DataGmt(agora - 1200) + "</pubDate></item></channel></rss>";
    const std::string previsao =
        R"({"properties":{"timeseries":[{"time":")" + HoraIso(agora) +
        R"(","data":{"instant":{"details":{"air_temperature":24.6}},)"
        R"("next_1_hours":{"summary":{"symbol_code":"clearsky_day"}}}}]}})";
    TServidorFixtures servidor;
    std::atomic<int> previsoes{0};
    servidor.Servidor().Get("/rss/geral/feed.xml",
                            [&](const httplib::Request&, httplib::Response& AResp) {
                                AResp.set_content(feed, "application/rss+xml");
                            });
    servidor.Servidor().Get("/weatherapi/locationforecast/2.0/compact",
                            [&](const httplib::Request&, httplib::Response& AResp) {
                                AResp.set_content(previsao, "application/json");
                                ++previsoes;
                            });
    servidor.Iniciar();

    const int porta = PortaLivre();
    EscreverArquivo(dados / "config.ini",
                    "[Geral]\r\nPastaMusicas=" + musicas +
                        "\r\nTransicaoSegundos=1\r\nTransicaoPadrao8=1\r\nTocarAoIniciar=1\r\n"
                        "VolumeAutomatico=0\r\nVolume=100\r\n"
                        "[Locutor]\r\nHoraCerta=0\r\n"
                        "[Datas]\r\nAtivas=\r\n"
                        "[Noticias]\r\nAtivas=1\r\nAssuntos=geral\r\nCadaMusicas=2\r\n"
                        "Quantidade=2\r\nResumo=0\r\n"
                        "[Clima]\r\nAtivo=1\r\nCidade=Campinas, São Paulo\r\nLat=-22.9056\r\n"
                        "Lon=-47.0608\r\n"
                        "[Celular]\r\nAtivo=1\r\nPin=246810\r\nPorta=" +
                        std::to_string(porta) + "\r\n");
    TProcesso programa({LJSN_BINARIO,
                        "--sem-janela",
                        "--dados",
                        dados.Caminho(),
                        "--gravar-saida",
                        dados / "saida.wav",
                        "--driver-audio",
                        "dummy"},
                       {"LJSN_NOTICIAS_URL=" + servidor.Url("/rss/%s/feed.xml"),
                        "LJSN_CLIMA_URL=" + servidor.Url(""),
                        "LJSN_CIDADES_URL=http://127.0.0.1:1",
                        "LJSN_EDGE=" + (dados / "sem-navegador")});
    ASSERT_NE(programa.LerAte("rodando sem janela").find("rodando sem janela"), std::string::npos);
    const auto log = [&] { return LerLogs(dados.Caminho()); };
    httplib::Client celular("127.0.0.1", porta);
    const httplib::Headers pin = {{"X-Pin", "246810"}};

    // Polls the phone API while real time passes, until the news are read.
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::string estadoNoticias;
    bool pediuHora = false;
    std::chrono::steady_clock::time_point terceira{};
    while (std::chrono::steady_clock::now() < limite) {
        if (estadoNoticias.empty()) {
            if (auto r = celular.Get("/api/estado", pin);
                r && r->body.find("\"tipo\":\"noticias\"") != std::string::npos) {
                estadoNoticias = r->body;
            }
        }
        // The time is asked for once the third song has risen, so no
        // ducking disturbs the fades measured below; the forecast was
        // served long before.
        const std::string texto = log();
        if (terceira == std::chrono::steady_clock::time_point{} &&
            texto.find("musica 3/3") != std::string::npos) {
            terceira = std::chrono::steady_clock::now();
        }
        if (!pediuHora && terceira != std::chrono::steady_clock::time_point{} &&
            std::chrono::steady_clock::now() - terceira > std::chrono::milliseconds(1500)) {
            EXPECT_GT(previsoes.load(), 0);
            celular.Post("/api/comando", pin, R"({"acao":"horacerta"})", "application/json");
            pediuHora = true;
        }
        if (texto.find("Agora faz") != std::string::npos) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    programa.Sinalizar(SIGTERM);
    ASSERT_EQ(programa.Esperar(), 0);
    const std::string texto = log();

    // The order of the Part: the second song, the news entry, the block, the
    // third song.
    const std::vector<std::string> marcos = {
        "[NOTICIAS] busca: 2 noticia(s) baixada(s), 2 para ler",
        "[TOCANDO]  musica 2/3: m2.wav",
        "[FILA]     noticias depois de 2 musica(s) (regra: a cada 2)",
        "[NOTICIAS] lendo: Feira de livros abre hoje",
        "[NOTICIAS] lendo: Chuva volta no fim de semana",
        "[NOTICIAS] fim da leitura",
        "[TOCANDO]  musica 3/3: m3.wav"};
    std::size_t antes = 0;
    for (const auto& m : marcos) {
        const std::size_t p = texto.find(m, antes);
        ASSERT_NE(p, std::string::npos) << m << "\n" << texto;
        antes = p;
    }
    EXPECT_NE(estadoNoticias.find("\"situacao\":\"tocando\""), std::string::npos) << estadoNoticias;
    EXPECT_NE(estadoNoticias.find("\"faixa\":\"Notícias · Agência Brasil\""), std::string::npos);

    const auto falas = Falas(texto);
    const auto noticias =
        std::find(falas.begin(), falas.end(), "Agora, as notícias, com a Agência Brasil.");
    ASSERT_NE(noticias, falas.end()) << texto;
    const std::string clima = "Agora faz 25 graus em Campinas, com céu limpo.";
    const auto hora = std::find_if(falas.begin(), falas.end(), [](const std::string& AF) {
        return AF.find("ora certa") != std::string::npos;
    });
    ASSERT_NE(hora, falas.end()) << texto;
    ASSERT_NE(hora + 1, falas.end()) << texto;
    // Earlier in the day the forecast adds the day's maximum.
    EXPECT_TRUE(ComecaCom(*(hora + 1), clima)) << *(hora + 1);

    // The recording, in 100 ms windows: m2 at full level, then fading to
    // nothing, then speech over silence, then m3 rising back.
    const TWav wav = LerWav(dados / "saida.wav");
    ASSERT_EQ(wav.Taxa, 44100);
    const std::size_t janela = 4410;
    std::vector<double> a660;
    std::vector<double> a990;
    std::vector<double> resto;
    for (std::size_t i = 0; i + janela <= wav.Quadros(); i += janela) {
        a660.push_back(AmplitudeFrequencia(wav.Amostras, 2, 0, i, janela, 660, 44100));
        a990.push_back(AmplitudeFrequencia(wav.Amostras, 2, 0, i, janela, 990, 44100));
        double soma = 0;
        for (std::size_t q = i; q < i + janela; ++q) {
            soma += wav.Amostras[q * 2] * wav.Amostras[q * 2];
        }
        resto.push_back(std::sqrt(soma / janela));
    }
    // The last window of m2 at full level.
    std::size_t fimCheio = 0;
    for (std::size_t i = 0; i < a660.size(); ++i) {
        if (a660[i] > 0.35) {
            fimCheio = i;
        }
    }
    ASSERT_GT(fimCheio, 0u);
    // The fade: within 1.3 s m2 falls below a tenth, passing through the middle.
    std::size_t silencio = fimCheio;
    bool meio = false;
    while (silencio < a660.size() && a660[silencio] > 0.04) {
        meio = meio || (a660[silencio] > 0.1 && a660[silencio] < 0.3);
        ++silencio;
    }
    EXPECT_TRUE(meio);
    EXPECT_LE(silencio - fimCheio, 13u);
    // Speech while no song sounds, then m3 rising from nothing to full in
    // about a second.
    // (Speech has a little energy at 990 Hz too: the song starts where the
    // tone stays up.)
    std::size_t inicio990 = silencio;
    const auto sustentado = [&](std::size_t AI) {
        return AI + 3 < a990.size() && a990[AI] > 0.03 && a990[AI + 1] > 0.03 &&
               a990[AI + 2] > 0.03 && a990[AI + 3] > 0.03;
    };
    while (inicio990 < a990.size() && !sustentado(inicio990)) {
        ++inicio990;
    }
    ASSERT_LT(inicio990, a990.size());
    const auto comFala = std::count_if(resto.begin() + static_cast<std::ptrdiff_t>(silencio),
                                       resto.begin() + static_cast<std::ptrdiff_t>(inicio990),
                                       [](double ARms) { return ARms > 0.02; });
    EXPECT_GT(comFala, 10) << "no speech between the songs";
    // The rise: the fade-in under the announcer's own return to full level.
    std::size_t cheio990 = inicio990;
    bool subindo = true;
    while (cheio990 < a990.size() && a990[cheio990] < 0.35) {
        subindo =
            subindo && (cheio990 + 1 >= a990.size() || a990[cheio990 + 1] >= a990[cheio990] - 0.01);
        ++cheio990;
    }
    ASSERT_LT(cheio990, a990.size());
    EXPECT_TRUE(subindo);
    EXPECT_GE(cheio990 - inicio990, 6u);
    EXPECT_LE(cheio990 - inicio990, 25u);
}

// "--buscar-cidade" for a shop without the dialog: the place and the
// weather printed; with "--salvar" the city stored as the dialog stores it.
TEST(BinarioNoticias, BuscarCidadePelaLinhaDeComando) {
    TPastaTemporaria dados;
    TServidorFixtures servidor;
    std::string busca;
    servidor.Servidor().Get("/search", [&](const httplib::Request& AReq, httplib::Response& AResp) {
        busca = AReq.get_param_value("q");
        AResp.set_content(LerFixture("nominatim/campinas.json"), "application/json");
    });
    servidor.Servidor().Get(
        "/weatherapi/locationforecast/2.0/compact",
        [&](const httplib::Request&, httplib::Response& AResp) {
            AResp.set_content(
                R"({"properties":{"timeseries":[{"time":")" + HoraIso(std::time(nullptr)) +
                    R"(","data":{"instant":{"details":{"air_temperature":-0.6}}}}]}})",
                "application/json");
        });
    servidor.Iniciar();
    const std::vector<std::string> ambiente = {"LJSN_CIDADES_URL=" + servidor.Url(""),
                                               "LJSN_CLIMA_URL=" + servidor.Url("")};
    {
        TProcesso so({LJSN_BINARIO, "--dados", dados.Caminho(), "--buscar-cidade", "campinas"},
                     ambiente);
        EXPECT_EQ(so.LerLinha(), "Cidade: Campinas");
        EXPECT_EQ(so.LerLinha(), "Estado: São Paulo");
        EXPECT_EQ(so.LerLinha(), "Latitude: -22.9056391");
        EXPECT_EQ(so.LerLinha(), "Longitude: -47.0608");
        const std::string clima = so.LerLinha();
        EXPECT_TRUE(ComecaCom(clima, "Agora faz menos 1 grau em Campinas.")) << clima;
        EXPECT_EQ(so.Esperar(), 0);
        EXPECT_EQ(busca, "campinas");
        EXPECT_FALSE(std::filesystem::exists(dados / "config.ini"));
    }
    {
        TProcesso salvar(
            {LJSN_BINARIO, "--dados", dados.Caminho(), "--buscar-cidade", "Campinas", "--salvar"},
            ambiente);
        while (!salvar.LerLinha().empty()) {
        }
        EXPECT_EQ(salvar.Esperar(), 0);
        const std::string config = LerArquivo(dados / "config.ini");
        EXPECT_NE(config.find("[Clima]\r\nAtivo=1\r\nCidade=Campinas, São Paulo\r\n"
                              "Lat=-22.9056\r\nLon=-47.0608\r\n"),
                  std::string::npos)
            << config;
    }
    TProcesso semInternet({LJSN_BINARIO, "--dados", dados.Caminho(), "--buscar-cidade", "X"},
                          {"LJSN_CIDADES_URL=http://127.0.0.1:1"});
    EXPECT_EQ(semInternet.LerLinha(),
              "Cidade não encontrada (ou sem internet). Confira o nome e tente de novo.");
    EXPECT_EQ(semInternet.Esperar(), 1);
}

// "--buscar-cidade --salvar" beside a running copy: that copy, which writes
// config.ini at exit, takes the place, applies and saves it, and still has
// it after it ended.
TEST(BinarioNoticias, BuscarCidadeComUmaCopiaRodando) {
    TPastaTemporaria dados;
    TServidorFixtures servidor;
    servidor.Servidor().Get("/search", [&](const httplib::Request&, httplib::Response& AResp) {
        AResp.set_content(LerFixture("nominatim/campinas.json"), "application/json");
    });
    servidor.Servidor().Get(
        "/weatherapi/locationforecast/2.0/compact",
        [&](const httplib::Request&, httplib::Response& AResp) {
            AResp.set_content(R"({"properties":{"timeseries":[{"time":")" +
                                  HoraIso(std::time(nullptr)) +
                                  R"(","data":{"instant":{"details":{"air_temperature":21}}}}]}})",
                              "application/json");
        });
    servidor.Iniciar();
    const std::vector<std::string> ambiente = {"LJSN_CIDADES_URL=" + servidor.Url(""),
                                               "LJSN_CLIMA_URL=" + servidor.Url(""),
                                               "LJSN_EDGE=" + (dados / "sem-navegador")};
    TProcesso programa({LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho()}, ambiente);
    bool rodando = false;
    bool listas = false;
    while (!rodando || !listas) {
        const std::string linha = programa.LerLinha();
        ASSERT_FALSE(linha.empty()) << "the program ended while starting";
        rodando = rodando || linha.find("rodando sem janela") != std::string::npos;
        listas = listas || linha.find("[INICIO]   musicas: ") != std::string::npos;
    }
    {
        TProcesso salvar(
            {LJSN_BINARIO, "--dados", dados.Caminho(), "--buscar-cidade", "Campinas", "--salvar"},
            ambiente);
        std::string ultima;
        for (std::string l = salvar.LerLinha(); !l.empty(); l = salvar.LerLinha()) {
            ultima = l;
        }
        EXPECT_EQ(salvar.Esperar(), 0);
        EXPECT_TRUE(ComecaCom(ultima, "Enviado ao programa aberto, que salvou")) << ultima;
    }
    const std::string esperado =
        "[Clima]\r\nAtivo=1\r\nCidade=Campinas, São Paulo\r\nLat=-22.9056\r\nLon=-47.0608\r\n";
    EXPECT_NE(LerArquivo(dados / "config.ini").find(esperado), std::string::npos)
        << LerArquivo(dados / "config.ini");
    programa.Sinalizar(SIGTERM);
    EXPECT_EQ(programa.Esperar(), 0);
    EXPECT_NE(LerArquivo(dados / "config.ini").find(esperado), std::string::npos)
        << LerArquivo(dados / "config.ini");
    EXPECT_NE(LerLogs(dados.Caminho())
                  .find("cidade do tempo recebida da linha de comando: "
                        "Campinas, São Paulo"),
              std::string::npos);
}
