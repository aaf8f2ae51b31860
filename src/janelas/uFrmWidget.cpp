#include "janelas/uFrmWidget.h"

#include <QComboBox>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <limits>

#include "comum/uTexto.h"
#include "janelas/uAparencia.h"
#include "janelas/uComponentes.h"
#include "janelas/uTemas.h"

namespace ljsn {

namespace {

constexpr int kLargura = 320;
constexpr int kCantos = 14;  // the corner ellipse's width and height
constexpr int kNuncaPosicionado = -99999;
constexpr std::uint32_t kDuracaoAvisoMs = 5000;
constexpr int kIntervaloEstadoMs = 500;

constexpr char32_t kGlifoFixado = U'\uE718';
constexpr char32_t kGlifoSolto = U'\uE77A';
constexpr char32_t kGlifoAbrir = U'\uE8A7';
constexpr char32_t kGlifoFechar = U'\uE8BB';

const QColor kVerdeNoAr{61, 220, 132};
const QColor kLaranja{255, 180, 0};
const QColor kBorda{80, 80, 80};
const QColor kTrilhaTempo{64, 64, 64};
const QColor kTempoCheio{0, 120, 215};

QString Q(const std::string& ATexto) {
    return QString::fromStdString(ATexto);
}

QFont FontePontos(int APontos, bool ANegrito = false) {
    QFont f = FonteTexto(12, ANegrito ? QFont::Bold : QFont::Normal);
    f.setPointSize(APontos);
    return f;
}

QFont FonteIconesPontos(int APontos) {
    QFont f = FonteIcones(16);
    f.setPointSize(APontos);
    return f;
}

void Colorir(QWidget* AWidget, const QColor& ACor) {
    QPalette p = AWidget->palette();
    p.setColor(QPalette::WindowText, ACor);
    AWidget->setPalette(p);
}

void Pintar(QWidget* AWidget, const QColor& ACor) {
    QPalette p = AWidget->palette();
    p.setColor(QPalette::Window, ACor);
    AWidget->setPalette(p);
    AWidget->setAutoFillBackground(true);
}

QPushButton* BotaoGlifo(QWidget* APai, char32_t AGlifo, const QString& ADica) {
    auto* b = new QPushButton(Glifo(AGlifo), APai);
    b->setFont(FonteIconesPontos(13));
    b->setToolTip(ADica);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

// Keys of the state as the widget reads them: a missing key or one of
// another type gives the default.
std::string LerTexto(const TJson& AEstado, const char* AChave, const char* APadrao) {
    const auto it = AEstado.find(AChave);
    return it != AEstado.end() && it->is_string() ? it->get<std::string>() : std::string(APadrao);
}

double LerNumero(const TJson& AEstado, const char* AChave, double APadrao) {
    const auto it = AEstado.find(AChave);
    return it != AEstado.end() && it->is_number() ? it->get<double>() : APadrao;
}

struct TCampoChamada {
    const char* Marcador;
    const char* Nome;
    const char* Dica;
};

// In this order; "{veiculo}" and "{objeto}" both fill "item".
constexpr TCampoChamada kCamposChamada[] = {
    {"{caixa}", "caixa", "Número do caixa"},
    {"{nome}", "nome", "Nome"},
    {"{setor}", "setor", "Setor"},
    {"{veiculo}", "item", "Veículo (ex.: Gol prata)"},
    {"{objeto}", "item", "Objeto (ex.: uma carteira preta)"},
    {"{placa}", "placa", "Placa"},
};

// The screen nearest to APonto: the one holding it, else the one whose
// geometry is closest.
QScreen* TelaMaisProxima(const QPoint& APonto) {
    QScreen* melhor = QGuiApplication::primaryScreen();
    long long menor = std::numeric_limits<long long>::max();
    for (QScreen* tela : QGuiApplication::screens()) {
        const QRect g = tela->geometry();
        const long long dx = APonto.x() < g.left()    ? g.left() - APonto.x()
                             : APonto.x() > g.right() ? APonto.x() - g.right()
                                                      : 0;
        const long long dy = APonto.y() < g.top()      ? g.top() - APonto.y()
                             : APonto.y() > g.bottom() ? APonto.y() - g.bottom()
                                                       : 0;
        const long long d = dx * dx + dy * dy;
        if (d < menor) {
            menor = d;
            melhor = tela;
        }
    }
    return melhor;
}

}  // namespace

int AlturaRotulo(int APontos) {
    return static_cast<int>(std::lround(APontos * 2.2));
}

QValidator::State TValidadorMaiusculas::validate(QString& ATexto, int&) const {
    ATexto = ATexto.toUpper();
    return Acceptable;
}

QString ModeloLegivel(const QString& AModelo) {
    static const QRegularExpression marcador(QStringLiteral("\\{([^}]+)\\}"));
    QString r;
    qsizetype ultimo = 0;
    auto it = marcador.globalMatch(AModelo);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        r += AModelo.mid(ultimo, m.capturedStart() - ultimo);
        const QString nome = m.captured(1).toLower();
        if (nome.contains(QStringLiteral("empresa"))) {
            r += QStringLiteral("a loja");
        } else if (nome == QStringLiteral("caixa")) {
            r += QStringLiteral("(nº)");
        } else if (nome == QStringLiteral("veiculo")) {
            r += QStringLiteral("(veículo)");
        } else {
            r += QLatin1Char('(') + nome + QLatin1Char(')');
        }
        ultimo = m.capturedEnd();
    }
    r += AModelo.mid(ultimo);
    return r;
}

TBotaoIcone::TBotaoIcone(QWidget* APai, char32_t AGlifo, const QString& ADica)
    : QWidget(APai), FGlifo(AGlifo) {
    setFont(FonteIconesPontos(11));
    setCursor(Qt::PointingHandCursor);
    setToolTip(ADica);
}

void TBotaoIcone::DefinirGlifo(char32_t AGlifo) {
    FGlifo = AGlifo;
    update();
}

QColor TBotaoIcone::CorAtual() const {
    return FSobre ? kLaranja : palette().color(QPalette::WindowText);
}

void TBotaoIcone::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(CorAtual());
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter, Glifo(FGlifo));
    if (GlifoRiscado(FGlifo)) {
        // The stroke has a gap of the background on each side, so it reads
        // as crossing the glyph rather than touching it.
        const QFontMetrics m(font());
        const qreal lado = m.height() * 0.42;
        const QPointF centro = QRectF(rect()).center();
        const QLineF risco(centro + QPointF(-lado, -lado), centro + QPointF(lado, lado));
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(palette().color(QPalette::Window), 4.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(risco);
        p.setPen(QPen(CorAtual(), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(risco);
    }
}

void TBotaoIcone::enterEvent(QEnterEvent* AEvento) {
    QWidget::enterEvent(AEvento);
    FSobre = true;
    update();
}

void TBotaoIcone::leaveEvent(QEvent* AEvento) {
    QWidget::leaveEvent(AEvento);
    FSobre = false;
    update();
}

void TBotaoIcone::mousePressEvent(QMouseEvent* AEvento) {
    // Taken here, so a press on a glyph never starts moving the window.
    AEvento->accept();
}

void TBotaoIcone::mouseReleaseEvent(QMouseEvent* AEvento) {
    AEvento->accept();
    if (AEvento->button() == Qt::LeftButton && rect().contains(AEvento->position().toPoint()) &&
        AoClicar) {
        AoClicar();
    }
}

TfrmWidget::TfrmWidget(TComandoWidget AComando, const TRelogio& ARelogio)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      FComando(std::move(AComando)),
      FRelogio(ARelogio) {
    // No owner: it stays on screen while the main window is minimised or in the tray.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Loja Sonorante - controles rápidos"));
    setWindowIcon(IconePrograma());
    setFont(FontePontos(9));
    setAutoFillBackground(true);
    CriarControles();
    DefinirPorCima(true);
    AjustarAltura();
    FTimer.setInterval(kIntervaloEstadoMs);
    connect(&FTimer, &QTimer::timeout, this, [this] { PassoTimer(); });
}

TfrmWidget::~TfrmWidget() = default;

void TfrmWidget::CriarControles() {
    const auto rotulo = [this](QWidget* APai, int APontos, bool ANegrito) {
        auto* r = new TRotuloReticente(APai);
        r->setFont(FontePontos(APontos, ANegrito));
        return r;
    };

    FTopo = new QWidget(this);
    FTopo->setGeometry(1, 1, 318, 34);
    FTopo->setCursor(Qt::SizeAllCursor);
    FTopo->installEventFilter(this);
    auto* titulo = rotulo(FTopo, 9, true);
    titulo->setGeometry(4, 0, 180, 34);
    titulo->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titulo->DefinirTexto(QStringLiteral("  Loja Sonorante"));
    titulo->setCursor(Qt::SizeAllCursor);
    titulo->installEventFilter(this);
    FTitulo = titulo;
    FFixar = new TBotaoIcone(FTopo, kGlifoFixado, QString());
    FFixar->setGeometry(216, 0, 34, 34);
    FAbrir = new TBotaoIcone(FTopo, kGlifoAbrir, QStringLiteral("Abrir o programa"));
    FAbrir->setGeometry(250, 0, 34, 34);
    FFechar = new TBotaoIcone(
        FTopo,
        kGlifoFechar,
        QStringLiteral("Fechar os controles rápidos (voltam pelo menu do ícone perto do relógio)"));
    FFechar->setGeometry(284, 0, 34, 34);

    FSituacao = rotulo(this, 8, true);
    FSituacao->setGeometry(12, 44, 296, AlturaRotulo(8));
    FFaixa = rotulo(this, 11, true);
    FFaixa->setGeometry(12, 62, 296, AlturaRotulo(11));
    FTempo = new QWidget(this);
    FTempo->setGeometry(12, 90, 296, 4);
    Pintar(FTempo, kTrilhaTempo);
    FTempoCheio = new QWidget(FTempo);
    FTempoCheio->setGeometry(0, 0, 0, 4);
    Pintar(FTempoCheio, kTempoCheio);

    FTocar = BotaoGlifo(this, kGlifoTocar, QStringLiteral("Tocar"));
    FTocar->setGeometry(12, 106, 70, 42);
    FProxima = BotaoGlifo(this, kGlifoProxima, QStringLiteral("Próxima música"));
    FProxima->setGeometry(88, 106, 56, 42);
    FParar = BotaoGlifo(this, kGlifoParar, QStringLiteral("Parar"));
    FParar->setGeometry(150, 106, 56, 42);
    FHora = new QPushButton(QStringLiteral("Hora certa"), this);
    FHora->setToolTip(QStringLiteral("O locutor fala a hora certa agora"));
    FHora->setGeometry(212, 106, 96, 42);
    FHora->setFocusPolicy(Qt::TabFocus);

    FIconeVolume = new QLabel(Glifo(kGlifoVolume), this);
    FIconeVolume->setFont(FonteIconesPontos(11));
    FIconeVolume->setAlignment(Qt::AlignCenter);
    FIconeVolume->setGeometry(12, 164, 20, AlturaRotulo(11));
    FVolume = new QSlider(Qt::Horizontal, this);
    FVolume->setRange(0, 100);
    FVolume->setTickPosition(QSlider::NoTicks);
    FVolume->setGeometry(34, 160, 230, 30);
    FRotuloVolume = new QLabel(QStringLiteral("0%"), this);
    FRotuloVolume->setFont(FontePontos(9));
    FRotuloVolume->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FRotuloVolume->setGeometry(268, 166, 40, AlturaRotulo(9));

    FFalar = new QLineEdit(this);
    FFalar->setPlaceholderText(QStringLiteral("Falar agora: digite a frase"));
    FFalar->setMaxLength(500);
    FFalar->setGeometry(12, 200, 212, 28);
    FBtnFalar = new QPushButton(QStringLiteral("Falar"), this);
    FBtnFalar->setToolTip(QStringLiteral("O locutor fala a frase na hora"));
    FBtnFalar->setGeometry(230, 199, 78, 30);
    FBtnFalar->setFocusPolicy(Qt::TabFocus);

    FRotuloChamadas = rotulo(this, 8, true);
    FRotuloChamadas->setGeometry(12, 240, 296, AlturaRotulo(8));
    FRotuloChamadas->DefinirTexto(QStringLiteral("CHAMADAS RÁPIDAS"));
    FChamada = new QComboBox(this);
    FChamada->setEditable(false);
    FChamada->setMaxVisibleItems(14);
    FChamada->setGeometry(12, 260, 296, 26);
    FCampos = new QWidget(this);
    FCampos->setGeometry(12, 292, 296, 0);
    FChamar = new QPushButton(QStringLiteral("Chamar"), this);
    FChamar->setToolTip(QStringLiteral("O locutor faz a chamada"));
    FChamar->setGeometry(12, 292, 296, 32);
    FChamar->setFocusPolicy(Qt::TabFocus);
    FAviso = new QLabel(this);
    FAviso->setTextFormat(Qt::PlainText);
    FAviso->setFont(FontePontos(9));
    FAviso->setWordWrap(true);
    FAviso->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FAviso->setGeometry(12, 330, 296, 34);

    FFixar->AoClicar = [this] {
        DefinirPorCima(!FPorCima);
        if (AoMudarPorCima) {
            AoMudarPorCima(*this);
        }
    };
    FAbrir->AoClicar = [this] {
        if (AoAbrirPrograma) {
            AoAbrirPrograma(*this);
        }
    };
    FFechar->AoClicar = [this] {
        FTimer.stop();
        hide();
        if (AoFecharWidget) {
            AoFecharWidget(*this);
        }
    };
    connect(FTocar, &QPushButton::clicked, this, [this] { ClicarTocar(); });
    connect(FProxima, &QPushButton::clicked, this, [this] { EnviarAcao("proxima"); });
    connect(FParar, &QPushButton::clicked, this, [this] { EnviarAcao("parar"); });
    connect(FHora, &QPushButton::clicked, this, [this] {
        if (EnviarAcao("horacerta")) {
            Avisar(QStringLiteral("O locutor vai falar a hora certa."), false);
        }
    });
    connect(FVolume, &QSlider::valueChanged, this, [this](int AValor) {
        FRotuloVolume->setText(QStringLiteral("%1%").arg(AValor));
        if (!FAtualizando) {
            EnviarAcao("volume", TJson{{"valor", AValor}});
        }
    });
    connect(FBtnFalar, &QPushButton::clicked, this, [this] { ClicarFalar(); });
    connect(FFalar, &QLineEdit::returnPressed, this, [this] { ClicarFalar(); });
    connect(FChamada, &QComboBox::currentIndexChanged, this, [this] { MontarCampos(); });
    connect(FChamar, &QPushButton::clicked, this, [this] { ClicarChamar(); });
}

QLineEdit* TfrmWidget::Campo(const QString& ANome) const {
    return FCampos->findChild<QLineEdit*>(QStringLiteral("edt_") + ANome,
                                          Qt::FindDirectChildrenOnly);
}

QString TfrmWidget::ValorCampo(const QString& ANome) const {
    const QLineEdit* campo = Campo(ANome);
    return campo != nullptr ? Q(Aparar(campo->text().toStdString())) : QString();
}

void TfrmWidget::Mostrar() {
    if (!isVisible()) {
        show();
    }
    AplicarPorCima();
    AplicarContorno();
    Atualizar(true);
    FTimer.start();
}

void TfrmWidget::Atualizar(bool ACompleto) {
    try {
        AplicarEstado(FComando("estado", TJson{{"completo", ACompleto}}));
    } catch (const std::exception&) {
        // The widget keeps showing the last state.
    }
}

void TfrmWidget::Posicionar(int AX, int AY) {
    const int w = width();
    const int h = height();
    if (AX == kNuncaPosicionado || AY == kNuncaPosicionado) {
        const QRect primaria = QGuiApplication::primaryScreen()->availableGeometry();
        AX = primaria.x() + primaria.width() - w - 16;
        AY = primaria.y() + primaria.height() - h - 16;
    }
    const QRect area = TelaMaisProxima(QPoint(AX + w / 2, AY + 10))->availableGeometry();
    // Larger than the area: the left and top edges win.
    AX = std::max(area.x(), std::min(AX, area.x() + area.width() - w));
    AY = std::max(area.y(), std::min(AY, area.y() + area.height() - h));
    move(AX, AY);
}

void TfrmWidget::DefinirPorCima(bool APorCima) {
    FPorCima = APorCima;
    AplicarPorCima();
    FFixar->DefinirGlifo(FPorCima ? kGlifoFixado : kGlifoSolto);
    FFixar->setToolTip(
        FPorCima ? QStringLiteral("Sempre visível por cima das outras janelas (clique para soltar)")
                 : QStringLiteral("Clique para deixar sempre visível por cima das outras janelas"));
}

void TfrmWidget::AplicarPorCima() {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != FPorCima) {
        // Qt re-creates the window for new flags and hides it: shown again
        // where it was, still without taking the focus.
        const bool visivel = isVisible();
        const QPoint posicao = pos();
        setWindowFlag(Qt::WindowStaysOnTopHint, FPorCima);
        move(posicao);
        if (visivel) {
            show();
        }
    }
    if (isVisible() && FPorCima) {
        raise();
    }
}

void TfrmWidget::AplicarContorno() {
    QPainterPath caminho;
    caminho.addRoundedRect(QRectF(0, 0, width() + 1, height() + 1), kCantos / 2.0, kCantos / 2.0);
    setMask(QRegion(caminho.toFillPolygon().toPolygon()));
}

void TfrmWidget::AjustarAltura() {
    const int campos = FCampos->height();
    FChamar->move(12, FCampos->y() + campos + (campos > 0 ? 4 : 0));
    FAviso->move(12, FChamar->y() + FChamar->height() + 6);
    setFixedSize(kLargura, FAviso->y() + FAviso->height() + 4);
    if (testAttribute(Qt::WA_WState_Created)) {
        Posicionar(x(), y());  // the taller window stays on screen
    }
}

void TfrmWidget::MontarCampos() {
    for (QLineEdit* campo : FCampos->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly)) {
        delete campo;
    }
    int n = 0;
    const int linha = FChamada->currentIndex();
    if (linha >= 0 && linha < static_cast<int>(FModelos.size())) {
        const QString modelo = Q(FModelos[static_cast<std::size_t>(linha)]).toLower();
        for (const TCampoChamada& c : kCamposChamada) {
            const QString nome = QString::fromUtf8(c.Nome);
            // A model with both "{veiculo}" and "{objeto}" gets one "item"
            // field, the first found: the command has only one item anyway.
            if (!modelo.contains(QString::fromUtf8(c.Marcador)) || Campo(nome) != nullptr) {
                continue;
            }
            auto* campo = new QLineEdit(FCampos);
            campo->setObjectName(QStringLiteral("edt_") + nome);
            campo->setPlaceholderText(QString::fromUtf8(c.Dica));
            campo->setGeometry(0, 30 * n, FCampos->width(), 26);
            if (nome == QStringLiteral("caixa")) {
                campo->setMaxLength(3);
                campo->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-9]*")), campo));
            } else if (nome == QStringLiteral("placa")) {
                campo->setMaxLength(8);
                campo->setValidator(new TValidadorMaiusculas(campo));
            }
            campo->show();
            ++n;
        }
    }
    FCampos->setGeometry(12, 292, 296, n > 0 ? 30 * n - 4 : 0);
    AjustarAltura();
}

