#include "janelas/uFrmConfig.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QUrl>
#include <algorithm>
#include <filesystem>

#include <QtConcurrent/QtConcurrentRun>

#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "ambiente/uRede.h"
#include "comum/uFormato.h"
#include "comum/uTexto.h"
#include "falas/uDatas.h"
#include "falas/uFrases.h"
#include "janelas/uAparencia.h"
#include "janelas/uTemas.h"
#include "programa/uControle.h"

namespace ljsn {

namespace {

namespace fs = std::filesystem;

QString Q(const std::string& ATexto) {
    return QString::fromStdString(ATexto);
}

std::string S(const QString& ATexto) {
    return ATexto.toStdString();
}

std::string Aparado(const QLineEdit* AEdit) {
    return S(AEdit->text().trimmed());
}

bool PastaExiste(const std::string& ACaminho) {
    std::error_code erro;
    return !ACaminho.empty() && fs::is_directory(ACaminho, erro);
}

bool ArquivoExiste(const std::string& ACaminho) {
    std::error_code erro;
    return !ACaminho.empty() && fs::is_regular_file(ACaminho, erro);
}

constexpr const char* kVozAutomatica = "(Automática - voz natural; sem ela, a voz do sistema)";
constexpr const char* kChaveAniversario = "aniversario";
constexpr int kAbaMusicas = 0;
// The tab widget's own size: its pages are laid out for it.
constexpr int kLarguraAbas = 616;
constexpr int kAlturaAbas = 576;
constexpr int kAbaLocutor = 3;
constexpr int kAbaCelular = 7;

// The Volumes tab's rows: advertisements, jingles, then the speech kinds.
constexpr std::array<TTipoFala, 7> kFalasDasLinhas = {TTipoFala::tfHoraCerta,
                                                      TTipoFala::tfClima,
                                                      TTipoFala::tfFechamento,
                                                      TTipoFala::tfMensagem,
                                                      TTipoFala::tfData,
                                                      TTipoFala::tfNoticia,
                                                      TTipoFala::tfChamada};
constexpr std::array<const char*, 9> kNomesLinhas = {"Propagandas",
                                                     "Vinhetas do intervalo",
                                                     "Hora certa",
                                                     "Tempo e temperatura",
                                                     "Aviso de fechamento",
                                                     "Mensagens",
                                                     "Datas comemorativas",
                                                     "Notícias",
                                                     "Chamadas e Falar agora"};

// Builders of the code-built tabs' elements (left, top, width, height).
constexpr int kLarguraUtil = 588;

QLabel* Titulo(QWidget* APai, int ATopo, const QString& ATexto) {
    auto* r = new QLabel(ATexto, APai);
    r->setFont(FonteTexto(16, QFont::Bold));
    r->adjustSize();
    r->move(16, ATopo);
    return r;
}

QLabel* Texto(QWidget* APai,
              int AEsquerda,
              int ATopo,
              const QString& ATexto,
              int AAltura = 0,
              int ALargura = 0) {
    auto* r = new QLabel(ATexto, APai);
    r->setTextFormat(Qt::PlainText);
    if (AAltura > 0) {
        r->setWordWrap(true);
        r->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        r->setGeometry(
            AEsquerda, ATopo, ALargura > 0 ? ALargura : kLarguraUtil - AEsquerda, AAltura);
    } else {
        r->adjustSize();
        r->move(AEsquerda, ATopo);
    }
    return r;
}

QLabel* Dica(QWidget* APai, int ATopo, const QString& ATexto, int AAltura) {
    auto* r = Texto(APai, 16, ATopo, ATexto, AAltura, kLarguraUtil - 16);
    QPalette p = r->palette();
    p.setColor(QPalette::WindowText, CorTextoCinza(p));
    r->setPalette(p);
    return r;
}

QCheckBox* Caixa(QWidget* APai, int ATopo, const QString& ATexto, int AEsquerda = 16) {
    auto* c = new QCheckBox(ATexto, APai);
    c->setGeometry(AEsquerda, ATopo, kLarguraUtil - AEsquerda, 24);
    return c;
}

QSpinBox* Giro(QWidget* APai, int AEsquerda, int ATopo, int AMin, int AMax, int ALargura = 80) {
    auto* s = new QSpinBox(APai);
    s->setRange(AMin, AMax);
    s->setGeometry(AEsquerda, ATopo, ALargura, 27);
    return s;
}

QLineEdit* Edicao(
    QWidget* APai, int AEsquerda, int ATopo, int ALargura, const QString& AMarca = {}) {
    auto* e = new QLineEdit(APai);
    e->setGeometry(AEsquerda, ATopo, ALargura, 25);
    e->setPlaceholderText(AMarca);
    return e;
}

QPushButton* Botao(QWidget* APai,
                   int AEsquerda,
                   int ATopo,
                   int ALargura,
                   const QString& ATexto,
                   int AAltura = 30) {
    auto* b = new QPushButton(ATexto, APai);
    b->setGeometry(AEsquerda, ATopo, ALargura, AAltura);
    b->setAutoDefault(false);
    return b;
}

// A row with a tick box, carrying its settings key.
void ItemMarcavel(QListWidget* ALista, const QString& ANome, const QString& AChave) {
    auto* item = new QListWidgetItem(ANome, ALista);
    item->setData(Qt::UserRole, AChave);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
}

// The keys of the ticked rows, in row order.
std::vector<std::string> ChavesMarcadas(const QListWidget* ALista) {
    std::vector<std::string> chaves;
    for (int i = 0; i < ALista->count(); ++i) {
        if (ALista->item(i)->checkState() == Qt::Checked) {
            chaves.push_back(S(ALista->item(i)->data(Qt::UserRole).toString()));
        }
    }
    return chaves;
}

template <typename T>
T* Nomear(T* AControle, const char* ANome) {
    AControle->setObjectName(QString::fromLatin1(ANome));
    return AControle;
}

// The QR code's paint box.
class TPainelQR : public QWidget {
  public:
    TPainelQR(QWidget* APai, std::function<void(QPainter&, const QRect&)> APintar)
        : QWidget(APai), FPintar(std::move(APintar)) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        FPintar(p, rect());
    }

  private:
    std::function<void(QPainter&, const QRect&)> FPintar;
};

}  // namespace

void DesenharQRCode(QPainter& APintor, const QRect& ARetangulo, const TMatrizQR& AMatriz) {
    APintor.fillRect(ARetangulo, Qt::white);
    if (AMatriz.empty()) {
        return;
    }
    const int n = static_cast<int>(AMatriz.size());
    const int s = std::min(ARetangulo.width(), ARetangulo.height()) / (n + 8);
    if (s < 1) {
        return;
    }
    const int esquerda = ARetangulo.left() + (ARetangulo.width() - n * s) / 2;
    const int topo = ARetangulo.top() + (ARetangulo.height() - n * s) / 2;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (AMatriz[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]) {
                APintor.fillRect(esquerda + j * s, topo + i * s, s, s, Qt::black);
            }
        }
    }
}

