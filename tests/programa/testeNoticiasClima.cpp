#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <mutex>

#include <gtest/gtest.h>
#include <stdlib.h>

#include "ambiente/uRede.h"
#include "apoio/uServidorFixtures.h"
#include "programa/uAmbienteProgramacao.h"
#include "programa/uComandosJson.h"

using namespace ljsn;
using namespace ljsn::teste;
using V = std::vector<std::string>;

namespace {

struct TItemFeed {
    std::string Titulo;
    int MinutosAtras = 10;
};

// "Wed, 09 Dec 2026 10:05:00 -0300" for a local date-time (the tests run
// three hours behind UTC).
std::string DataRss(double ALocal) {
    static constexpr std::array<const char*, 12> kMeses = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const TDataHora d = DecodificarDataHora(ALocal);
    return FormatarOuFormato("Wed, %.2d %s %d %.2d:%.2d:%.2d -0300",
                             d.Dia,
                             kMeses[static_cast<std::size_t>(d.Mes - 1)],
                             d.Ano,
                             d.Hora,
                             d.Minuto,
                             d.Segundo);
}

std::string Feed(const std::vector<TItemFeed>& AItens, double AAgora) {
    std::string r = "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss><channel><title>Feed</title>";
    for (const auto& i : AItens) {
        r += "<item><title><![CDATA[" + i.Titulo + "]]></title><link>https://n.exemplo.br/" +
             i.Titulo + "</link><description>&lt;p&gt;Resumo de " + i.Titulo +
             ". Mais texto.&lt;/p&gt;</description><pubDate>" +
             DataRss(AAgora - i.MinutosAtras / 1440.0) + "</pubDate></item>";
    }
    return r + "</channel></rss>";
}

// A local news server whose feed the test changes as it goes.
class TServidorNoticias {
  public:
    TServidorNoticias() {
        FServidor.Servidor().Get("/rss/geral/feed.xml",
                                 [this](const httplib::Request&, httplib::Response& AResp) {
                                     std::lock_guard trava(FTrava);
                                     ++Pedidos;
                                     AResp.set_content(FCorpo, "application/rss+xml");
                                 });
        FServidor.Iniciar();
    }
    void Definir(std::string ACorpo) {
        std::lock_guard trava(FTrava);
        FCorpo = std::move(ACorpo);
    }
    std::string Padrao() const { return FServidor.Url("/rss/%s/feed.xml"); }
    std::atomic<int> Pedidos{0};

