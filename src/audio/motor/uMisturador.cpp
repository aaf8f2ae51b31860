#include "audio/motor/uMisturador.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "audio/motor/uGravadorWav.h"

namespace ljsn {

namespace {
constexpr std::size_t kQuadrosBloco = 1024;  // the mixer works in slices of this
constexpr int kMaxComandosPorBloco = 64;     // a burst cannot stretch one callback
}  // namespace

TMisturador::TMisturador(int ATaxa)
    : FTaxa(ATaxa),
      FComandos(1024),
      FAposentados(1024),
      FFala(ATaxa),
      FMistura(kQuadrosBloco * 2),
      FTemp(kQuadrosBloco * 2) {
    for (auto& c : FCanais) {
        c.Volume = TRampaGanho(ATaxa / 10);     // one tick: targets arrive every 100 ms
        c.Declique = TRampaGanho(ATaxa / 200);  // 5 ms against clicks
        c.Volume.Reiniciar(1.0f);
        c.Declique.Reiniciar(0.0f);
    }
}

TMisturador::~TMisturador() {
    // The output no longer calls Renderizar: everything is ours to free.
    TComandoMotor comando;
    while (FComandos.Ler(comando)) {
        delete comando.Fluxo;
    }
    for (auto& c : FCanais) {
        delete c.Fluxo;
        delete c.FluxoNovo;
    }
    TFluxo* fluxo = nullptr;
    while (FAposentados.Ler(fluxo)) {
        delete fluxo;
    }
}

TContadoresMotor TMisturador::Contadores() const {
    return {FFaltas.load(std::memory_order_relaxed),
            FSaturadas.load(std::memory_order_relaxed),
            FGravacaoPerdida.load(std::memory_order_relaxed)};
}

void TMisturador::Aposentar(TFluxo* AFluxo) {
    // The ring holds far more streams than can be retired between two main-thread
    // collections; were it ever full, leaking beats freeing on this thread.
    if (AFluxo != nullptr) {
        FAposentados.Escrever(AFluxo);
    }
}

void TMisturador::InstalarFluxo(TCanal& ACanal, TFluxo* AFluxo, std::uint32_t ASeq) {
    Aposentar(ACanal.Fluxo);
    ACanal.Fluxo = AFluxo;
    ACanal.EmFalta = false;
    ACanal.Posicao.store(AFluxo->QuadroInicial(), std::memory_order_relaxed);
    ACanal.Fim.store(false, std::memory_order_relaxed);
    ACanal.SeqFluxo.store(ASeq, std::memory_order_release);
}

void TMisturador::AplicarComandos() {
    TComandoMotor comando;
    for (int i = 0; i < kMaxComandosPorBloco && FComandos.Ler(comando); ++i) {
        Aplicar(comando);
    }
}

void TMisturador::Aplicar(const TComandoMotor& AComando) {
    using T = TComandoMotor::TTipo;
    TCanal& c = FCanais[AComando.Canal];
    switch (AComando.Tipo) {
        case T::tcAnexar:
            Aposentar(c.FluxoNovo);
            c.FluxoNovo = nullptr;
            c.Pendente = TPendente::pnNada;
            c.Tocando = false;
            c.TocarDepois = false;
            c.Volume.Reiniciar(1.0f);
            c.Declique.Reiniciar(0.0f);
            InstalarFluxo(c, AComando.Fluxo, AComando.Seq);
            break;
        case T::tcTocar:
            if (c.Fluxo == nullptr || c.Pendente == TPendente::pnFechar) {
                break;
            }
            if (c.Pendente == TPendente::pnTrocar) {
                c.TocarDepois = true;
            } else {
                c.Pendente = TPendente::pnNada;
                c.Tocando = true;
                c.Declique.DefinirAlvo(1.0f);  // from wherever a pause ramp stood
            }
            break;
        case T::tcPausar:
            if (c.Pendente == TPendente::pnTrocar) {
                c.TocarDepois = false;
            } else if (c.Tocando && c.Pendente == TPendente::pnNada) {
                c.Pendente = TPendente::pnPausar;
                c.Declique.DefinirAlvo(0.0f);
            }
            break;
        case T::tcFechar:
            if (c.Tocando && c.Declique.Atual() > 0.0f) {
                c.Pendente = TPendente::pnFechar;
                c.Declique.DefinirAlvo(0.0f);
            } else {
                c.Pendente = TPendente::pnFechar;
                AplicarPendente(c);
            }
            break;
        case T::tcVolume:
            c.Volume.DefinirAlvo(AComando.Valor);
            break;
        case T::tcVolumeJa:
            c.Volume.Reiniciar(AComando.Valor);
            break;
        case T::tcTrocarFluxo:
            if (c.Pendente == TPendente::pnTrocar) {
                Aposentar(c.FluxoNovo);
            }
            c.FluxoNovo = AComando.Fluxo;
            c.SeqNovo = AComando.Seq;
            c.TocarDepois = false;
            if (c.Pendente == TPendente::pnFechar) {
                // Closing wins; the new stream goes straight back.
                Aposentar(c.FluxoNovo);
                c.FluxoNovo = nullptr;
                break;
            }
            c.Pendente = TPendente::pnTrocar;
            if (c.Tocando && c.Declique.Atual() > 0.0f) {
                c.Declique.DefinirAlvo(0.0f);
            } else {
                AplicarPendente(c);
            }
            break;
    }
}

void TMisturador::AplicarPendente(TCanal& ACanal) {
    switch (ACanal.Pendente) {
        case TPendente::pnNada:
            break;
        case TPendente::pnPausar:
            ACanal.Tocando = false;
            break;
        case TPendente::pnFechar:
            ACanal.Tocando = false;
            Aposentar(ACanal.Fluxo);
            Aposentar(ACanal.FluxoNovo);
            ACanal.Fluxo = nullptr;
            ACanal.FluxoNovo = nullptr;
            break;
        case TPendente::pnTrocar:
            InstalarFluxo(ACanal, ACanal.FluxoNovo, ACanal.SeqNovo);
            ACanal.FluxoNovo = nullptr;
            ACanal.Tocando = ACanal.TocarDepois;
            ACanal.Declique.Reiniciar(0.0f);
            if (ACanal.Tocando) {
                ACanal.Declique.DefinirAlvo(1.0f);
            }
            break;
    }
    ACanal.Pendente = TPendente::pnNada;
    ACanal.TocarDepois = false;
}

void TMisturador::MisturarCanal(TCanal& ACanal, float* AMistura, std::size_t AQuadros) {
    std::size_t pos = 0;
    while (pos < AQuadros) {
        if (ACanal.Fluxo == nullptr || (!ACanal.Tocando && ACanal.Pendente == TPendente::pnNada)) {
            return;
        }
        if (!ACanal.Tocando) {
            // A pending swap or close on a silent channel takes effect at once.
            AplicarPendente(ACanal);
            continue;
        }
        std::size_t trecho = AQuadros - pos;
        if (!ACanal.Declique.Parada()) {
            trecho = std::min(trecho, ACanal.Declique.Restantes());
        }
        float* temp = FTemp.data();
        const std::size_t lidos = ACanal.Fluxo->Ler(temp, trecho);
        if (lidos < trecho) {
            if (!ACanal.Fluxo->Terminou()) {
                // Underrun: fade what we have, silence for the rest, count it.
                if (!ACanal.EmFalta) {
                    FFaltas.fetch_add(1, std::memory_order_relaxed);
                }
                ACanal.EmFalta = true;
                const std::size_t rampa = std::min<std::size_t>(lidos, 64);
                for (std::size_t i = 0; i < rampa; ++i) {
                    const float g = static_cast<float>(rampa - i) / static_cast<float>(rampa + 1);
                    temp[(lidos - rampa + i) * 2] *= g;
                    temp[(lidos - rampa + i) * 2 + 1] *= g;
                }
            } else if (ACanal.Fluxo->Esgotado()) {
                ACanal.Fim.store(true, std::memory_order_relaxed);
            }
            std::fill(temp + lidos * 2, temp + trecho * 2, 0.0f);
        } else if (ACanal.EmFalta) {
            // Data is back: rise from silence instead of jumping.
            ACanal.EmFalta = false;
            const std::size_t rampa = std::min<std::size_t>(lidos, 64);
            for (std::size_t i = 0; i < rampa; ++i) {
                const float g = static_cast<float>(i + 1) / static_cast<float>(rampa + 1);
                temp[i * 2] *= g;
                temp[i * 2 + 1] *= g;
            }
        }
        // Only this thread writes the position.
        ACanal.Posicao.store(
            ACanal.Posicao.load(std::memory_order_relaxed) + static_cast<std::int64_t>(lidos),
            std::memory_order_relaxed);
        float* destino = AMistura + pos * 2;
        for (std::size_t q = 0; q < trecho; ++q) {
            const float g = ACanal.Volume.Avancar() * ACanal.Declique.Avancar();
            destino[q * 2] += temp[q * 2] * g;
            destino[q * 2 + 1] += temp[q * 2 + 1] * g;
        }
        pos += trecho;
        if (ACanal.Pendente != TPendente::pnNada && ACanal.Declique.Parada() &&
            ACanal.Declique.Atual() <= 0.0f) {
            AplicarPendente(ACanal);
        }
    }
}

void TMisturador::RenderizarBloco(float* ASaida, std::size_t AQuadros) {
    float* mistura = FMistura.data();
    std::fill(mistura, mistura + AQuadros * 2, 0.0f);
    for (auto& canal : FCanais) {
        if (canal.Fluxo != nullptr) {
            MisturarCanal(canal, mistura, AQuadros);
        }
    }
    FFala.Misturar(mistura, FTemp.data(), AQuadros);
    std::uint64_t saturadas = 0;
    float pico = 0.0f;
    for (std::size_t i = 0; i < AQuadros * 2; ++i) {
        float v = mistura[i];
        if (v > 1.0f || v < -1.0f) {
            ++saturadas;
            v = std::clamp(v, -1.0f, 1.0f);
        }
        pico = std::max(pico, std::abs(v));
        ASaida[i] = v;
    }
    // The running peak the main thread takes (and resets) for the dead-air
    // guard: only this thread raises it.
    if (pico > FPicoSaida.load(std::memory_order_relaxed)) {
        FPicoSaida.store(pico, std::memory_order_relaxed);
    }
    if (saturadas > 0) {
        FSaturadas.fetch_add(saturadas, std::memory_order_relaxed);
    }
    if (TGravadorWav* gravador = FGravador.load(std::memory_order_relaxed)) {
        const std::size_t aceitos =
            gravador->Escrever(std::span<const float>(ASaida, AQuadros * 2));
        if (aceitos < AQuadros) {
            FGravacaoPerdida.fetch_add(AQuadros - aceitos, std::memory_order_relaxed);
        }
    }
}

void TMisturador::Renderizar(std::span<float> ASaida) {
    if (!FFtzDefinido) {
        // Denormals in long decays cost a lot of CPU; flush them to zero.
#if defined(__SSE__)
        _mm_setcsr(_mm_getcsr() | 0x8040);
#endif
        FFtzDefinido = true;
    }
    AplicarComandos();
    std::size_t feito = 0;
    const std::size_t total = ASaida.size() / 2;
    while (feito < total) {
        const std::size_t n = std::min(kQuadrosBloco, total - feito);
        RenderizarBloco(ASaida.data() + feito * 2, n);
        feito += n;
    }
}

void TMisturador::RenderizarAguardando(std::span<float> ASaida) {
    AguardarDados(ASaida.size() / 2);
    Renderizar(ASaida);
}

void TMisturador::AguardarDados(std::size_t AQuadros) {
    AplicarComandos();
    const std::size_t quadros = AQuadros;
    for (auto& c : FCanais) {
        if (c.Fluxo != nullptr && c.Tocando) {
            c.Fluxo->EsperarDados(quadros);
        }
    }
    FFala.EsperarDados(quadros);
}

}  // namespace ljsn
