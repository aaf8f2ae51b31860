#include "janelas/uFrmConfig.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <algorithm>

#include "comum/uRelogio.h"
#include "falas/uFrases.h"
#include "janelas/uAparencia.h"
#include "programa/uControle.h"

namespace ljsn {

namespace {

QString Q(const std::string& ATexto) {
    return QString::fromStdString(ATexto);
}

template <typename T>
T* Nomear(T* AControle, const char* ANome) {
    AControle->setObjectName(QString::fromLatin1(ANome));
    return AControle;
}

}  // namespace

TfrmConfig::TfrmConfig(QWidget* APai,
                       IControle& AControle,
                       std::string AMusicaAtual,
                       double ALoudnessAtual,
                       TDependenciasConfig ADep)
    : QDialog(APai), FControle(AControle), FDep(std::move(ADep)) {
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
    rolagem->setWidgetResizable(true);
    // Made on the dialog, so the pages have its font from the start; it
    // moves into the scroll area once laid out.
    auto* conteudo = new QWidget(this);
    auto* margens = new QVBoxLayout(conteudo);
    margens->setContentsMargins(12, 12, 12, 0);
    FAbas = Nomear(new QTabWidget(conteudo), "pgcConfig");
    margens->addWidget(FAbas);
    // All eight captions in one row, as on the shop's screens.
    FAbas->setUsesScrollButtons(false);
    FAbas->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 5px 4px; }"));
    IDialogoConfig& dialogo = *this;
    FMusicas = new TPaginaMusicas(FAbas);
    FSom = new TPaginaSom(FAbas, std::move(AMusicaAtual), ALoudnessAtual);
    FVolumes = new TPaginaVolumes(FAbas, dialogo);
    FLocutor = new TPaginaLocutor(FAbas, dialogo);
    FMensagens = new TPaginaMensagens(FAbas, dialogo);
    FDatas = new TPaginaDatas(FAbas, dialogo, FDep.BuscarCidade, FDep.ObterClima);
    FNoticias = new TPaginaNoticias(FAbas, dialogo, FDep.BaixarNoticias);
    FCelular = new TPaginaCelular(FAbas);
    FPaginas = {FMusicas, FSom, FVolumes, FLocutor, FMensagens, FDatas, FNoticias, FCelular};
    // Each caption padded.
    for (TPaginaConfig* p : FPaginas) {
        FAbas->addTab(p, QStringLiteral(" %1 ").arg(p->Titulo()));
    }
    FAbas->setCurrentIndex(0);
    rolagem->setWidget(conteudo);

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
    connect(salvar, &QPushButton::clicked, this, [this] { Salvar(); });
    connect(cancelar, &QPushButton::clicked, this, &QDialog::reject);

    FTimerVoz.setInterval(static_cast<int>(kIntervaloTickMs));
    connect(&FTimerVoz, &QTimer::timeout, this, [this] {
        Escuta().Processar(static_cast<int>(kIntervaloTickMs));
    });

    Carregar();

    // The whole dialog on a large screen: every tab at its full height, and
    // room for the vertical bar so a small screen never needs a sideways one.
    ensurePolished();
    const int barra = rolagem->verticalScrollBar()->sizeHint().width();
    const QSize dica = conteudo->sizeHint().expandedTo(conteudo->minimumSizeHint());
    // Wrapped texts take fewer lines at that width than their own hints
    // assume; the scroll area lays them out by the same measure.
    const int altura =
        conteudo->hasHeightForWidth()
            ? std::max(conteudo->heightForWidth(dica.width()), conteudo->minimumSizeHint().height())
            : dica.height();
    setMinimumSize(320, 240);
    resize(dica.width() + barra, altura + botoes->sizeHint().height());
}

