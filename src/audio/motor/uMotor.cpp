#include "audio/motor/uMotor.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "audio/motor/uComandoMidia.h"
#include "audio/motor/uDecodificador.h"
#include "audio/motor/uGravadorWav.h"
#include "comum/uTexto.h"

namespace ljsn {

// A stream that ended early: why, and at which frame. The decoder thread
// writes the text, then publishes with the flag; the main thread reads.
struct TMotor::TErroLeitura {
    std::atomic<bool> Houve{false};
    std::string Texto;
    std::int64_t Quadro = 0;
};

namespace {

// Watches a file source on its decoder thread: a read or decoding error, or
// an end well before the length the file declares (a truncated file), is
// noted for the main thread to log.
class TFonteVigiada final : public IFonteAudio {
  public:
    TFonteVigiada(std::unique_ptr<IFonteAudio> AFonte,
                  std::shared_ptr<TMotor::TErroLeitura> AEstado,
                  int ATaxa,
                  std::int64_t AQuadro)
        : FFonte(std::move(AFonte)), FEstado(std::move(AEstado)), FTaxa(ATaxa), FQuadro(AQuadro) {}
    std::size_t Ler(std::span<float> AQuadros) override {
        const std::size_t n = FFonte->Ler(AQuadros);
        FQuadro += static_cast<std::int64_t>(n);
        // A short read is the end (the stream reads no further).
        if (n < AQuadros.size() / 2 && !FVisto) {
            FVisto = true;
            std::string erro = FFonte->Erro();
            const std::int64_t duracao = FFonte->DuracaoMs();
            const std::int64_t lidoMs = FQuadro * 1000 / FTaxa;
            if (erro.empty() && duracao > 0 && lidoMs + kFaltaTolerada < duracao) {
                erro = "o arquivo acabou antes do fim declarado";
            }
            if (!erro.empty()) {
                FEstado->Texto = std::move(erro);
                FEstado->Quadro = FQuadro;
                FEstado->Houve.store(true, std::memory_order_release);
            }
        }
        return n;
    }
    bool Posicionar(std::int64_t AQuadro) override {
        FQuadro = AQuadro;
        return FFonte->Posicionar(AQuadro);
    }
    std::int64_t DuracaoMs() const override { return FFonte->DuracaoMs(); }
    std::string Erro() const override { return FFonte->Erro(); }

