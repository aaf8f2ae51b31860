#pragma once

#include <QDialog>
#include <QString>

namespace ljsn {

// Writes the terms' text to a PDF (Qt's own writer), with the acceptance
// date; false when the file could not be written.
bool GravarPdfTermos(const QString& ACaminho, const QString& AData);

// The terms window of the first use: "Aceito" records the acceptance and
// keeps the PDF copy; "Não aceito" ends the program.
class TfrmTermos : public QDialog {
  public:
    explicit TfrmTermos(QWidget* ADono = nullptr);
    // Shows the window when the terms were not accepted yet; true when the
    // program may go on.
    static bool Confirmar();
    // Records the acceptance (and writes the PDF) without asking.
    static bool Aceitar();
};

}  // namespace ljsn
