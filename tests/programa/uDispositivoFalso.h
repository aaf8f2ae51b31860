#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "ambiente/uDuracao.h"
#include "apoio/uRelogioFalso.h"
#include "audio/motor/uComandoMidia.h"
#include "audio/motor/uDispositivoMidia.h"

namespace ljsn::teste {

// A device that plays by the fake clock: a file's length is its real
// duration, its position runs with the clock while playing, and it reads
// "stopped" once the length is reached. Records what was opened and every
// volume each alias was given.
class TDispositivoFalso final : public IDispositivoMidia {
  public:
    explicit TDispositivoFalso(TRelogioFalso& ARelogio) : FRelogio(ARelogio) {}

    struct TAliasFalso {
        std::string Arquivo;
        std::int64_t Duracao = 0;
        std::int64_t Base = 0;
        std::uint32_t Inicio = 0;
        int Estado = 0;  // 0 stopped, 1 playing, 2 paused
        int Volume = 1000;
        std::vector<int> Volumes;
    };

    std::optional<std::string> Enviar(std::string_view AComando) override {
        Comandos.emplace_back(AComando);
        const auto c = InterpretarComando(AComando);
        if (!c) {
            return std::nullopt;
        }
        using V = TComandoTexto::TVerbo;
        if (c->Verbo == V::cvAbrir) {
            if (Aliases.contains(c->Alias) || Falhar.contains(c->Arquivo)) {
                return std::nullopt;
            }
            // A test that holds a file's reads tells its length instead.
            const auto conhecida = DuracoesConhecidas.find(c->Arquivo);
            const std::int32_t d = conhecida != DuracoesConhecidas.end() ? conhecida->second
                                                                         : DuracaoMidia(c->Arquivo);
            if (d <= 0) {
                return std::nullopt;
            }
            TAliasFalso a;
            a.Arquivo = c->Arquivo;
            a.Duracao = d;
            Aliases[c->Alias] = a;
            Abertos.push_back(c->Arquivo);
            return std::string();
        }
        auto it = Aliases.find(c->Alias);
        if (it == Aliases.end()) {
            return std::nullopt;
        }
        TAliasFalso& a = it->second;
        switch (c->Verbo) {
            case V::cvStatus:
                switch (c->Status) {
                    case TComandoTexto::TStatus::stDuracao:
                        return std::to_string(a.Duracao);
                    case TComandoTexto::TStatus::stPosicao:
                        return std::to_string(Posicao(a));
                    case TComandoTexto::TStatus::stModo:
                        if (a.Estado == 2) {
                            return std::string("paused");
                        }
                        return std::string(a.Estado == 1 && Posicao(a) < a.Duracao ? "playing"
                                                                                   : "stopped");
                    case TComandoTexto::TStatus::stErro:
                        return std::string();  // files here never break
                    case TComandoTexto::TStatus::stNivel:
                        return std::nullopt;
                }
                break;
            case V::cvTocar:
                if (a.Estado != 1) {
                    a.Estado = 1;
                    a.Inicio = FRelogio.Tique();
                }
                break;
            case V::cvPausar:
                if (a.Estado == 1) {
                    a.Base = Posicao(a);
                    a.Estado = 2;
                }
                break;
            case V::cvParar:
                if (a.Estado == 1) {
                    a.Base = Posicao(a);
                }
                a.Estado = 0;
                break;
            case V::cvContinuar:
                if (a.Estado == 2) {
                    a.Estado = 1;
                    a.Inicio = FRelogio.Tique();
                }
                break;
            case V::cvFechar:
                Aliases.erase(it);
                break;
            case V::cvPosicionar:
                a.Base = c->Numero;
                a.Estado = 0;
                break;
            case V::cvVolume:
                a.Volume = static_cast<int>(c->Numero);
                a.Volumes.push_back(a.Volume);
                break;
            default:
                break;
        }
        return std::string();
    }

    std::int64_t Posicao(const TAliasFalso& A) const {
        std::int64_t p = A.Base;
        if (A.Estado == 1) {
            p += FRelogio.Tique() - A.Inicio;
        }
        return std::min(p, A.Duracao);
    }
    const TAliasFalso* Alias(const std::string& ANome) const {
        auto it = Aliases.find(ANome);
        return it == Aliases.end() ? nullptr : &it->second;
    }

    std::map<std::string, TAliasFalso> Aliases;
    std::map<std::string, std::int32_t> DuracoesConhecidas;
    std::set<std::string> Falhar;
    std::vector<std::string> Abertos;
    std::vector<std::string> Comandos;

  private:
    TRelogioFalso& FRelogio;
};

}  // namespace ljsn::teste
