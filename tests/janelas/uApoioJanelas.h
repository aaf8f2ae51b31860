#pragma once

#include <QApplication>
#include <filesystem>
#include <string>

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

}  // namespace ljsn::teste