TfrmConfig::TfrmConfig(QWidget* APai,
                       IControle& AControle,
                       std::string AMusicaAtual,
                       double ALoudnessAtual,
                       TDependenciasConfig ADep)
    : QDialog(APai),
      FControle(AControle),
      FDep(std::move(ADep)),
      FMusicaAtual(std::move(AMusicaAtual)),
      FLoudnessAtual(ALoudnessAtual),
      FReferencia(AControle.Config().ReferenciaVolume),
      FReferenciaNome(AControle.Config().ReferenciaNome),
      FClimaCidade(AControle.Config().ClimaCidade),
      FClimaLat(AControle.Config().ClimaLat),
      FClimaLon(AControle.Config().ClimaLon),
      FPin(AControle.Config().CelularPin) {
    if (!FDep.Agora) {
        FDep.Agora = [this] { return FDep.Relogio.Agora(); };
    }
    if (!FDep.BuscarCidade) {
        FDep.BuscarCidade = [](const std::string& ATexto, std::stop_token AParar) {
            return ljsn::BuscarCidade(ATexto, AParar);
        };
    }
    if (!FDep.ObterClima) {
        FDep.ObterClima = [](double ALat, double ALon, double AAgora, std::stop_token AParar) {
            return ljsn::ObterClima(ALat, ALon, AAgora, AParar);
        };
    }
    if (!FDep.BaixarNoticias) {
        FDep.BaixarNoticias =
            [](const std::string& A, bool AFiltrar, double AAgora, std::stop_token AParar) {
                return ljsn::BaixarNoticias(A, AFiltrar, AAgora, AParar);
            };
    }

    setWindowTitle(QStringLiteral("Loja Sonorante - Configurações"));
    setFont(FonteTexto(13));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // The tabs scroll inside the dialog when the screen is smaller than
    // they are; "Salvar" and "Cancelar" stay below them, always in view.
    auto* rolagem = Nomear(new QScrollArea(this), "scrConfig");
    rolagem->setFrameShape(QFrame::NoFrame);
    rolagem->setWidgetResizable(false);
    // A vertical bar takes only the tabs' right margin: no sideways scroll.
    rolagem->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* conteudo = new QWidget;
    conteudo->setFixedSize(kLarguraAbas + 24, kAlturaAbas + 12);
    rolagem->setWidget(conteudo);
    FAbas = Nomear(new QTabWidget(conteudo), "pgcConfig");
    FAbas->setGeometry(12, 12, kLarguraAbas, kAlturaAbas);
    // All eight captions in one row, as on the shop's screens.
    FAbas->setUsesScrollButtons(false);
    FAbas->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 5px 4px; }"));
    MontarMusicas();
    MontarLocutor();
    MontarMensagens();
    // The code-built tabs go in between, as their indexes say.
    MontarSom();
    MontarDatas();
    MontarNoticias();
    MontarCelular();
    MontarVolumes();
    // The tabs in the order the shop sees them, each caption padded.
    const std::array<const char*, 8> ordem = {"tabMusicas",
                                              "tabVolume",
                                              "tabVolumes",
                                              "tabLocutor",
                                              "tabMensagens",
                                              "tabDatas",
                                              "tabNoticias",
                                              "tabCelular"};
    std::vector<std::pair<QWidget*, QString>> abas;
    for (const char* nome : ordem) {
        for (int i = 0; i < FAbas->count(); ++i) {
            if (FAbas->widget(i)->objectName() == QLatin1String(nome)) {
                abas.emplace_back(FAbas->widget(i), FAbas->tabText(i).trimmed());
            }
        }
    }
    FAbas->clear();
    for (const auto& [aba, nome] : abas) {
        FAbas->addTab(aba, QStringLiteral(" %1 ").arg(nome));
    }
    FAbas->setCurrentIndex(kAbaMusicas);

    auto* salvar = Nomear(new QPushButton(QStringLiteral("Salvar"), this), "btnOK");
    salvar->setFixedSize(94, 32);
    salvar->setDefault(true);
    auto* cancelar = Nomear(new QPushButton(QStringLiteral("Cancelar"), this), "btnCancelar");
    cancelar->setFixedSize(94, 32);
    cancelar->setAutoDefault(false);
    auto* botoes = new QHBoxLayout;
    botoes->setContentsMargins(12, 12, 12, 12);
    botoes->setSpacing(8);
    botoes->addStretch(1);
    botoes->addWidget(salvar);
    botoes->addWidget(cancelar);
    auto* coluna = new QVBoxLayout(this);
    coluna->setContentsMargins(0, 0, 0, 0);
    coluna->setSpacing(0);
    coluna->addWidget(rolagem, 1);
    coluna->addLayout(botoes);
    // The whole dialog on a large screen; a small one shrinks it.
    setMinimumSize(320, 240);
    resize(kLarguraAbas + 24, kAlturaAbas + 12 + 12 + 32 + 12);
    connect(salvar, &QPushButton::clicked, this, [this] { Salvar(); });
    connect(cancelar, &QPushButton::clicked, this, &QDialog::reject);

    FTimerTeste.setInterval(500);
    connect(&FTimerTeste, &QTimer::timeout, this, [this] { PassoTeste(); });
    FTimerVoz.setInterval(static_cast<int>(kIntervaloTickMs));
    connect(&FTimerVoz, &QTimer::timeout, this, [this] {
        Escuta().Processar(static_cast<int>(kIntervaloTickMs));
    });

    Carregar();
}

TfrmConfig::~TfrmConfig() {
    // A look-up still under way is abandoned; its result goes nowhere.
    FParar.request_stop();
    for (auto* w : findChildren<QFutureWatcherBase*>()) {
        w->disconnect(this);
        w->waitForFinished();
    }
    PararTeste();
    if (FEscuta) {
        FEscuta->CalarVoz();
    }
}

bool TfrmConfig::Executar(QWidget* APai,
                          IControle& AControle,
                          const std::string& AMusicaAtual,
                          double ALoudnessAtual,
                          TDependenciasConfig ADep) {
    TfrmConfig dialogo(APai, AControle, AMusicaAtual, ALoudnessAtual, std::move(ADep));
    if (APai != nullptr) {
        const QRect r = APai->frameGeometry();
        dialogo.move(r.center() - dialogo.rect().center());
    }
    // Shrunk into the screen's work area when it is smaller, and kept in it.
    AjustarJanelaNaTela(dialogo, APai);
    if (const QScreen* tela = QGuiApplication::screenAt(dialogo.geometry().center());
        tela != nullptr) {
        const QRect area = tela->availableGeometry();
        QPoint p = dialogo.pos();
        p.setX(
            std::clamp(p.x(), area.left(), std::max(area.left(), area.right() - dialogo.width())));
        p.setY(
            std::clamp(p.y(), area.top(), std::max(area.top(), area.bottom() - dialogo.height())));
        dialogo.move(p);
    }
    return dialogo.exec() == QDialog::Accepted;
}

QWidget* TfrmConfig::NovaAba(const QString& ANome) {
    auto* aba = new QWidget(FAbas);
    FAbas->addTab(aba, ANome);
    return aba;
}

void TfrmConfig::MontarMusicas() {
    QWidget* a = Nomear(NovaAba(QStringLiteral("Músicas")), "tabMusicas");
    Texto(a, 16, 16, QStringLiteral("Pasta de músicas"));
    edtMusicas = Nomear(Edicao(a, 16, 38, 412), "edtMusicas");
    auto* b1 = Botao(a, 436, 37, 92, QStringLiteral("Procurar..."), 27);
    connect(b1, &QPushButton::clicked, this, [this] { EscolherPasta(edtMusicas); });
    Texto(a, 16, 76, QStringLiteral("Pasta de propagandas (MP3 entre músicas)"));
    edtPropagandas = Nomear(Edicao(a, 16, 98, 412), "edtPropagandas");
    auto* b2 = Botao(a, 436, 97, 92, QStringLiteral("Procurar..."), 27);
    connect(b2, &QPushButton::clicked, this, [this] { EscolherPasta(edtPropagandas); });
    Texto(a, 16, 142, QStringLiteral("Tocar propaganda a cada (músicas)"));
    spnIntervalo = Nomear(Giro(a, 296, 138, 1, 100, 72), "spnIntervalo");
    Texto(a, 16, 178, QStringLiteral("Quantidade de propagandas por intervalo"));
    spnQtd = Nomear(Giro(a, 296, 174, 1, 20, 72), "spnQtd");
    chkSubpastas = Nomear(Caixa(a, 220, QStringLiteral("Incluir subpastas")), "chkSubpastas");
    chkAleatorio = Nomear(Caixa(a, 246, QStringLiteral("Ordem aleatória")), "chkAleatorio");
    Texto(a, 16, 280, QStringLiteral("Tema visual"));
    cbxTema = Nomear(new QComboBox(a), "cbxTema");
    cbxTema->setGeometry(16, 302, 260, 25);
    cbxTema->addItems(NomesTemas());
    Texto(a, 16, 342, QStringLiteral("Inicialização"));
    chkIniciarWindows = Nomear(
        Caixa(a,
              366,
              QStringLiteral(
                  "Iniciar junto com o computador (abre escondido na bandeja, perto do relógio)")),
        "chkIniciarWindows");
    chkTocarAoAbrir =
        Nomear(Caixa(a, 392, QStringLiteral("Começar a tocar sozinho ao abrir o programa")),
               "chkTocarAoAbrir");
    chkBandeja =
        Nomear(Caixa(a, 418, QStringLiteral("Ao fechar a janela, continuar tocando na bandeja")),
               "chkBandeja");
    chkWidget = Nomear(Caixa(a,
                             444,
                             QStringLiteral("Com o programa na bandeja, mostrar os controles "
                                            "rápidos na Área de Trabalho")),
                       "chkWidget");
}