void TfrmWidget::AplicarEstado(const std::string& ATexto) {
    const TJson estado = TJson::parse(ATexto, nullptr, false);
    if (!estado.is_object()) {
        return;
    }
    struct TGuarda {
        bool& F;
        explicit TGuarda(bool& AF) : F(AF) { F = true; }
        ~TGuarda() { F = false; }
    } guarda(FAtualizando);

    FSituacaoAtual = LerTexto(estado, "situacao", "parado");
    const std::string tipo = LerTexto(estado, "tipo", "musica");
    const std::string faixa = LerTexto(estado, "faixa", "");

    QString texto;
    QColor cor;
    const bool tocando = FSituacaoAtual == "tocando";
    if (tocando) {
        cor = kVerdeNoAr;
        if (tipo == "propaganda") {
            texto = QStringLiteral("●  PROPAGANDA NO AR");
        } else if (tipo == "noticias") {
            texto = QStringLiteral("●  NOTÍCIAS NO AR");
        } else if (tipo == "vinheta") {
            texto = QStringLiteral("●  VINHETA");
        } else {
            texto = QStringLiteral("●  TOCANDO AGORA");
        }
    } else {
        cor = CorTextoCinza(palette());
        texto = FSituacaoAtual == "pausado" ? QStringLiteral("❙❙  PAUSADO")
                                            : QStringLiteral("■  PARADO");
    }
    if (!LerTexto(estado, "locutor", "").empty()) {
        texto = QStringLiteral("●  LOCUTOR FALANDO");
        cor = kLaranja;
    }
    FSituacao->DefinirTexto(texto);
    if (FSituacao->palette().color(QPalette::WindowText) != cor) {
        Colorir(FSituacao, cor);
    }
    FTocar->setText(Glifo(tocando ? kGlifoPausar : kGlifoTocar));
    FTocar->setToolTip(tocando ? QStringLiteral("Pausar") : QStringLiteral("Tocar"));

    FFaixa->DefinirTexto(faixa.empty() ? QStringLiteral("Nada tocando") : Q(faixa));
    const std::string info = LerTexto(estado, "info", "");
    FFaixa->setToolTip(info.empty() ? Q(faixa) : Q(faixa + "\n" + info));

    const double duracao = LerNumero(estado, "duracao", 0);
    int cheio = 0;
    if (duracao > 0 && FSituacaoAtual != "parado") {
        const double razao = std::clamp(LerNumero(estado, "posicao", 0) / duracao, 0.0, 1.0);
        cheio = static_cast<int>(std::lround(FTempo->width() * razao));
    }
    FTempoCheio->setGeometry(0, 0, cheio, FTempo->height());

    const double volume = LerNumero(estado, "volume", FVolume->value());
    const int v = static_cast<int>(std::lround(std::clamp(volume, -1e6, 1e6)));
    // Not moved back under the user's hand.
    if (v != FVolume->value() && !FVolume->hasFocus() && !FVolume->isSliderDown()) {
        FVolume->setValue(v);
    }
    FRotuloVolume->setText(QStringLiteral("%1%").arg(FVolume->value()));

    const auto chamadas = estado.find("chamadas");
    if (chamadas != estado.end() && chamadas->is_array()) {
        const int linha = FChamada->currentIndex();
        const bool havia = linha >= 0 && linha < static_cast<int>(FModelos.size());
        const std::string lembrado = havia ? FModelos[static_cast<std::size_t>(linha)] : "";
        FModelos.clear();
        for (const auto& m : *chamadas) {
            if (m.is_string()) {
                FModelos.push_back(m.get<std::string>());
            }
        }
        {
            const QSignalBlocker bloqueio(FChamada);
            FChamada->clear();
            for (const auto& m : FModelos) {
                FChamada->addItem(ModeloLegivel(Q(m)));
            }
            FChamada->setCurrentIndex(FModelos.empty() ? -1 : 0);
            if (havia) {
                for (int i = static_cast<int>(FModelos.size()) - 1; i >= 0; --i) {
                    if (FModelos[static_cast<std::size_t>(i)] == lembrado) {
                        FChamada->setCurrentIndex(i);
                        break;
                    }
                }
            }
        }
        MontarCampos();
    }
}

