#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stdlib.h>

#include "ambiente/uRede.h"
#include "apoio/uServidorFixtures.h"
#include "comum/uRelogio.h"
#include "comum/uTexto.h"
#include "falas/uNoticias.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

// Every date here is read on a computer three hours behind UTC.
class Noticias : public testing::Test {
  protected:
    void SetUp() override {
        ::setenv("TZ", "<-03>3", 1);
        ::tzset();
    }
    void TearDown() override {
        ::unsetenv("LJSN_NOTICIAS_URL");
        ::unsetenv("TZ");
        ::tzset();
    }
    static double Local(int AAno, int AMes, int ADia, int AHora, int AMinuto) {
        return CodificarData(AAno, AMes, ADia) + CodificarHora(AHora, AMinuto);
    }
    // 2026-12-09 10:05, local.
    const double FAgora = Local(2026, 12, 9, 10, 5);
};

std::vector<std::string> Titulos(const std::vector<TNoticia>& ANoticias) {
    std::vector<std::string> r;
    for (const auto& n : ANoticias) {
        r.push_back(n.Titulo);
    }
    return r;
}

}  // namespace

TEST_F(Noticias, AssuntosEscolhidos) {
    struct TCaso {
        const char* Valor;
        const char* Chave;
        bool Ativo;
    };
    const TCaso casos[] = {
        {"Economia , SAUDE", "economia", true},
        {"Economia , SAUDE", "saude", true},
        {"Economia , SAUDE", "geral", false},
        {" * ", "politica", true},
        {"", "geral", false},
        {"meio-ambiente", "meio-ambiente", true},
        {"meio - ambiente", "meio-ambiente", true},  // spaces go before splitting
        {"economia*", "economia", false},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(AssuntoAtivo(c.Valor, c.Chave), c.Ativo) << c.Valor << " / " << c.Chave;
    }
}

TEST_F(Noticias, EnderecoDoFeed) {
    EXPECT_EQ(UrlFeed("saude"), "https://agenciabrasil.ebc.com.br/rss/saude/feed.xml");
    ::setenv("LJSN_NOTICIAS_URL", "http://127.0.0.1:9/feeds/%s.xml", 1);
    EXPECT_EQ(UrlFeed("meio-ambiente"), "http://127.0.0.1:9/feeds/meio-ambiente.xml");
    ::setenv("LJSN_NOTICIAS_URL", "", 1);
    EXPECT_EQ(UrlFeed("geral"), "https://agenciabrasil.ebc.com.br/rss/geral/feed.xml");
}

TEST_F(Noticias, LimparTexto) {
    struct TCaso {
        const char* Nome;
        const char* Texto;
        const char* Esperado;
    };
    const TCaso casos[] = {
        {"cdata",
         "<![CDATA[Sa\xC3\xBA"
         "de <b>j\xC3\xA1</b>]]>",
         "Saúde já"},
        {"tagEscapada", "&lt;b&gt;palavra&lt;/b&gt;", "palavra"},
        {"negritoDuasVezesNoCdata", "<![CDATA[&lt;b&gt;palavra&lt;/b&gt;]]>", "palavra"},
        {"entidadeDuasVezes", "a &amp;amp; b", "a & b"},
        {"travessaoDecimal", "a &#8211; b", "a – b"},
        {"hexMinusculo", "&#x41;&#xe9;", "Aé"},
        {"hexMaiusculoFica", "&#X41;", "&#X41;"},
        {"decimalComLetraViraEspaco", "a&#12a;b", "a b"},
        {"acimaDeFFFFViraEspaco", "x&#128512;y&#x1F600;z", "x y z"},
        {"nuloEControleViramEspaco", "a&#0;b&#27;c&#xD800;d", "a b c d"},
        {"enormeViraEspaco", "a&#99999999999999999999;b", "a b"},
        {"malformadas", "&#;&#x;&amp &nbsp &#65", "&#;&#x;&amp &nbsp &#65"},
        {"nomeadas",
         "&quot;x&quot; &apos;y&apos; &ordm;&ordf; 1 &lt; 2 &mdash;&nbsp;&amp;",
         "\"x\" 'y' ºª 1 < 2 — &"},
        {"espacosEPontuacao", "Texto , com   espaço .\n\tFim !", "Texto, com espaço. Fim!"},
        {"tagSemFimFica", "a < b", "a < b"},
        {"cdataSemFimFica", "<![CDATA[abc", "<![CDATA[abc"},
        {"vazio", "   ", ""},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(LimparTexto(c.Texto), c.Esperado) << c.Nome;
    }
}

