#include "janelas/uFrmPrincipal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QUrl>

#include <QtConcurrent/QtConcurrentRun>

#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "comum/uTexto.h"
#include "janelas/uAparencia.h"
#include "janelas/uFrmChamadas.h"
#include "janelas/uFrmConfig.h"
#include "janelas/uNovidades.h"
#include "janelas/uTemas.h"
#include "programa/uComandosJson.h"

namespace ljsn {

namespace {

QString Q(const std::string& ATexto) {
    return QString::fromStdString(ATexto);
}

QLabel* Rotulo(QWidget* APai, const QString& ATexto, const QFont& AFonte) {
    auto* r = new QLabel(ATexto, APai);
    r->setTextFormat(Qt::PlainText);
    r->setFont(AFonte);
    return r;
}

QToolButton* BotaoGlifo(QWidget* APai, char32_t AGlifo, const QString& ADica) {
    auto* b = new QToolButton(APai);
    b->setFont(FonteIcones(21));
    b->setText(Glifo(AGlifo));
    b->setToolTip(ADica);
    b->setAutoRaise(false);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

void Colorir(QWidget* AWidget, const QColor& ACor) {
    QPalette p = AWidget->palette();
    p.setColor(QPalette::WindowText, ACor);
    AWidget->setPalette(p);
}

}  // namespace

TfrmPrincipal::TfrmPrincipal(TDependencias ADependencias, TOpcoesPrograma AOpcoes)
    : FDep(std::move(ADependencias)), FOpcoes(std::move(AOpcoes)) {
    setWindowTitle(QStringLiteral("%1 %2").arg(kNomePrograma, kVersaoPrograma));
    setWindowIcon(IconePrograma());
    setFont(FonteTexto(13));
    setMinimumSize(640, 560);
    resize(960, 680);
    CriarControles();
}

TfrmPrincipal::~TfrmPrincipal() {
    FTimer.stop();
    if (FWidget && FWidget->isVisible() && FPrograma) {
        GuardarPosicaoWidget();
    }
    // It calls the programme: gone before it.
    FWidget.reset();
    if (FBandeja != nullptr) {
        FBandeja->hide();
    }
    // The programme saves the settings and logs "FIM" as it goes.
    FPrograma.reset();
}

void TfrmPrincipal::CriarControles() {
    auto* centro = new QWidget(this);
    setCentralWidget(centro);

    FCabecalho = new QWidget(centro);
    FLogo = new QLabel(FCabecalho);
    FLogo->setPixmap(IconePrograma().pixmap(48, 48));
    FLogo->setAlignment(Qt::AlignCenter);
    FTitulo = Rotulo(FCabecalho, QStringLiteral("Loja Sonorante"), FonteTexto(27, QFont::DemiBold));
    FSubtitulo = Rotulo(
        FCabecalho, QStringLiteral("Música, propaganda e locução automática"), FonteTexto(13));
    FRelogio = Rotulo(FCabecalho, QStringLiteral("00:00:00"), FonteTexto(37, QFont::Light));
    FRelogio->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FData = Rotulo(FCabecalho, QStringLiteral("-"), FonteTexto(13));
    FData->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    FPainelTocando = new QWidget(centro);
    FCapa = new TCaixaCapa(FPainelTocando);
    FTipo = Rotulo(FPainelTocando, QStringLiteral("●  PARADO"), FonteTexto(12, QFont::Bold));
    FTocando = new TRotuloReticente(FPainelTocando);
    FTocando->setFont(FonteTexto(29, QFont::DemiBold));
    FTocando->DefinirTexto(QStringLiteral("Pronto para tocar"));
    FInfo = new TRotuloReticente(FPainelTocando);
    FInfo->setFont(FonteTexto(15));
    FProgresso = new TBarraProgresso(FPainelTocando);
    FProgresso->AoPosicionar = [this](int AMs) {
        FPrograma->Protegido([&] { FPrograma->Posicionar(AMs); });
    };
    FTempo = Rotulo(FPainelTocando, QStringLiteral("0:00"), FonteTexto(13));
    FDuracao = Rotulo(FPainelTocando, QStringLiteral("0:00"), FonteTexto(13));
    FDuracao->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    FPainelControles = new QWidget(centro);
    FBtnTocar = BotaoGlifo(FPainelControles, kGlifoTocar, QStringLiteral("Tocar"));
    FBtnPausar = BotaoGlifo(FPainelControles, kGlifoPausar, QStringLiteral("Pausar / continuar"));
    FBtnParar = BotaoGlifo(FPainelControles, kGlifoParar, QStringLiteral("Parar"));
    FBtnProxima = BotaoGlifo(FPainelControles, kGlifoProxima, QStringLiteral("Próxima"));
    FBtnConfig = BotaoGlifo(FPainelControles, kGlifoConfig, QStringLiteral("Configurações"));
    FBtnChamadas = BotaoGlifo(FPainelControles,
                              kGlifoChamadas,
                              QStringLiteral("Chamadas rápidas (gerente, caixa, limpeza...)"));
    FIconeVolume = Rotulo(FPainelControles, Glifo(kGlifoVolume), FonteIcones(16));
    FVolume = new QSlider(Qt::Horizontal, FPainelControles);
    FVolume->setRange(0, 100);
    FVolume->setValue(80);
    FRotuloVolume = Rotulo(FPainelControles, QStringLiteral("80%"), FonteTexto(13));

    FPainelLocutor = new QWidget(centro);
    FIconeLocutor = Rotulo(FPainelLocutor, Glifo(kGlifoMicrofone), FonteIcones(18));
    FLocutor = new TRotuloReticente(FPainelLocutor);
    FLocutor->setFont(FonteTexto(15));
    FLocutor->DefinirTexto(QStringLiteral("Locutor aguardando..."));
    FFalar = new QLineEdit(FPainelLocutor);
    FFalar->setPlaceholderText(QStringLiteral("Digite algo para o locutor falar agora..."));
    FBtnFalar = new QPushButton(QStringLiteral("Falar"), FPainelLocutor);
    FBtnHoraCerta = new QPushButton(QStringLiteral("Hora certa"), FPainelLocutor);
    FBtnHoraCerta->setToolTip(QStringLiteral("Anunciar a hora agora"));

    FModelo = new TModeloMusicas(this);
    FLista = new QListView(centro);
    FLista->setModel(FModelo);
    FLista->setItemDelegate(new TDelegadoMusicas(*FModelo, FLista));
    FLista->setUniformItemSizes(true);
    FLista->setFrameShape(QFrame::NoFrame);
    FLista->setSelectionMode(QAbstractItemView::SingleSelection);
    FLista->setEditTriggers(QAbstractItemView::NoEditTriggers);

    FStatus = new TBarraStatus(centro);
    FStatus->setFont(FonteTexto(12));

    // The buttons drive the programme; any error is logged and shown.
    const auto ligar = [this](QAbstractButton* ABotao, std::function<void()> AAcao) {
        connect(ABotao, &QAbstractButton::clicked, this, [this, AAcao] {
            FPrograma->Protegido(AAcao);
            AtualizarBandeja();
        });
    };
    ligar(FBtnTocar, [this] { FPrograma->Tocar(); });
    ligar(FBtnPausar, [this] { FPrograma->Pausar(); });
    ligar(FBtnParar, [this] { FPrograma->Parar(); });
    ligar(FBtnProxima, [this] { FPrograma->Proxima(); });
    ligar(FBtnConfig, [this] { AbrirConfiguracoes(); });
    ligar(FBtnChamadas, [this] { btnChamadasClick(); });
    ligar(FBtnHoraCerta, [this] { FPrograma->ExecutarAcao(3); });
    const auto falar = [this] {
        const std::string texto = FFalar->text().trimmed().toStdString();
        if (!texto.empty()) {
            // A refused text stays in the box, to be sent again later.
            bool aceito = false;
            FPrograma->Protegido([&] {
                FPrograma->FalarAgora(texto);
                aceito = true;
            });
            if (aceito) {
                FFalar->clear();
            }
        }
    };
    connect(FBtnFalar, &QPushButton::clicked, this, falar);
    connect(FFalar, &QLineEdit::returnPressed, this, falar);
    connect(FVolume, &QSlider::valueChanged, this, [this](int AValor) {
        FRotuloVolume->setText(QStringLiteral("%1%").arg(AValor));
        if (FPrograma) {
            FPrograma->DefinirVolume(AValor);
        }
    });
    connect(FLista, &QListView::clicked, this, [this](const QModelIndex& AI) {
        FPrograma->SelecionarLinha(AI.row());
    });
    connect(FLista, &QListView::doubleClicked, this, [this](const QModelIndex& AI) {
        FPrograma->Protegido([&] { FPrograma->TocarLinha(AI.row()); });
    });
    connect(&FTimer, &QTimer::timeout, this, [this] { Tick(); });
}

void TfrmPrincipal::Iniciar(bool AOculta) {
    FPrograma = FDep.CriarPrograma(*this, FOpcoes);
    FModelo->DefinirPrograma(FPrograma.get());
    FIniciada = true;
    FPrograma->Iniciar();
    FVolume->setValue(FPrograma->Volume());
    AplicarTemaEscolhido();
    AtualizarLista();
    CriarBandeja();
    if (FPrograma->PrimeiraExecucao()) {
        MarcarNotasVistas();
    } else if (!AOculta && NotasPendentes()) {
        QMetaObject::invokeMethod(
            this, [this] { ExecutarAcaoRemota(5); }, Qt::QueuedConnection);
    }
    FTimer.start(static_cast<int>(kIntervaloTickMs));
    AjustarLayout();
    if (!AOculta) {
        show();
    } else {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            showMinimized();  // no tray to come back from: never a window out of reach
        }
        // Started hidden (the autostart entry after a reboot): the quick
        // controls come up, as when the window goes to the tray.
        if (FPrograma->Config().WidgetNaBandeja) {
            MostrarWidget();
        }
    }
    // The menu's quick-calls entry started this copy: the programme has no
    // such action, the window does.
    if (FOpcoes.Linha.Comando == 4) {
        QMetaObject::invokeMethod(
            this, [this] { ExecutarAcaoRemota(4); }, Qt::QueuedConnection);
    }
}

void TfrmPrincipal::Tick() {
    FPrograma->Tick();
    if (FDep.AposTick) {
        FDep.AposTick();
    }
    AtualizarBandeja();
}

void TfrmPrincipal::AplicarTemaEscolhido() {
    const QString tema = Q(FPrograma->Config().Tema);
    if (!tema.isEmpty()) {
        AplicarTema(tema);
    }
    AtualizarCores();
}

void TfrmPrincipal::AtualizarCores() {
    const QColor fundo = palette().color(QPalette::Button);
    const QColor cinza = CorLegivel(CorTextoCinza(palette()), fundo);
    Colorir(FSubtitulo, cinza);
    Colorir(FData, cinza);
    Colorir(FInfo, cinza);
    Colorir(FTipo, CorDaVisao(FCorTipo));
    if (FPrograma) {
        const TEstadoControle e = FPrograma->Estado();
        MostrarLocutor(e.Locutor, !e.ErroLocutor.empty(), e.ErroLocutor);
    }
    FCapa->DefinirGlifo(FCapa->GlifoAtual(), CorGlifoCapa());
    FProgresso->update();
    FLista->viewport()->update();
}

QColor TfrmPrincipal::CorDaVisao(TCorVisao ACor) const {
    const QColor fundo = palette().color(QPalette::Button);
    switch (ACor) {
        case TCorVisao::cvAzul:
            return CorLegivel(kAzul, fundo);
        case TCorVisao::cvCarmesim:
            return CorLegivel(kCarmesim, fundo);
        case TCorVisao::cvAmbar:
            return CorLegivel(kAmbar, fundo);
        case TCorVisao::cvCinza:
            break;
    }
    // Paused has its own grey; stopped takes the theme's grey text.
    return CorLegivel(
        FTipo->text().startsWith(QStringLiteral("●  PAUSADO")) ? kCinza : CorTextoCinza(palette()),
        fundo);
}

QColor TfrmPrincipal::CorGlifoCapa() const {
    const QColor fundo = palette().color(QPalette::Button);
    if (!FPrograma) {
        return CorLegivel(CorTextoCinza(palette()), fundo);
    }
    const TEstadoControle e = FPrograma->Estado();
    if (!e.EmReproducao) {
        return CorLegivel(CorTextoCinza(palette()), fundo);
    }
    if (e.Tipo == "noticias") {
        return CorLegivel(kAmbar, fundo);
    }
    if (e.Tipo == "propaganda" || e.Tipo == "vinheta") {
        return CorLegivel(kCarmesim, fundo);
    }
    return CorLegivel(kAzul, fundo);
}

void TfrmPrincipal::CriarBandeja() {
    FMenuBandeja = new QMenu(this);
    QAction* abrir = FMenuBandeja->addAction(
        QStringLiteral("Abrir o Loja Sonorante"), this, [this] { MostrarJanela(); });
    QFont negrito = abrir->font();
    negrito.setBold(true);
    abrir->setFont(negrito);
    FMenuBandeja->setDefaultAction(abrir);
    FMenuBandeja->addSeparator();
    FItemTocarPausar = FMenuBandeja->addAction(QStringLiteral("Tocar"), this, [this] {
        FPrograma->Protegido([this] { FPrograma->TocarOuPausar(); });
        AtualizarBandeja();
    });
    FMenuBandeja->addAction(QStringLiteral("Próxima"), this, [this] {
        FPrograma->Protegido([this] { FPrograma->Proxima(); });
        AtualizarBandeja();
    });
    FMenuBandeja->addAction(
        QStringLiteral("Hora certa"), this, [this] { FPrograma->ExecutarAcao(3); });
    FMenuBandeja->addAction(
        QStringLiteral("Chamadas rápidas..."), this, [this] { ExecutarAcaoRemota(4); });
    FItemWidget = FMenuBandeja->addAction(QStringLiteral("Controles rápidos na Área de Trabalho"),
                                          this,
                                          [this] { ExecutarAcaoRemota(6); });
    FItemWidget->setCheckable(true);
    FMenuBandeja->addSeparator();
    FMenuBandeja->addAction(
        QStringLiteral("Notas de versão..."), this, [this] { MostrarNovidades(); });
    FMenuBandeja->addAction(
        QStringLiteral("Abrir os registros (logs)..."), this, [this] { AbrirLogs(); });
    FMenuBandeja->addAction(QStringLiteral("Sair"), this, [this] { Sair(); });
    connect(FMenuBandeja, &QMenu::aboutToShow, this, [this] { AtualizarBandeja(); });

    FBandeja = new QSystemTrayIcon(IconePrograma(), this);
    FBandeja->setToolTip(QStringLiteral("Loja Sonorante"));
    FBandeja->setContextMenu(FMenuBandeja);
    connect(
        FBandeja,
        &QSystemTrayIcon::activated,
        this,
        [this](QSystemTrayIcon::ActivationReason AMotivo) {
            if (AMotivo == QSystemTrayIcon::Trigger || AMotivo == QSystemTrayIcon::DoubleClick) {
                MostrarJanela();
            }
        });
    FBandeja->show();
    AtualizarBandeja();
}

void TfrmPrincipal::AtualizarBandeja() {
    if (FBandeja == nullptr || !FPrograma) {
        return;
    }
    const TEstadoControle e = FPrograma->Estado();
    const bool pausado = e.Situacao == "pausado";
    FItemTocarPausar->setText(e.EmReproducao && !pausado ? QStringLiteral("Pausar")
                                                         : QStringLiteral("Tocar"));
    FItemWidget->setChecked(FWidget && FWidget->isVisible());
    QString dica;
    if (pausado) {
        dica = QStringLiteral("Loja Sonorante - pausado");
    } else if (e.EmReproducao) {
        dica = QStringLiteral("Loja Sonorante - ") + Q(e.Faixa);
    } else {
        dica = QStringLiteral("Loja Sonorante - parado");
    }
    dica = QString::fromStdString(PrimeirosCaracteres(dica.toStdString(), 120));
    if (FBandeja->toolTip() != dica) {
        FBandeja->setToolTip(dica);
    }
}

void TfrmPrincipal::MostrarJanela() {
    OcultarWidget();
    show();
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
}

void TfrmPrincipal::OcultarNaBandeja() {
    if (!QSystemTrayIcon::isSystemTrayAvailable() || FBandeja == nullptr) {
        // Without a tray a hidden window could not be reached again.
        showMinimized();
        if (FPrograma && FPrograma->Config().WidgetNaBandeja) {
            MostrarWidget();
        }
        return;
    }
    hide();
    if (FPrograma && FPrograma->Config().WidgetNaBandeja) {
        MostrarWidget();
    }
    if (!FAvisouBandeja) {
        FAvisouBandeja = true;
        FBandeja->showMessage(QStringLiteral("Loja Sonorante continua tocando"),
                              QStringLiteral("O programa está aqui, perto do relógio. Para fechar "
                                             "de vez, clique com o botão direito e escolha Sair."),
                              QSystemTrayIcon::Information);
    }
}

void TfrmPrincipal::Sair() {
    FSaindo = true;
    close();
}

void TfrmPrincipal::closeEvent(QCloseEvent* AEvento) {
    if (FPrograma && FPrograma->Config().FecharParaBandeja && !FSaindo) {
        AEvento->ignore();
        OcultarNaBandeja();
        return;
    }
    AEvento->accept();
    FTimer.stop();
    OcultarWidget();
    if (FBandeja != nullptr) {
        FBandeja->hide();
    }
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TfrmPrincipal::ExecutarAcaoRemota(int AAcao) {
    switch (AAcao) {
        case 1:
        case 2:
        case 3:
            FPrograma->ExecutarAcao(AAcao);
            break;
        case 4:
            btnChamadasClick();
            break;
        case 5:
            MostrarNovidades();
            break;
        case 6:
            AlternarWidget();
            break;
        default:
            MostrarJanela();
            break;
    }
    AtualizarBandeja();
}

void TfrmPrincipal::MostrarWidget() {
    if (!FWidget) {
        FWidget = std::make_unique<TfrmWidget>(
            [this](const std::string& AAcao, const TJson& ADados) {
                std::string estado = ExecutarComando(*FPrograma, AAcao, ADados);
                AtualizarBandeja();
                return estado;
            },
            FDep.Relogio);
        FWidget->AoAbrirPrograma = [this](TfrmWidget&) { MostrarJanela(); };
        FWidget->AoFecharWidget = [this](TfrmWidget&) {
            GuardarPosicaoWidget();
            AtualizarBandeja();
        };
        FWidget->AoMudarPorCima = [this](TfrmWidget& AWidget) {
            TConfiguracoes c = FPrograma->Config();
            c.WidgetPorCima = AWidget.PorCima();
            AplicarPreferencia(c);
        };
        FWidget->DefinirPorCima(FPrograma->Config().WidgetPorCima);
        FWidget->winId();
        // Filled first, so the place counts the height of the call's fields.
        FWidget->Atualizar(true);
        FWidget->Posicionar(FPrograma->Config().WidgetX, FPrograma->Config().WidgetY);
    }
    FWidget->Mostrar();
    AtualizarBandeja();
}

void TfrmPrincipal::OcultarWidget() {
    if (!FWidget || !FWidget->isVisible()) {
        return;
    }
    GuardarPosicaoWidget();
    FWidget->hide();
    AtualizarBandeja();
}

void TfrmPrincipal::AlternarWidget() {
    if (FWidget && FWidget->isVisible()) {
        OcultarWidget();
    } else {
        MostrarWidget();
    }
}

void TfrmPrincipal::GuardarPosicaoWidget() {
    if (FWidget) {
        TConfiguracoes c = FPrograma->Config();
        c.WidgetX = FWidget->x();
        c.WidgetY = FWidget->y();
        AplicarPreferencia(c);
    }
}

void TfrmPrincipal::AplicarPreferencia(const TConfiguracoes& AConfig) {
    if (AConfig == FPrograma->Config()) {
        return;
    }
    try {
        FPrograma->Aplicar(AConfig);
    } catch (const TErroComando&) {
        // Logged by the programme; a place or a pin is not worth a message box.
    }
}

void TfrmPrincipal::AplicarWidgetAposConfig() {
    if (!FPrograma->Config().WidgetNaBandeja) {
        OcultarWidget();
    }
}

void TfrmPrincipal::btnChamadasClick() {
    if (!isVisible() || isMinimized()) {
        MostrarJanela();
    }
    const TConfiguracoes& c = FPrograma->Config();
    TfrmChamadas::Mostrar(
        this, c.NomeEmpresa, c.GeneroEmpresa, [this](const std::string& ATexto, bool ARepetir) {
            FPrograma->Protegido([&] { FPrograma->Chamar(ATexto, ARepetir); });
        });
}

void TfrmPrincipal::MostrarNovidades() {
    MostrarJanela();
    TfrmNovidades::Mostrar(this);
}

void TfrmPrincipal::AbrirLogs() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(Q(PastaLogs())));
}

