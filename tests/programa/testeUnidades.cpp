// The programme's units alone, on the fake clock: the queue, the guards, the
// durations reader and the crossfade levels, without a programme around them.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <numbers>

#include <gtest/gtest.h>

#include "comum/uFilaPrincipal.h"
#include "programa/uDispositivoFalso.h"
#include "programa/uFilaProgramacao.h"
#include "programa/uGuardas.h"
#include "programa/uLeitorDuracoes.h"
#include "programa/uNiveis.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

using V = std::vector<std::string>;

TListasLidas Listas(V AMusicas, V APropagandas, std::string AAntes = "", std::string ADepois = "") {
    TListasLidas l;
    l.Musicas = std::move(AMusicas);
    l.Propagandas = std::move(APropagandas);
    l.VinhetaAntes = std::move(AAntes);
    l.VinhetaDepois = std::move(ADepois);
    return l;
}

// Plays AQuantos items through the queue as the programme does, returning
// what went on air.
V Tocar(TFilaProgramacao& AFila, const TConfiguracoes& AConfig, int AQuantos) {
    V tocados;
    for (int i = 0; i < AQuantos; ++i) {
        if (AFila.FilaVazia()) {
            AFila.MontarIntervalo(AConfig);
        }
        if (AFila.FilaVazia()) {
            tocados.push_back(AFila.ComecarMusica(AFila.SeguinteMusica()));
        } else {
            const auto e = AFila.Retirar();
            AFila.ComecarIntervalo(e.Marca);
            tocados.push_back(e.Texto);
        }
    }
    return tocados;
}

}  // namespace

TEST(FilaProgramacao, RotacaoComIntervalosEVinhetas) {
    TConfiguracoes c;
    c.MusicasEntrePropagandas = 2;
    c.PropagandasPorIntervalo = 1;
    c.VinhetaAntes = "va";
    c.VinhetaDepois = "vd";
    TFilaProgramacao f;
    f.TrocarListas(Listas({"m1", "m2", "m3"}, {"a1", "a2"}, "va", "vd"), false);
    EXPECT_EQ(f.ProximoArquivo(c, false), "m1");
    EXPECT_EQ(Tocar(f, c, 12),
              (V{"m1", "m2", "va", "a1", "vd", "m3", "m1", "va", "a2", "vd", "m2", "m3"}));
    // Two songs since the break: the next is the jingle before it, unless the
    // news come first.
    EXPECT_EQ(f.ProximoArquivo(c, false), "va");
    EXPECT_EQ(f.ProximoArquivo(c, true), "");
    EXPECT_EQ(f.ProximaPropaganda(), "a1");
    EXPECT_EQ(f.ProximaMusica(), "m1");
}

TEST(FilaProgramacao, MusicaQueFalhaNaoAproximaOIntervalo) {
    TConfiguracoes c;
    c.MusicasEntrePropagandas = 2;
    TFilaProgramacao f;
    f.TrocarListas(Listas({"m1", "m2", "m3"}, {"a1"}), false);
    f.ComecarMusica(0);
    f.ComecarMusica(1);
    f.MusicaFalhou();
    EXPECT_EQ(f.MusicasDesdePropaganda(), 1);
    EXPECT_FALSE(f.IntervaloDevido(c));
    f.ComecarMusica(2);
    EXPECT_TRUE(f.IntervaloDevido(c));
}

// A new listing keeps the song's place by name (any letter case) and the
// queued break when the advertisements did not change; new advertisements
// drop it. A jingle the listing did not accept never plays.
TEST(FilaProgramacao, NovasListasMantemARotacao) {
    TConfiguracoes c;
    c.MusicasEntrePropagandas = 1;
    c.PropagandasPorIntervalo = 2;
    c.VinhetaAntes = "va";
    TFilaProgramacao f;
    f.TrocarListas(Listas({"m1", "m2", "m3"}, {"a1", "a2"}, "va"), false);
    EXPECT_EQ(Tocar(f, c, 3), (V{"m1", "va", "a1"}));
    f.TrocarListas(Listas({"M0", "M1", "M2"}, {"a1", "a2"}, "va"), false);
    EXPECT_EQ(f.IndiceMusica(), 1);
    EXPECT_EQ(f.LinhaSelecionada(), 1);
    ASSERT_EQ(f.FilaIntervalo().size(), 1u);
    EXPECT_EQ(Tocar(f, c, 2), (V{"a2", "M2"}));

    f.MontarIntervalo(c);
    ASSERT_FALSE(f.FilaVazia());
    f.TrocarListas(Listas({"M0", "M1", "M2"}, {"b1"}), false);
    EXPECT_TRUE(f.FilaVazia());
    EXPECT_EQ(f.IndicePropaganda(), -1);
    EXPECT_FALSE(f.VinhetaUsavel("va"));
    // The dropped break counted its songs already: the next comes by the rule.
    EXPECT_EQ(Tocar(f, c, 3), (V{"M0", "b1", "b1"}));
}