  private:
    // Length estimates of VBR files without an index are only approximate.
    static constexpr std::int64_t kFaltaTolerada = 3000;
    std::unique_ptr<IFonteAudio> FFonte;
    std::shared_ptr<TMotor::TErroLeitura> FEstado;
    int FTaxa;
    std::int64_t FQuadro;
    bool FVisto = false;
};

}  // namespace

struct TMotor::TAbertura {
    std::mutex Trava;
    std::condition_variable Sinal;
    bool Pronta = false;            // guarded by Trava
    std::unique_ptr<TFluxo> Fluxo;  // guarded by Trava; nothing when opening failed
    std::int64_t DuracaoMs = -1;    // guarded by Trava
    const std::chrono::steady_clock::time_point Inicio = std::chrono::steady_clock::now();
};

namespace {

constexpr std::size_t kQuadrosBloco = 1024;  // the mixer works in slices of this
constexpr int kMaxComandosPorBloco = 64;     // a burst cannot stretch one callback
// Decoded audio kept ahead per stream: 65 536 frames (1.5 s at 44.1 kHz), a
// power of two so the ring uses all it allocates.
constexpr std::size_t kQuadrosAnel = 65536;
constexpr double kSegundosPreenchimento = 0.2;
constexpr std::size_t kQuadrosFala = 131072;  // 3 s of speech ahead of the mixer

}  // namespace

TMotor::TMotor(int ATaxa)
    : FTaxa(ATaxa),
      FComandos(1024),
      FAposentados(1024),
      FFala(kQuadrosFala * 2),
      FMistura(kQuadrosBloco * 2),
      FTemp(kQuadrosBloco * 2),
      FDecliqueFala(ATaxa / 200) {
    FDecliqueFala.Reiniciar(1.0f);
    for (auto& c : FCanaisAudio) {
        c.Volume = TRampaGanho(ATaxa / 10);     // one tick: targets arrive every 100 ms
        c.Declique = TRampaGanho(ATaxa / 200);  // 5 ms against clicks
        c.Volume.Reiniciar(1.0f);
        c.Declique.Reiniciar(0.0f);
    }
}

TMotor::~TMotor() {
    // The output no longer calls Renderizar: everything is ours to free.
    TComandoMotor comando;
    while (FComandos.Ler(comando)) {
        delete comando.Fluxo;
    }
    for (auto& c : FCanaisAudio) {
        delete c.Fluxo;
        delete c.FluxoNovo;
    }
    TFluxo* fluxo = nullptr;
    while (FAposentados.Ler(fluxo)) {
        delete fluxo;
    }
}

// ---------------------------------------------------------------- main side

TContadoresMotor TMotor::Contadores() const {
    return {FFaltas.load(std::memory_order_relaxed),
            FSaturadas.load(std::memory_order_relaxed),
            FGravacaoPerdida.load(std::memory_order_relaxed)};
}

bool TMotor::Postar(TComandoMotor AComando) {
    AComando.Seq = FProximaSeq++;
    return FComandos.Escrever(AComando);
}

std::optional<std::uint32_t> TMotor::PostarFluxo(TComandoMotor::TTipo ATipo,
                                                 TAlias& AAlias,
                                                 std::unique_ptr<TFluxo> AFluxo) {
    const std::uint32_t seq = FProximaSeq;  // Postar numbers the command with it
    if (!Postar({ATipo, static_cast<std::uint8_t>(AAlias.Canal), 0, 0.0f, AFluxo.get()})) {
        return std::nullopt;
    }
    TFluxo* fluxo = AFluxo.release();
    FVagas[AAlias.Canal].FluxosVivos++;
    FCanalDoFluxo[fluxo] = AAlias.Canal;
    AAlias.Fluxo = fluxo;
    AAlias.SeqFluxo = seq;
    return seq;
}

void TMotor::DefinirLimites(std::chrono::milliseconds AEsperaAbertura,
                            std::chrono::milliseconds ATravamento) {
    FEsperaAbertura = AEsperaAbertura;
    FTravamento = ATravamento;
}

std::shared_ptr<TMotor::TAbertura> TMotor::Lancar(const std::string& AArquivo,
                                                  std::int64_t AQuadro,
                                                  std::shared_ptr<TErroLeitura> AErro) {
    auto abertura = std::make_shared<TAbertura>();
    auto abrir = [abertura,
                  arquivo = AArquivo,
                  AQuadro,
                  erro = std::move(AErro),
                  taxa = FTaxa,
                  abridor = FAbridor] {
        auto fonte = abridor ? abridor(arquivo, taxa) : AbrirFonteFFmpeg(arquivo, taxa);
        if (fonte && AQuadro > 0 && !fonte->Posicionar(AQuadro)) {
            fonte.reset();
        }
        std::unique_ptr<TFluxo> fluxo;
        std::int64_t duracao = -1;
        if (fonte) {
            duracao = fonte->DuracaoMs();
            fluxo = std::make_unique<TFluxo>(
                std::make_unique<TFonteVigiada>(std::move(fonte), erro, taxa, AQuadro),
                AQuadro,
                kQuadrosAnel,
                static_cast<std::size_t>(taxa * kSegundosPreenchimento));
        }
        {
            std::lock_guard trava(abertura->Trava);
            abertura->Fluxo = std::move(fluxo);
            abertura->DuracaoMs = duracao;
            abertura->Pronta = true;
        }
        abertura->Sinal.notify_all();
    };
    if (FEsperaAbertura == std::chrono::milliseconds::max()) {
        abrir();
    } else {
        // A share that stopped answering may keep it for ever; what it opens
        // late is freed by whoever lets go of the opening last.
        std::thread(std::move(abrir)).detach();
    }
    return abertura;
}

bool TMotor::Concluida(TAbertura& AAbertura) const {
    std::unique_lock trava(AAbertura.Trava);
    if (FEsperaAbertura == std::chrono::milliseconds::max()) {
        AAbertura.Sinal.wait(trava, [&] { return AAbertura.Pronta; });
        return true;
    }
    return AAbertura.Sinal.wait_for(trava, FEsperaAbertura, [&] { return AAbertura.Pronta; });
}

void TMotor::Falhar(TAlias& AAlias, std::string ATexto) {
    // A fresh record: the abandoned stream's thread may still write to its own.
    auto erro = std::make_shared<TErroLeitura>();
    erro->Texto = std::move(ATexto);
    const TCanal& c = FCanaisAudio[AAlias.Canal];
    erro->Quadro =
        c.SeqFluxo.load(std::memory_order_acquire) == AAlias.SeqFluxo && !AAlias.SeekPendente
            ? c.Posicao.load(std::memory_order_relaxed)
            : AAlias.PosicaoSeekMs * FTaxa / 1000;
    erro->Houve.store(true, std::memory_order_release);
    AAlias.ErroLeitura = std::move(erro);
    AAlias.Falhou = true;
    AAlias.Abertura.reset();
}

void TMotor::Instalar(TAlias& AAlias, std::unique_ptr<TFluxo> AFluxo, std::int64_t ADuracaoMs) {
    using T = TComandoMotor::TTipo;
    const auto canal = static_cast<std::uint8_t>(AAlias.Canal);
    const bool troca = AAlias.AberturaTroca;
    if (!PostarFluxo(troca ? T::tcTrocarFluxo : T::tcAnexar, AAlias, std::move(AFluxo))) {
        Falhar(AAlias, "o motor de audio esta sobrecarregado");
        return;
    }
    if (!troca) {
        AAlias.DuracaoMs = ADuracaoMs;
        AAlias.SeekPendente = false;
        if (AAlias.VolumeDefinido) {
            Postar({T::tcVolumeJa, canal, 0, AAlias.Volume});
        }
    }
    if (AAlias.Estado == TEstadoAlias::eaTocando) {
        Postar({T::tcTocar, canal});
        AAlias.SeekPendente = false;
    }
}

void TMotor::AcompanharAberturas() {
    for (auto& [nome, a] : FAliases) {
        if (!a.Abertura) {
            continue;
        }
        TAbertura& abertura = *a.Abertura;
        std::unique_lock trava(abertura.Trava);
        if (abertura.Pronta) {
            auto fluxo = std::move(abertura.Fluxo);
            const std::int64_t duracao = abertura.DuracaoMs;
            trava.unlock();
            auto segura = std::move(a.Abertura);
            if (fluxo) {
                Instalar(a, std::move(fluxo), duracao);
            } else if (!a.AberturaTroca) {
                Falhar(a, "o arquivo nao abriu");
            } else if (a.Estado == TEstadoAlias::eaTocando) {
                // The seek failed: the stream it would have replaced goes on.
                Postar({TComandoMotor::TTipo::tcTocar, static_cast<std::uint8_t>(a.Canal)});
                a.SeekPendente = false;
            }
        } else if (std::chrono::steady_clock::now() - abertura.Inicio > FTravamento) {
            trava.unlock();
            Falhar(a, "o arquivo nao respondeu ao ser aberto");
        }
    }
}

bool TMotor::Travado(TAlias& AAlias) {
    if (AAlias.Falhou) {
        return true;
    }
    if (AAlias.Estado != TEstadoAlias::eaTocando || AAlias.Abertura || AAlias.SeekPendente ||
        AAlias.Fluxo == nullptr ||
        FCanaisAudio[AAlias.Canal].SeqFluxo.load(std::memory_order_acquire) != AAlias.SeqFluxo ||
        !AAlias.Fluxo->Parado(FTravamento)) {
        return false;
    }
    Falhar(AAlias, "o arquivo parou de responder");
    return true;
}

void TMotor::Recolher() {
    TFluxo* fluxo = nullptr;
    while (FAposentados.Ler(fluxo)) {
        auto it = FCanalDoFluxo.find(fluxo);
        if (it != FCanalDoFluxo.end()) {
            TVaga& vaga = FVagas[it->second];
            if (--vaga.FluxosVivos <= 0 && vaga.Fechando) {
                vaga = TVaga{};
            }
            FCanalDoFluxo.erase(it);
        }
        delete fluxo;  // joins its decoder thread
    }
}

std::optional<std::size_t> TMotor::ReservarCanal() {
    for (std::size_t i = 0; i < FVagas.size(); ++i) {
        if (!FVagas[i].Ocupada) {
            FVagas[i] = TVaga{true, false, 0};
            return i;
        }
    }
    return std::nullopt;
}

std::int64_t TMotor::PosicaoMs(const TAlias& AAlias) const {
    const TCanal& c = FCanaisAudio[AAlias.Canal];
    if (c.SeqFluxo.load(std::memory_order_acquire) != AAlias.SeqFluxo || AAlias.SeekPendente) {
        return AAlias.PosicaoSeekMs;
    }
    return c.Posicao.load(std::memory_order_relaxed) * 1000 / FTaxa;
}

bool TMotor::EmFim(const TAlias& AAlias) const {
    if (AAlias.Falhou) {
        return true;
    }
    const TCanal& c = FCanaisAudio[AAlias.Canal];
    return c.SeqFluxo.load(std::memory_order_acquire) == AAlias.SeqFluxo &&
           c.Fim.load(std::memory_order_relaxed);
}

std::optional<std::string> TMotor::Enviar(std::string_view AComando) {
    VERIFICAR_OU(FDono.NaThreadDona()) {
        return std::nullopt;
    }
    Recolher();
    AcompanharAberturas();
    const auto comando = InterpretarComando(AComando);
    if (!comando) {
        return std::nullopt;
    }
    return Executar(*comando);
}

bool TMotor::AbrirFonte(std::string_view AAlias, std::unique_ptr<IFonteAudio> AFonte) {
    VERIFICAR_OU(FDono.NaThreadDona()) {
        return false;
    }
    Recolher();
    const std::string alias = MinusculasAZ(AAlias);
    if (!AFonte || FAliases.contains(alias)) {
        return false;
    }
    const std::int64_t duracao = AFonte->DuracaoMs();
    auto fluxo = std::make_unique<TFluxo>(std::move(AFonte),
                                          0,
                                          kQuadrosAnel,
                                          static_cast<std::size_t>(FTaxa * kSegundosPreenchimento));
    return AbrirAlias(alias, std::move(fluxo), duracao, std::string());
}

bool TMotor::AbrirAlias(const std::string& AAlias,
                        std::unique_ptr<TFluxo> AFluxo,
                        std::int64_t ADuracaoMs,
                        const std::string& AArquivo) {
    const auto canal = ReservarCanal();
    if (!canal) {
        return false;
    }
    TAlias alias;
    alias.Canal = *canal;
    alias.DuracaoMs = ADuracaoMs;
    alias.Arquivo = AArquivo;
    if (!PostarFluxo(TComandoMotor::TTipo::tcAnexar, alias, std::move(AFluxo))) {
        FVagas[*canal] = TVaga{};
        return false;
    }
    FAliases.emplace(AAlias, alias);
    return true;
}

std::optional<std::string> TMotor::Executar(const TComandoTexto& AComando) {
    using V = TComandoTexto::TVerbo;
    using T = TComandoMotor::TTipo;
    if (AComando.Verbo == V::cvAbrir) {
        if (FAliases.contains(AComando.Alias)) {
            return std::nullopt;  // the alias is in use
        }
        auto erro = std::make_shared<TErroLeitura>();
        auto abertura = Lancar(AComando.Arquivo, 0, erro);
        if (Concluida(*abertura)) {
            std::lock_guard trava(abertura->Trava);
            if (!abertura->Fluxo || !AbrirAlias(AComando.Alias,
                                                std::move(abertura->Fluxo),
                                                abertura->DuracaoMs,
                                                AComando.Arquivo)) {
                return std::nullopt;
            }
            FAliases.at(AComando.Alias).ErroLeitura = std::move(erro);
            return std::string();
        }
        // Slow storage: the alias exists at once, silent and without a length
        // until the stream arrives (or the wait is given up).
        const auto canal = ReservarCanal();
        if (!canal) {
            return std::nullopt;
        }
        TAlias a;
        a.Canal = *canal;
        a.Arquivo = AComando.Arquivo;
        a.ErroLeitura = std::move(erro);
        a.Abertura = std::move(abertura);
        a.SeekPendente = true;
        FAliases.emplace(AComando.Alias, std::move(a));
        return std::string();
    }

    if (AComando.Verbo == V::cvStatus && AComando.Status == TComandoTexto::TStatus::stNivel &&
        AComando.Alias == "saida") {
        // The output's peak since the last query, in millionths of full scale.
        const float pico = FPicoSaida.exchange(0.0f, std::memory_order_relaxed);
        return std::to_string(static_cast<long long>(std::lround(pico * 1e6f)));
    }
    auto it = FAliases.find(AComando.Alias);
    if (it == FAliases.end()) {
        return std::nullopt;
    }
    TAlias& a = it->second;
    const auto canal = static_cast<std::uint8_t>(a.Canal);
    switch (AComando.Verbo) {
        case V::cvFormato:
            return std::string();
        case V::cvStatus:
            switch (AComando.Status) {
                case TComandoTexto::TStatus::stDuracao:
                    return std::to_string(std::max<std::int64_t>(a.DuracaoMs, 0));
                case TComandoTexto::TStatus::stPosicao:
                    // At the end the position is the length the device reported.
                    if (a.DuracaoMs > 0 && !a.Falhou && EmFim(a)) {
                        return std::to_string(a.DuracaoMs);
                    }
                    return std::to_string(PosicaoMs(a));
                case TComandoTexto::TStatus::stModo:
                    if (Travado(a)) {
                        return std::string("stopped");
                    }
                    if (a.Estado == TEstadoAlias::eaPausado) {
                        return std::string("paused");
                    }
                    if (a.Estado == TEstadoAlias::eaTocando && !EmFim(a)) {
                        return std::string("playing");
                    }
                    return std::string("stopped");
                case TComandoTexto::TStatus::stNivel:
                    return std::nullopt;
                case TComandoTexto::TStatus::stErro:
                    // "MS TEXT" once the stream ended on an error, else empty.
                    if (a.ErroLeitura && a.ErroLeitura->Houve.load(std::memory_order_acquire)) {
                        return std::to_string(a.ErroLeitura->Quadro * 1000 / FTaxa) + " " +
                               a.ErroLeitura->Texto;
                    }
                    return std::string();
            }
            return std::nullopt;
        case V::cvTocar:
            if (a.Abertura || a.Falhou) {
                a.Estado = TEstadoAlias::eaTocando;  // played once the stream arrives
                return std::string();
            }
            if (a.Estado == TEstadoAlias::eaTocando && !EmFim(a)) {
                return std::string();
            }
            if (!Postar({T::tcTocar, canal})) {
                return std::nullopt;
            }
            a.Estado = TEstadoAlias::eaTocando;
            a.SeekPendente = false;
            return std::string();
        case V::cvPausar:
        case V::cvParar:
            if (a.Estado == TEstadoAlias::eaTocando && !a.Abertura && !a.Falhou &&
                !Postar({T::tcPausar, canal})) {
                return std::nullopt;
            }
            if (a.Estado != TEstadoAlias::eaParado) {
                a.Estado = AComando.Verbo == V::cvPausar ? TEstadoAlias::eaPausado
                                                         : TEstadoAlias::eaParado;
            }
            return std::string();
        case V::cvContinuar:
            if (a.Estado == TEstadoAlias::eaPausado) {
                if (!a.Abertura && !a.Falhou && !Postar({T::tcTocar, canal})) {
                    return std::nullopt;
                }
                a.Estado = TEstadoAlias::eaTocando;
            }
            return std::string();
        case V::cvFechar: {
            if (!Postar({T::tcFechar, canal})) {
                return std::nullopt;
            }
            FVagas[a.Canal].Fechando = true;
            if (FVagas[a.Canal].FluxosVivos <= 0) {
                FVagas[a.Canal] = TVaga{};
            }
            FAliases.erase(it);
            return std::string();
        }
        case V::cvPosicionar: {
            std::int64_t alvoMs = AComando.Numero;
            if (AComando.Alvo == TComandoTexto::TAlvo::taInicio) {
                alvoMs = 0;
            } else if (AComando.Alvo == TComandoTexto::TAlvo::taFim) {
                alvoMs = std::max<std::int64_t>(a.DuracaoMs, 0);
            }
            if (a.Arquivo.empty() || a.Abertura || a.Falhou) {
                return std::nullopt;
            }
            const std::int64_t quadro = alvoMs * FTaxa / 1000;
            auto erro = std::make_shared<TErroLeitura>();
            auto abertura = Lancar(a.Arquivo, quadro, erro);
            if (!Concluida(*abertura)) {
                // Slow storage: the old stream stops; the new one plays when it
                // arrives if playing is asked for meanwhile.
                if (a.Estado == TEstadoAlias::eaTocando && !Postar({T::tcPausar, canal})) {
                    return std::nullopt;
                }
                a.ErroLeitura = std::move(erro);
                a.Abertura = std::move(abertura);
                a.AberturaTroca = true;
                a.PosicaoSeekMs = alvoMs;
                a.SeekPendente = true;
                a.Estado = TEstadoAlias::eaParado;
                return std::string();
            }
            std::unique_ptr<TFluxo> fluxo;
            {
                std::lock_guard trava(abertura->Trava);
                fluxo = std::move(abertura->Fluxo);
            }
            if (!fluxo) {
                return std::nullopt;  // the file vanished; the old stream stays
            }
            if (!PostarFluxo(T::tcTrocarFluxo, a, std::move(fluxo))) {
                return std::nullopt;
            }
            a.ErroLeitura = std::move(erro);
            a.PosicaoSeekMs = alvoMs;
            a.SeekPendente = true;
            // A seek leaves the alias not playing.
            a.Estado = TEstadoAlias::eaParado;
            return std::string();
        }
        case V::cvVolume: {
            const float ganho = static_cast<float>(AComando.Numero) / 1000.0f;
            // An alias still opening gets its volume with its stream.
            const bool esperando = a.Abertura && !a.AberturaTroca;
            if (!esperando &&
                !Postar({a.VolumeDefinido ? T::tcVolume : T::tcVolumeJa, canal, 0, ganho})) {
                return std::nullopt;
            }
            a.Volume = ganho;
            a.VolumeDefinido = true;
            return std::string();
        }
        case V::cvAbrir:
            break;
    }
    return std::nullopt;
}

std::size_t TMotor::EscreverFala(std::span<const float> AAmostras) {
    const std::size_t n = FFala.Escrever(AAmostras) / 2;
    // Release: whoever reads the count and marks a purge up to it hands the
    // mixer a mark whose frames the mixer already sees in the ring.
    FFalaEscrita.fetch_add(n, std::memory_order_release);
    FFala.Notificar();
    return n;
}

void TMotor::DescartarFala() {
    // Only the mixer may take from the ring; it drops up to this mark.
    FFalaDescartarAte.store(FFalaEscrita.load(std::memory_order_acquire),
                            std::memory_order_release);
    FFala.Notificar();
}

void TMotor::ContarFalaPendente(int ADelta) {
    FFalasPendentes.fetch_add(ADelta, std::memory_order_acq_rel);
    FFala.Notificar();
}

// --------------------------------------------------------------- audio side

void TMotor::Aposentar(TFluxo* AFluxo) {
    // The ring holds far more streams than can be retired between two main-thread
    // collections; were it ever full, leaking beats freeing on this thread.
    if (AFluxo != nullptr) {
        FAposentados.Escrever(AFluxo);
    }
}

void TMotor::InstalarFluxo(TCanal& ACanal, TFluxo* AFluxo, std::uint32_t ASeq) {
    Aposentar(ACanal.Fluxo);
    ACanal.Fluxo = AFluxo;
    ACanal.EmFalta = false;
    ACanal.Posicao.store(AFluxo->QuadroInicial(), std::memory_order_relaxed);
    ACanal.Fim.store(false, std::memory_order_relaxed);
    ACanal.SeqFluxo.store(ASeq, std::memory_order_release);
}

void TMotor::AplicarComandos() {
    TComandoMotor comando;
    for (int i = 0; i < kMaxComandosPorBloco && FComandos.Ler(comando); ++i) {
        Aplicar(comando);
    }
}

void TMotor::Aplicar(const TComandoMotor& AComando) {
    using T = TComandoMotor::TTipo;
    TCanal& c = FCanaisAudio[AComando.Canal];
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

void TMotor::AplicarPendente(TCanal& ACanal) {
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

void TMotor::MisturarCanal(TCanal& ACanal, float* AMistura, std::size_t AQuadros) {
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

void TMotor::MisturarFala(float* AMistura, std::size_t AQuadros) {
    float* temp = FTemp.data();
    const std::uint64_t descartarAte = FFalaDescartarAte.load(std::memory_order_acquire);
    const std::uint64_t antes = FFalaConsumida.load(std::memory_order_relaxed);
    std::uint64_t consumida = antes;
    std::size_t feitos = 0;
    if (descartarAte > consumida && !FApagandoFala) {
        FApagandoFala = true;
        FDecliqueFala.DefinirAlvo(0.0f);
    }
    if (FApagandoFala) {
        // Withdrawn speech fades out instead of stopping on a click; what is
        // left of it after the ramp is dropped unplayed.
        feitos = static_cast<std::size_t>(std::min<std::uint64_t>(
            {AQuadros, FDecliqueFala.Restantes(), descartarAte - consumida}));
        const std::size_t lidos = FFala.Ler(std::span<float>(temp, feitos * 2)) / 2;
        for (std::size_t q = 0; q < feitos; ++q) {
            const float g = FDecliqueFala.Avancar();
            if (q < lidos) {
                AMistura[q * 2] += temp[q * 2] * g;
                AMistura[q * 2 + 1] += temp[q * 2 + 1] * g;
            }
        }
        consumida += lidos;
        if (FDecliqueFala.Parada() || consumida >= descartarAte) {
            if (descartarAte > consumida) {
                consumida +=
                    FFala.Descartar(static_cast<std::size_t>(descartarAte - consumida) * 2) / 2;
            }
            if (consumida >= descartarAte) {
                FApagandoFala = false;
                FDecliqueFala.Reiniciar(1.0f);
            }
        }
    }
    if (!FApagandoFala && feitos < AQuadros) {
        // Speech is produced already at its volume.
        const std::size_t fala = FFala.Ler(std::span<float>(temp, (AQuadros - feitos) * 2)) / 2;
        float* destino = AMistura + feitos * 2;
        for (std::size_t i = 0; i < fala * 2; ++i) {
            destino[i] += temp[i];
        }
        consumida += fala;
    }
    if (consumida != antes) {
        // Only this thread writes the count.
        FFalaConsumida.store(consumida, std::memory_order_release);
    }
}

void TMotor::RenderizarBloco(float* ASaida, std::size_t AQuadros) {
    float* mistura = FMistura.data();
    std::fill(mistura, mistura + AQuadros * 2, 0.0f);
    for (auto& canal : FCanaisAudio) {
        if (canal.Fluxo != nullptr) {
            MisturarCanal(canal, mistura, AQuadros);
        }
    }
    MisturarFala(mistura, AQuadros);
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

void TMotor::Renderizar(std::span<float> ASaida) {
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

void TMotor::RenderizarAguardando(std::span<float> ASaida) {
    AguardarDados(ASaida.size() / 2);
    Renderizar(ASaida);
}

void TMotor::AguardarDados(std::size_t AQuadros) {
    AplicarComandos();
    const std::size_t quadros = AQuadros;
    for (auto& c : FCanaisAudio) {
        if (c.Fluxo != nullptr && c.Tocando) {
            c.Fluxo->EsperarDados(quadros);
        }
    }
    FFala.EsperarDados(std::min(quadros * 2, FFala.Capacidade()),
                       [this] { return FFalasPendentes.load(std::memory_order_acquire) <= 0; });
}

}  // namespace ljsn