void TfrmPrincipal::resizeEvent(QResizeEvent* AEvento) {
    QMainWindow::resizeEvent(AEvento);
    AjustarLayout();
}

void TfrmPrincipal::changeEvent(QEvent* AEvento) {
    QMainWindow::changeEvent(AEvento);
    if (AEvento->type() == QEvent::PaletteChange && FIniciada) {
        AtualizarCores();
    }
    // Without a tray the window is minimised instead of hidden; brought back
    // from the taskbar it takes over from the widget, as MostrarJanela does.
    if (AEvento->type() == QEvent::WindowStateChange && isVisible() && !isMinimized() &&
        (static_cast<QWindowStateChangeEvent*>(AEvento)->oldState() & Qt::WindowMinimized) != 0) {
        OcultarWidget();
    }
}

void TfrmPrincipal::AjustarLayout() {
    QWidget* c = centralWidget();
    const int w = c->width();
    const int h = c->height();
    FCabecalho->setGeometry(0, 0, w, 84);
    FPainelTocando->setGeometry(0, 84, w, 152);
    FPainelControles->setGeometry(0, 236, w, 76);
    FPainelLocutor->setGeometry(0, 312, w, 58);
    FStatus->setGeometry(0, h - 23, w, 23);
    FLista->setGeometry(16, 370 + 8, std::max(0, w - 32), std::max(0, h - 23 - 370 - 16));

    // Header: the clock and date anchored right; the subtitle and the date
    // give way when the title and the date would touch.
    FLogo->setGeometry(24, 16, 52, 52);
    FTitulo->move(88, 12);
    FTitulo->adjustSize();
    FSubtitulo->move(90, 52);
    FSubtitulo->adjustSize();
    FRelogio->setGeometry(w - 24 - 280, 4, 280, 50);
    FData->setGeometry(w - 24 - 380, 56, 380, 17);
    const int larguraData = FData->fontMetrics().horizontalAdvance(FData->text());
    const int direitaData = FData->geometry().right() + 1;
    FSubtitulo->setVisible(24 + FSubtitulo->x() + FSubtitulo->width() < direitaData - larguraData);
    FData->setVisible(24 + FTitulo->x() + FTitulo->width() < direitaData - larguraData);

    // Now playing: an 80 px cover below 760 px of width.
    const int capa = w < 760 ? 80 : 112;
    FCapa->setGeometry(24, (152 - capa) / 2, capa, capa);
    const int x0 = 24 + capa + 16;
    const int largura = std::max(10, w - 24 - x0);
    FTipo->setGeometry(x0, 14, std::min(400, largura), 17);
    FTocando->setGeometry(x0, 34, largura, 40);
    FInfo->setGeometry(x0, 74, largura, 20);
    FProgresso->setGeometry(x0, 98, largura, 22);
    FTempo->setGeometry(x0, 124, 100, 17);
    FDuracao->setGeometry(w - 24 - 100, 124, 100, 17);

    // Controls: the transport on the left, settings and calls on the right,
    // the volume slider in between.
    FBtnTocar->setGeometry(24, 14, 60, 48);
    FBtnPausar->setGeometry(92, 14, 60, 48);
    FBtnParar->setGeometry(160, 14, 60, 48);
    FBtnProxima->setGeometry(228, 14, 60, 48);
    FBtnConfig->setGeometry(w - 24 - 60, 14, 60, 48);
    FBtnChamadas->setGeometry(w - 24 - 60 - 8 - 60, 14, 60, 48);
    FIconeVolume->setGeometry(312, 29, 20, 20);
    FRotuloVolume->adjustSize();
    const int larguraVolume =
        std::clamp(FBtnChamadas->x() - 24 - FRotuloVolume->width() - 8 - 336, 80, 360);
    FVolume->setGeometry(336, 22, larguraVolume, 32);
    FRotuloVolume->move(336 + larguraVolume + 8, 28);

    // Announcer row: the speak box takes 55 % of the room left of "Falar".
    FBtnHoraCerta->setGeometry(w - 24 - 88, 14, 88, 29);
    FBtnFalar->setGeometry(FBtnHoraCerta->x() - 6 - 84, 14, 84, 29);
    FIconeLocutor->setGeometry(24, 18, 24, 24);
    const int caixa = std::clamp((FBtnFalar->x() - 6 - 54) * 55 / 100, 140, 290);
    FFalar->setGeometry(FBtnFalar->x() - 6 - caixa, 16, caixa, 25);
    FLocutor->setGeometry(54, 20, std::max(40, FFalar->x() - 12 - 54), 20);

    FLista->viewport()->update();
}