TEST(Guardas, SilencioPulaSoDepoisDoLimite) {
    TRelogioFalso r;
    TGuardas g(r);
    // 3 s allowed at 100 ms a tick: the 30th quiet tick skips.
    int pulos = 0;
    for (int i = 0; i < 29; ++i) {
        pulos += g.Silencio(10, true, 3, 100);
    }
    EXPECT_EQ(pulos, 0);
    // A loud tick, a device that cannot tell, or nothing meant to sound all
    // start the count over.
    for (const auto& [nivel, vigiar] : std::vector<std::pair<std::optional<int>, bool>>{
             {1000, true}, {std::nullopt, true}, {5, false}}) {
        EXPECT_FALSE(g.Silencio(nivel, vigiar, 3, 100));
        for (int i = 0; i < 29; ++i) {
            EXPECT_FALSE(g.Silencio(10, true, 3, 100));
        }
    }
    EXPECT_TRUE(g.Silencio(10, true, 3, 100));
    EXPECT_EQ(g.Silencios(), 1);
    EXPECT_FALSE(g.Silencio(10, true, 0, 100));  // off
}

TEST(Guardas, EsperaPorMusicasEVolta) {
    TRelogioFalso r;
    TGuardas g(r);
    // A list of three: the third failure in a row starts the wait, once.
    EXPECT_FALSE(g.MusicaFalhou(3));
    EXPECT_FALSE(g.MusicaFalhou(3));
    EXPECT_TRUE(g.MusicaFalhou(3));
    EXPECT_FALSE(g.MusicaFalhou(3));
    EXPECT_TRUE(g.EsperandoMusicas());
    r.Avancar(29900);
    EXPECT_FALSE(g.TentarDeNovo());
    r.Avancar(100);
    EXPECT_TRUE(g.TentarDeNovo());
    EXPECT_FALSE(g.TentarDeNovo());  // the next try is 30 s away again
    // Heard again: the wait ends and says so once.
    EXPECT_FALSE(g.Vigiar(true, true));
    EXPECT_TRUE(g.Voltou());
    EXPECT_FALSE(g.Voltou());
    EXPECT_FALSE(g.EsperandoMusicas());
    EXPECT_EQ(g.FalhasSeguidas(), 0);

    // Files that open but are never heard: 10 s, then the same wait. A
    // programme that means nothing to play is never judged.
    r.Avancar(60000);
    EXPECT_FALSE(g.Vigiar(false, false));
    r.Avancar(9900);
    EXPECT_FALSE(g.Vigiar(false, true));
    r.Avancar(100);
    EXPECT_TRUE(g.Vigiar(false, true));
    EXPECT_TRUE(g.EsperandoMusicas());
    g.Zerar();
    EXPECT_FALSE(g.EsperandoMusicas());
}

TEST(Guardas, VolumeChegaAoDiscoDoisSegundosDepoisDaPrimeiraMudanca) {
    TRelogioFalso r;
    TGuardas g(r);
    g.VolumeMudou(false);
    r.Avancar(5000);
    EXPECT_FALSE(g.SalvarVolumeAgora());
    g.VolumeMudou(true);
    // Changes every 500 ms do not push the save away.
    for (int i = 0; i < 3; ++i) {
        r.Avancar(500);
        g.VolumeMudou(true);
        EXPECT_FALSE(g.SalvarVolumeAgora());
    }
    r.Avancar(500);
    EXPECT_TRUE(g.SalvarVolumeAgora());
    EXPECT_FALSE(g.SalvarVolumeAgora());
    g.VolumeMudou(true);
    g.VolumeSalvo();
    r.Avancar(3000);
    EXPECT_FALSE(g.SalvarVolumeAgora());
}

