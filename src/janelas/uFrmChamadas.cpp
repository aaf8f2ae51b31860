#include "janelas/uFrmChamadas.h"

#include <QCheckBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <algorithm>
#include <exception>
#include <optional>

#include "comum/uArquivoTexto.h"
#include "comum/uTexto.h"
#include "falas/uChamadas.h"
#include "falas/uFrases.h"
#include "janelas/uAparencia.h"
#include "janelas/uFrmWidget.h"

namespace ljsn {

namespace {

constexpr int kLarguraBase = 620;
constexpr int kAlturaBase = 620;

QString Q(const std::string& ATexto) {
    return QString::fromStdString(ATexto);
}

QFont FontePontos(int APontos, QFont::Weight APeso = QFont::Normal) {
    QFont f = FonteTexto(13, APeso);
    f.setPointSize(APontos);
    return f;
}

// Rows of a fixed height, whatever the font.
class TDelegadoLinha : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& AOpcao, const QModelIndex& AIndice) const override {
        return {QStyledItemDelegate::sizeHint(AOpcao, AIndice).width(), 24};
    }
};

QPointer<TfrmChamadas>& Unico() {
    static QPointer<TfrmChamadas> unico;
    return unico;
}

}  // namespace

TfrmChamadas::TfrmChamadas(QWidget* AOwner)
    : QDialog(AOwner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Chamadas rápidas"));
    setFont(FontePontos(10));
    setSizeGripEnabled(false);
    resize(kLarguraBase, kAlturaBase);
    setMinimumSize(560, 560);

    const auto rotulo = [this](const QString& ATexto, int AX, int AY, unsigned AAncoras) {
        auto* r = new QLabel(ATexto, this);
        r->setTextFormat(Qt::PlainText);
        r->adjustSize();
        Colocar(r, QRect(QPoint(AX, AY), r->size()), AAncoras);
        return r;
    };
    const auto campo = [this](const QString& ADica, const QRect& AGeometria, unsigned AAncoras) {
        auto* e = new QLineEdit(this);
        e->setPlaceholderText(ADica);
        Colocar(e, AGeometria, AAncoras);
        connect(e, &QLineEdit::textChanged, this, [this] { AtualizarPrevia(); });
        return e;
    };

    rotulo(
        QStringLiteral("Escolha a chamada e clique em Executar (ou dê dois cliques):"), 16, 12, 0);
    FLista = new QListWidget(this);
    FLista->setFont(FontePontos(11));
    FLista->setItemDelegate(new TDelegadoLinha(FLista));
    FLista->setSelectionMode(QAbstractItemView::SingleSelection);
    FLista->setUniformItemSizes(true);
    Colocar(FLista, QRect(16, 34, 588, 250), anCresceLargura | anCresceAltura);

    rotulo(QStringLiteral("Preencha o que a chamada pede:"), 16, 296, anBaixo);
    rotulo(QStringLiteral("Caixa nº"), 16, 322, anBaixo);
    FCaixa = new QSpinBox(this);
    FCaixa->setRange(1, 99);
    FCaixa->setValue(1);
    Colocar(FCaixa, QRect(16, 342, 80, 28), anBaixo);
    rotulo(QStringLiteral("Nome"), 112, 322, anBaixo);
    FNome = campo(QStringLiteral("Ex.: Maria"), QRect(112, 342, 170, 28), anBaixo);
    rotulo(QStringLiteral("Setor"), 298, 322, anBaixo);
    FSetor = campo(QStringLiteral("Ex.: hortifrúti"), QRect(298, 342, 170, 28), anBaixo);
    rotulo(QStringLiteral("Placa"), 484, 322, anBaixo);
    FPlaca = campo(QStringLiteral("ABC1D23"), QRect(484, 342, 120, 28), anBaixo);
    FPlaca->setMaxLength(8);
    FPlaca->setValidator(new TValidadorMaiusculas(FPlaca));
    rotulo(
        QStringLiteral("Veículo ou objeto (ex.: Gol prata, uma carteira preta)"), 16, 376, anBaixo);
    FItem =
        campo(QStringLiteral("Ex.: Gol prata"), QRect(16, 396, 588, 28), anBaixo | anCresceLargura);

    FRepetir = new QCheckBox(QStringLiteral("Repetir a chamada (falar duas vezes)"), this);
    FRepetir->setChecked(true);
    Colocar(FRepetir, QRect(16, 434, 400, 24), anBaixo);
    FPrevia = new QLabel(this);
    FPrevia->setTextFormat(Qt::PlainText);
    FPrevia->setWordWrap(true);
    QFont italico = font();
    italico.setItalic(true);
    FPrevia->setFont(italico);
    FPrevia->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Colocar(FPrevia, QRect(16, 464, 440, 44), anBaixo);
    FExecutar = new QPushButton(QStringLiteral("Executar"), this);
    QFont negrito = font();
    negrito.setBold(true);
    FExecutar->setFont(negrito);
    FExecutar->setDefault(true);
    Colocar(FExecutar, QRect(464, 466, 140, 42), anBaixo | anDireita);

    rotulo(QStringLiteral("Texto (marcadores: {caixa} {nome} {setor} {placa} {veiculo} {objeto} "
                          "{a empresa}):"),
           16,
           520,
           anBaixo);
    FModelo = new QLineEdit(this);
    FModelo->setPlaceholderText(
        QStringLiteral("Ex.: Gerente, por favor, comparecer ao caixa {caixa}."));
    Colocar(FModelo, QRect(16, 542, 588, 28), anBaixo);
    const auto botao = [this](const QString& ATexto, int AX) {
        auto* b = new QPushButton(ATexto, this);
        b->setAutoDefault(false);
        Colocar(b, QRect(AX, 576, 110, 32), anBaixo);
        return b;
    };
    QPushButton* adicionar = botao(QStringLiteral("Adicionar"), 16);
    QPushButton* alterar = botao(QStringLiteral("Alterar"), 134);
    QPushButton* remover = botao(QStringLiteral("Remover"), 252);

    connect(FCaixa, &QSpinBox::valueChanged, this, [this] { AtualizarPrevia(); });
    connect(FLista, &QListWidget::currentRowChanged, this, [this](int ALinha) {
        if (ALinha >= 0) {
            FModelo->setText(FLista->item(ALinha)->text());
            FModelo->setCursorPosition(0);
        }
        AtualizarPrevia();
    });
    connect(FLista, &QListWidget::itemDoubleClicked, this, [this] { Executar(); });
    connect(FExecutar, &QPushButton::clicked, this, [this] { Executar(); });
    connect(adicionar, &QPushButton::clicked, this, [this] { Adicionar(); });
    connect(alterar, &QPushButton::clicked, this, [this] { Alterar(); });
    connect(remover, &QPushButton::clicked, this, [this] { Remover(); });
}