QString TfrmPrincipal::TextoTipo() const {
    return FTipo->text();
}
QString TfrmPrincipal::TextoTitulo() const {
    return FTocando->TextoCompleto();
}
QString TfrmPrincipal::TextoInfo() const {
    return FInfo->TextoCompleto();
}
QString TfrmPrincipal::TextoLocutor() const {
    return FLocutor->TextoCompleto();
}
QString TfrmPrincipal::TextoTempo() const {
    return FTempo->text();
}
QString TfrmPrincipal::TextoDuracao() const {
    return FDuracao->text();
}

void TfrmPrincipal::MostrarRelogio(const std::string& AHora, const std::string& AData) {
    const QString hora = Q(AHora);
    if (FRelogio->text() != hora) {
        FRelogio->setText(hora);
    }
    const QString textoData = Q(AData);
    if (FData->text() != textoData) {
        FData->setText(textoData);
        AjustarLayout();
    }
}

void TfrmPrincipal::MostrarErro(const std::string& AMensagem) {
    // Not modal: a nested event loop would run the tick inside the handler
    // that failed.
    auto* caixa = new QMessageBox(QMessageBox::Critical,
                                  QStringLiteral("Loja Sonorante"),
                                  Q(AMensagem),
                                  QMessageBox::Ok,
                                  this);
    caixa->setAttribute(Qt::WA_DeleteOnClose);
    caixa->open();
}

