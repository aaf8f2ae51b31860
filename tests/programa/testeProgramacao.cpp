#include <gtest/gtest.h>

#include "programa/uAmbienteProgramacao.h"

using namespace ljsn;
using namespace ljsn::teste;
using V = std::vector<std::string>;

namespace {

class Programacao : public testing::Test {
  protected:
    // Seven songs, three advertisements and two jingles of 1 s; breaks every
    // 3 songs with 2 advertisements, no crossfade.
    void PrepararRotacao(const std::string& AVinhetaDepois = "vd.wav") {
        A.CriarArquivos(
            "musicas",
            {"m1.mp3", "m2.wav", "m3.WMA", "m4.mp3", "m5.mp3", "m6.mp3", "m7.mp3", "fora.flac"},
            1000);
        A.CriarArquivos("propagandas", {"a1.mp3", "a2.mp3", "a3.mp3"}, 1000);
        A.CriarArquivos("vinhetas", {"va.wav", "vd.wav"}, 1000);
        A.Configurar([&](TConfiguracoes& c) {
            c.PastaMusicas = A.Pasta("musicas");
            c.PastaPropagandas = A.Pasta("propagandas");
            c.VinhetaAntes = A.Pasta("vinhetas/va.wav");
            c.VinhetaDepois = A.Pasta("vinhetas/") + AVinhetaDepois;
            c.MusicasEntrePropagandas = 3;
            c.PropagandasPorIntervalo = 2;
            c.TransicaoSegundos = 0;
        });
    }
    TAmbienteProgramacao A;
};

}  // namespace

// Breaks every 3 songs, jingles around each, the advertisement rotation
// carrying on and wrapping round across breaks.
TEST_F(Programacao, RotacaoComIntervalosEVinhetas) {
    PrepararRotacao();
    TPrograma& p = A.Criar();
    EXPECT_EQ(p.Musicas().size(), 7u);  // the .flac is not a music file
    p.Tocar();
    A.Avancar(21000);
    const V esperado = {"m1", "m2", "m3", "va", "a1", "a2", "vd", "m4", "m5", "m6", "va",
                        "a3", "a1", "vd", "m7", "m1", "m2", "va", "a2", "a3", "vd"};
    V tocados = A.Tocados();
    tocados.resize(esperado.size());
    EXPECT_EQ(tocados, esperado);
    const auto fila = A.LinhasDoLog("FILA");
    ASSERT_FALSE(fila.empty());
    EXPECT_EQ(fila[0], "intervalo comercial depois de 3 musica(s) (regra: a cada 3): 4 arquivo(s)");
    const auto tocando = A.LinhasDoLog("TOCANDO");
    EXPECT_EQ(tocando[0],
              "musica 1/7: m1.mp3 (musicas desde a propaganda: 1, desde as noticias: 1)");
    EXPECT_EQ(tocando[3], "vinheta (volume 80%): va.wav");
    EXPECT_EQ(tocando[4], "propaganda (volume 80%): a1.mp3");
}

TEST_F(Programacao, VinhetaQueSumiuFicaDeFora) {
    PrepararRotacao("nao-existe.wav");
    A.Criar().Tocar();
    A.Avancar(6500);
    EXPECT_EQ(A.Tocados(), (V{"m1", "m2", "m3", "va", "a1", "a2", "m4"}));
    EXPECT_NE(A.LinhasDoLog("FILA")[0].find(": 3 arquivo(s)"), std::string::npos);
}

// Confirming the settings without changes keeps the song's place and the
// break already queued.
TEST_F(Programacao, RecarregarMantemRotacaoEIntervalo) {
    PrepararRotacao();
    TPrograma& p = A.Criar();
    p.Tocar();
    A.Avancar(3500);  // "va" is on air, a1 a2 vd queued
    ASSERT_EQ(A.Tocados().back(), "va");
    p.RecarregarListas();
    EXPECT_EQ(p.Fila().FilaIntervalo().size(), 3u);
    A.Avancar(4000);
    EXPECT_EQ(A.Tocados(), (V{"m1", "m2", "m3", "va", "a1", "a2", "vd", "m4"}));
}