void TfrmConfig::MontarLocutor() {
    QWidget* a = Nomear(NovaAba(QStringLiteral("Locutor")), "tabLocutor");
    Texto(a, 16, 16, QStringLiteral("Nome da empresa (usado nas falas)"));
    edtEmpresa = Nomear(Edicao(a, 16, 38, 300, QStringLiteral("Ex.: Farmácia Vida")), "edtEmpresa");
    Texto(a, 328, 16, QStringLiteral("O nome é"));
    cbxGenero = Nomear(new QComboBox(a), "cbxGenero");
    cbxGenero->setGeometry(328, 38, 190, 25);
    cbxGenero->addItems({QStringLiteral("Feminino (a Farmácia...)"),
                         QStringLiteral("Masculino (o Mercado...)"),
                         QStringLiteral("Sem artigo")});
    Texto(a, 16, 72, QStringLiteral("Voz"));
    cbxVoz = Nomear(new QComboBox(a), "cbxVoz");
    cbxVoz->setGeometry(16, 94, 412, 25);
    cbxVoz->addItem(QString::fromUtf8(kVozAutomatica));
    for (const auto& v : Escuta().VozesDisponiveis()) {
        cbxVoz->addItem(Q(v));
    }
    auto* testar = Nomear(Botao(a, 436, 93, 92, QStringLiteral("Testar voz"), 27), "btnTestarVoz");
    connect(testar, &QPushButton::clicked, this, [this] { TestarVoz(); });
    Texto(a,
          16,
          124,
          QStringLiteral("Vozes \"Voz natural:\" vêm do navegador e precisam de internet; "
                         "sem elas, fala a voz local."),
          34,
          370);
    auto* instalar = Botao(a, 392, 124, 136, QStringLiteral("Sobre as vozes..."), 25);
    connect(instalar, &QPushButton::clicked, this, [this] {
        QMessageBox::information(
            this,
            windowTitle(),
            QStringLiteral("As vozes da lista que começam com \"Voz natural:\" falam pelo "
                           "navegador (Microsoft Edge, Google Chrome ou Chromium) e precisam de "
                           "internet. Sem navegador ou sem internet, o programa usa sozinho a voz "
                           "local (espeak-ng), que não precisa de nada."));
    });
    Texto(a, 16, 162, QStringLiteral("Velocidade"));
    spnVelocidade = Nomear(Giro(a, 16, 184, -10, 10, 100), "spnVelocidade");
    Texto(a, 150, 162, QStringLiteral("Tom"));
    spnTom = Nomear(Giro(a, 150, 184, -10, 10, 100), "spnTom");
    Texto(a, 284, 162, QStringLiteral("Volume de cada fala: na aba Volumes"), 44, 200);
    const QString dicaFundo = QStringLiteral(
        "Porcentagem do volume da música. Ex.: volume principal em 80% e 20% aqui: a música fica "
        "em 16% enquanto o locutor fala.");
    Texto(a, 16, 226, QStringLiteral("Volume da música enquanto o locutor fala (%)"))
        ->setToolTip(dicaFundo);
    spnFundo = Nomear(Giro(a, 376, 222, 0, 100, 72), "spnFundo");
    spnFundo->setSingleStep(5);
    spnFundo->setToolTip(dicaFundo);
    chkHoraCerta = Nomear(Caixa(a, 270, QStringLiteral("Anunciar a hora certa a cada hora cheia")),
                          "chkHoraCerta");
    chkFechamento =
        Nomear(Caixa(a, 298, QStringLiteral("Avisar o horário de fechamento")), "chkFechamento");
    Texto(a, 40, 326, QStringLiteral("Horário de fechamento"));
    edtHorario = Nomear(Edicao(a, 40, 348, 90, QStringLiteral("HH:MM")), "edtHorario");
    Texto(a, 220, 326, QStringLiteral("Avisar quantos minutos antes (ex.: 30,15,5)"));
    edtAvisos = Nomear(Edicao(a, 220, 348, 150), "edtAvisos");
    chkParar = Nomear(Caixa(a, 386, QStringLiteral("Parar a música no horário de fechamento"), 40),
                      "chkParar");
}

void TfrmConfig::MontarMensagens() {
    QWidget* a = Nomear(NovaAba(QStringLiteral("Mensagens")), "tabMensagens");
    Texto(a, 16, 18, QStringLiteral("Falar uma mensagem a cada (minutos, 0 = desligado)"));
    spnMinutos = Nomear(Giro(a, 376, 14, 0, 240, 72), "spnMinutos");
    lstMensagens = Nomear(new QListWidget(a), "lstMensagens");
    lstMensagens->setGeometry(16, 52, 512, 196);
    Texto(a,
          16,
          260,
          QStringLiteral("Texto (use {a empresa}, {à empresa}, {da empresa}, {na empresa} ou "
                         "{empresa})"));
    edtTexto = Nomear(Edicao(a, 16, 282, 512), "edtTexto");
    connect(lstMensagens, &QListWidget::itemClicked, this, [this](QListWidgetItem* AItem) {
        edtTexto->setText(AItem->text());
    });
    auto* adicionar = Nomear(Botao(a, 16, 318, 100, QStringLiteral("Adicionar")), "btnAdicionar");
    auto* alterar = Nomear(Botao(a, 124, 318, 100, QStringLiteral("Alterar")), "btnAlterar");
    auto* remover = Nomear(Botao(a, 232, 318, 100, QStringLiteral("Remover")), "btnRemover");
    auto* ouvir = Nomear(Botao(a, 428, 318, 100, QStringLiteral("Ouvir")), "btnOuvir");
    connect(adicionar, &QPushButton::clicked, this, [this] {
        const QString t = edtTexto->text().trimmed();
        if (!t.isEmpty()) {
            lstMensagens->addItem(t);
            edtTexto->clear();
            edtTexto->setFocus();
        }
    });
    connect(alterar, &QPushButton::clicked, this, [this] {
        const QString t = edtTexto->text().trimmed();
        if (lstMensagens->currentRow() >= 0 && lstMensagens->currentItem()->isSelected() &&
            !t.isEmpty()) {
            lstMensagens->currentItem()->setText(t);
        }
    });
    connect(remover, &QPushButton::clicked, this, [this] {
        const int linha = lstMensagens->currentRow();
        if (linha >= 0 && lstMensagens->currentItem()->isSelected()) {
            delete lstMensagens->takeItem(linha);
            edtTexto->clear();
        }
    });
    connect(ouvir, &QPushButton::clicked, this, [this] {
        std::string texto;
        if (!edtTexto->text().trimmed().isEmpty()) {
            texto = S(edtTexto->text());
        } else if (lstMensagens->currentItem() != nullptr &&
                   lstMensagens->currentItem()->isSelected()) {
            texto = S(lstMensagens->currentItem()->text());
        } else {
            return;
        }
        FalarTeste(AplicarEmpresa(texto, EmpresaDialogo(), GeneroDialogo()), TTipoFala::tfMensagem);
    });
}