TEST_F(Noticias, PrimeiraFrase) {
    const std::string longa(247, 'a');
    struct TCaso {
        const char* Nome;
        std::string Texto;
        std::string Esperado;
    };
    const TCaso casos[] = {
        {"duasFrases", "Primeira frase. Segunda frase.", "Primeira frase."},
        {"seguidaDeAspas", "Fim! \"Citação\" depois.", "Fim!"},
        {"seguidaDeAspasCurvas", "Fim? \u201CCita\u00E7\u00E3o\u201D", "Fim?"},
        {"seguidaDeDigito", "Valor caiu. 3 motivos.", "Valor caiu."},
        {"seguidaDeAcentuada", "Acabou. Ética vem.", "Acabou."},
        {"minusculaNaoCorta", "Sr. fulano chegou. Depois.", "Sr. fulano chegou."},
        {"semFimDeFrase", "Texto sem ponto final", "Texto sem ponto final"},
        {"pontoNoInicioNaoConta", ". Abc", ". Abc"},
        {"frase250", longa + "ab. Outra", longa + "ab."},
        {"frase251", longa + "abc. Outra", ""},
        {"semFim251", std::string(251, 'x'), ""},
        {"semFim250", std::string(250, 'x'), std::string(250, 'x')},
        {"quebraDeLinhaImpedeCorte", "Linha um\nsegue. Outra.", "Linha um\nsegue. Outra."},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(PrimeiraFrase(c.Texto, 250), c.Esperado) << c.Nome;
    }
}

TEST_F(Noticias, FiltroDeNoticiasPesadas) {
    struct TCaso {
        const char* Titulo;
        const char* Resumo;
        bool Pesada;
    };
    const TCaso casos[] = {
        {"Polícia investiga homicídio", "", true},
        {"Ator imortal em nova série", "", false},
        {"Mortalidade infantil cai", "", true},
        {"Suspeita é presa no aeroporto", "", true},
        {"Elefante com presas enormes", "", false},
        {"Óbito de torcedor", "", true},
        {"ÓBITO DE TORCEDOR", "", true},
        {"VIOLÊNCIA NAS ESCOLAS", "", true},
        {"Feira de artesanato", "Sem vítimas ou feridos.", true},
        {"Relatório do corpo—de bombeiros", "", true},
        {"Festival de verão", "Shows gratuitos.", false},
        {"TSE divulga calendário", "", true},
        {"Atacadistas ampliam vendas", "", false},
    };
    for (const auto& c : casos) {
        TNoticia n;
        n.Titulo = c.Titulo;
        n.Resumo = c.Resumo;
        EXPECT_EQ(NoticiaPesada(n), c.Pesada) << c.Titulo;
    }
    EXPECT_EQ(RemoverAcentos("ÁÉÍÓÚÇãõ Ü"), "aeioucao u");
}

