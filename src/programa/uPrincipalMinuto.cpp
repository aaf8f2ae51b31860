// The minute events: the time on the hour, closing time, the shop's messages
// and the commemorative dates.
#include <cmath>

#include "ambiente/uLog.h"
#include "falas/uDatas.h"
#include "falas/uFrases.h"
#include "programa/uPrincipal.h"

namespace ljsn {

void TPrograma::VerificarMinuto() {
    // The system clock: the LJSN_RELOGIO override moves only what is shown.
    const TDataHora agora = DecodificarDataHora(FRelogio.Agora());
    const int m = agora.Hora * 60 + agora.Minuto;
    if (!FRodizio.NovoMinuto(m)) {
        return;
    }
    const TConfiguracoes& c = *FConfig;

    // A box left running for weeks starts only once: old logs also go at
    // each change of day, by the same rule as at start-up.
    if (FRodizio.NovoDia(static_cast<std::int64_t>(std::floor(FRelogio.Agora())))) {
        LimparLogsAntigos();
    }
    // The phones' wrong PINs of a minute with no request since.
    FControle->Manter();
    FSalvamento->TentarSePendente();

    if (c.HoraCerta && agora.Minuto == 0) {
        AnunciarHoraCerta(agora.Hora, 0);
    }

    const int fechamento = c.MinutoFechamento();
    if (c.AvisoFechamento && fechamento != -1) {
        if (m == fechamento) {
            FLocutor->Anunciar(FraseFechamento(c.NomeEmpresa, c.GeneroEmpresa),
                               TTipoFala::tfFechamento);
            if (c.PararNoFechamento) {
                FPararAposLocutor = true;
            }
        } else {
            for (const int aviso : c.ListaAvisos()) {
                if (aviso == fechamento - m) {
                    FLocutor->Anunciar(FraseAvisoFechamento(c.NomeEmpresa, c.GeneroEmpresa, aviso),
                                       TTipoFala::tfFechamento);
                    break;
                }
            }
        }
    }

    const bool tocando = EstaTocando();
    if (c.MinutosEntreMensagens > 0 && !c.Mensagens.empty() && tocando) {
        if (const auto i =
                FRodizio.Mensagem(c.MinutosEntreMensagens, static_cast<int>(c.Mensagens.size()))) {
            FLocutor->Anunciar(
                AplicarEmpresa(
                    c.Mensagens[static_cast<std::size_t>(*i)], c.NomeEmpresa, c.GeneroEmpresa),
                TTipoFala::tfMensagem);
        }
    }

    if (!c.DatasAtivas.empty() && tocando) {
        if (FRodizio.DataDevida(c.DatasMinutos)) {
            const auto frases = FrasesDoDia(c.DatasAtivas,
                                            c.DatasDiasAntes,
                                            c.Aniversario,
                                            c.GeneroEmpresa,
                                            c.NomeEmpresa,
                                            FRelogio.Agora());
            if (!frases.empty()) {
                const int i = FRodizio.ProximaData(static_cast<int>(frases.size()));
                FLocutor->Anunciar(frases[static_cast<std::size_t>(i)], TTipoFala::tfData);
            }
        }
    }
    if (agora.Minuto % 30 == 25) {
        FAgendaClima->AtualizarClima();
    }
    FAgendaNoticias->VerificarBusca();
}

bool TPrograma::AnunciarHoraCerta(int AHora, int AMinuto, TOrigemFala AOrigem) {
    const std::string clima = FAgendaClima->FraseParaHora(AHora);
    // Asked for by someone, the hour and its weather go in whole or not at all.
    if (AOrigem == TOrigemFala::ofPessoa && !FLocutor->Cabe(clima.empty() ? 1 : 2)) {
        return false;
    }
    FLocutor->Anunciar(FraseHoraCerta(FConfig->NomeEmpresa, FConfig->GeneroEmpresa, AHora, AMinuto),
                       TTipoFala::tfHoraCerta,
                       AOrigem);
    if (!clima.empty()) {
        FLocutor->Anunciar(clima, TTipoFala::tfClima, AOrigem);
    }
    return true;
}

void TPrograma::FalarAgora(const std::string& ATexto) {
    if (!FLocutor->Anunciar(AplicarEmpresa(ATexto, FConfig->NomeEmpresa, FConfig->GeneroEmpresa),
                            TTipoFala::tfChamada)) {
        throw TErroComando(kErroFilaCheia);
    }
}

void TPrograma::Chamar(const std::string& ATexto, bool ARepetir) {
    // Both or neither: half of a repeated call is not what was asked for.
    if (!FLocutor->Cabe(ARepetir ? 2 : 1)) {
        throw TErroComando(kErroFilaCheia);
    }
    FLocutor->Anunciar(ATexto, TTipoFala::tfChamada);
    if (ARepetir) {
        FLocutor->Anunciar(ATexto, TTipoFala::tfChamada);
    }
}

void TPrograma::HoraCerta() {
    const TDataHora d = DecodificarDataHora(Agora());
    if (!AnunciarHoraCerta(d.Hora, d.Minuto, TOrigemFala::ofPessoa)) {
        throw TErroComando(kErroFilaCheia);
    }
}

void TPrograma::CalarLocutor() {
    FLocutor->Cancelar();
}

}  // namespace ljsn