void TfrmConfig::MontarSom() {
    QWidget* a = Nomear(NovaAba(QStringLiteral("Som")), "tabVolume");
    Titulo(a, 12, QStringLiteral("Volume automático"));
    Texto(a,
          16,
          38,
          QStringLiteral("Deixa todas as músicas e propagandas no mesmo volume. A primeira música "
                         "tocada vira a referência: acerte o volume nela e as outras seguem o "
                         "mesmo nível."),
          40);
    chkVolumeAuto =
        Nomear(Caixa(a, 82, QStringLiteral("Ligar o volume automático")), "chkVolumeAuto");
    connect(chkVolumeAuto, &QCheckBox::toggled, this, [this] { MostrarReferencia(); });
    auto* rotuloReferencia = Texto(a, 16, 112, QStringLiteral("Música de referência:"));
    rotuloReferencia->setFont(FonteTexto(13, QFont::Bold));
    rotuloReferencia->adjustSize();
    lblReferencia = Nomear(Texto(a, 16, 132, QString(), 20), "lblReferencia");
    btnRefAtual =
        Nomear(Botao(a, 16, 156, 190, QStringLiteral("Usar a música atual")), "btnRefAtual");
    btnRefProxima =
        Nomear(Botao(a, 214, 156, 190, QStringLiteral("Usar a próxima música")), "btnRefProxima");
    connect(btnRefAtual, &QPushButton::clicked, this, [this] {
        FReferencia = FLoudnessAtual;
        FReferenciaNome = FMusicaAtual;
        MostrarReferencia();
    });
    connect(btnRefProxima, &QPushButton::clicked, this, [this] {
        FReferencia = -999;
        FReferenciaNome.clear();
        MostrarReferencia();
    });
    Dica(
        a,
        194,
        QStringLiteral("Com o volume do programa em até 80%, sobra espaço para aumentar as músicas "
                       "mais baixas."),
        40);
    Titulo(a, 240, QStringLiteral("Transição suave"));
    Texto(a,
          16,
          266,
          QStringLiteral("Uma faixa começa enquanto a outra termina, sem silêncio, em todos os "
                         "áudios. Em faixas curtas a transição se ajusta sozinha. Padrão: 8 "
                         "segundos."),
          40);
    Texto(a, 16, 314, QStringLiteral("Duração da transição, em segundos (0 = sem transição)"));
    spnTransicao = Nomear(Giro(a, 420, 310, 0, 10), "spnTransicao");
    Titulo(a, 356, QStringLiteral("Vinhetas do intervalo comercial"));
    Texto(a,
          16,
          382,
          QStringLiteral("Arquivos de áudio (MP3) tocados no começo e no fim de cada intervalo. "
                         "Opcional."),
          20);
    Texto(a, 16, 408, QStringLiteral("Antes das propagandas"));
    edtVinhetaAntes = Nomear(Edicao(a, 16, 428, 316, QStringLiteral("Nenhuma")), "edtVinhetaAntes");
    auto* p1 = Botao(a, 340, 426, 96, QStringLiteral("Procurar..."));
    auto* t1 = Nomear(Botao(a, 442, 426, 80, QStringLiteral("Tirar")), "btnTirarAntes");
    Texto(a, 16, 462, QStringLiteral("Depois das propagandas"));
    edtVinhetaDepois =
        Nomear(Edicao(a, 16, 482, 316, QStringLiteral("Nenhuma")), "edtVinhetaDepois");
    auto* p2 = Botao(a, 340, 480, 96, QStringLiteral("Procurar..."));
    auto* t2 = Nomear(Botao(a, 442, 480, 80, QStringLiteral("Tirar")), "btnTirarDepois");
    connect(p1, &QPushButton::clicked, this, [this] { EscolherVinheta(edtVinhetaAntes); });
    connect(p2, &QPushButton::clicked, this, [this] { EscolherVinheta(edtVinhetaDepois); });
    connect(t1, &QPushButton::clicked, edtVinhetaAntes, &QLineEdit::clear);
    connect(t2, &QPushButton::clicked, edtVinhetaDepois, &QLineEdit::clear);
}

void TfrmConfig::MontarVolumes() {
    QWidget* a = Nomear(NovaAba(QStringLiteral("Volumes")), "tabVolumes");
    Titulo(a, 12, QStringLiteral("Volume de cada áudio"));
    Texto(a,
          16,
          38,
          QStringLiteral("Cada um tem o seu volume, separado do volume principal (que fica só para "
                         "as músicas). Enquanto o locutor fala, a música abaixa conforme a aba "
                         "Locutor."),
          40,
          FAbas->width() - 40);
    for (int i = 0; i < 9; ++i) {
        const int topo = 86 + 40 * i;
        Texto(a, 16, topo + 6, QString::fromUtf8(kNomesLinhas[static_cast<std::size_t>(i)]));
        auto* trilha = new QSlider(Qt::Horizontal, a);
        trilha->setObjectName(QStringLiteral("trkVolume%1").arg(i));
        trilha->setRange(0, 100);
        trilha->setTickPosition(QSlider::NoTicks);
        trilha->setGeometry(196, topo, 250, 32);
        auto* valor = Texto(a, 452, topo + 6, QStringLiteral("0%"));
        valor->setMinimumWidth(48);
        auto* ouvir = Botao(a, 510, topo, 90, QStringLiteral("Ouvir"));
        ouvir->setObjectName(QStringLiteral("btnOuvirVolume%1").arg(i));
        const auto k = static_cast<std::size_t>(i);
        FTrilhas[k] = trilha;
        FValores[k] = valor;
        FOuvir[k] = ouvir;
        connect(trilha, &QSlider::valueChanged, this, [this, i](int AValor) {
            AtualizarVolumeTeste(i, AValor);
        });
        connect(ouvir, &QPushButton::clicked, this, [this, i] { OuvirVolume(i); });
    }
}

void TfrmConfig::MontarDatas() {
    QWidget* a = Nomear(NovaAba(QStringLiteral("Datas e clima")), "tabDatas");
    Titulo(a, 12, QStringLiteral("Datas comemorativas"));
    Texto(a,
          16,
          38,
          QStringLiteral("O locutor deseja boas festas no dia e lembra a data nos dias anteriores "
                         "(\"Faltam 5 dias para o Dia das Mães...\")."),
          40);
    lstDatas = Nomear(new QListWidget(a), "lstDatas");
    lstDatas->setGeometry(16, 82, 300, 208);
    for (const auto& d : ListaDatas()) {
        ItemMarcavel(lstDatas, Q(d.Nome), Q(d.Chave));
    }
    ItemMarcavel(
        lstDatas, QStringLiteral("Aniversário da loja"), QString::fromLatin1(kChaveAniversario));
    Texto(a, 332, 82, QStringLiteral("Aniversário da loja (dd/mm)"));
    edtAniversario = Nomear(Edicao(a, 332, 102, 90, QStringLiteral("dd/mm")), "edtAniversario");
    Texto(a, 332, 138, QStringLiteral("Lembrar quantos dias antes"));
    spnDiasAntes = Nomear(Giro(a, 332, 158, 0, 30), "spnDiasAntes");
    Texto(a, 332, 194, QStringLiteral("Falar a cada (minutos)"));
    spnMinutosDatas = Nomear(Giro(a, 332, 214, 5, 240), "spnMinutosDatas");
    auto* ouvir = Nomear(Botao(a, 332, 258, 160, QStringLiteral("Ouvir a frase")), "btnOuvirData");
    connect(ouvir, &QPushButton::clicked, this, [this] {
        int linha = lstDatas->currentRow();
        if (linha < 0) {
            linha = 0;
        }
        const auto datas = ListaDatas();
        std::string texto;
        if (linha >= static_cast<int>(datas.size())) {
            texto = "Hoje é aniversário {da empresa}! Obrigado por fazer parte da nossa história.";
        } else {
            texto = datas[static_cast<std::size_t>(linha)].Frase;
        }
        FalarTeste(AplicarEmpresa(texto, EmpresaDialogo(), GeneroDialogo()), TTipoFala::tfData);
    });
    Titulo(a, 304, QStringLiteral("Tempo e temperatura"));
    chkClima = Nomear(
        Caixa(
            a,
            330,
            QStringLiteral("Falar o tempo junto com a hora certa (\"Agora faz 28 graus em...\")")),
        "chkClima");
    Texto(a, 16, 360, QStringLiteral("Cidade"));
    edtCidade = Nomear(Edicao(a, 16, 380, 316, QStringLiteral("Ex.: São Luís, MA")), "edtCidade");
    btnBuscarCidade =
        Nomear(Botao(a, 340, 378, 182, QStringLiteral("Buscar cidade")), "btnBuscarCidade");
    connect(btnBuscarCidade, &QPushButton::clicked, this, [this] { BuscarCidadeAgora(); });
    lblCidade =
        Nomear(Texto(a, 16, 412, QStringLiteral("Digite a cidade e clique em Buscar cidade."), 40),
               "lblCidade");
    Dica(a,
         454,
         QStringLiteral("Dados do tempo: MET Norway (CC BY 4.0). Localização: © OpenStreetMap."),
         20);
}

