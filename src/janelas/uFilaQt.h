#pragma once

#include <QObject>

#include "comum/uFilaPrincipal.h"

namespace ljsn {

// The main-thread queue on the Qt event loop: a posted call runs between
// events on the thread that owns AAlvo (also while a modal dialog is open).
class TFilaPrincipalQt final : public TFilaPrincipal {
  public:
    explicit TFilaPrincipalQt(QObject& AAlvo) : FAlvo(AAlvo) {}
    void Postar(std::function<void()> ATarefa) override;

  private:
    QObject& FAlvo;
};

}  // namespace ljsn
