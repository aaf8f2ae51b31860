#include <gtest/gtest.h>

#include "apoio/uSinais.h"
#include "audio/motor/uMotor.h"
#include "audio/motor/uSaida.h"
#include "locutor/voz/uVozEspeak.h"
#include "programa/uAmbienteProgramacao.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {
constexpr int kTaxa = TMotor::kTaxaPadrao;
constexpr std::size_t kQuadrosTick = kTaxa / 10;
}  // namespace

// Real espeak-ng through the offline engine: a 1 kHz tone plays as music and a
// call is queued. The tone falls to VolumeFundo within 2 s, speech sounds
// while it is down, and the tone is back at full level about 2 s after the
// speech ends.
TEST(LocucaoReal, MusicaAbaixaEnquantoOLocutorFala) {
    // The engine and the voice outlive the programme that uses them.
    TMotor motor;
    TSaidaOffline saida(motor);
    TFabricaVozEspeak voz(motor);
    TAmbienteProgramacao a;
    GerarTom(a.Pasta("musicas/tom.wav"), 60, 1000, 0.5, {"-c:a", "pcm_f32le"}, kTaxa);
    a.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = a.Pasta("musicas");
        c.Volume = 100;
        c.VolumeAutomatico = false;
        c.Voz = "Português (Brasil)";
        c.VolumeFundo = 20;
        c.VolumesFala[IndiceFala(TTipoFala::tfChamada)] = 100;
    });
    TPrograma& p = a.Construir(motor, voz);
    p.Tocar();

    struct TTick {
        double Tom;
        double Resto;  // what is not the tone: the speech
        TFaseLocutor Fase;
    };
    std::vector<TTick> ticks;
    auto rodar = [&](int AMs) {
        a.Avancar(AMs, [&] {
            const auto s = saida.RenderizarQuadros(kQuadrosTick, 1024);
            const double tom = AmplitudeFrequencia(s, 2, 0, 0, kQuadrosTick, 1000, kTaxa);
            const double total = Rms(s, 2, 0, 0, kQuadrosTick);
            const double resto = std::sqrt(std::max(0.0, total * total - tom * tom / 2));
            ticks.push_back({tom, resto, p.Locutor().Fase()});
        });
    };
    rodar(3000);
    EXPECT_NEAR(ticks.back().Tom, 0.5, 0.01);
    const std::size_t pedido = ticks.size();
    p.FalarAgora("Atenção, cliente do carro de placa ABC 1234, dirija-se ao caixa.");
    rodar(15000);

    // Down to 20 % within 2 s of the request (and the ramp of one more tick).
    const std::size_t abaixo = pedido + 21;
    EXPECT_NEAR(ticks[abaixo].Tom, 0.1, 0.01);
    // Speech while the music is down.
    std::size_t comFala = 0;
    std::size_t fimFala = 0;
    double somaTom = 0;
    std::size_t falando = 0;
    for (std::size_t i = abaixo; i < ticks.size(); ++i) {
        if (ticks[i].Fase == TFaseLocutor::flFalando) {
            comFala += ticks[i].Resto > 0.02 ? 1 : 0;
            somaTom += ticks[i].Tom;
            ++falando;
            fimFala = i;
        }
    }
    EXPECT_GT(comFala, 15u);  // more than 1.5 s of speech
    // Speech has some energy near 1 kHz, so the tone is judged on average.
    ASSERT_GT(falando, 0u);
    EXPECT_NEAR(somaTom / static_cast<double>(falando), 0.1, 0.01);
    ASSERT_GT(fimFala, 0u);
    // Back at full level about 2 s after the speech ended.
    ASSERT_LT(fimFala + 23, ticks.size());
    EXPECT_LT(ticks[fimFala + 10].Tom, 0.45);
    EXPECT_NEAR(ticks[fimFala + 23].Tom, 0.5, 0.01);
    EXPECT_LT(ticks[fimFala + 23].Resto, 0.005);
}