// The reader reads jingles, then advertisements, then music; a newer reading
// makes the older one's batches land nowhere.
TEST(LeitorDuracoes, OrdemDeLeituraEGeracoes) {
    TFilaSimples fila;
    std::mutex trava;
    std::condition_variable sinal;
    bool liberado = false;
    V lidos;
    int lotes = 0;
    bool musicas = false;
    TLeitorDuracoes leitor(
        fila,
        [&](const std::string& AArquivo) {
            std::unique_lock l(trava);
            lidos.push_back(AArquivo);
            if (AArquivo == "velho") {
                sinal.wait(l, [&] { return liberado; });
            }
            return static_cast<std::int32_t>(AArquivo.size() * 1000);
        },
        [&](bool AMusicas) {
            ++lotes;
            musicas = musicas || AMusicas;
        });

    leitor.Ler({"velho"}, {}, {"x"});
    leitor.Ler({"va", ""}, {"a1"}, {"m1", "m22"});
    EXPECT_EQ(leitor.Musicas(), (std::vector<std::int32_t>{-1, -1}));
    EXPECT_EQ(leitor.Total(), -1);
    {
        std::lock_guard l(trava);
        liberado = true;
    }
    sinal.notify_all();
    const auto prazo = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (leitor.Total() < 0 && fila.EsperarAte(prazo)) {
        fila.Drenar();
    }
    EXPECT_EQ(leitor.Musicas(), (std::vector<std::int32_t>{2000, 3000}));
    EXPECT_EQ(leitor.Total(), 5000);
    EXPECT_EQ(leitor.Conhecida("va"), 2000);
    EXPECT_EQ(leitor.Conhecida("a1"), 2000);
    EXPECT_EQ(leitor.Conhecida("x"), -1);  // the superseded reading's
    EXPECT_TRUE(musicas);
    std::lock_guard l(trava);
    const auto va = std::find(lidos.begin(), lidos.end(), "va");
    ASSERT_NE(va, lidos.end());
    EXPECT_EQ(V(va, lidos.end()), (V{"va", "a1", "m1", "m22"}));
}

// Equal power: halfway through a crossfade both players stand at cos/sin of
// a quarter turn, so the sum of their squares keeps the level.
TEST(Niveis, CruzamentoDePotenciaConstante) {
    TRelogioFalso r;
    TDispositivoFalso d(r);
    d.DuracoesConhecidas["um"] = 10000;
    d.DuracoesConhecidas["dois"] = 9000;
    TConfiguracoes c;
    c.TransicaoSegundos = 4;
    TNiveis n(r, d, c);
    n.DefinirVolume(80);
    ASSERT_TRUE(n.Atual().Tocar("um"));
    n.Aplicar(1.0, 1.0);
    EXPECT_EQ(n.Atual().Volume(), 80);
    // A third of the shorter item bounds the crossfade.
    EXPECT_EQ(n.DuracaoTransicao(10000, 9000), 3000);
    EXPECT_EQ(n.DuracaoTransicao(600, 0), 0);

    r.Avancar(6000);  // 4 s left, more than the 3 s crossfade
    EXPECT_EQ(n.FimDoItem([] { return std::optional<std::int32_t>(9000); }).Transicao, -1);
    r.Avancar(1000);
    const auto fim = n.FimDoItem([] { return std::optional<std::int32_t>(9000); });
    ASSERT_EQ(fim.Transicao, 3000);
    n.ComecarTransicao(fim.Transicao);
    ASSERT_TRUE(n.Atual().Tocar("dois"));
    ASSERT_NE(n.Saindo(), nullptr);
    EXPECT_EQ(n.Saindo()->Arquivo(), "um");
    r.Avancar(1500);
    n.Aplicar(1.0, 1.0);
    const double meio = 80 * std::cos(std::numbers::pi / 4);
    EXPECT_NEAR(n.Saindo()->Volume(), meio, 1.0);
    EXPECT_NEAR(n.Atual().Volume(), meio, 1.0);
    // The announcer's ducking lowers both.
    n.Aplicar(0.5, 1.0);
    EXPECT_NEAR(n.Atual().Volume(), meio / 2, 1.0);
    r.Avancar(1500);
    n.Aplicar(1.0, 1.0);
    EXPECT_EQ(n.Saindo(), nullptr);
    EXPECT_EQ(n.Atual().Volume(), 80);

    // Nothing after it: the last seconds fade out instead.
    r.Avancar(4500);  // 1.5 s of "dois" left of a 3 s fade
    const auto ultimo = n.FimDoItem([] { return std::optional<std::int32_t>(); });
    EXPECT_EQ(ultimo.Transicao, -1);
    EXPECT_NEAR(ultimo.Saida, std::sin(std::numbers::pi / 4), 1e-9);
}