// A double-click during a break drops the rest of it and counts as a song.
TEST_F(Programacao, DuploCliqueDuranteIntervalo) {
    PrepararRotacao();
    TPrograma& p = A.Criar();
    p.Tocar();
    A.Avancar(4500);  // a1 on air
    ASSERT_EQ(A.Tocados().back(), "a1");
    p.TocarLinha(5);
    EXPECT_TRUE(p.Fila().FilaIntervalo().empty());
    EXPECT_EQ(p.Fila().MusicasDesdePropaganda(), 1);
    A.Avancar(3000);
    EXPECT_EQ(A.Tocados(), (V{"m1", "m2", "m3", "va", "a1", "m6", "m7", "m1", "va"}));
}

// "Parar" in a break, then "Tocar": the last song again from its start, then
// the rest of the break.
TEST_F(Programacao, PararNoIntervaloEDepoisTocar) {
    PrepararRotacao();
    TPrograma& p = A.Criar();
    p.Tocar();
    A.Avancar(4500);  // a1 on air
    p.Parar();
    EXPECT_FALSE(p.EmReproducao());
    EXPECT_EQ(A.Visao.Tipo, "●  PARADO");
    EXPECT_EQ(p.Titulo(), "Pronto para tocar");
    A.Avancar(2000);
    EXPECT_EQ(A.Tocados().size(), 5u);  // nothing started while stopped
    p.Tocar();
    A.Avancar(3000);
    EXPECT_EQ(A.Tocados(), (V{"m1", "m2", "m3", "va", "a1", "m3", "a2", "vd", "m4"}));
}

// A file that vanished is logged and skipped on the next tick.
TEST_F(Programacao, ArquivoQueSumiuEhPulado) {
    A.CriarArquivos("musicas", {"m1.mp3", "m2.mp3"}, 1000);
    A.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = A.Pasta("musicas");
        c.TransicaoSegundos = 0;
    });
    TPrograma& p = A.Criar();
    std::filesystem::remove(A.Pasta("musicas/m1.mp3"));
    p.Tocar();
    EXPECT_EQ(p.Titulo(), "m1  (erro ao abrir o arquivo)");
    EXPECT_NE(A.Log().find("[ERRO]     nao foi possivel tocar: " + A.Pasta("musicas/m1.mp3")),
              std::string::npos);
    A.Avancar(100);
    EXPECT_EQ(A.Tocados(), (V{"m2"}));
    EXPECT_TRUE(p.EmReproducao());
}

// The music folder disappears mid-day: no back-to-back breaks, no error line
// every tick; the folder is looked at every 30 s and the music comes back
// on its own when the folder does.
TEST_F(Programacao, PastaDeMusicasSomeEVolta) {
    PrepararRotacao();
    TPrograma& p = A.Criar();
    p.Tocar();
    A.Avancar(1500);
    ASSERT_EQ(A.Tocados().size(), 2u);
    const auto n = A.Dispositivo.Abertos.size();
    std::filesystem::rename(A.Pasta("musicas"), A.Pasta("musicas-fora"));
    A.Avancar(120000);
    std::size_t propagandas = 0;
    for (std::size_t i = n; i < A.Dispositivo.Abertos.size(); ++i) {
        propagandas += NomeExibicao(A.Dispositivo.Abertos[i])[0] == 'a';
    }
    EXPECT_EQ(propagandas, 0u);
    const auto erros = A.LinhasDoLog("ERRO");
    // Each song once, the note once, and one try every 30 s.
    EXPECT_LE(erros.size(), 7u + 1u + 4u);
    EXPECT_EQ(std::count_if(erros.begin(),
                            erros.end(),
                            [](const std::string& l) {
                                return l.find("nenhuma musica abre") != std::string::npos;
                            }),
              1);
    EXPECT_TRUE(p.EmReproducao());
    std::filesystem::rename(A.Pasta("musicas-fora"), A.Pasta("musicas"));
    A.Avancar(31000);
    A.EsperarListas();  // the folder is looked at on a worker
    A.Avancar(100);
    EXPECT_GT(A.Dispositivo.Abertos.size(), n);
    EXPECT_NE(A.Log().find("as musicas voltaram a abrir"), std::string::npos);
    // And the rotation is the usual one again: three songs, then a break.
    A.Avancar(10000);
    EXPECT_GE(std::count_if(A.Dispositivo.Abertos.begin() + static_cast<std::ptrdiff_t>(n),
                            A.Dispositivo.Abertos.end(),
                            [](const std::string& a) { return NomeExibicao(a)[0] == 'a'; }),
              1);
}

