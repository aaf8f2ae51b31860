#include <cmath>

#include <gtest/gtest.h>

#include "programa/uAmbienteProgramacao.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

class Transicoes : public testing::Test {
  protected:
    TPrograma& Preparar(const std::vector<std::pair<std::string, int>>& AMusicas,
                        int ASegundos = 8,
                        const std::function<void(TConfiguracoes&)>& AExtra = nullptr) {
        for (const auto& [nome, ms] : AMusicas) {
            A.CriarArquivos("musicas", {nome}, ms);
        }
        A.Configurar([&](TConfiguracoes& c) {
            c.PastaMusicas = A.Pasta("musicas");
            c.TransicaoSegundos = ASegundos;
            if (AExtra) {
                AExtra(c);
            }
        });
        TPrograma& p = A.Criar();
        // Transition lengths come from the files' lengths.
        A.EsperarDuracoes();
        return p;
    }
    // The ms in the last TRANSICAO line, or -1.
    int UltimaTransicao() const {
        const auto linhas = A.LinhasDoLog("TRANSICAO");
        if (linhas.empty()) {
            return -1;
        }
        const auto& l = linhas.back();
        const auto em = l.rfind(" em ");
        return std::stoi(l.substr(em + 4));
    }
    TAmbienteProgramacao A;
};

}  // namespace

// 240 s then 180 s with 8 s: the crossfade starts on the first tick with
// 8000 ms or less left, lasts that long, and is equal-power.
TEST_F(Transicoes, CruzamentoNoFimDaFaixa) {
    TPrograma& p = Preparar({{"a.wav", 240000}, {"b.wav", 180000}});
    p.Tocar();
    A.Avancar(231900);
    EXPECT_TRUE(A.LinhasDoLog("TRANSICAO").empty());
    A.Avancar(100);
    ASSERT_EQ(A.LinhasDoLog("TRANSICAO").size(), 1u);
    EXPECT_EQ(A.LinhasDoLog("TRANSICAO")[0], "de \"a\" para \"b\" em 8000 ms");
    A.Avancar(4000);  // halfway: both at cos = sin of 45 degrees
    const auto* sai = A.Dispositivo.Alias("musica");
    const auto* entra = A.Dispositivo.Alias("musica2");
    ASSERT_TRUE(sai && entra);
    EXPECT_EQ(sai->Volume, 570);
    EXPECT_EQ(entra->Volume, 570);
    // Over the fade the two levels keep the power: cos^2 + sin^2 = 1.
    for (std::size_t i = 0; i < std::min(sai->Volumes.size(), entra->Volumes.size()); ++i) {
        const double s = sai->Volumes[sai->Volumes.size() - 1 - i] / 800.0;
        const double e = entra->Volumes[entra->Volumes.size() - 1 - i] / 800.0;
        EXPECT_NEAR(s * s + e * e, 1.0, 0.08);
    }
    A.Avancar(4100);
    EXPECT_EQ(A.Dispositivo.Alias("musica"), nullptr);  // the outgoing player closed
    EXPECT_EQ(A.Dispositivo.Alias("musica2")->Volume, 800);
}

// A 12 s jingle next: the transition takes a third of it.
TEST_F(Transicoes, UmTercoDeUmaVinhetaCurta) {
    A.CriarArquivos("propagandas", {"p.wav"}, 20000);
    A.CriarArquivos("vinhetas", {"v.wav"}, 12000);
    TPrograma& p = Preparar({{"a.wav", 60000}}, 8, [&](TConfiguracoes& c) {
        c.PastaPropagandas = A.Pasta("propagandas");
        c.VinhetaAntes = A.Pasta("vinhetas/v.wav");
        c.MusicasEntrePropagandas = 1;
    });
    p.Tocar();
    A.Avancar(60000);
    EXPECT_EQ(UltimaTransicao(), 4000);
    EXPECT_EQ(A.Tocados(), (std::vector<std::string>{"a", "v"}));
}

// Items shorter than 0.9 s get no transition: they end hard.
TEST_F(Transicoes, ItensCurtosSemTransicao) {
    TPrograma& p = Preparar({{"a.wav", 800}, {"b.wav", 800}});
    p.Tocar();
    A.Avancar(3000);
    EXPECT_TRUE(A.LinhasDoLog("TRANSICAO").empty());
    EXPECT_GE(A.Tocados().size(), 3u);
}

// "Próxima" while playing: a quick crossfade of at most 3 s, or a third of
// a shorter next file; with transitions off it switches at once.
TEST_F(Transicoes, ProximaRapida) {
    TPrograma& p = Preparar({{"a.wav", 60000}, {"b.wav", 180000}, {"c.wav", 6000}});
    p.Tocar();
    A.Avancar(5000);
    p.Proxima();
    EXPECT_EQ(UltimaTransicao(), 3000);
    A.Avancar(5000);
    p.Proxima();  // c is 6 s long: 2000 ms
    EXPECT_EQ(UltimaTransicao(), 2000);
}

TEST_F(Transicoes, SemTransicaoQuandoDesligada) {
    TPrograma& p = Preparar({{"a.wav", 20000}, {"b.wav", 20000}}, 0);
    p.Tocar();
    A.Avancar(5000);
    p.Proxima();
    EXPECT_EQ(A.Tocados(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(A.Dispositivo.Alias("musica2"), nullptr);  // never a second player
    A.Avancar(20000);
    EXPECT_TRUE(A.LinhasDoLog("TRANSICAO").empty());
    EXPECT_EQ(A.Dispositivo.Alias("musica")->Volumes.back(), 800);  // no end fade
}

// The category's base volume times the ducking factor: an advertisement at
// 80 under 0.2 plays at 16; the slider changes songs only.
TEST_F(Transicoes, VolumeDaCategoriaSobOFator) {
    A.CriarArquivos("propagandas", {"p.wav"}, 20000);
    TPrograma& p = Preparar({{"a.wav", 20000}}, 0, [&](TConfiguracoes& c) {
        c.PastaPropagandas = A.Pasta("propagandas");
        c.MusicasEntrePropagandas = 1;
        c.VolumePropagandas = 80;
        c.Volume = 50;
    });
    p.Tocar();
    p.AtualizarNiveis(0.2);
    EXPECT_EQ(A.Dispositivo.Alias("musica")->Volume, 100);  // 50 x 0.2 = 10
    A.Avancar(20100);
    ASSERT_EQ(A.Tocados().back(), "p");
    p.AtualizarNiveis(0.2);
    EXPECT_EQ(A.Dispositivo.Alias("musica")->Volume, 160);
    p.DefinirVolume(10);
    p.AtualizarNiveis(1.0);
    EXPECT_EQ(A.Dispositivo.Alias("musica")->Volume, 800);
}