bool TfrmWidget::EnviarAcao(const std::string& AAcao, TJson ADados) {
    if (!ADados.is_object()) {
        ADados = TJson::object();
    }
    ADados["acao"] = AAcao;
    std::string resposta;
    try {
        resposta = FComando("comando", ADados);
    } catch (const std::exception& e) {
        Avisar(QString::fromUtf8(e.what()), true);
        return false;
    }
    AplicarEstado(resposta);
    return true;
}

void TfrmWidget::ClicarTocar() {
    EnviarAcao(FSituacaoAtual == "tocando" ? "pausar" : "tocar");
}

void TfrmWidget::ClicarFalar() {
    if (EnviarAcao("falar", TJson{{"texto", FFalar->text().toStdString()}})) {
        FFalar->clear();
        Avisar(QStringLiteral("Frase enviada ao locutor."), false);
    }
}

void TfrmWidget::ClicarChamar() {
    const int linha = FChamada->currentIndex();
    if (linha < 0) {
        Avisar(QStringLiteral("Escolha uma chamada."), true);
        return;
    }
    TJson dados = TJson::object();
    dados["indice"] = linha;
    dados["caixa"] = LerInteiroOu(ValorCampo(QStringLiteral("caixa")).toStdString(), 1);
    for (const char* nome : {"nome", "setor", "placa", "item"}) {
        dados[nome] = ValorCampo(QString::fromUtf8(nome)).toStdString();
    }
    if (EnviarAcao("chamada", std::move(dados))) {
        Avisar(QStringLiteral("Chamada enviada ao locutor."), false);
    }
}