  private:
    TServidorFixtures FServidor;
    std::mutex FTrava;
    std::string FCorpo;
};

class NoticiasNoPrograma : public testing::Test {
  protected:
    void SetUp() override {
        ::setenv("TZ", "<-03>3", 1);
        ::tzset();
        A.CriarArquivos("musicas", {"m1.wav", "m2.wav", "m3.wav", "m4.wav", "m5.wav"}, 1000);
        A.CriarArquivos("propagandas", {"a1.wav"}, 1000);
        A.Voz.Roteiro.MsFixos = 500;
        FServidor.Definir(
            Feed({{"Primeira", 10}, {"Segunda", 20}, {"Terceira", 30}}, A.Relogio.Agora()));
    }
    void TearDown() override {
        A.Programa.reset();
        ::unsetenv("TZ");
        ::tzset();
    }
    TPrograma& Criar(const std::function<void(TConfiguracoes&)>& AMais = {}) {
        ::setenv("LJSN_NOTICIAS_URL", FServidor.Padrao().c_str(), 1);
        A.Configurar([&](TConfiguracoes& c) {
            c.PastaMusicas = A.Pasta("musicas");
            c.PastaPropagandas = A.Pasta("propagandas");
            c.MusicasEntrePropagandas = 2;
            c.PropagandasPorIntervalo = 1;
            c.TransicaoSegundos = 0;
            c.HoraCerta = false;
            c.DatasAtivas = "";
            c.MinutosEntreMensagens = 0;
            c.NoticiasAtivas = true;
            c.NoticiasAssuntos = "geral";
            c.NoticiasCadaMusicas = 2;
            c.NoticiasQuantidade = 2;
            c.NoticiasResumo = false;
            if (AMais) {
                AMais(c);
            }
        });
        TPrograma& p = A.Criar();
        EXPECT_TRUE(A.EsperarAte([&] { return !p.AgendaNoticias().Buscando(); }));
        return p;
    }
    // Advances until the block is on air, or off air (at most AMs).
    bool AvancarAteNoticias(TPrograma& AP, int AMs, bool ANoAr = true) {
        for (int t = 0; t < AMs && AP.NoticiasNoAr() != ANoAr; t += 100) {
            A.Avancar(100);
        }
        return AP.NoticiasNoAr() == ANoAr;
    }
    // Advances second by second, letting every download finish in between.
    void AvancarSegundos(TPrograma& AP, int ASegundos) {
        for (int i = 0; i < ASegundos; ++i) {
            A.Avancar(1000);
            ASSERT_TRUE(A.EsperarAte([&] { return !AP.AgendaNoticias().Buscando(); }));
        }
    }
    V Falas() const {
        V r;
        for (const auto& l : A.LinhasDoLog("LOCUTOR")) {
            const auto p = l.find("): ");
            if (l.rfind("fala (", 0) == 0 && p != std::string::npos) {
                r.push_back(l.substr(p + 3));
            }
        }
        return r;
    }
    TAmbienteProgramacao A;
    TServidorNoticias FServidor;
};

}  // namespace

// News due with a break: the block is read first (opening, the two newest
// items, the credit), then the break, then the music; the face and the phone
// see the block while it is on air.
TEST_F(NoticiasNoPrograma, BlocoAntesDoIntervalo) {
    TPrograma& p = Criar();
    EXPECT_EQ(A.LinhasDoLog("NOTICIAS"),
              (V{"busca: 3 noticia(s) baixada(s), 3 para ler; proxima busca as 10:25"}));
    p.Tocar();
    ASSERT_TRUE(AvancarAteNoticias(p, 5000));
    EXPECT_EQ(A.Tocados(), (V{"m1", "m2"}));
    EXPECT_EQ(p.Titulo(), "Notícias · Agência Brasil");
    EXPECT_EQ(A.Visao.Tipo, "●  NOTÍCIAS");
    EXPECT_EQ(p.TextosStatus()[3], "Propaganda após esta música  ·  Notícias no ar");
    const TJson estado = TJson::parse(ExecutarComando(p, "estado", TJson::object()));
    EXPECT_EQ(estado["situacao"], "tocando");
    EXPECT_EQ(estado["tipo"], "noticias");
    EXPECT_EQ(estado["faixa"], "Notícias · Agência Brasil");
    EXPECT_EQ(estado["posicao"], 0);
    EXPECT_EQ(estado["duracao"], 0);

    ASSERT_TRUE(AvancarAteNoticias(p, 8000, false));
    EXPECT_EQ(A.Tocados(), (V{"m1", "m2", "a1"}));
    EXPECT_EQ(Falas(),
              (V{"Agora, as notícias, com a Agência Brasil.",
                 "Primeira.",
                 "Segunda.",
                 "Fonte: Agência Brasil."}));
    const V fila = A.LinhasDoLog("FILA");
    ASSERT_GE(fila.size(), 2u);
    EXPECT_EQ(fila[0], "noticias depois de 2 musica(s) (regra: a cada 2)");
    EXPECT_EQ(fila[1], "intervalo comercial depois de 2 musica(s) (regra: a cada 2): 1 arquivo(s)");
    const V noticias = A.LinhasDoLog("NOTICIAS");
    EXPECT_EQ(V(noticias.begin() + 1, noticias.end()),
              (V{"lendo: Primeira", "lendo: Segunda", "fim da leitura"}));
    EXPECT_EQ(p.TextosStatus()[3], "Intervalo comercial  ·  Notícias em 2 músicas");
}