void TfrmPrincipal::MostrarTitulo(const std::string& ATitulo) {
    FTocando->DefinirTexto(Q(ATitulo));
}

void TfrmPrincipal::MostrarTipo(const std::string& ATexto, TCorVisao ACor) {
    FTipo->setText(Q(ATexto));
    FCorTipo = ACor;
    Colorir(FTipo, CorDaVisao(ACor));
    FCapa->DefinirGlifo(FCapa->GlifoAtual(), CorGlifoCapa());
}

void TfrmPrincipal::MostrarTempos(std::int32_t APosicao, std::int32_t ADuracao) {
    const QString tempo = FormatarTempo(APosicao);
    const QString duracao = FormatarTempo(ADuracao);
    if (FTempo->text() != tempo) {
        FTempo->setText(tempo);
    }
    if (FDuracao->text() != duracao) {
        FDuracao->setText(duracao);
    }
    bool intervalo = false;
    if (FPrograma) {
        const std::string tipo = FPrograma->Estado().Tipo;
        intervalo = tipo == "propaganda" || tipo == "vinheta";
    }
    FProgresso->Definir(
        APosicao,
        ADuracao,
        CorLegivel(intervalo ? kCarmesim : kAzul, palette().color(QPalette::Button)));
}

void TfrmPrincipal::MostrarTemposVazios() {
    FTempo->clear();
    FDuracao->clear();
    FProgresso->Definir(0, 0, FProgresso->palette().color(QPalette::Highlight));
}

