#include "programa/uSom.h"

#include "ambiente/uLog.h"

namespace ljsn {

std::unique_ptr<TSom> TSom::Criar(const TOpcoes& AOpcoes, std::string* AErro) {
    std::unique_ptr<TSom> som(new TSom());
    som->FMotor = std::make_unique<TMotor>();
    som->FFabricaVoz = std::make_unique<TFabricaVozEspeak>(*som->FMotor);
    if (!AOpcoes.GravarSaida.empty()) {
        som->FGravador = TGravadorWav::Criar(AOpcoes.GravarSaida, som->FMotor->Taxa(), 2, AErro);
        if (!som->FGravador) {
            return nullptr;
        }
        som->FMotor->DefinirGravador(som->FGravador.get());
    }
    som->FSaida = TSaidaSdl::Abrir(*som->FMotor, AOpcoes.Driver, AOpcoes.Dispositivo, AErro);
    if (!som->FSaida) {
        return nullptr;
    }
    return som;
}

TSom::~TSom() {
    FSaida.reset();  // the callback is stopped from here on
    if (FMotor) {
        FMotor->DefinirGravador(nullptr);
    }
    FGravador.reset();
    FFabricaVoz.reset();
    FMotor.reset();
}

void TSom::VerificarContadores(std::uint32_t ATique) {
    if (FRegistrou && ATique - FUltimoRegistro < 60000) {
        return;
    }
    const TContadoresMotor c = FMotor->Contadores();
    if (c.Faltas == FRegistrados.Faltas && c.Saturadas == FRegistrados.Saturadas &&
        c.GravacaoPerdida == FRegistrados.GravacaoPerdida) {
        return;
    }
    GravarLogFmt("ERRO",
                 "audio: %d falta(s) de dados no dispositivo, %d amostra(s) saturada(s), %d "
                 "quadro(s) perdidos na gravacao (desde o inicio)",
                 c.Faltas,
                 c.Saturadas,
                 c.GravacaoPerdida);
    FRegistrados = c;
    FUltimoRegistro = ATique;
    FRegistrou = true;
}

}  // namespace ljsn