// Items count as read once queued; the next block takes the unread one and,
// when all are read, an early fetch starts (once in two minutes) and the
// block after rereads the longest read first.
TEST_F(NoticiasNoPrograma, LidasERelidas) {
    TPrograma& p = Criar([](TConfiguracoes& c) {
        c.PastaPropagandas = "";
        c.NoticiasResumo = true;
    });
    p.Tocar();
    ASSERT_TRUE(AvancarAteNoticias(p, 5000));
    p.Proxima();  // interrupted after queueing: both stay read
    EXPECT_FALSE(p.NoticiasNoAr());
    ASSERT_TRUE(AvancarAteNoticias(p, 5000));
    ASSERT_TRUE(A.EsperarAte([&] { return !p.AgendaNoticias().Buscando(); }));
    ASSERT_TRUE(AvancarAteNoticias(p, 8000, false));
    ASSERT_TRUE(AvancarAteNoticias(p, 8000));
    ASSERT_TRUE(AvancarAteNoticias(p, 8000, false));
    const V noticias = A.LinhasDoLog("NOTICIAS");
    const V esperado = {"lendo: Primeira",
                        "lendo: Segunda",
                        "lendo: Terceira",
                        "noticias novas acabaram: buscando",
                        "busca: 3 noticia(s) baixada(s), 3 para ler; proxima busca as 10:25",
                        "fim da leitura",
                        "relendo (as novas acabaram): Primeira",
                        "relendo (as novas acabaram): Segunda",
                        "fim da leitura"};
    EXPECT_EQ(V(noticias.begin() + 1, noticias.end()), esperado);
    EXPECT_EQ(FServidor.Pedidos.load(), 2);  // the third block did not fetch again
    const V falas = Falas();
    EXPECT_NE(std::find(falas.begin(), falas.end(), "Terceira. Resumo de Terceira."), falas.end());
}

// Pausing in the block stops the reading; play goes on with the next song,
// fading in, never with the rest of the block.
TEST_F(NoticiasNoPrograma, PausaNoBloco) {
    TPrograma& p = Criar([](TConfiguracoes& c) {
        c.PastaPropagandas = "";
        c.TransicaoSegundos = 1;
    });
    p.Tocar();
    ASSERT_TRUE(AvancarAteNoticias(p, 8000));
    p.Pausar();
    EXPECT_FALSE(p.NoticiasNoAr());
    EXPECT_TRUE(p.EstaPausado());
    EXPECT_FALSE(p.Locutor().Ocupado());  // the block's texts are gone
    EXPECT_EQ(TJson::parse(ExecutarComando(p, "estado", TJson::object()))["situacao"], "pausado");
    A.Avancar(3000);
    EXPECT_EQ(A.Tocados(), (V{"m1", "m2"}));
    EXPECT_TRUE(Falas().empty());
    p.Tocar();
    EXPECT_EQ(A.Tocados(), (V{"m1", "m2", "m3"}));
    A.Avancar(200);
    // The next song rises over a third of its second.
    const auto alias = std::find_if(
        A.Dispositivo.Aliases.begin(), A.Dispositivo.Aliases.end(), [](const auto& AA) {
            return TerminaCom(AA.second.Arquivo, "m3.wav");
        });
    ASSERT_NE(alias, A.Dispositivo.Aliases.end());
    const auto& volumes = alias->second.Volumes;
    ASSERT_GE(volumes.size(), 2u);
    EXPECT_LT(volumes.front(), volumes.back());
    EXPECT_LT(volumes.back(), 800);
    const V comandos = A.LinhasDoLog("COMANDO");
    EXPECT_NE(
        std::find(
            comandos.begin(), comandos.end(), "pausado no meio das noticias: leitura interrompida"),
        comandos.end());
    EXPECT_NE(
        std::find(
            comandos.begin(), comandos.end(), "continuar: depois das noticias, a proxima musica"),
        comandos.end());
}