void TfrmConfig::MontarNoticias() {
    QWidget* a = Nomear(NovaAba(QStringLiteral("Notícias")), "tabNoticias");
    Titulo(a, 12, QStringLiteral("Notícias curtas"));
    Texto(a,
          16,
          38,
          QStringLiteral("De vez em quando, entre uma música e outra, o locutor lê as últimas "
                         "notícias: a manchete e um resumo curto. Fonte: Agência Brasil. Precisa "
                         "de internet."),
          40);
    chkNoticias =
        Nomear(Caixa(a, 84, QStringLiteral("Ler notícias entre as músicas")), "chkNoticias");
    Texto(a, 16, 116, QStringLiteral("Assuntos"));
    lstAssuntos = Nomear(new QListWidget(a), "lstAssuntos");
    lstAssuntos->setGeometry(16, 136, 260, 176);
    for (const auto& assunto : TabelaAssuntos) {
        ItemMarcavel(
            lstAssuntos, QString::fromUtf8(assunto.Nome), QString::fromUtf8(assunto.Chave));
    }
    Texto(a, 300, 136, QStringLiteral("Notícias a cada (músicas)"));
    spnNoticiasCada = Nomear(Giro(a, 300, 156, 1, 20), "spnNoticiasCada");
    Texto(a, 300, 192, QStringLiteral("Quantas notícias por vez"));
    spnNoticiasQtd = Nomear(Giro(a, 300, 212, 1, 5), "spnNoticiasQtd");
    chkResumo = Nomear(Caixa(a, 252, QStringLiteral("Ler também o resumo"), 300), "chkResumo");
    chkRepetir =
        Nomear(Caixa(a, 282, QStringLiteral("Repetir até chegarem novas"), 300), "chkRepetir");
    chkRepetir->setToolTip(
        QStringLiteral("Quando as notícias novas acabarem, o locutor relê as já lidas (a mais "
                       "antiga primeiro) até chegarem novas. O programa busca novas sempre que "
                       "elas acabam."));
    chkFiltrar = Nomear(
        Caixa(a,
              324,
              QStringLiteral(
                  "Só notícias leves: pular crimes, mortes, tragédias, política e eleições")),
        "chkFiltrar");
    btnVerNoticias =
        Nomear(Botao(a, 16, 360, 220, QStringLiteral("Ver as últimas notícias")), "btnVerNoticias");
    btnOuvirNoticia =
        Nomear(Botao(a, 244, 360, 180, QStringLiteral("Ouvir uma notícia")), "btnOuvirNoticia");
    connect(btnVerNoticias, &QPushButton::clicked, this, [this] { VerNoticias(); });
    connect(btnOuvirNoticia, &QPushButton::clicked, this, [this] { OuvirNoticia(); });
    lblPrevia = Nomear(Texto(a, 16, 400, QString(), 110), "lblPrevia");
    Dica(a,
         516,
         QStringLiteral(
             "Notícias: Agência Brasil (EBC). Reprodução permitida com citação da fonte."),
         20);
}

void TfrmConfig::MontarCelular() {
    QWidget* a = Nomear(NovaAba(QStringLiteral("Celular")), "tabCelular");
    Titulo(a, 12, QStringLiteral("Controle pelo celular"));
    Texto(a,
          16,
          38,
          QStringLiteral("Tocar, pausar, pular, volume, hora certa, falar agora e chamadas rápidas "
                         "pelo celular. O celular precisa estar no mesmo Wi-Fi (rede) deste "
                         "computador."),
          40);
    chkCelular =
        Nomear(Caixa(a, 84, QStringLiteral("Permitir o controle pelo celular")), "chkCelular");
    chkCelular->setGeometry(16, 84, kLarguraUtil - 16 - 200, 24);
    connect(chkCelular, &QCheckBox::toggled, this, [this] { AtualizarCelular(); });
    // Wrapped beside the code, which takes the right-hand side.
    Texto(a,
          16,
          112,
          QStringLiteral("Leia o código com a câmera do celular ou digite no navegador:"),
          36,
          360);
    lblEndereco = Nomear(Texto(a, 16, 148, QString(), 52, 360), "lblEndereco");
    lblEndereco->setFont(FonteTexto(21, QFont::Bold));
    lblEndereco->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Texto(a, 16, 208, QStringLiteral("PIN de acesso (pedido no celular)"));
    lblPin = Nomear(Texto(a, 16, 230, QString()), "lblPin");
    lblPin->setFont(FonteTexto(27, QFont::Bold));
    lblPin->setGeometry(16, 226, 176, 40);
    auto* novo = Nomear(Botao(a, 200, 234, 160, QStringLiteral("Gerar novo PIN")), "btnNovoPin");
    connect(novo, &QPushButton::clicked, this, [this] { GerarNovoPin(); });
    FPainelQR = new TPainelQR(a, [this](QPainter& APintor, const QRect& ARetangulo) {
        if (FQR.empty()) {
            APintor.fillRect(ARetangulo, palette().color(QPalette::Window));
            return;
        }
        DesenharQRCode(APintor, ARetangulo, FQR);
        if (!chkCelular->isChecked()) {
            APintor.setPen(QPen(QColor(128, 128, 128), 6));
            APintor.drawLine(ARetangulo.left() + 10,
                             ARetangulo.top() + 10,
                             ARetangulo.right() - 10,
                             ARetangulo.bottom() - 10);
        }
    });
    FPainelQR->setObjectName(QStringLiteral("pbQR"));
    FPainelQR->setGeometry(kLarguraUtil - 196, 104, 188, 188);
    lblQR = Nomear(Texto(a, kLarguraUtil - 196, 294, QString(), 34, 188), "lblQR");
    lblQR->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblQR->setText(QStringLiteral("Aponte a câmera do celular"));
    Texto(a, 16, 284, QStringLiteral("Porta"));
    spnPorta = Nomear(Giro(a, 80, 280, 1024, 65535, 100), "spnPorta");
    connect(spnPorta, &QSpinBox::valueChanged, this, [this] { AtualizarCelular(); });
    Dica(a,
         344,
         QStringLiteral("Na primeira vez, o sistema pode perguntar se o Loja Sonorante pode usar a "
                        "rede: permita o acesso nas redes privadas. Guarde o PIN: sem ele ninguém "
                        "controla o programa."),
         60);
    Dica(a,
         408,
         QStringLiteral("Para abrir como aplicativo, com ícone: no celular, toque em \"Coloque na "
                        "tela inicial\" e siga o passo a passo (Android e iPhone)."),
         40);
}