TfrmConfig::~TfrmConfig() {
    // The pages' look-ups are abandoned with them; their results go nowhere.
    FVolumes->PararTeste();
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

void TfrmConfig::Carregar() {
    const TConfiguracoes& c = FControle.Config();
    for (TPaginaConfig* p : FPaginas) {
        p->Carregar(c);
    }
    FMusicas->DefinirIniciarComSistema(FControle.IniciaComSistema());
}

void TfrmConfig::CopiarPara(TConfiguracoes& AConfig) const {
    for (const TPaginaConfig* p : FPaginas) {
        p->CopiarPara(AConfig);
    }
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

void TfrmConfig::Avisar(TPaginaConfig* APagina, QWidget* AFoco, const QString& ATexto) {
    FAbas->setCurrentWidget(APagina);
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
    // The first problem, on its tab (the first tab when it names none we
    // know), with its field in focus.
    const TProblemaConfig& p = problemas.front();
    TPaginaConfig* pagina = FPaginas.front();
    for (TPaginaConfig* candidata : FPaginas) {
        if (candidata->Chave() == p.Aba) {
            pagina = candidata;
        }
    }
    Avisar(pagina, pagina->Campo(p.Campo), Q(p.Mensagem));
    return false;
}

bool TfrmConfig::Salvar() {
    if (!Validar()) {
        return false;
    }
    TConfiguracoes novo = FControle.Config();
    CopiarPara(novo);
    FControle.DefinirIniciarComSistema(FMusicas->IniciarComSistema());
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

std::string TfrmConfig::ComEmpresa(const std::string& ATexto) const {
    return AplicarEmpresa(ATexto, FLocutor->Empresa(), FLocutor->Genero());
}

std::string TfrmConfig::PastaPropagandas() const {
    return FMusicas->PastaPropagandas();
}

std::string TfrmConfig::VinhetaDeTeste() const {
    return FSom->VinhetaDeTeste();
}

double TfrmConfig::Agora() const {
    return FDep.Agora();
}

void TfrmConfig::FalarTeste(const std::string& ATexto, TTipoFala ATipo) {
    PararTeste();
    FTimerVoz.start();
    IEscutaTeste::TVoz voz = FLocutor->Voz();
    voz.Volumes = FVolumes->VolumesFala();
    Escuta().Falar(ATexto, ATipo, voz);
}

void TfrmConfig::TestarVoz() {
    FLocutor->TestarVoz();
}

std::string TfrmConfig::FraseExemplo(TTipoFala ATipo) const {
    const std::string empresa = FLocutor->Empresa();
    const TGeneroEmpresa genero = FLocutor->Genero();
    switch (ATipo) {
        case TTipoFala::tfHoraCerta: {
            const TDataHora agora = DecodificarDataHora(Agora());
            return FraseHoraCerta(empresa, genero, agora.Hora, agora.Minuto);
        }
        case TTipoFala::tfClima: {
            const std::string& cidade = FDatas->ClimaCidade();
            return "Agora faz 28 graus em " +
                   (cidade.empty() ? std::string("nossa cidade") : cidade) +
                   ", com céu parcialmente nublado.";
        }
        case TTipoFala::tfFechamento:
            return FraseAvisoFechamento(empresa, genero, 15);
        case TTipoFala::tfMensagem:
            return AplicarEmpresa(FMensagens->PrimeiraMensagem().value_or(
                                      "Bem-vindo {à empresa}! Aproveite as ofertas do dia."),
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

void TfrmConfig::MostrarReferencia() {
    FSom->MostrarReferencia();
}

void TfrmConfig::OuvirVolume(int ALinha) {
    FVolumes->OuvirVolume(ALinha);
}

void TfrmConfig::PassoTeste() {
    FVolumes->PassoTeste();
}

void TfrmConfig::PararTeste() {
    FVolumes->PararTeste();
}

IEscutaTeste& TfrmConfig::Escuta() {
    if (!FEscuta) {
        FEscuta = FControle.CriarEscutaTeste();
    }
    return *FEscuta;
}

bool TfrmConfig::Ocupado() const {
    return FDatas->Ocupado() || FNoticias->Ocupado();
}

void TfrmConfig::OcupacaoMudou() {
    if (Ocupado()) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
}

void TfrmConfig::BuscarCidadeAgora() {
    FDatas->BuscarCidadeAgora();
}

void TfrmConfig::VerNoticias(std::function<void(bool)> AAoTerminar) {
    FNoticias->VerNoticias(std::move(AAoTerminar));
}

void TfrmConfig::OuvirNoticia() {
    FNoticias->OuvirNoticia();
}

void TfrmConfig::GerarNovoPin() {
    FCelular->GerarNovoPin();
}

void TfrmConfig::AtualizarCelular() {
    FCelular->AtualizarCelular();
}

}  // namespace ljsn