// 0 songs between breaks (a hand-edited file) used to play breaks one after
// another: it reads as 1, the dialog's least; a music "folder" that is a
// file: nothing plays, not even advertisements.
TEST_F(Programacao, ContadoresZeradosEPastaQueEhArquivo) {
    A.CriarArquivos("musicas", {"m1.mp3"}, 1000);
    A.CriarArquivos("propagandas", {"a1.mp3", "a2.mp3"}, 1000);
    A.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = A.Pasta("musicas");
        c.PastaPropagandas = A.Pasta("propagandas");
        c.MusicasEntrePropagandas = 0;
        c.TransicaoSegundos = 0;
    });
    A.Criar().Tocar();
    A.Avancar(3000);
    EXPECT_EQ(A.Tocados(), (V{"m1", "a1", "m1", "a2"}));

    A.Programa.reset();
    A.Dispositivo.Abertos.clear();
    A.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = A.Pasta("propagandas/a1.mp3");
        c.MusicasEntrePropagandas = 3;
    });
    TPrograma& q = A.Criar();
    EXPECT_EQ(q.Titulo(), "Clique na engrenagem para escolher a pasta de músicas");
    q.Tocar();
    A.Avancar(1000);
    EXPECT_TRUE(A.Tocados().empty());
    EXPECT_EQ(A.Visao.ConfiguracoesAbertas, 1);
    EXPECT_FALSE(q.EmReproducao());
}

TEST_F(Programacao, TextosDeStatus) {
    PrepararRotacao();
    A.Configurar([](TConfiguracoes& c) {
        c.AvisoFechamento = true;
        c.HorarioFechamento = "18:30";
        c.NoticiasAtivas = true;
    });
    TPrograma& p = A.Criar();
    A.Fila.Drenar();
    A.Avancar(100);
    EXPECT_EQ(p.TextosStatus()[1], "Propagandas: 3");
    EXPECT_EQ(p.TextosStatus()[2], "Mensagens: 3");
    EXPECT_EQ(p.TextosStatus()[3], "Propaganda em 3 músicas  ·  Notícias em 4 músicas");
    EXPECT_EQ(p.TextosStatus()[4], "Fechamento: 18:30");
    p.Tocar();
    A.Avancar(1000);
    EXPECT_EQ(p.TextosStatus()[3], "Propaganda em 1 música  ·  Notícias em 2 músicas");
    A.Avancar(1000);
    EXPECT_EQ(p.TextosStatus()[3], "Propaganda após esta música  ·  Notícias em 1 música");
    A.Avancar(1000);
    EXPECT_EQ(p.TextosStatus()[3], "Intervalo comercial  ·  Notícias em 1 música");
    EXPECT_EQ(A.Visao.Status, p.TextosStatus());
}