void TfrmConfig::Carregar() {
    const TConfiguracoes& c = FControle.Config();
    edtMusicas->setText(Q(c.PastaMusicas));
    edtPropagandas->setText(Q(c.PastaPropagandas));
    spnIntervalo->setValue(c.MusicasEntrePropagandas);
    spnQtd->setValue(c.PropagandasPorIntervalo);
    chkSubpastas->setChecked(c.IncluirSubpastas);
    chkAleatorio->setChecked(c.Aleatorio);
    cbxTema->setCurrentIndex(cbxTema->findText(Q(c.Tema)));
    chkIniciarWindows->setChecked(FControle.IniciaComSistema());
    chkTocarAoAbrir->setChecked(c.TocarAoIniciar);
    chkBandeja->setChecked(c.FecharParaBandeja);
    chkWidget->setChecked(c.WidgetNaBandeja);

    edtEmpresa->setText(Q(c.NomeEmpresa));
    cbxGenero->setCurrentIndex(static_cast<int>(c.GeneroEmpresa));
    int voz = c.Voz.empty() ? 0 : cbxVoz->findText(Q(c.Voz));
    if (voz < 0) {
        // A voice missing today (no browser yet) is kept, not lost on save.
        cbxVoz->addItem(Q(c.Voz));
        voz = cbxVoz->count() - 1;
    }
    cbxVoz->setCurrentIndex(voz);
    spnVelocidade->setValue(c.VelocidadeVoz);
    spnTom->setValue(c.TomVoz);
    spnFundo->setValue(c.VolumeFundo);
    chkHoraCerta->setChecked(c.HoraCerta);
    chkFechamento->setChecked(c.AvisoFechamento);
    chkParar->setChecked(c.PararNoFechamento);
    edtHorario->setText(Q(c.HorarioFechamento));
    edtAvisos->setText(Q(c.AvisosFechamento));
    spnMinutos->setValue(c.MinutosEntreMensagens);
    for (const auto& m : c.Mensagens) {
        lstMensagens->addItem(Q(m));
    }

    chkVolumeAuto->setChecked(c.VolumeAutomatico);
    spnTransicao->setValue(c.TransicaoSegundos);
    edtVinhetaAntes->setText(Q(c.VinhetaAntes));
    edtVinhetaDepois->setText(Q(c.VinhetaDepois));
    FTrilhas[0]->setValue(c.VolumePropagandas);
    FTrilhas[1]->setValue(c.VolumeVinhetas);
    for (std::size_t i = 0; i < kFalasDasLinhas.size(); ++i) {
        FTrilhas[i + 2]->setValue(c.VolumesFala[IndiceFala(kFalasDasLinhas[i])]);
    }
    for (std::size_t i = 0; i < FTrilhas.size(); ++i) {
        FValores[i]->setText(QStringLiteral("%1%").arg(FTrilhas[i]->value()));
    }
    MostrarReferencia();

    const std::string todas = Aparar(c.DatasAtivas);
    const auto partes = Dividir(c.DatasAtivas, ",");
    for (int i = 0; i < lstDatas->count(); ++i) {
        auto* item = lstDatas->item(i);
        const std::string chave = S(item->data(Qt::UserRole).toString());
        bool marcada = todas == "*";
        for (const auto& p : partes) {
            marcada = marcada || IguaisSemCaixa(Aparar(p), chave);
        }
        item->setCheckState(marcada ? Qt::Checked : Qt::Unchecked);
    }
    edtAniversario->setText(Q(c.Aniversario));
    spnDiasAntes->setValue(c.DatasDiasAntes);
    spnMinutosDatas->setValue(c.DatasMinutos);
    chkClima->setChecked(c.ClimaAtivo);
    edtCidade->setText(Q(c.ClimaCidade));
    if (!c.ClimaCidade.empty()) {
        lblCidade->setText(QStringLiteral("Cidade escolhida: ") + Q(c.ClimaCidade));
    }

    chkNoticias->setChecked(c.NoticiasAtivas);
    for (int i = 0; i < lstAssuntos->count(); ++i) {
        auto* item = lstAssuntos->item(i);
        item->setCheckState(AssuntoAtivo(c.NoticiasAssuntos, S(item->data(Qt::UserRole).toString()))
                                ? Qt::Checked
                                : Qt::Unchecked);
    }
    spnNoticiasCada->setValue(c.NoticiasCadaMusicas);
    spnNoticiasQtd->setValue(c.NoticiasQuantidade);
    chkResumo->setChecked(c.NoticiasResumo);
    chkRepetir->setChecked(c.NoticiasRepetir);
    chkFiltrar->setChecked(c.NoticiasFiltrar);

    {
        const QSignalBlocker b1(chkCelular);
        const QSignalBlocker b2(spnPorta);
        chkCelular->setChecked(c.CelularAtivo);
        spnPorta->setValue(c.CelularPorta);
    }
    AtualizarCelular();
}

void TfrmConfig::CopiarPara(TConfiguracoes& AConfig) const {
    TConfiguracoes& c = AConfig;
    c.PastaMusicas = S(edtMusicas->text());
    c.PastaPropagandas = S(edtPropagandas->text());
    c.MusicasEntrePropagandas = spnIntervalo->value();
    c.PropagandasPorIntervalo = spnQtd->value();
    c.IncluirSubpastas = chkSubpastas->isChecked();
    c.Aleatorio = chkAleatorio->isChecked();
    if (cbxTema->currentIndex() >= 0) {
        c.Tema = S(cbxTema->currentText());
    }
    c.TocarAoIniciar = chkTocarAoAbrir->isChecked();
    c.FecharParaBandeja = chkBandeja->isChecked();
    c.WidgetNaBandeja = chkWidget->isChecked();

    c.NomeEmpresa = Aparado(edtEmpresa);
    c.GeneroEmpresa = static_cast<TGeneroEmpresa>(std::max(0, cbxGenero->currentIndex()));
    c.Voz = cbxVoz->currentIndex() <= 0 ? std::string() : S(cbxVoz->currentText());
    c.VelocidadeVoz = spnVelocidade->value();
    c.TomVoz = spnTom->value();
    c.VolumeFundo = spnFundo->value();
    c.HoraCerta = chkHoraCerta->isChecked();
    c.AvisoFechamento = chkFechamento->isChecked();
    c.PararNoFechamento = chkParar->isChecked();
    c.HorarioFechamento = Aparado(edtHorario);
    c.AvisosFechamento = Aparado(edtAvisos);
    c.MinutosEntreMensagens = spnMinutos->value();
    c.Mensagens.clear();
    for (int i = 0; i < lstMensagens->count(); ++i) {
        c.Mensagens.push_back(S(lstMensagens->item(i)->text()));
    }

    c.VolumeAutomatico = chkVolumeAuto->isChecked();
    c.ReferenciaVolume = FReferencia;
    c.ReferenciaNome = FReferenciaNome;
    c.TransicaoSegundos = spnTransicao->value();
    c.VinhetaAntes = Aparado(edtVinhetaAntes);
    c.VinhetaDepois = Aparado(edtVinhetaDepois);
    c.VolumePropagandas = FTrilhas[0]->value();
    c.VolumeVinhetas = FTrilhas[1]->value();
    for (std::size_t i = 0; i < kFalasDasLinhas.size(); ++i) {
        c.VolumesFala[IndiceFala(kFalasDasLinhas[i])] = FTrilhas[i + 2]->value();
    }

    const std::vector<std::string> datas = ChavesMarcadas(lstDatas);
    c.DatasAtivas =
        static_cast<int>(datas.size()) == lstDatas->count() ? std::string("*") : Juntar(datas, ",");
    c.Aniversario = Aparado(edtAniversario);
    c.DatasDiasAntes = spnDiasAntes->value();
    c.DatasMinutos = spnMinutosDatas->value();
    c.ClimaAtivo = chkClima->isChecked() && !FClimaCidade.empty();
    c.ClimaCidade = FClimaCidade;
    c.ClimaLat = FClimaLat;
    c.ClimaLon = FClimaLon;

    c.NoticiasAtivas = chkNoticias->isChecked();
    c.NoticiasResumo = chkResumo->isChecked();
    c.NoticiasFiltrar = chkFiltrar->isChecked();
    c.NoticiasRepetir = chkRepetir->isChecked();
    c.NoticiasAssuntos = AssuntosMarcados();
    c.NoticiasCadaMusicas = spnNoticiasCada->value();
    c.NoticiasQuantidade = spnNoticiasQtd->value();
    c.CelularAtivo = chkCelular->isChecked();
    c.CelularPorta = spnPorta->value();
    c.CelularPin = FPin;
}