void TfrmChamadas::Colocar(QWidget* AControle, const QRect& AGeometria, unsigned AAncoras) {
    AControle->setGeometry(AGeometria);
    FColocacoes.push_back({AControle, AGeometria, AAncoras});
}

void TfrmChamadas::resizeEvent(QResizeEvent* AEvento) {
    QDialog::resizeEvent(AEvento);
    const int dx = width() - kLarguraBase;
    const int dy = height() - kAlturaBase;
    for (const TColocacao& c : FColocacoes) {
        QRect g = c.Geometria;
        if ((c.Ancoras & anCresceLargura) != 0) {
            g.setWidth(std::max(0, g.width() + dx));
        }
        if ((c.Ancoras & anCresceAltura) != 0) {
            g.setHeight(std::max(0, g.height() + dy));
        }
        if ((c.Ancoras & anBaixo) != 0) {
            g.moveTop(g.top() + dy);
        }
        if ((c.Ancoras & anDireita) != 0) {
            g.moveLeft(g.left() + dx);
        }
        c.Controle->setGeometry(g);
    }
}

TfrmChamadas* TfrmChamadas::Atual() {
    return Unico().data();
}

TfrmChamadas* TfrmChamadas::Mostrar(QWidget* AOwner,
                                    const std::string& AEmpresa,
                                    TGeneroEmpresa AGenero,
                                    TProcFalar AFalar) {
    QPointer<TfrmChamadas>& janela = Unico();
    if (!janela) {
        janela = new TfrmChamadas(AOwner);
        janela->CarregarLista();
        if (AOwner != nullptr) {
            const QRect dono = AOwner->frameGeometry();
            janela->move(dono.center() - janela->rect().center());
        }
    }
    janela->FEmpresa = AEmpresa;
    janela->FGenero = AGenero;
    janela->FFalar = std::move(AFalar);
    AjustarJanelaNaTela(*janela, AOwner);
    janela->show();
    janela->raise();
    janela->activateWindow();
    janela->AtualizarPrevia();
    return janela;
}

