#include "janelas/uFilaQt.h"

#include <QMetaObject>

namespace ljsn {

void TFilaPrincipalQt::Postar(std::function<void()> ATarefa) {
    QMetaObject::invokeMethod(&FAlvo, std::move(ATarefa), Qt::QueuedConnection);
}

}  // namespace ljsn
