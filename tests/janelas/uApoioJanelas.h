#pragma once

#include <QApplication>
#include <filesystem>
#include <memory>
#include <string>

#include "janelas/uFrmPrincipal.h"
#include "programa/uAmbienteProgramacao.h"
#include "programa/uPrincipal.h"

namespace ljsn::teste {

// One QApplication for the whole test binary, created on first use.
inline void GarantirAplicacao() {
    static int argc = 1;
    static char nome[] = "testes_janelas";
    static char* argv[] = {nome, nullptr};
    if (QApplication::instance() == nullptr) {
        new QApplication(argc, argv);
    }
}

// The build's folder for screenshots, with a trailing "/".
inline std::string Artefatos() {
    std::filesystem::create_directories(LJSN_ARTEFATOS);
    return std::string(LJSN_ARTEFATOS) + "/";
}

// The main window's dependencies over the test's fakes. The programme it
// makes is kept in AFeito, for the checks that look inside it.
inline TfrmPrincipal::TDependencias DependenciasJanela(TAmbienteProgramacao& AAmbiente,
                                                       TPrograma*& AFeito) {
    return {AAmbiente.Relogio,
            AAmbiente.Fila,
            {},
            [&AAmbiente, &AFeito](IVisao& AVisao, TOpcoesPrograma AOpcoes) {
                auto programa = std::make_unique<TPrograma>(AAmbiente.Relogio,
                                                            AAmbiente.Fila,
                                                            AVisao,
                                                            AAmbiente.Dispositivo,
                                                            AAmbiente.Voz,
                                                            std::move(AOpcoes));
                AFeito = programa.get();
                return std::unique_ptr<IControle>(std::move(programa));
            }};
}

}  // namespace ljsn::teste
