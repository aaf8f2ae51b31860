#include "audio/motor/uGerenciadorFluxos.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>

#include "audio/motor/uComandoMidia.h"
#include "audio/motor/uDecodificador.h"
#include "audio/motor/uPoolAberturas.h"
#include "comum/uTexto.h"

namespace ljsn {

// A stream that ended early: why, and at which frame. The decoder thread
// writes the text, then publishes with the flag; the main thread reads.
struct TGerenciadorFluxos::TErroLeitura {
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
                  std::shared_ptr<TGerenciadorFluxos::TErroLeitura> AEstado,
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
    void Cancelar() override { FFonte->Cancelar(); }

  private:
    // Length estimates of VBR files without an index are only approximate.
    static constexpr std::int64_t kFaltaTolerada = 3000;
    std::unique_ptr<IFonteAudio> FFonte;
    std::shared_ptr<TGerenciadorFluxos::TErroLeitura> FEstado;
    int FTaxa;
    std::int64_t FQuadro;
    bool FVisto = false;
};

}  // namespace

struct TGerenciadorFluxos::TAbertura {
    std::mutex Trava;
    std::condition_variable Sinal;
    bool Pronta = false;            // guarded by Trava
    std::unique_ptr<TFluxo> Fluxo;  // guarded by Trava; nothing when opening failed
    std::int64_t DuracaoMs = -1;    // guarded by Trava
    const std::chrono::steady_clock::time_point Inicio = std::chrono::steady_clock::now();
    // Set when the opening is given up (too slow, alias closed, shutdown).
    const std::shared_ptr<TCancelamento> Cancelamento = std::make_shared<TCancelamento>();
};

namespace {

// Decoded audio kept ahead per stream: 65 536 frames (1.5 s at 44.1 kHz), a
// power of two so the ring uses all it allocates.
constexpr std::size_t kQuadrosAnel = 65536;
constexpr double kSegundosPreenchimento = 0.2;

}  // namespace

TGerenciadorFluxos::TGerenciadorFluxos(TMisturador& AMisturador, TPoolAberturas& APool)
    : FMisturador(AMisturador), FPool(APool), FTaxa(AMisturador.Taxa()) {}

TGerenciadorFluxos::~TGerenciadorFluxos() {
    // The pool's threads come back sooner from openings nobody will install.
    for (auto& [nome, a] : FAliases) {
        if (a.Abertura) {
            a.Abertura->Cancelamento->Cancelar();
        }
    }
}

bool TGerenciadorFluxos::Postar(TComandoMotor AComando) {
    AComando.Seq = FProximaSeq++;
    return FMisturador.Postar(AComando);
}