TEST_F(Noticias, DatasDosFeeds) {
    struct TCaso {
        const char* Texto;
        double Esperado;
    };
    const TCaso casos[] = {
        {"Tue, 05 Mar 2024 14:30:00 -0300", Local(2024, 3, 5, 14, 30)},
        {"Tue, 05 Mar 2024 17:30:00 +0000", Local(2024, 3, 5, 14, 30)},
        {"Tue, 05 Mar 2024 17:30:00 GMT", Local(2024, 3, 5, 14, 30)},
        {"Tue, 05 Mar 2024 17:30:00 UT", Local(2024, 3, 5, 14, 30)},
        {"Tue, 05 Mar 2024 17:30 UTC", Local(2024, 3, 5, 14, 30)},
        {"Tue, 05 Mar 2024 17:30:00 Z", Local(2024, 3, 5, 14, 30)},
        {"Tue, 05 Mar 2024 12:30:00 EST", Local(2024, 3, 5, 14, 30)},
        {"Tue, 05 Mar 2024 10:30:00 PDT", Local(2024, 3, 5, 14, 30)},
        {"Tue, 05 Mar 2024 23:00:00 +0530", Local(2024, 3, 5, 14, 30)},
        {"Tue, 05 Mar 2024 13:00:00 -0330", Local(2024, 3, 5, 13, 30)},
        {"Wed, 03 Jan 2018 13:47:00 GMT\r\n      ", Local(2018, 1, 3, 10, 47)},
        {"5 mar 2024 14:30 -0300", Local(2024, 3, 5, 14, 30)},
        {"Tue, 05 Mar 2024 14:30:00 BRT", Local(2024, 3, 5, 14, 30)},  // unknown name: local
        {"Tue, 05 Mar 2024 14:30:00", Local(2024, 3, 5, 14, 30)},
        {"Di, 05 Mrz 2024 14:30:00 +0100", 0},
        {"Seg, 24 Set 2018 19:42:40 -0300", 0},
        {"31 Feb 2024 10:00:00 GMT", 0},
        {"05 Mar 2024 25:00:00 GMT", 0},
        {"", 0},
    };
    for (const auto& c : casos) {
        EXPECT_NEAR(LerDataRss(c.Texto), c.Esperado, 1e-7) << c.Texto;
    }
}

TEST_F(Noticias, ConteudoDeTag) {
    EXPECT_EQ(ConteudoTag("<TITLE lang=\"pt\">Olá</Title>", "title"), "Olá");
    EXPECT_EQ(ConteudoTag("<title>a</title><title>b</title>", "title"), "a");
    EXPECT_EQ(ConteudoTag("<title>sem fim", "title"), "");
    EXPECT_EQ(ConteudoTag("<link>\n x \n</link>", "link"), "\n x \n");
    EXPECT_EQ(ConteudoTag("nada", "link"), "");
}

// A Latin-1 feed without declaration and a UTF-8 one with CR LF, as they come
// back from the download: titles, links, summaries, dates and the items
// without title left out.
TEST_F(Noticias, LerFeedsReais) {
    const std::string geral = GarantirUtf8(LerFixture("rss/geral_latin1.rss"));
    const auto itens = LerFeed(geral, "geral");
    ASSERT_EQ(itens.size(), 7u);
    EXPECT_EQ(itens[0].Titulo, "Feira de artesanato ocupa praça central até domingo");
    EXPECT_EQ(itens[0].Resumo, "A feira reúne 120 expositores de todo o estado.");
    EXPECT_EQ(itens[0].Link,
              "https://agencia.exemplo.br/geral/noticia/2026-12/feira-de-artesanato");
    EXPECT_EQ(itens[0].Assunto, "geral");
    EXPECT_NEAR(itens[0].Data, Local(2026, 12, 9, 9, 30), 1e-7);
    EXPECT_EQ(itens[1].Titulo, "Vacinação contra a gripe – campanha prorrogada (2º)");
    EXPECT_EQ(itens[1].Resumo, "O Ministério da Saúde prorrogou a campanha até o fim do mês!");
    EXPECT_NEAR(itens[1].Data, Local(2026, 12, 9, 8, 0), 1e-7);
    EXPECT_EQ(itens[4].Data, 0);  // Portuguese month names
    EXPECT_EQ(itens[6].Titulo, "ÓBITO de torcedor leva clube a cancelar festa");
    EXPECT_EQ(itens[6].Resumo, "");

    const auto economia = LerFeed(LerFixture("rss/economia_utf8.rss"), "economia");
    ASSERT_EQ(economia.size(), 4u);
    EXPECT_EQ(economia[0].Link,
              "https://agencia.exemplo.br/economia/noticia/2026-12/inflacao-novembro");
    EXPECT_NEAR(economia[0].Data, Local(2026, 12, 9, 10, 0), 1e-7);
    EXPECT_EQ(economia[3].Resumo, "Operação de fiscalização — sem incidentes.");
}