void TfrmChamadas::CarregarLista() {
    FLista->clear();
    if (const auto texto = LerArquivoTexto(ArquivoChamadas())) {
        // Every line, blank ones too, so the file comes back as it was.
        for (const std::string& linha : DividirLinhas(ConverterMarcadoresAntigos(*texto))) {
            FLista->addItem(Q(linha));
        }
    } else {
        for (const std::string& modelo : ChamadasPadrao()) {
            FLista->addItem(Q(modelo));
        }
    }
    if (FLista->count() > 0) {
        FLista->setCurrentRow(0);
        FModelo->setText(FLista->item(0)->text());
        FModelo->setCursorPosition(0);
    }
}

std::vector<std::string> TfrmChamadas::Linhas() const {
    std::vector<std::string> r;
    for (int i = 0; i < FLista->count(); ++i) {
        r.push_back(FLista->item(i)->text().toStdString());
    }
    return r;
}

std::optional<TChamadaMontada> TfrmChamadas::MontarSelecionada() const {
    // The model of the list, not the text being edited below it.
    const QListWidgetItem* item = FLista->currentItem();
    if (item == nullptr) {
        return std::nullopt;
    }
    TCamposChamada campos;
    campos.Caixa = FCaixa->value();
    campos.Nome = FNome->text().toStdString();
    campos.Setor = FSetor->text().toStdString();
    campos.Placa = FPlaca->text().toStdString();
    campos.Item = FItem->text().toStdString();
    return MontarChamada(item->text().toStdString(), campos, FEmpresa, FGenero);
}

void TfrmChamadas::AtualizarPrevia() {
    const auto chamada = MontarSelecionada();
    if (!chamada) {
        FPrevia->clear();
    } else if (!chamada->Faltando.empty()) {
        FPrevia->setText(Q("Preencha: " + chamada->Faltando + "."));
    } else {
        FPrevia->setText(Q("Vai falar: \"" + chamada->Texto + "\""));
    }
}

void TfrmChamadas::Executar() {
    AtualizarPrevia();
    const auto chamada = MontarSelecionada();
    if (!chamada) {
        return;
    }
    if (!chamada->Faltando.empty()) {
        QWidget* campo = FItem;
        if (ComecaCom(chamada->Faltando, "nome")) {
            campo = FNome;
        } else if (ComecaCom(chamada->Faltando, "setor")) {
            campo = FSetor;
        } else if (ComecaCom(chamada->Faltando, "placa")) {
            campo = FPlaca;
        }
        campo->setFocus();
        return;
    }
    if (FFalar) {
        // One call: a repeat is queued whole or not at all.
        FFalar(chamada->Texto, FRepetir->isChecked());
    }
}

void TfrmChamadas::Adicionar() {
    const std::string texto = Aparar(FModelo->text().toStdString());
    if (texto.empty()) {
        return;
    }
    FLista->addItem(Q(texto));
    FLista->setCurrentRow(FLista->count() - 1);
    SalvarLista();
    AtualizarPrevia();
}

void TfrmChamadas::Alterar() {
    QListWidgetItem* item = FLista->currentItem();
    const std::string texto = Aparar(FModelo->text().toStdString());
    if (item == nullptr || texto.empty()) {
        return;
    }
    item->setText(Q(texto));
    SalvarLista();
    AtualizarPrevia();
}

void TfrmChamadas::Remover() {
    const int linha = FLista->currentRow();
    if (linha < 0) {
        return;
    }
    delete FLista->takeItem(linha);
    // The model now at the same place, or the previous one when the last went.
    const int nova = std::min(linha, FLista->count() - 1);
    FLista->setCurrentRow(nova);
    SalvarLista();
    if (nova >= 0) {
        FModelo->setText(FLista->item(nova)->text());
        FModelo->setCursorPosition(0);
    }
    AtualizarPrevia();
}

void TfrmChamadas::SalvarLista() {
    try {
        GravarArquivoAtomico(ArquivoChamadas(), MontarTextoComBom(Linhas()));
    } catch (const std::exception& e) {
        // Not modal: the list stays as edited and the user can try again.
        auto* caixa = new QMessageBox(QMessageBox::Warning,
                                      QStringLiteral("Chamadas rápidas"),
                                      QStringLiteral("Não foi possível gravar as chamadas: %1")
                                          .arg(QString::fromUtf8(e.what())),
                                      QMessageBox::Ok,
                                      this);
        caixa->setAttribute(Qt::WA_DeleteOnClose);
        caixa->open();
    }
}

}  // namespace ljsn
