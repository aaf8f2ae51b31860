#pragma once

#include <QDialog>
#include <string>
#include <string_view>
#include <vector>

class QListWidget;
class QTextBrowser;

namespace ljsn {

struct TNota {
    char Tipo = '+';  // '+' new, '~' improvement, '!' correction
    std::string Texto;
    bool operator==(const TNota&) const = default;
};

struct TVersaoNotas {
    std::string Numero;
    std::string Data;
    std::string Titulo;
    std::vector<TNota> Notas;
    bool operator==(const TVersaoNotas&) const = default;
};

// The release-notes document read: versions in document order.
std::vector<TVersaoNotas> LerNotas(std::string_view ATexto);
// The built-in document.
std::string TextoNovidades();
// The notes of this version were not shown to this user yet.
bool NotasPendentes();
void MarcarNotasVistas();

// The release notes window: versions on the left, the notes on the right.
class TfrmNovidades : public QDialog {
  public:
    explicit TfrmNovidades(QWidget* ADono);
    // Shows the window modally, then marks the notes as seen.
    static void Mostrar(QWidget* ADono);
    void MostrarVersoes(int ALinha);
    QListWidget* Lista() { return FLista; }
    QTextBrowser* Texto() { return FTexto; }

  private:
    std::vector<TVersaoNotas> FVersoes;
    QListWidget* FLista = nullptr;
    QTextBrowser* FTexto = nullptr;
};

}  // namespace ljsn