void TfrmWidget::Avisar(const QString& ATexto, bool AErro) {
    FAviso->setText(ATexto);
    Colorir(FAviso, AErro ? kLaranja : CorTextoCinza(palette()));
    FAvisoDesde = FRelogio.Tique();
    FAvisoPendente = true;
}

void TfrmWidget::PassoTimer() {
    if (!isVisible()) {
        FTimer.stop();
        return;
    }
    Atualizar(false);
    if (FAvisoPendente && DecorridoMs(FAvisoDesde, FRelogio.Tique()) > kDuracaoAvisoMs) {
        FAviso->clear();
        FAvisoPendente = false;
    }
}

void TfrmWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kBorda, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), kCantos / 2.0, kCantos / 2.0);
}

void TfrmWidget::resizeEvent(QResizeEvent* AEvento) {
    QWidget::resizeEvent(AEvento);
    AplicarContorno();
}

void TfrmWidget::hideEvent(QHideEvent* AEvento) {
    QWidget::hideEvent(AEvento);
    FTimer.stop();
    FArrastando = false;
}

bool TfrmWidget::eventFilter(QObject* AObjeto, QEvent* AEvento) {
    if (AObjeto != FTopo && AObjeto != FTitulo) {
        return QWidget::eventFilter(AObjeto, AEvento);
    }
    switch (AEvento->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(AEvento);
            if (e->button() != Qt::LeftButton) {
                return false;
            }
            // The system's move loop where the platform has one; otherwise
            // the window follows the pointer.
            if (windowHandle() != nullptr && windowHandle()->startSystemMove()) {
                return true;
            }
            FArrastando = true;
            FArrasteInicio = e->globalPosition().toPoint();
            FArrasteJanela = pos();
            return true;
        }
        case QEvent::MouseMove:
            if (FArrastando) {
                auto* e = static_cast<QMouseEvent*>(AEvento);
                move(FArrasteJanela + (e->globalPosition().toPoint() - FArrasteInicio));
                return true;
            }
            return false;
        case QEvent::MouseButtonRelease:
            if (FArrastando) {
                FArrastando = false;
                return true;
            }
            return false;
        default:
            return false;
    }
}

}  // namespace ljsn