// Failed fetches are retried every minute, from the eleventh every five;
// the first success returns to twenty; a failure keeps the news fetched.
TEST_F(NoticiasNoPrograma, AgendaDeTentativas) {
    FServidor.Definir("<html><body>Erro 502</body></html>");
    TPrograma& p = Criar();
    AvancarSegundos(p, 15 * 60);
    const V esperado = {
        "busca falhou (sem internet?) - tentativa 1; tenta de novo as 10:06",
        "busca falhou (sem internet?) - tentativa 2; tenta de novo as 10:07",
        "busca falhou (sem internet?) - tentativa 3; tenta de novo as 10:08",
        "busca falhou (sem internet?) - tentativa 4; tenta de novo as 10:09",
        "busca falhou (sem internet?) - tentativa 5; tenta de novo as 10:10",
        "busca falhou (sem internet?) - tentativa 6; tenta de novo as 10:11",
        "busca falhou (sem internet?) - tentativa 7; tenta de novo as 10:12",
        "busca falhou (sem internet?) - tentativa 8; tenta de novo as 10:13",
        "busca falhou (sem internet?) - tentativa 9; tenta de novo as 10:14",
        "busca falhou (sem internet?) - tentativa 10; tenta de novo as 10:15",
        "busca falhou (sem internet?) - tentativa 11; tenta de novo as 10:20",
        "busca falhou (sem internet?) - tentativa 12; tenta de novo as 10:25",
    };
    EXPECT_EQ(A.LinhasDoLog("NOTICIAS"), esperado);
    EXPECT_EQ(p.TextosStatus()[3], "Propaganda em 2 músicas  ·  Notícias em 2 músicas");

    FServidor.Definir(Feed({{"Nova", 5}}, A.Relogio.Agora()));
    AvancarSegundos(p, 5 * 60);
    EXPECT_EQ(A.LinhasDoLog("NOTICIAS").back(),
              "busca: 1 noticia(s) baixada(s), 1 para ler; proxima busca as 10:45");

    FServidor.Definir("");
    AvancarSegundos(p, 20 * 60);
    EXPECT_EQ(A.LinhasDoLog("NOTICIAS").back(),
              "busca falhou (sem internet?) - tentativa 1; tenta de novo as 10:46");
    EXPECT_EQ(p.NoticiasParaLer().size(), 1u);
    EXPECT_EQ(FServidor.Pedidos.load(), 14);
}

// A 1 MB title used to freeze the tick for half a minute and then be read
// for hours, with two log lines of a megabyte each. The feed is cleaned on
// the worker, the title cut at a word under 300 characters, and the log line
// at 500.
TEST_F(NoticiasNoPrograma, TituloEnormeEhCortado) {
    std::string enorme;
    while (enorme.size() < 1000000) {
        enorme += "promoção ";
    }
    FServidor.Definir(Feed({{enorme, 10}, {"Segunda", 20}}, A.Relogio.Agora()));
    TPrograma& p = Criar([](TConfiguracoes& c) { c.PastaPropagandas = ""; });
    ASSERT_EQ(p.NoticiasParaLer().size(), 2u);
    const std::string titulo = p.NoticiasParaLer()[0].Titulo;
    EXPECT_LE(ContarCaracteres(titulo), kMaxTituloNoticia);
    EXPECT_GT(ContarCaracteres(titulo), kMaxTituloNoticia - 10);
    EXPECT_TRUE(TerminaCom(titulo, "promoção")) << titulo;
    p.Tocar();
    ASSERT_TRUE(AvancarAteNoticias(p, 5000));
    ASSERT_TRUE(AvancarAteNoticias(p, 8000, false));
    const V falas = Falas();
    ASSERT_EQ(falas.size(), 4u);
    EXPECT_EQ(falas[1].substr(0, 20), titulo.substr(0, 20));
    for (const auto& linha : DividirLinhas(A.Log())) {
        EXPECT_LE(ContarCaracteres(linha), kMaxCaracteresLog + 40) << linha.substr(0, 80);
    }
}