void TfrmPrincipal::MostrarCapa(const std::string& AArquivo, char32_t AGlifo) {
    (void)AArquivo;
    ++FGeracaoCapa;  // a picture still being decoded is for an older item
    FCapa->DefinirCapa(QImage());
    FCapa->DefinirGlifo(AGlifo, CorGlifoCapa());
    FInfo->DefinirTexto(QString());
    FInfo->setToolTip(QString());
}

void TfrmPrincipal::MostrarTags(const TTagsAudio& ATags, const std::string& ALinha) {
    FInfo->DefinirTexto(Q(ALinha));
    FInfo->setToolTip(Q(ALinha));
    if (!ATags.Capa.empty()) {
        DecodificarCapa(ATags.Capa);
    }
}

void TfrmPrincipal::DecodificarCapa(std::vector<std::uint8_t> ABytes) {
    // Large pictures are decoded off the main thread.
    const int geracao = FGeracaoCapa;
    const QColor fundo = palette().color(QPalette::Button);
    auto* vigia = new QFutureWatcher<QImage>(this);
    connect(vigia, &QFutureWatcher<QImage>::finished, this, [this, vigia, geracao] {
        if (geracao == FGeracaoCapa) {
            FCapa->DefinirCapa(vigia->result());
        }
        vigia->deleteLater();
    });
    vigia->setFuture(QtConcurrent::run([bytes = std::move(ABytes), fundo] {
        QImage original;
        original.loadFromData(bytes.data(), static_cast<int>(bytes.size()));
        return PrepararCapa(original, fundo);
    }));
}

