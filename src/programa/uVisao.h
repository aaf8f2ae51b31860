#pragma once

#include <string>

namespace ljsn {

// What the programme asks of its face. The window implements it; headless
// runs use a quiet one. Every call comes on the main thread.
class IVisao {
  public:
    virtual ~IVisao() = default;

    // Clock label "hh:nn:ss" and date label "quarta-feira, 9 de dezembro de 2026".
    virtual void MostrarRelogio(const std::string& AHora, const std::string& AData) = 0;
    // An error that escaped a handler; the window shows a message box.
    virtual void MostrarErro(const std::string& AMensagem) = 0;
};

// A face that shows nothing.
class TVisaoNula : public IVisao {
  public:
    void MostrarRelogio(const std::string&, const std::string&) override {}
    void MostrarErro(const std::string&) override {}
};

}  // namespace ljsn