// A feed past the download cap is not "no internet": the log says what
// happened.
TEST_F(NoticiasNoPrograma, FeedGrandeDemaisDizPorQue) {
    FServidor.Definir(std::string(kMaxCorpoBaixado + 1, ' '));
    Criar();
    const V noticias = A.LinhasDoLog("NOTICIAS");
    ASSERT_FALSE(noticias.empty());
    EXPECT_EQ(noticias[0],
              "busca falhou (resposta grande demais) - tentativa 1; tenta de novo as 10:06");
}

// Staff texts filling the announcer's queue used to drop the news (which
// still counted as read) and the closing warnings. The programme's own texts
// are always admitted now; only people's wait for room.
TEST_F(NoticiasNoPrograma, FilaCheiaDeFalasNaoDerrubaNoticias) {
    TPrograma& p = Criar([](TConfiguracoes& c) { c.PastaPropagandas = ""; });
    p.Tocar();
    A.Avancar(1200);
    for (std::size_t i = 0; i < TLocutor::kMaxFila; ++i) {
        ExecutarComando(p, "comando", {{"acao", "falar"}, {"texto", "Aviso " + std::to_string(i)}});
    }
    EXPECT_THROW(ExecutarComando(p, "comando", {{"acao", "falar"}, {"texto", "Mais um"}}),
                 TErroComando);
    ASSERT_TRUE(AvancarAteNoticias(p, 5000));
    const V noticias = A.LinhasDoLog("NOTICIAS");
    EXPECT_NE(std::find(noticias.begin(), noticias.end(), "lendo: Primeira"), noticias.end());
    EXPECT_NE(std::find(noticias.begin(), noticias.end(), "lendo: Segunda"), noticias.end());
    ASSERT_TRUE(AvancarAteNoticias(p, 60000, false));
    const V falas = Falas();
    EXPECT_NE(std::find(falas.begin(), falas.end(), "Primeira."), falas.end());
    EXPECT_NE(std::find(falas.begin(), falas.end(), "Segunda."), falas.end());
    for (const auto& l : A.LinhasDoLog("LOCUTOR")) {
        EXPECT_EQ(l.find("descartada: Agora, as"), std::string::npos) << l;
    }
}

// A feed server that accepts and never answers: the programme plays on, the
// fetch stays pending, and closing does not wait for the network.
TEST_F(NoticiasNoPrograma, ServidorQueNaoRespondeNaoPrendeOPrograma) {
    TServidorMudo mudo;
    ::setenv("LJSN_NOTICIAS_URL",
             ("http://127.0.0.1:" + std::to_string(mudo.Porta()) + "/%s").c_str(),
             1);
    A.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = A.Pasta("musicas");
        c.TransicaoSegundos = 0;
        c.NoticiasAtivas = true;
        c.NoticiasAssuntos = "*";
    });
    TPrograma& p = A.Criar();
    p.Tocar();
    A.Avancar(4500);
    EXPECT_TRUE(p.AgendaNoticias().Buscando());
    EXPECT_EQ(A.Tocados(), (V{"m1", "m2", "m3", "m4", "m5"}));
    const auto inicio = std::chrono::steady_clock::now();
    A.Programa.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::seconds(3));
}