std::optional<std::uint32_t> TGerenciadorFluxos::PostarFluxo(TComandoMotor::TTipo ATipo,
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

void TGerenciadorFluxos::DefinirLimites(std::chrono::milliseconds AEsperaAbertura,
                                        std::chrono::milliseconds ATravamento) {
    FEsperaAbertura = AEsperaAbertura;
    FTravamento = ATravamento;
}

std::shared_ptr<TGerenciadorFluxos::TAbertura> TGerenciadorFluxos::Lancar(
    const std::string& AArquivo, std::int64_t AQuadro, std::shared_ptr<TErroLeitura> AErro) {
    auto abertura = std::make_shared<TAbertura>();
    // The task holds what it needs itself; it never reaches back into the
    // manager, which may be gone by the time it ends.
    auto abrir = [abertura,
                  arquivo = AArquivo,
                  AQuadro,
                  erro = std::move(AErro),
                  taxa = FTaxa,
                  abridor = FAbridor,
                  pool = &FPool] {
        TCancelamento& cancelamento = *abertura->Cancelamento;
        auto aberta = abridor ? abridor(arquivo, taxa)
                              : AbrirFonteFFmpeg(arquivo, taxa, nullptr, cancelamento.Bandeira());
        std::unique_ptr<TFluxo> fluxo;
        std::int64_t duracao = -1;
        if (aberta && !cancelamento.Cancelado()) {
            auto fonte = std::make_unique<TFonteVigiada>(std::move(aberta), erro, taxa, AQuadro);
            // The seek and the first frames read the file on this thread too.
            cancelamento.Vigiar(fonte.get());
            if (AQuadro <= 0 || fonte->Posicionar(AQuadro)) {
                duracao = fonte->DuracaoMs();
                fluxo = std::make_unique<TFluxo>(
                    std::move(fonte),
                    AQuadro,
                    kQuadrosAnel,
                    static_cast<std::size_t>(taxa * kSegundosPreenchimento),
                    *pool);
            }
            cancelamento.Vigiar(nullptr);
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
        // A share that stopped answering may hold a pool thread until the
        // opening is given up; what it opens late is freed by whoever lets
        // go of the opening last.
        FPool.Enfileirar(abertura->Cancelamento, std::move(abrir));
    }
    return abertura;
}

bool TGerenciadorFluxos::Concluida(TAbertura& AAbertura) const {
    std::unique_lock trava(AAbertura.Trava);
    if (FEsperaAbertura == std::chrono::milliseconds::max()) {
        AAbertura.Sinal.wait(trava, [&] { return AAbertura.Pronta; });
        return true;
    }
    return AAbertura.Sinal.wait_for(trava, FEsperaAbertura, [&] { return AAbertura.Pronta; });
}

void TGerenciadorFluxos::Falhar(TAlias& AAlias, std::string ATexto) {
    // A fresh record: the abandoned stream's thread may still write to its own.
    auto erro = std::make_shared<TErroLeitura>();
    erro->Texto = std::move(ATexto);
    erro->Quadro = FMisturador.SeqFluxo(AAlias.Canal) == AAlias.SeqFluxo && !AAlias.SeekPendente
                       ? FMisturador.Posicao(AAlias.Canal)
                       : AAlias.PosicaoSeekMs * FTaxa / 1000;
    erro->Houve.store(true, std::memory_order_release);
    AAlias.ErroLeitura = std::move(erro);
    AAlias.Falhou = true;
    if (AAlias.Abertura) {
        AAlias.Abertura->Cancelamento->Cancelar();
        AAlias.Abertura.reset();
    }
}

void TGerenciadorFluxos::Instalar(TAlias& AAlias,
                                  std::unique_ptr<TFluxo> AFluxo,
                                  std::int64_t ADuracaoMs) {
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

void TGerenciadorFluxos::AcompanharAberturas() {
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

bool TGerenciadorFluxos::Travado(TAlias& AAlias) {
    if (AAlias.Falhou) {
        return true;
    }
    if (AAlias.Estado != TEstadoAlias::eaTocando || AAlias.Abertura || AAlias.SeekPendente ||
        AAlias.Fluxo == nullptr || FMisturador.SeqFluxo(AAlias.Canal) != AAlias.SeqFluxo ||
        !AAlias.Fluxo->Parado(FTravamento)) {
        return false;
    }
    Falhar(AAlias, "o arquivo parou de responder");
    return true;
}

void TGerenciadorFluxos::Recolher() {
    TFluxo* fluxo = nullptr;
    while (FMisturador.TomarAposentado(fluxo)) {
        auto it = FCanalDoFluxo.find(fluxo);
        if (it != FCanalDoFluxo.end()) {
            TVaga& vaga = FVagas[it->second];
            if (--vaga.FluxosVivos <= 0 && vaga.Fechando) {
                vaga = TVaga{};
            }
            FCanalDoFluxo.erase(it);
        }
        delete fluxo;  // joins its decoder thread, or hands it to the pool
    }
    FPool.Recolher();
}

std::optional<std::size_t> TGerenciadorFluxos::ReservarCanal() {
    for (std::size_t i = 0; i < FVagas.size(); ++i) {
        if (!FVagas[i].Ocupada) {
            FVagas[i] = TVaga{true, false, 0};
            return i;
        }
    }
    return std::nullopt;
}

std::int64_t TGerenciadorFluxos::PosicaoMs(const TAlias& AAlias) const {
    if (FMisturador.SeqFluxo(AAlias.Canal) != AAlias.SeqFluxo || AAlias.SeekPendente) {
        return AAlias.PosicaoSeekMs;
    }
    return FMisturador.Posicao(AAlias.Canal) * 1000 / FTaxa;
}

bool TGerenciadorFluxos::EmFim(const TAlias& AAlias) const {
    if (AAlias.Falhou) {
        return true;
    }
    return FMisturador.SeqFluxo(AAlias.Canal) == AAlias.SeqFluxo && FMisturador.Fim(AAlias.Canal);
}

std::optional<std::string> TGerenciadorFluxos::Enviar(std::string_view AComando) {
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

bool TGerenciadorFluxos::AbrirFonte(std::string_view AAlias, std::unique_ptr<IFonteAudio> AFonte) {
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
                                          static_cast<std::size_t>(FTaxa * kSegundosPreenchimento),
                                          FPool);
    return AbrirAlias(alias, std::move(fluxo), duracao, std::string());
}

bool TGerenciadorFluxos::AbrirAlias(const std::string& AAlias,
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

std::optional<std::string> TGerenciadorFluxos::Executar(const TComandoTexto& AComando) {
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
            abertura->Cancelamento->Cancelar();
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
        const float pico = FMisturador.TomarPico();
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
            if (a.Abertura) {
                a.Abertura->Cancelamento->Cancelar();  // nobody will install it
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
                    abertura->Cancelamento->Cancelar();
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

}  // namespace ljsn