std::string TfrmConfig::AssuntosMarcados() const {
    return Juntar(ChavesMarcadas(lstAssuntos), ",");
}

void TfrmConfig::MostrarMensagem(QMessageBox::Icon AIcone, const QString& ATexto) {
    FUltimoAviso = ATexto;
    if (FAvisar) {
        FAvisar(ATexto);
        return;
    }
    QMessageBox caixa(AIcone, windowTitle(), ATexto, QMessageBox::Ok, this);
    caixa.exec();
}

void TfrmConfig::Avisar(int AAba, QWidget* AFoco, const QString& ATexto) {
    FAbas->setCurrentIndex(AAba);
    MostrarMensagem(QMessageBox::Warning, ATexto);
    if (AFoco != nullptr) {
        AFoco->setFocus();
    }
}

bool TfrmConfig::Validar() {
    TConfiguracoes novo = FControle.Config();
    CopiarPara(novo);
    const auto problemas = FControle.Validar(novo);
    if (problemas.empty()) {
        return true;
    }
    // The first problem, on its tab, with its field in focus.
    const TProblemaConfig& p = problemas.front();
    int aba = kAbaMusicas;
    if (p.Aba == "locutor") {
        aba = kAbaLocutor;
    } else if (p.Aba == "celular") {
        aba = kAbaCelular;
    }
    QWidget* campo = nullptr;
    if (p.Campo == "PastaMusicas") {
        campo = edtMusicas;
    } else if (p.Campo == "PastaPropagandas") {
        campo = edtPropagandas;
    } else if (p.Campo == "HorarioFechamento") {
        campo = edtHorario;
    } else if (p.Campo == "CelularPorta") {
        campo = spnPorta;
    }
    Avisar(aba, campo, Q(p.Mensagem));
    return false;
}

bool TfrmConfig::Salvar() {
    if (!Validar()) {
        return false;
    }
    TConfiguracoes novo = FControle.Config();
    CopiarPara(novo);
    FControle.DefinirIniciarComSistema(chkIniciarWindows->isChecked());
    try {
        FControle.Aplicar(novo);
    } catch (const TErroComando& e) {
        // Nothing changed: the dialog stays open with the user's edits.
        MostrarMensagem(QMessageBox::Critical, QString::fromStdString(e.what()));
        return false;
    }
    accept();
    return true;
}

void TfrmConfig::EscolherPasta(QLineEdit* AEdit) {
    const QString atual = AEdit->text();
    const QString pasta = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Selecione a pasta"), PastaExiste(S(atual)) ? atual : QString());
    if (!pasta.isEmpty()) {
        AEdit->setText(pasta);
    }
}

void TfrmConfig::EscolherVinheta(QLineEdit* AEdit) {
    const QString atual = AEdit->text().trimmed();
    const QString inicio = atual.isEmpty() ? QString() : QFileInfo(atual).absolutePath();
    const QString arquivo =
        QFileDialog::getOpenFileName(this,
                                     QStringLiteral("Escolha a vinheta"),
                                     inicio,
                                     QStringLiteral("Áudio (*.mp3 *.wav *.wma *.MP3 *.WAV *.WMA)"));
    if (!arquivo.isEmpty()) {
        AEdit->setText(arquivo);
    }
}

std::string TfrmConfig::EmpresaDialogo() const {
    return Aparado(edtEmpresa);
}

TGeneroEmpresa TfrmConfig::GeneroDialogo() const {
    return static_cast<TGeneroEmpresa>(std::max(0, cbxGenero->currentIndex()));
}

void TfrmConfig::MostrarReferencia() {
    if (FReferencia <= -999) {
        lblReferencia->setText(
            QStringLiteral("Ainda não definida: a próxima música tocada vira a referência."));
    } else {
        lblReferencia->setText(QStringLiteral("%1  (%2 LUFS)")
                                   .arg(Q(FReferenciaNome))
                                   .arg(QLocale::system().toString(FReferencia, 'f', 1)));
    }
    const bool auto_ = chkVolumeAuto->isChecked();
    btnRefAtual->setEnabled(auto_ && !FMusicaAtual.empty() && FLoudnessAtual > -999);
    btnRefProxima->setEnabled(auto_ && FReferencia > -999);
}

void TfrmConfig::FalarTeste(const std::string& ATexto, TTipoFala ATipo) {
    PararTeste();
    FTimerVoz.start();
    IEscutaTeste::TVoz voz;
    voz.Nome = cbxVoz->currentIndex() <= 0 ? std::string() : S(cbxVoz->currentText());
    voz.Velocidade = spnVelocidade->value();
    voz.Tom = spnTom->value();
    for (std::size_t i = 0; i < kFalasDasLinhas.size(); ++i) {
        voz.Volumes[IndiceFala(kFalasDasLinhas[i])] = FTrilhas[i + 2]->value();
    }
    Escuta().Falar(ATexto, ATipo, voz);
}

void TfrmConfig::TestarVoz() {
    const TDataHora agora = DecodificarDataHora(FDep.Agora());
    FalarTeste(FraseHoraCerta(EmpresaDialogo(), GeneroDialogo(), agora.Hora, agora.Minuto) + " " +
                   FraseAvisoFechamento(EmpresaDialogo(), GeneroDialogo(), 15),
               TTipoFala::tfHoraCerta);
}

std::string TfrmConfig::FraseExemplo(TTipoFala ATipo) const {
    const std::string empresa = EmpresaDialogo();
    const TGeneroEmpresa genero = GeneroDialogo();
    switch (ATipo) {
        case TTipoFala::tfHoraCerta: {
            const TDataHora agora = DecodificarDataHora(FDep.Agora());
            return FraseHoraCerta(empresa, genero, agora.Hora, agora.Minuto);
        }
        case TTipoFala::tfClima:
            return "Agora faz 28 graus em " +
                   (FClimaCidade.empty() ? std::string("nossa cidade") : FClimaCidade) +
                   ", com céu parcialmente nublado.";
        case TTipoFala::tfFechamento:
            return FraseAvisoFechamento(empresa, genero, 15);
        case TTipoFala::tfMensagem:
            return AplicarEmpresa(lstMensagens->count() > 0
                                      ? S(lstMensagens->item(0)->text())
                                      : std::string("Bem-vindo {à empresa}! Aproveite as ofertas "
                                                    "do dia."),
                                  empresa,
                                  genero);
        case TTipoFala::tfData:
            return "Faltam 5 dias para o Dia das Mães. Venha escolher o presente!";
        case TTipoFala::tfNoticia:
            return kAberturaNoticias;
        case TTipoFala::tfChamada:
            return "Atenção, cliente Maria, compareça ao caixa 1, por favor.";
    }
    return {};
}

void TfrmConfig::AtualizarVolumeTeste(int ALinha, int AValor) {
    const auto k = static_cast<std::size_t>(ALinha);
    FValores[k]->setText(QStringLiteral("%1%").arg(AValor));
    if (FBotaoTeste != nullptr && FBotaoTeste == FOuvir[k]) {
        Escuta().DefinirVolumeArquivo(AValor);
    } else if (ALinha >= 2) {
        Escuta().DefinirVolumeFala(kFalasDasLinhas[k - 2], AValor);
    }
}

