#include "programa/uMarcaReproducao.h"

#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "comum/uArquivoTexto.h"
#include "comum/uIni.h"

namespace ljsn {

namespace {

constexpr const char* kSecao = "Reproducao";

const char* TextoSituacao(TMarcaReproducao::TSituacao ASituacao) {
    switch (ASituacao) {
        case TMarcaReproducao::TSituacao::tsTocando:
            return "tocando";
        case TMarcaReproducao::TSituacao::tsFechamento:
            return "fechamento";
        case TMarcaReproducao::TSituacao::tsParado:
            break;
    }
    return "parado";
}

}  // namespace

std::string TMarcaReproducao::Caminho() {
    return PastaDados() + "reproducao.ini";
}

std::optional<TMarcaReproducao::TEstado> TMarcaReproducao::Ler() {
    const auto bytes = LerArquivoBytes(Caminho());
    if (!bytes) {
        return std::nullopt;
    }
    const TArquivoIni ini = TArquivoIni::Interpretar(*bytes);
    TEstado e;
    const std::string situacao = ini.Ler(kSecao, "Situacao").value_or("");
    e.Situacao = situacao == "tocando"      ? TSituacao::tsTocando
                 : situacao == "fechamento" ? TSituacao::tsFechamento
                                            : TSituacao::tsParado;
    e.Musica = ini.Ler(kSecao, "Musica").value_or("");
    e.Encerrado = ini.Ler(kSecao, "Encerrado").value_or("1") != "0";
    return e;
}

void TMarcaReproducao::Tocando(const std::string& AMusica) {
    FEstado.Situacao = TSituacao::tsTocando;
    FEstado.Musica = AMusica;
    FEstado.Encerrado = false;
    Gravar();
}

void TMarcaReproducao::Parado(bool AFechamento) {
    const TSituacao nova = AFechamento ? TSituacao::tsFechamento : TSituacao::tsParado;
    if (FGravado && FEstado.Situacao == nova) {
        return;
    }
    FEstado.Situacao = nova;
    FEstado.Encerrado = false;
    Gravar();
}

void TMarcaReproducao::Encerrar() {
    FEstado.Encerrado = true;
    Gravar();
}

void TMarcaReproducao::Gravar() {
    TArquivoIni ini;
    ini.Escrever(kSecao, "Situacao", TextoSituacao(FEstado.Situacao));
    ini.Escrever(kSecao, "Musica", FEstado.Musica);
    ini.Escrever(kSecao, "Encerrado", FEstado.Encerrado ? "1" : "0");
    try {
        GravarArquivoAtomico(Caminho(), ini.Texto());
        FGravado = true;
    } catch (const std::exception& e) {
        // Playing goes on; only a resume after a crash is lost.
        GravarLogFmt("ERRO", "marca de reproducao nao gravada: %s", std::string(e.what()));
    }
}

}  // namespace ljsn
