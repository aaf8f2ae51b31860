#include <gtest/gtest.h>

#include "apoio/uArmazenamentoLento.h"
#include "comum/uIni.h"
#include "programa/uAmbienteProgramacao.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

// Stereo 997 Hz tones measure 20 log10(amplitude) LUFS.
void Tom(TAmbienteProgramacao& A, const std::string& ACaminho, double AAmplitude) {
    GerarTom(A.Pasta(ACaminho), 4, 997, AAmplitude, {"-c:a", "pcm_s16le"});
}

}  // namespace

// The first measured music sets the reference (saved at once); an
// advertisement is levelled to it but never moves it; gains are limited to
// +10 and -15 dB and the device volume to 1000.
TEST(Ganho, ReferenciaELimites) {
    TAmbienteProgramacao a;
    Tom(a, "musicas/1 referencia.wav", 0.1);  // -20 LUFS
    Tom(a, "musicas/2 baixinha.wav", 0.01);   // -40: +20 wanted, +10 given
    Tom(a, "musicas/3 alta.wav", 0.794);      // -2: -18 wanted, -15 given
    Tom(a, "propagandas/p alta.wav", 0.5);    // -6
    a.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = a.Pasta("musicas");
        c.PastaPropagandas = a.Pasta("propagandas");
        c.MusicasEntrePropagandas = 1;
        c.PropagandasPorIntervalo = 1;
        c.TransicaoSegundos = 0;
        c.VolumeAutomatico = true;
        c.ReferenciaVolume = -999;
    });
    TPrograma& p = a.Criar();
    // Measured on the worker; each start then finds its file measured.
    ASSERT_TRUE(a.EsperarAte([&] {
        for (const char* f : {"musicas/1 referencia.wav",
                              "musicas/2 baixinha.wav",
                              "musicas/3 alta.wav",
                              "propagandas/p alta.wav"}) {
            if (!p.VolumeAuto().Medida(a.Pasta(f))) {
                return false;
            }
        }
        return true;
    }));
    p.Tocar();
    ASSERT_EQ(a.Tocados().back(), "1 referencia");
    EXPECT_NEAR(p.Config().ReferenciaVolume, -20.0, 0.05);
    EXPECT_EQ(p.Config().ReferenciaNome, "1 referencia");
    const auto ini = TArquivoIni::Interpretar(LerArquivo(a.Pasta("dados/config.ini")));
    EXPECT_EQ(ini.Ler("Geral", "ReferenciaNome"), "1 referencia");  // saved at once
    EXPECT_EQ(a.Visao.Tipo, "●  TOCANDO AGORA   ·   VOLUME AUTO: REFERÊNCIA");
    EXPECT_EQ(a.Dispositivo.Aliases.begin()->second.Volume, 800);  // the reference: gain 1

    a.Avancar(4100);
    ASSERT_EQ(a.Tocados().back(), "p alta");
    EXPECT_NEAR(p.LoudnessAtual(), -6.02, 0.05);
    EXPECT_NEAR(p.Niveis().AjusteAtual(), -13.98, 0.05);
    EXPECT_NEAR(p.Config().ReferenciaVolume, -20.0, 0.05);

    a.Avancar(4100);
    ASSERT_EQ(a.Tocados().back(), "2 baixinha");
    EXPECT_NEAR(p.Niveis().AjusteAtual(), 10.0, 1e-9);
    EXPECT_EQ(a.Visao.Tipo, "●  TOCANDO AGORA   ·   VOLUME AUTO +10,0 dB");
    EXPECT_EQ(a.Dispositivo.Aliases.begin()->second.Volume, 1000);  // 800 x 3.16, capped

    a.Avancar(8200);
    ASSERT_EQ(a.Tocados().back(), "3 alta");
    EXPECT_NEAR(p.Niveis().AjusteAtual(), -15.0, 1e-9);
    EXPECT_EQ(a.Visao.Tipo,
              "●  TOCANDO AGORA   ·   VOLUME AUTO \u22121"
              "5,0 dB");
    EXPECT_EQ(a.Dispositivo.Aliases.begin()->second.Volume, 142);  // 800 x 0.178
}

TEST(Ganho, DesligadoNaoMedeNemMuda) {
    TAmbienteProgramacao a;
    Tom(a, "musicas/a.wav", 0.01);
    a.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = a.Pasta("musicas");
        c.VolumeAutomatico = false;
    });
    TPrograma& p = a.Criar();
    p.Tocar();
    EXPECT_EQ(p.LoudnessAtual(), -999);
    EXPECT_TRUE(a.Visao.Ocupado.empty());
    EXPECT_EQ(a.Visao.Tipo, "●  TOCANDO AGORA");
    EXPECT_EQ(a.Dispositivo.Aliases.begin()->second.Volume, 800);
    EXPECT_EQ(p.VolumeAuto().Pendentes(), 0u);
}

// A file not measured yet used to be decoded whole on the main thread when it
// started (a file on a slow share held the music for its whole read). It
// starts as it is, and its gain follows when the worker delivers it.
TEST(Ganho, MedidaQueChegaDepoisEhAplicada) {
    std::string motivo;
    if (!TArmazenamentoLento::Disponivel(&motivo)) {
        GTEST_SKIP() << motivo;
    }
    TAmbienteProgramacao a;
    Tom(a, "origem/1 referencia.wav", 0.1);  // -20 LUFS
    Tom(a, "origem/2 baixinha.wav", 0.01);   // -40: +10 given
    TArmazenamentoLento lento(a.Pasta("origem"), a.Pasta("musicas"));
    ASSERT_TRUE(lento.Montado()) << lento.Erro();
    ASSERT_TRUE(lento.BloquearLer("2 baixinha.wav"));
    a.Dispositivo.DuracoesConhecidas[a.Pasta("musicas/2 baixinha.wav")] = 4000;
    a.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = a.Pasta("musicas");
        c.TransicaoSegundos = 0;
        c.VolumeAutomatico = true;
        c.ReferenciaVolume = -20;
        c.ReferenciaNome = "1 referencia";
    });
    TPrograma& p = a.Criar();
    p.TocarLinha(1);
    ASSERT_EQ(a.Tocados().back(), "2 baixinha");
    EXPECT_EQ(p.LoudnessAtual(), -999);
    const auto& alias = a.Dispositivo.Aliases.begin()->second;
    EXPECT_EQ(alias.Volume, 800);
    a.Avancar(1000);
    EXPECT_EQ(alias.Volume, 800);  // still unmeasured: the share holds the file

    ASSERT_TRUE(lento.Liberar("2 baixinha.wav"));
    ASSERT_TRUE(a.EsperarAte([&] { return p.LoudnessAtual() > -999; }));
    EXPECT_NEAR(p.LoudnessAtual(), -40.0, 0.1);
    EXPECT_NEAR(p.Niveis().AjusteAtual(), 10.0, 1e-9);
    EXPECT_EQ(alias.Volume, 1000);
    EXPECT_EQ(a.Visao.Tipo, "●  TOCANDO AGORA   ·   VOLUME AUTO +10,0 dB");
    EXPECT_NEAR(p.Config().ReferenciaVolume, -20.0, 1e-9);  // a measured song keeps it
    a.Programa.reset();
}