// The folder listing: accepted types in any case, subfolders when asked,
// folder links followed once (a loop ends), file links listed, sorted by
// path without regard to case or accents.
TEST(Listagem, ArvoreComLinksEAcentos) {
    TPastaTemporaria t;
    const std::string raiz = t / "musicas";
    for (const char* f : {"b.mp3",
                          "Água.WAV",
                          "agua2.wma",
                          "capa.jpg",
                          "sub/c.Mp3",
                          "sub/z/Ébano.mp3",
                          "sub/z/leia.txt"}) {
        EscreverArquivo(raiz + "/" + f, "x");
    }
    std::filesystem::create_directory_symlink(raiz, raiz + "/sub/laco");
    std::filesystem::create_symlink(raiz + "/b.mp3", raiz + "/sub/atalho.mp3");
    const auto nomes = [&](bool ASubpastas) {
        std::vector<std::string> r;
        for (const auto& a : ListarArquivosDaPasta(raiz, ASubpastas)) {
            r.push_back(a.substr(raiz.size() + 1));
        }
        return r;
    };
    EXPECT_EQ(
        nomes(true),
        (V{"Água.WAV", "agua2.wma", "b.mp3", "sub/atalho.mp3", "sub/c.Mp3", "sub/z/Ébano.mp3"}));
    EXPECT_EQ(nomes(false), (V{"Água.WAV", "agua2.wma", "b.mp3"}));
    EXPECT_TRUE(ListarArquivosDaPasta(t / "nao-existe", true).empty());
}

// Links to the folder's own parents used to be followed: "..", "../.." and
// an absolute link to "/" listed files from outside the music folder (a
// folder of /proc listed the whole disk). They are skipped; a link to a
// folder elsewhere is still followed.
TEST(Listagem, LinksParaCimaNaoSaemDaPasta) {
    TPastaTemporaria t;
    const std::string raiz = t / "loja/musicas";
    EscreverArquivo(raiz + "/a.mp3", "x");
    EscreverArquivo(t / "loja/de-fora.mp3", "x");
    EscreverArquivo(t / "outra/c.mp3", "x");
    std::filesystem::create_directory_symlink("..", raiz + "/pai");
    std::filesystem::create_directory_symlink("../..", raiz + "/avo");
    std::filesystem::create_directory_symlink("/", raiz + "/raiz");
    std::filesystem::create_directory_symlink(".", raiz + "/eu");
    std::filesystem::create_directory_symlink(t / "outra", raiz + "/outra");
    std::vector<std::string> r;
    for (const auto& a : ListarArquivosDaPasta(raiz, true)) {
        r.push_back(a.substr(raiz.size() + 1));
    }
    EXPECT_EQ(r, (V{"a.mp3", "outra/c.mp3"}));
}

// A folder of files that never open used to be tried at tick speed, with an
// error line each, until every file had failed once (hours for 100 000
// files). After 20 failures in a row the programme waits 30 s between
// tries, and each file's error is logged at most once an hour.
TEST_F(Programacao, ArquivosQueNuncaAbremEsperam) {
    std::filesystem::create_directories(A.Pasta("musicas"));
    for (int i = 0; i < 25; ++i) {
        EscreverArquivo(A.Pasta("musicas/") + std::to_string(100 + i) + ".mp3", "");
    }
    A.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = A.Pasta("musicas");
        c.TransicaoSegundos = 0;
    });
    TPrograma& p = A.Criar();
    p.Tocar();
    A.Avancar(10000);
    const auto contar = [&](const std::string& ATrecho) {
        const auto erros = A.LinhasDoLog("ERRO");
        return std::count_if(erros.begin(), erros.end(), [&](const std::string& l) {
            return l.find(ATrecho) != std::string::npos;
        });
    };
    EXPECT_EQ(contar("nao foi possivel tocar"), TPrograma::kMaxFalhasSeguidas);
    EXPECT_EQ(contar("nenhuma musica abre (20 tentativa(s) seguida(s)"), 1);
    // One try every 30 s, done on the folder's listing: an hour later each
    // of the 25 files has failed several times but is logged once.
    for (int s = 0; s < 50 * 60; s += 30) {
        A.Avancar(30000);
        A.EsperarListas();
    }
    EXPECT_EQ(contar("nao foi possivel tocar"), 25);
    EXPECT_EQ(contar("nenhuma musica abre"), 1);
    EXPECT_TRUE(p.EmReproducao());
    // Past the hour the files are named again.
    for (int s = 0; s < 20 * 60; s += 30) {
        A.Avancar(30000);
        A.EsperarListas();
    }
    EXPECT_GT(contar("nao foi possivel tocar"), 25);
}
