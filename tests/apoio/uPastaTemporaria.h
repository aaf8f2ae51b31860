#pragma once

#include <string>

namespace ljsn::teste {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TPastaTemporaria {
  public:
    TPastaTemporaria();
    ~TPastaTemporaria();
    TPastaTemporaria(const TPastaTemporaria&) = delete;
    TPastaTemporaria& operator=(const TPastaTemporaria&) = delete;

    // With a trailing "/".
    const std::string& Caminho() const { return FCaminho; }
    std::string operator/(const std::string& ANome) const { return FCaminho + ANome; }

  private:
    std::string FCaminho;
};

void EscreverArquivo(const std::string& ACaminho, const std::string& AConteudo);
std::string LerArquivo(const std::string& ACaminho);
// A /proc/PID/stat line; empty when the process ended meanwhile.
std::string LerStatDoProcesso(const std::string& APastaProcesso);
// Every log file in the data folder's "Logs", one after another; empty
// when there is none.
std::string LerLogs(const std::string& APastaDados);

}  // namespace ljsn::teste