namespace {

std::string Previsao(const std::vector<std::pair<std::string, double>>& AEntradas) {
    std::string serie;
    for (const auto& [hora, t] : AEntradas) {
        serie += std::string(serie.empty() ? "" : ",") + R"({"time":")" + hora +
                 R"(","data":{"instant":{"details":{"air_temperature":)" +
                 FormatarDecimal(t, 1, 1) +
                 R"(}},"next_1_hours":{"summary":{"symbol_code":"partlycloudy_day"}},)"
                 R"("next_6_hours":{"details":{"precipitation_amount":0.6}}}})";
    }
    return R"({"properties":{"timeseries":[)" + serie + "]}}";
}

}  // namespace

// The weather follows the time announcement while its last result is under
// two hours old; refreshes run at minutes 25 and 55; failures keep the
// last result until it is too old.
TEST_F(NoticiasNoPrograma, ClimaDepoisDaHoraCerta) {
    TServidorFixtures servidor;
    std::mutex trava;
    std::string corpo = Previsao({{"2026-12-09T13:00:00Z", 23.4}, {"2026-12-09T18:00:00Z", 28.6}});
    std::atomic<int> pedidos{0};
    servidor.Servidor().Get("/weatherapi/locationforecast/2.0/compact",
                            [&](const httplib::Request&, httplib::Response& AResp) {
                                std::lock_guard t(trava);
                                ++pedidos;
                                AResp.set_content(corpo, "application/json");
                            });
    servidor.Iniciar();
    ::setenv("LJSN_CLIMA_URL", servidor.Url("").c_str(), 1);
    A.Voz.Roteiro.MsFixos = 1000;
    A.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = A.Pasta("musicas");
        c.HoraCerta = true;
        c.DatasAtivas = "";
        c.MinutosEntreMensagens = 0;
        c.ClimaAtivo = true;
        c.ClimaCidade = "Campinas, São Paulo";
        c.ClimaLat = -22.9056;
        c.ClimaLon = -47.0608;
    });
    TPrograma& p = A.Criar();
    ASSERT_TRUE(A.EsperarAte([&] { return !p.AgendaClima().Consultando(); }));
    ASSERT_TRUE(p.AgendaClima().Clima().Valido);
    p.ExecutarAcao(3);
    A.Avancar(6000);
    const std::string clima =
        "Agora faz 23 graus em Campinas, com céu parcialmente nublado. A máxima hoje é de 29 "
        "graus. Há previsão de chuva nas próximas horas.";
    EXPECT_EQ(Falas(), (V{"A nossa loja te diz a hora certa: são 10 horas e 5 minutos!", clima}));

    // 10:25 and 10:55 refresh; at 11:00 the sentence follows the hour.
    for (int i = 0; i < 55; ++i) {
        A.Avancar(60000);
        ASSERT_TRUE(A.EsperarAte([&] { return !p.AgendaClima().Consultando(); }));
    }
    EXPECT_EQ(pedidos.load(), 3);
    const V ate11 = Falas();
    ASSERT_GE(ate11.size(), 2u);
    EXPECT_EQ(V(ate11.end() - 2, ate11.end()),
              (V{"A nossa loja te diz a hora certa: são 11 horas!", clima}));

    // From now on the service fails: 12:00 still speaks the 10:55 result
    // (1 hour old); at 13:00 it is 2 hours old and the time comes alone.
    {
        std::lock_guard t(trava);
        corpo = "<html>503</html>";
    }
    for (int i = 0; i < 120; ++i) {
        A.Avancar(60000);
        ASSERT_TRUE(A.EsperarAte([&] { return !p.AgendaClima().Consultando(); }));
    }
    EXPECT_EQ(pedidos.load(), 7);
    const V falas = Falas();
    ASSERT_GE(falas.size(), 5u);
    EXPECT_EQ(falas[falas.size() - 3], "A nossa loja te diz a hora certa: são 12 horas!");
    EXPECT_EQ(falas[falas.size() - 2],
              "Agora faz 23 graus em Campinas, com céu parcialmente nublado.");
    EXPECT_EQ(falas.back(), "A nossa loja te diz a hora certa: são 13 horas!");
}