void TfrmConfig::OuvirVolume(int ALinha) {
    const auto k = static_cast<std::size_t>(ALinha);
    if (ALinha >= 2) {
        const TTipoFala tipo = kFalasDasLinhas[k - 2];
        FalarTeste(FraseExemplo(tipo), tipo);
        return;
    }
    if (FBotaoTeste != nullptr && FBotaoTeste == FOuvir[k]) {
        PararTeste();
        return;
    }
    PararTeste();
    Escuta().CalarVoz();
    std::string arquivo;
    QString semArquivo;
    if (ALinha == 0) {
        const std::string pasta = S(edtPropagandas->text());
        if (PastaExiste(pasta)) {
            arquivo = Escuta().PrimeiroArquivo(pasta);
        }
        semArquivo = QStringLiteral("Escolha a pasta das propagandas (aba Músicas) para ouvir.");
    } else {
        const std::string antes = Aparado(edtVinhetaAntes);
        const std::string depois = Aparado(edtVinhetaDepois);
        arquivo = ArquivoExiste(antes) ? antes : ArquivoExiste(depois) ? depois : std::string();
        semArquivo = QStringLiteral("Escolha uma vinheta (aba Som) para ouvir.");
    }
    if (arquivo.empty()) {
        MostrarMensagem(QMessageBox::Information, semArquivo);
        return;
    }
    if (Escuta().TocarArquivo(arquivo, FTrilhas[k]->value())) {
        FBotaoTeste = FOuvir[k];
        FBotaoTeste->setText(QStringLiteral("Parar"));
        FPassosTeste = 0;
        FTimerTeste.start();
    }
}

void TfrmConfig::PassoTeste() {
    ++FPassosTeste;
    if (FPassosTeste >= 20 || !Escuta().TocandoArquivo()) {
        PararTeste();
    }
}

void TfrmConfig::PararTeste() {
    FTimerTeste.stop();
    if (FEscuta) {
        FEscuta->PararArquivo();
    }
    if (FBotaoTeste != nullptr) {
        FBotaoTeste->setText(QStringLiteral("Ouvir"));
    }
    FBotaoTeste = nullptr;
}

IEscutaTeste& TfrmConfig::Escuta() {
    if (!FEscuta) {
        FEscuta = FControle.CriarEscutaTeste();
    }
    return *FEscuta;
}

bool TfrmConfig::Ocupado() const {
    return FTrabalhos > 0;
}

void TfrmConfig::MarcarOcupado(QPushButton* ABotao, const QString& ATextoOcupado) {
    ++FTrabalhos;
    ABotao->setEnabled(false);
    ABotao->setText(ATextoOcupado);
    setCursor(Qt::BusyCursor);
}

void TfrmConfig::DesmarcarOcupado(QPushButton* ABotao, const QString& ATexto) {
    --FTrabalhos;
    ABotao->setEnabled(true);
    ABotao->setText(ATexto);
    if (FTrabalhos == 0) {
        unsetCursor();
    }
}

void TfrmConfig::BuscarCidadeAgora() {
    const std::string texto = Aparado(edtCidade);
    if (texto.empty() || !btnBuscarCidade->isEnabled()) {
        return;
    }
    struct TResultado {
        TCidade Cidade;
        std::string Frase;
    };
    MarcarOcupado(btnBuscarCidade, QStringLiteral("Buscando..."));
    lblCidade->setText(QStringLiteral("Buscando a cidade..."));
    auto* vigia = new QFutureWatcher<TResultado>(this);
    connect(vigia, &QFutureWatcherBase::finished, this, [this, vigia] {
        const TResultado r = vigia->result();
        vigia->deleteLater();
        DesmarcarOcupado(btnBuscarCidade, QStringLiteral("Buscar cidade"));
        if (!r.Cidade.Encontrada) {
            lblCidade->setText(QStringLiteral(
                "Cidade não encontrada (ou sem internet). Confira o nome e tente de novo."));
            return;
        }
        FClimaCidade = r.Cidade.Exibicao;
        FClimaLat = r.Cidade.Latitude;
        FClimaLon = r.Cidade.Longitude;
        edtCidade->setText(Q(FClimaCidade));
        lblCidade->setText(
            QStringLiteral("Cidade escolhida: ") + Q(FClimaCidade) + QStringLiteral(". ") +
            (r.Frase.empty() ? QStringLiteral("(Previsão indisponível agora.)") : Q(r.Frase)));
        chkClima->setChecked(true);
    });
    const double agora = FDep.Agora();
    vigia->setFuture(QtConcurrent::run([buscar = FDep.BuscarCidade,
                                        obter = FDep.ObterClima,
                                        texto,
                                        agora,
                                        parar = FParar.get_token()] {
        TResultado r;
        r.Cidade = buscar(texto, parar);
        if (r.Cidade.Encontrada) {
            r.Frase = FraseClima(obter(r.Cidade.Latitude, r.Cidade.Longitude, agora, parar),
                                 r.Cidade.Exibicao,
                                 false);
        }
        return r;
    }));
}

void TfrmConfig::VerNoticias(std::function<void(bool)> AAoTerminar) {
    const std::string assuntos = AssuntosMarcados();
    if (assuntos.empty()) {
        lblPrevia->setText(QStringLiteral("Marque pelo menos um assunto."));
        if (AAoTerminar) {
            AAoTerminar(false);
        }
        return;
    }
    if (!btnVerNoticias->isEnabled()) {
        return;
    }
    MarcarOcupado(btnVerNoticias, QStringLiteral("Buscando..."));
    btnOuvirNoticia->setEnabled(false);
    lblPrevia->setText(QStringLiteral("Buscando as notícias..."));
    auto* vigia = new QFutureWatcher<std::vector<TNoticia>>(this);
    connect(vigia, &QFutureWatcherBase::finished, this, [this, vigia, AAoTerminar] {
        FPrevia = vigia->result();
        vigia->deleteLater();
        DesmarcarOcupado(btnVerNoticias, QStringLiteral("Ver as últimas notícias"));
        btnOuvirNoticia->setEnabled(true);
        if (FPrevia.empty()) {
            lblPrevia->setText(
                QStringLiteral("Nenhuma notícia encontrada agora (ou sem internet). Tente de novo "
                               "mais tarde."));
        } else {
            QString t = QStringLiteral("%1 notícias recentes. As mais novas:").arg(FPrevia.size());
            for (std::size_t i = 0; i < std::min<std::size_t>(3, FPrevia.size()); ++i) {
                t += QStringLiteral("\n• ") + Q(FPrevia[i].Titulo);
            }
            lblPrevia->setText(t);
        }
        if (AAoTerminar) {
            AAoTerminar(!FPrevia.empty());
        }
    });
    vigia->setFuture(QtConcurrent::run(
        [baixar = FDep.BaixarNoticias,
         assuntos,
         filtrar = chkFiltrar->isChecked(),
         agora = FDep.Agora(),
         parar = FParar.get_token()] { return baixar(assuntos, filtrar, agora, parar); }));
}

void TfrmConfig::OuvirNoticia() {
    auto falar = [this] {
        FalarTeste(TextoNoticia(FPrevia.front(), chkResumo->isChecked()), TTipoFala::tfNoticia);
    };
    if (!FPrevia.empty()) {
        falar();
        return;
    }
    VerNoticias([this, falar](bool AAchou) {
        if (AAchou && !FPrevia.empty()) {
            falar();
        }
    });
}

void TfrmConfig::GerarNovoPin() {
    FPin = GerarPin();
    AtualizarCelular();
}

void TfrmConfig::AtualizarCelular() {
    if (FPin.empty()) {
        FPin = GerarPin();
    }
    lblPin->setText(Q(FPin));
    std::string endereco = EnderecoCelular(spnPorta->value());
    if (endereco.empty()) {
        endereco = "Sem rede: conecte o computador ao Wi-Fi ou ao cabo de rede.";
    }
    lblEndereco->setText(Q(endereco));
    FQR.clear();
    if (ComecaCom(endereco, "http")) {
        const auto fim = endereco.find_first_of("\r\n");
        GerarQRCode(endereco.substr(0, fim) + "/#pin=" + FPin, FQR);
    }
    if (!FQR.empty()) {
        lblQR->setText(chkCelular->isChecked()
                           ? QStringLiteral("Aponte a câmera do celular: abre já com o PIN")
                           : QStringLiteral("Marque \"Permitir o controle\" e clique em Salvar"));
    } else {
        lblQR->setText(QStringLiteral("Sem rede: sem código"));
    }
    FPainelQR->update();
}

}  // namespace ljsn