TEST_F(Noticias, FeedsQuebrados) {
    struct TCaso {
        const char* Nome;
        std::string Texto;
        std::size_t Itens;
    };
    const TCaso casos[] = {
        {"truncado", "<rss><item><title>A</title></item><item><title>B</tit", 1},
        {"itemComAtributoNaoConta", "<item id=\"1\"><title>A</title></item>", 0},
        {"semTitulo", "<item><link>x</link></item>", 0},
        {"semLink", "<item><title>Só título</title></item>", 1},
        {"maiusculas", "<ITEM><TITLE>A</TITLE></ITEM>", 1},
        {"vazio", "", 0},
        {"lixo", std::string("\0\xff<item>\xfe", 9), 0},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(LerFeed(c.Texto, "geral").size(), c.Itens) << c.Nome;
    }
    EXPECT_FALSE(PareceFeed("<!DOCTYPE html><html><body><item>x</item></body></html>"));
    EXPECT_FALSE(PareceFeed("{\"erro\": 1}"));
    EXPECT_TRUE(PareceFeed("\xEF\xBB\xBF\r\n<?xml version=\"1.0\"?><rss><channel/></rss>"));
}

// Ten thousand items in 10 MB: every one read, in order.
TEST_F(Noticias, FeedGrande) {
    std::string feed = "<rss><channel>";
    const std::string recheio(900, 'x');
    for (int i = 0; i < 10000; ++i) {
        feed += "<item><title>Item " + std::to_string(i) + "</title><link>l" + std::to_string(i) +
                "</link><description>" + recheio + ". Fim</description></item>";
    }
    feed += "</channel></rss>";
    ASSERT_GT(feed.size(), 9'000'000u);
    const auto itens = LerFeed(feed, "geral");
    ASSERT_EQ(itens.size(), 10000u);
    EXPECT_EQ(itens[9999].Titulo, "Item 9999");
    EXPECT_EQ(itens[9999].Resumo, "");  // a 901-character sentence
}

TEST_F(Noticias, EscolherParaLer) {
    const auto noticia = [&](const char* ALink, double AData) {
        TNoticia n;
        n.Titulo = ALink;
        n.Link = ALink;
        n.Data = AData;
        return n;
    };
    const std::vector<TNoticia> todas = {noticia("a", FAgora - 0.01),
                                         noticia("b", FAgora - 0.02),
                                         noticia("velha", FAgora - 37.0 / 24),
                                         noticia("semdata", 0)};
    using V = std::vector<std::string>;
    TNoticiasLidas lidas;
    EXPECT_EQ(Titulos(EscolherNoticias(todas, lidas, true, FAgora)), (V{"a", "b", "semdata"}));
    lidas["a"] = FAgora - 1.0 / 24;
    EXPECT_EQ(Titulos(EscolherNoticias(todas, lidas, true, FAgora)), (V{"b", "semdata"}));

    // All read: with repetition the longest ago first; the old one never.
    lidas["b"] = FAgora - 3.0 / 24;
    lidas["semdata"] = FAgora - 2.0 / 24;
    lidas["velha"] = FAgora - 10.0 / 24;
    EXPECT_EQ(Titulos(EscolherNoticias(todas, lidas, true, FAgora)), (V{"b", "semdata", "a"}));
    // Without: only what was read 4 hours ago or more.
    EXPECT_TRUE(EscolherNoticias(todas, lidas, false, FAgora).empty());
    lidas["b"] = FAgora - (3.0 * 60 + 59) / 1440;
    EXPECT_TRUE(EscolherNoticias(todas, lidas, false, FAgora).empty());
    lidas["b"] = FAgora - 4.0 / 24;
    EXPECT_EQ(Titulos(EscolherNoticias(todas, lidas, false, FAgora)), (V{"b"}));
}

