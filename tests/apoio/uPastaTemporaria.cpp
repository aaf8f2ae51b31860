#include "apoio/uPastaTemporaria.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <stdlib.h>

namespace ljsn::teste {

TPastaTemporaria::TPastaTemporaria() {
    std::string modelo = (std::filesystem::temp_directory_path() / "ljsn-teste-XXXXXX").string();
    if (mkdtemp(modelo.data()) == nullptr) {
        throw std::runtime_error("mkdtemp falhou");
    }
    FCaminho = modelo + "/";
}

TPastaTemporaria::~TPastaTemporaria() {
    std::error_code erro;
    std::filesystem::remove_all(FCaminho, erro);
}

void EscreverArquivo(const std::string& ACaminho, const std::string& AConteudo) {
    std::filesystem::create_directories(std::filesystem::path(ACaminho).parent_path());
    std::ofstream arquivo(ACaminho, std::ios::binary | std::ios::trunc);
    arquivo << AConteudo;
    if (!arquivo) {
        throw std::runtime_error("nao gravou " + ACaminho);
    }
}

std::string LerArquivo(const std::string& ACaminho) {
    std::ifstream arquivo(ACaminho, std::ios::binary);
    if (!arquivo) {
        throw std::runtime_error("nao abriu " + ACaminho);
    }
    std::ostringstream s;
    s << arquivo.rdbuf();
    return s.str();
}

std::string LerStatDoProcesso(const std::string& APastaProcesso) {
    std::ifstream arquivo(APastaProcesso + "/stat", std::ios::binary);
    std::string linha;
    std::getline(arquivo, linha);
    return linha;
}

std::string LerLogs(const std::string& APastaDados) {
    std::string r;
    std::error_code erro;
    for (const auto& e :
         std::filesystem::directory_iterator(std::filesystem::path(APastaDados) / "Logs", erro)) {
        r += LerArquivo(e.path().string());
    }
    return r;
}

}  // namespace ljsn::teste