void TfrmPrincipal::MostrarStatus(const std::array<std::string, 5>& ATextos) {
    FTextosStatus = ATextos;
    FStatus->DefinirTextos(ATextos);
}

void TfrmPrincipal::AtualizarLista() {
    FModelo->Atualizar();
    SincronizarSelecao();
    FLista->viewport()->update();
}

void TfrmPrincipal::SincronizarSelecao() {
    if (!FPrograma) {
        return;
    }
    const int linha = FPrograma->LinhaSelecionada();
    const QModelIndex atual = FLista->currentIndex();
    if (linha < 0) {
        if (atual.isValid()) {
            FLista->selectionModel()->clear();
        }
        return;
    }
    if (!atual.isValid() || atual.row() != linha) {
        const QModelIndex i = FModelo->index(linha);
        FLista->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect);
        FLista->scrollTo(i);
    }
}

void TfrmPrincipal::MostrarLocutor(const std::string& ATexto,
                                   bool AAviso,
                                   const std::string& ADica) {
    const bool falando = !ATexto.empty();
    QString texto = falando ? Q(ATexto) : QStringLiteral("Locutor aguardando...");
    if (falando && AAviso) {
        texto += QStringLiteral("   ⚠ voz do sistema");
    }
    FLocutor->DefinirTexto(texto);
    const QString dica = Q(ADica);
    if (FLocutor->toolTip() != dica) {
        FLocutor->setToolTip(dica);
    }
    if (falando != FLocutorFalando || !FIniciada) {
        FLocutorFalando = falando;
    }
    const QColor fundo = palette().color(QPalette::Button);
    const QColor cor =
        falando ? CorLegivel(kAmbar, fundo) : CorLegivel(CorTextoCinza(palette()), fundo);
    if (FLocutor->palette().color(QPalette::WindowText) != cor) {
        Colorir(FLocutor, cor);
        Colorir(FIconeLocutor, cor);
    }
}

void TfrmPrincipal::MostrarOcupado(bool AOcupado) {
    if (AOcupado) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

void TfrmPrincipal::AbrirConfiguracoes() {
    if (FConfigAberta) {
        return;
    }
    FConfigAberta = true;
    IControle& p = *FPrograma;
    TDependenciasConfig dep{FDep.Relogio, [this] { return FPrograma->Agora(); }, {}, {}, {}};
    // The programme keeps playing: the tick runs inside the dialog's loop.
    const bool salvou =
        TfrmConfig::Executar(this, p, p.MusicaAtualParaConfig(), p.LoudnessAtual(), std::move(dep));
    FConfigAberta = false;
    if (salvou) {
        AplicarConfiguracoesSalvas();
    }
}

void TfrmPrincipal::AplicarConfiguracoesSalvas() {
    AplicarTemaEscolhido();
    AplicarWidgetAposConfig();
    AtualizarBandeja();
}

}  // namespace ljsn