TEST_F(Noticias, TextoFalado) {
    struct TCaso {
        const char* Titulo;
        const char* Resumo;
        bool ComResumo;
        const char* Esperado;
    };
    const TCaso casos[] = {
        {"Copa (2º)", "", true, "Copa."},
        {"Copa  (12)  final", "", false, "Copa final."},
        {"Ano (123)", "", false, "Ano (123)."},
        {"Vai chover?", "Talvez.", true, "Vai chover? Talvez."},
        {"Pronto!", "Resumo (3º) aqui.", false, "Pronto!"},
        {"Pronto", "Resumo (3º) aqui.", true, "Pronto. Resumo aqui."},
    };
    for (const auto& c : casos) {
        TNoticia n;
        n.Titulo = c.Titulo;
        n.Resumo = c.Resumo;
        EXPECT_EQ(TextoNoticia(n, c.ComResumo), c.Esperado) << c.Titulo;
    }
}

// Two subjects from a local server: duplicates across feeds kept once with
// the first subject, old and heavy items dropped, newest first, undated last;
// a subject whose answer is an error page or too large gives nothing.
class BaixarNoticiasLocal : public Noticias {
  protected:
    void SetUp() override {
        Noticias::SetUp();
        auto& s = FServidor.Servidor();
        const auto servir = [&s](const std::string& ACaminho, std::string ACorpo) {
            s.Get(ACaminho, [ACorpo](const httplib::Request&, httplib::Response& AResp) {
                AResp.set_content(ACorpo, "application/rss+xml");
            });
        };
        servir("/rss/geral/feed.xml", LerFixture("rss/geral_latin1.rss"));
        servir("/rss/economia/feed.xml", LerFixture("rss/economia_utf8.rss"));
        servir("/rss/saude/feed.xml",
               "<!DOCTYPE html><html><head><title>502</title></head><body><item><title>Erro"
               "</title></item></body></html>");
        std::string enorme = "<rss><channel>";
        while (enorme.size() <= kMaxCorpoBaixado) {
            enorme += "<item><title>Grande</title><link>g</link></item>";
        }
        servir("/rss/cultura/feed.xml", enorme);
        FServidor.Iniciar();
        ::setenv("LJSN_NOTICIAS_URL", FServidor.Url("/rss/%s/feed.xml").c_str(), 1);
    }
    TServidorFixtures FServidor;
};

TEST_F(BaixarNoticiasLocal, JuntaFiltraEOrdena) {
    const auto itens = BaixarNoticias("geral,economia,saude,cultura", true, FAgora);
    const std::vector<std::string> esperado = {
        "Inflação de novembro fica em 0,3%",
        "Feira de artesanato ocupa praça central até domingo",
        "Safra de café deve crescer 8% em 2027",
        "Vacinação contra a gripe – campanha prorrogada (2º)",
        "Exportadores comemoram presas de marfim falsas apreendidas",
        "Museu reabre ala de arte sacra",
    };
    EXPECT_EQ(Titulos(itens), esperado);
    ASSERT_EQ(itens.size(), esperado.size());
    EXPECT_EQ(itens[2].Assunto, "geral");  // the duplicate kept from the first feed

    // Unfiltered, the heavy ones come back too.
    EXPECT_EQ(BaixarNoticias("geral,economia", false, FAgora).size(), 9u);
    EXPECT_TRUE(BaixarNoticias("saude,cultura", true, FAgora).empty());
    EXPECT_TRUE(BaixarNoticias("", true, FAgora).empty());
}

TEST_F(Noticias, ServidorRecusaDaNada) {
    ::setenv("LJSN_NOTICIAS_URL", "http://127.0.0.1:1/%s", 1);
    EXPECT_TRUE(BaixarNoticias("*", true, FAgora).empty());
}
