// The announcer's voice, measured: synthesis speed of the espeak-ng facade
// (seconds of speech made per second), the latency from a request to its
// first samples reaching the mixer, and the delay from Anunciar to the first
// speech sample in the mix with the descent of the music included.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "audio/motor/uMotor.h"
#include "audio/motor/uSaida.h"
#include "comum/uRelogio.h"
#include "locutor/uLocutor.h"
#include "locutor/voz/uVozEspeak.h"

using namespace ljsn;
using Relogio = std::chrono::steady_clock;

namespace {

class TRelogioManual final : public TRelogio {
  public:
    std::uint32_t Tique() const override { return FTique; }
    double Agora() const override { return 0; }
    std::uint32_t FTique = 0;
};

}  // namespace

int main() {
    const int taxa = TMotor::kTaxaPadrao;
    std::string texto;
    for (int i = 0; i < 40; ++i) {
        texto += "Atenção, clientes: hoje temos ofertas especiais em todos os corredores da loja. ";
    }
    const std::string xml = "<pitch absmiddle=\"0\">" + texto + "</pitch>";

    {
        // Synthesis speed: the mixer drains the speech as fast as it comes.
        TMotor motor;
        TFabricaVozEspeak fabrica(motor);
        auto voz = fabrica.Criar();
        if (!voz) {
            std::fprintf(stderr, "espeak-ng indisponivel\n");
            return 1;
        }
        // The first text also loads espeak's phoneme tables and dictionary.
        const auto inicioFrio = Relogio::now();
        voz->Falar("<pitch absmiddle=\"0\">aquecimento</pitch>", kFalaAssincrona | kFalaXml);
        double primeiroFrio = -1;
        std::vector<float> bloco(4096 * 2);
        while (!voz->Terminou()) {
            if (primeiroFrio < 0 && motor.FalaEscrita() > 0) {
                primeiroFrio = std::chrono::duration<double>(Relogio::now() - inicioFrio).count();
            }
            motor.RenderizarAguardando(bloco);
        }
        std::printf("latencia da primeira fala (carregando os dados do espeak): %.1f ms\n",
                    primeiroFrio * 1000);
        const std::uint64_t antes = motor.FalaConsumida();
        const auto inicio = Relogio::now();
        voz->Falar(xml, kFalaAssincrona | kFalaXml);
        double primeiro = -1;
        while (!voz->Terminou()) {
            if (primeiro < 0 && motor.FalaEscrita() > antes) {
                primeiro = std::chrono::duration<double>(Relogio::now() - inicio).count();
            }
            if (motor.FalaEscrita() == motor.FalaConsumida()) {
                std::this_thread::yield();
            }
            motor.Renderizar(bloco);
        }
        const double s = std::chrono::duration<double>(Relogio::now() - inicio).count();
        const double audio = static_cast<double>(motor.FalaConsumida() - antes) / taxa;
        std::printf("sintese: %.1f s de fala em %.3f s = %.0fx tempo real\n", audio, s, audio / s);
        std::printf("latencia do pedido ate as primeiras amostras: %.1f ms\n", primeiro * 1000);
    }
    {
        // From Anunciar to the first speech sample in the mix, in audio time:
        // the announcer ticks every 100 ms and each tick renders 100 ms.
        TMotor motor;
        TSaidaOffline saida(motor);
        TFabricaVozEspeak fabrica(motor);
        TRelogioManual relogio;
        TLocutor locutor(fabrica, relogio);
        locutor.DefinirNomeVoz("Português (Brasil)");
        locutor.Anunciar("Bom dia!", TTipoFala::tfChamada);
        std::size_t quadros = 0;
        std::size_t primeiro = 0;
        for (int tick = 0; tick < 100 && primeiro == 0; ++tick) {
            relogio.FTique += 100;
            locutor.Processar(100);
            const auto s = saida.RenderizarQuadros(taxa / 10, 441);
            for (std::size_t i = 0; i < s.size() / 2; ++i) {
                if (std::abs(s[i * 2]) > 1e-4f) {
                    primeiro = quadros + i;
                    break;
                }
            }
            quadros += s.size() / 2;
        }
        std::printf(
            "de Anunciar a primeira amostra de fala na mistura: %.0f ms (descida de %d ms)\n",
            1000.0 * static_cast<double>(primeiro) / taxa,
            locutor.TempoFade());
    }
    return 0;
}
