#pragma once

#include <QDialog>
#include <QRect>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "comum/uTipos.h"
#include "falas/uChamadas.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace ljsn {

// Speaks a finished call text.
using TProcFalar = std::function<void(const std::string& ATexto, bool ARepetir)>;

// The quick-calls window: the shop's call models, the fields they ask for,
// a preview of what the announcer will say, and the editing of the models
// ("chamadas.txt"). Modeless; one for the whole run. Main thread only.
class TfrmChamadas : public QDialog {
  public:
    // Creates the window on the first call (owned by AOwner), then stores
    // the shop's name and gender and the callback, shows it in front and
    // refreshes the preview.
    static TfrmChamadas* Mostrar(QWidget* AOwner,
                                 const std::string& AEmpresa,
                                 TGeneroEmpresa AGenero,
                                 TProcFalar AFalar);
    // The window of this run, or null before the first Mostrar (or after its
    // owner was destroyed).
    static TfrmChamadas* Atual();

    void CarregarLista();
    void AtualizarPrevia();
    void Executar();
    void Adicionar();
    void Alterar();
    void Remover();
    // The list's models, blank lines included.
    std::vector<std::string> Linhas() const;

    // Parts the tests look at.
    QListWidget* Lista() { return FLista; }
    QLineEdit* Modelo() { return FModelo; }
    QSpinBox* Caixa() { return FCaixa; }
    QLineEdit* Nome() { return FNome; }
    QLineEdit* Setor() { return FSetor; }
    QLineEdit* Placa() { return FPlaca; }
    QLineEdit* Item() { return FItem; }
    QCheckBox* Repetir() { return FRepetir; }
    QLabel* Previa() { return FPrevia; }
    QPushButton* BotaoExecutar() { return FExecutar; }

  protected:
    void resizeEvent(QResizeEvent* AEvento) override;

  private:
    explicit TfrmChamadas(QWidget* AOwner);
    void SalvarLista();
    // The selected model filled with the fields; nothing without a selection.
    std::optional<TChamadaMontada> MontarSelecionada() const;
    // A control at its place for the 620 x 620 client area, and how it follows
    // the window: it grows with it, or keeps its distance to the bottom (and
    // to the right).
    enum TAncora : unsigned { anCresceLargura = 1, anCresceAltura = 2, anBaixo = 4, anDireita = 8 };
    void Colocar(QWidget* AControle, const QRect& AGeometria, unsigned AAncoras);

    std::string FEmpresa;
    TGeneroEmpresa FGenero = TGeneroEmpresa::geFeminino;
    TProcFalar FFalar;

    struct TColocacao {
        QWidget* Controle;
        QRect Geometria;
        unsigned Ancoras;
    };
    std::vector<TColocacao> FColocacoes;

    QListWidget* FLista = nullptr;
    QLineEdit* FModelo = nullptr;
    QSpinBox* FCaixa = nullptr;
    QLineEdit* FNome = nullptr;
    QLineEdit* FSetor = nullptr;
    QLineEdit* FPlaca = nullptr;
    QLineEdit* FItem = nullptr;
    QCheckBox* FRepetir = nullptr;
    QLabel* FPrevia = nullptr;
    QPushButton* FExecutar = nullptr;
};

}  // namespace ljsn
