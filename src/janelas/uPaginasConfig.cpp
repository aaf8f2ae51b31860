#include "janelas/uPaginasConfig.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>
#include <filesystem>
#include <initializer_list>

#include "ambiente/uRede.h"
#include "comum/uRelogio.h"
#include "comum/uTexto.h"
#include "falas/uDatas.h"
#include "falas/uFrases.h"
#include "janelas/uAparencia.h"
#include "janelas/uTemas.h"

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

// The Volumes tab's rows after advertisements and jingles.
constexpr std::array<TTipoFala, 7> kFalasDasLinhas = {TTipoFala::tfHoraCerta,
                                                      TTipoFala::tfClima,
                                                      TTipoFala::tfFechamento,
                                                      TTipoFala::tfMensagem,
                                                      TTipoFala::tfData,
                                                      TTipoFala::tfNoticia,
                                                      TTipoFala::tfChamada};
constexpr std::array<const char*, TPaginaVolumes::kLinhas> kNomesLinhas = {
    "Propagandas",
    "Vinhetas do intervalo",
    "Hora certa",
    "Tempo e temperatura",
    "Aviso de fechamento",
    "Mensagens",
    "Datas comemorativas",
    "Notícias",
    "Chamadas e Falar agora"};

// Room between the groups of a tab.
constexpr int kEntreGrupos = 10;
// How far the settings that depend on a tick box sit in from it.
constexpr int kRecuo = 24;

template <typename T>
T* Nomear(T* AControle, const char* ANome) {
    AControle->setObjectName(QString::fromLatin1(ANome));
    return AControle;
}

// The builders make each widget on its tab, so it has the dialog's font
// (and its size hints fit that font) before it is laid out.
QLabel* Cabecalho(QWidget* APai, const QString& ATexto) {
    auto* r = new QLabel(ATexto, APai);
    r->setFont(FonteTexto(16, QFont::Bold));
    return r;
}

QLabel* Rotulo(QWidget* APai, const QString& ATexto) {
    auto* r = new QLabel(ATexto, APai);
    r->setTextFormat(Qt::PlainText);
    return r;
}

// Text that wraps to the width it is given.
QLabel* Paragrafo(QWidget* APai, const QString& ATexto, int ALinhasMinimas = 0) {
    auto* r = Rotulo(APai, ATexto);
    r->setWordWrap(true);
    r->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (ALinhasMinimas > 0) {
        // Room kept for text that arrives later, so the tab does not jump.
        r->setMinimumHeight(r->fontMetrics().lineSpacing() * ALinhasMinimas);
    }
    return r;
}

QLabel* Dica(QWidget* APai, const QString& ATexto) {
    auto* r = Paragrafo(APai, ATexto);
    QPalette p = r->palette();
    p.setColor(QPalette::WindowText, CorTextoCinza(p));
    r->setPalette(p);
    return r;
}

QCheckBox* Caixa(QWidget* APai, const QString& ATexto) {
    return new QCheckBox(ATexto, APai);
}

QSpinBox* Giro(QWidget* APai, int AMin, int AMax) {
    auto* s = new QSpinBox(APai);
    s->setRange(AMin, AMax);
    // A little wider than the digits need, as the shop is used to.
    s->setMinimumWidth(s->sizeHint().width() + s->fontMetrics().averageCharWidth() * 2);
    return s;
}

QLineEdit* Edicao(QWidget* APai, const QString& AMarca = {}) {
    auto* e = new QLineEdit(APai);
    e->setPlaceholderText(AMarca);
    return e;
}

QPushButton* Botao(QWidget* APai, const QString& ATexto) {
    auto* b = new QPushButton(ATexto, APai);
    b->setAutoDefault(false);
    return b;
}

// A row of widgets at their own widths, from the left.
QHBoxLayout* Linha(std::initializer_list<QWidget*> AItens) {
    auto* l = new QHBoxLayout;
    for (QWidget* w : AItens) {
        l->addWidget(w);
    }
    l->addStretch(1);
    return l;
}

// A row whose first widget (a text box) takes the width the others leave.
QHBoxLayout* LinhaEsticada(std::initializer_list<QWidget*> AItens) {
    auto* l = new QHBoxLayout;
    int esticar = 1;
    for (QWidget* w : AItens) {
        l->addWidget(w, esticar);
        esticar = 0;
    }
    return l;
}

// The tab's own column, from the top.
QVBoxLayout* Coluna(QWidget* APagina) {
    auto* c = new QVBoxLayout(APagina);
    c->setContentsMargins(16, 12, 16, 12);
    return c;
}

// A list of tick boxes is as tall as its rows: none hidden behind a scroll.
void MostrarTodas(QListWidget* ALista) {
    ALista->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
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

void EscolherPasta(QWidget* APai, QLineEdit* AEdit) {
    const QString atual = AEdit->text();
    const QString pasta = QFileDialog::getExistingDirectory(
        APai, QStringLiteral("Selecione a pasta"), PastaExiste(S(atual)) ? atual : QString());
    if (!pasta.isEmpty()) {
        AEdit->setText(pasta);
    }
}

void EscolherVinheta(QWidget* APai, QLineEdit* AEdit) {
    const QString atual = AEdit->text().trimmed();
    const QString inicio = atual.isEmpty() ? QString() : QFileInfo(atual).absolutePath();
    const QString arquivo =
        QFileDialog::getOpenFileName(APai,
                                     QStringLiteral("Escolha a vinheta"),
                                     inicio,
                                     QStringLiteral("Áudio (*.mp3 *.wav *.wma *.MP3 *.WAV *.WMA)"));
    if (!arquivo.isEmpty()) {
        AEdit->setText(arquivo);
    }
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

TPaginaConfig::TPaginaConfig(QWidget* APai,
                             const char* AChave,
                             const char* ANome,
                             const QString& ATitulo)
    : QWidget(APai), FChave(AChave), FTitulo(ATitulo) {
    setObjectName(QString::fromLatin1(ANome));
}

QWidget* TPaginaConfig::Campo(std::string_view) {
    return nullptr;
}

// ------------------------------------------------------------------ Músicas

TPaginaMusicas::TPaginaMusicas(QWidget* APai)
    : TPaginaConfig(APai, "musicas", "tabMusicas", QStringLiteral("Músicas")) {
    auto* coluna = Coluna(this);
    coluna->addWidget(Rotulo(this, QStringLiteral("Pasta de músicas")));
    edtMusicas = Nomear(Edicao(this), "edtMusicas");
    auto* b1 = Botao(this, QStringLiteral("Procurar..."));
    connect(b1, &QPushButton::clicked, this, [this] { EscolherPasta(window(), edtMusicas); });
    coluna->addLayout(LinhaEsticada({edtMusicas, b1}));
    coluna->addSpacing(kEntreGrupos);
    coluna->addWidget(Rotulo(this, QStringLiteral("Pasta de propagandas (MP3 entre músicas)")));
    edtPropagandas = Nomear(Edicao(this), "edtPropagandas");
    auto* b2 = Botao(this, QStringLiteral("Procurar..."));
    connect(b2, &QPushButton::clicked, this, [this] { EscolherPasta(window(), edtPropagandas); });
    coluna->addLayout(LinhaEsticada({edtPropagandas, b2}));
    coluna->addSpacing(kEntreGrupos);

    auto* intervalo = new QGridLayout;
    spnIntervalo = Nomear(Giro(this, 1, 100), "spnIntervalo");
    spnQtd = Nomear(Giro(this, 1, 20), "spnQtd");
    intervalo->addWidget(Rotulo(this, QStringLiteral("Tocar propaganda a cada (músicas)")), 0, 0);
    intervalo->addWidget(spnIntervalo, 0, 1);
    intervalo->addWidget(
        Rotulo(this, QStringLiteral("Quantidade de propagandas por intervalo")), 1, 0);
    intervalo->addWidget(spnQtd, 1, 1);
    intervalo->setColumnStretch(2, 1);
    coluna->addLayout(intervalo);
    coluna->addSpacing(kEntreGrupos);

    chkSubpastas = Nomear(Caixa(this, QStringLiteral("Incluir subpastas")), "chkSubpastas");
    chkAleatorio = Nomear(Caixa(this, QStringLiteral("Ordem aleatória")), "chkAleatorio");
    coluna->addWidget(chkSubpastas);
    coluna->addWidget(chkAleatorio);
    coluna->addSpacing(kEntreGrupos);

    coluna->addWidget(Rotulo(this, QStringLiteral("Tema visual")));
    cbxTema = Nomear(new QComboBox(this), "cbxTema");
    cbxTema->addItems(NomesTemas());
    cbxTema->setMinimumWidth(cbxTema->sizeHint().width() +
                             cbxTema->fontMetrics().averageCharWidth() * 8);
    coluna->addLayout(Linha({cbxTema}));
    coluna->addSpacing(kEntreGrupos);

    coluna->addWidget(Rotulo(this, QStringLiteral("Inicialização")));
    chkIniciarWindows = Nomear(
        Caixa(this,
              QStringLiteral(
                  "Iniciar junto com o computador (abre escondido na bandeja, perto do relógio)")),
        "chkIniciarWindows");
    chkTocarAoAbrir =
        Nomear(Caixa(this, QStringLiteral("Começar a tocar sozinho ao abrir o programa")),
               "chkTocarAoAbrir");
    chkBandeja =
        Nomear(Caixa(this, QStringLiteral("Ao fechar a janela, continuar tocando na bandeja")),
               "chkBandeja");
    chkWidget = Nomear(Caixa(this,
                             QStringLiteral("Com o programa na bandeja, mostrar os controles "
                                            "rápidos na Área de Trabalho")),
                       "chkWidget");
    for (QCheckBox* c : {chkIniciarWindows, chkTocarAoAbrir, chkBandeja, chkWidget}) {
        coluna->addWidget(c);
    }
    coluna->addStretch(1);
}

void TPaginaMusicas::Carregar(const TConfiguracoes& AConfig) {
    const TConfiguracoes& c = AConfig;
    edtMusicas->setText(Q(c.PastaMusicas));
    edtPropagandas->setText(Q(c.PastaPropagandas));
    spnIntervalo->setValue(c.MusicasEntrePropagandas);
    spnQtd->setValue(c.PropagandasPorIntervalo);
    chkSubpastas->setChecked(c.IncluirSubpastas);
    chkAleatorio->setChecked(c.Aleatorio);
    cbxTema->setCurrentIndex(cbxTema->findText(Q(c.Tema)));
    chkTocarAoAbrir->setChecked(c.TocarAoIniciar);
    chkBandeja->setChecked(c.FecharParaBandeja);
    chkWidget->setChecked(c.WidgetNaBandeja);
}

void TPaginaMusicas::CopiarPara(TConfiguracoes& AConfig) const {
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
}

QWidget* TPaginaMusicas::Campo(std::string_view ACampo) {
    if (ACampo == "PastaMusicas") {
        return edtMusicas;
    }
    if (ACampo == "PastaPropagandas") {
        return edtPropagandas;
    }
    return nullptr;
}

void TPaginaMusicas::DefinirIniciarComSistema(bool ALigar) {
    chkIniciarWindows->setChecked(ALigar);
}

bool TPaginaMusicas::IniciarComSistema() const {
    return chkIniciarWindows->isChecked();
}

std::string TPaginaMusicas::PastaPropagandas() const {
    return S(edtPropagandas->text());
}

// ---------------------------------------------------------------------- Som

TPaginaSom::TPaginaSom(QWidget* APai, std::string AMusicaAtual, double ALoudnessAtual)
    : TPaginaConfig(APai, "som", "tabVolume", QStringLiteral("Som")),
      FMusicaAtual(std::move(AMusicaAtual)),
      FLoudnessAtual(ALoudnessAtual) {
    auto* coluna = Coluna(this);
    coluna->addWidget(Cabecalho(this, QStringLiteral("Volume automático")));
    coluna->addWidget(Paragrafo(
        this,
        QStringLiteral("Deixa todas as músicas e propagandas no mesmo volume. A primeira música "
                       "tocada vira a referência: acerte o volume nela e as outras seguem o "
                       "mesmo nível.")));
    chkVolumeAuto =
        Nomear(Caixa(this, QStringLiteral("Ligar o volume automático")), "chkVolumeAuto");
    connect(chkVolumeAuto, &QCheckBox::toggled, this, [this] { MostrarReferencia(); });
    coluna->addWidget(chkVolumeAuto);
    auto* rotuloReferencia = Rotulo(this, QStringLiteral("Música de referência:"));
    rotuloReferencia->setFont(FonteTexto(13, QFont::Bold));
    coluna->addWidget(rotuloReferencia);
    lblReferencia = Nomear(Paragrafo(this, QString()), "lblReferencia");
    coluna->addWidget(lblReferencia);
    btnRefAtual = Nomear(Botao(this, QStringLiteral("Usar a música atual")), "btnRefAtual");
    btnRefProxima = Nomear(Botao(this, QStringLiteral("Usar a próxima música")), "btnRefProxima");
    // Both as wide as the wider one, side by side.
    const int largura =
        std::max(btnRefAtual->sizeHint().width(), btnRefProxima->sizeHint().width()) +
        btnRefAtual->fontMetrics().averageCharWidth() * 4;
    btnRefAtual->setMinimumWidth(largura);
    btnRefProxima->setMinimumWidth(largura);
    coluna->addLayout(Linha({btnRefAtual, btnRefProxima}));
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
    coluna->addWidget(
        Dica(this,
             QStringLiteral("Com o volume do programa em até 80%, sobra espaço para aumentar as "
                            "músicas mais baixas.")));
    coluna->addSpacing(kEntreGrupos);

    coluna->addWidget(Cabecalho(this, QStringLiteral("Transição suave")));
    coluna->addWidget(Paragrafo(
        this,
        QStringLiteral("Uma faixa começa enquanto a outra termina, sem silêncio, em todos os "
                       "áudios. Em faixas curtas a transição se ajusta sozinha. Padrão: 8 "
                       "segundos.")));
    spnTransicao = Nomear(Giro(this, 0, 10), "spnTransicao");
    coluna->addLayout(Linha(
        {Rotulo(this, QStringLiteral("Duração da transição, em segundos (0 = sem transição)")),
         spnTransicao}));
    coluna->addSpacing(kEntreGrupos);

    coluna->addWidget(Cabecalho(this, QStringLiteral("Vinhetas do intervalo comercial")));
    coluna->addWidget(
        Paragrafo(this,
                  QStringLiteral("Arquivos de áudio (MP3) tocados no começo e no fim de cada "
                                 "intervalo. Opcional.")));
    coluna->addWidget(Rotulo(this, QStringLiteral("Antes das propagandas")));
    edtVinhetaAntes = Nomear(Edicao(this, QStringLiteral("Nenhuma")), "edtVinhetaAntes");
    auto* p1 = Botao(this, QStringLiteral("Procurar..."));
    auto* t1 = Nomear(Botao(this, QStringLiteral("Tirar")), "btnTirarAntes");
    coluna->addLayout(LinhaEsticada({edtVinhetaAntes, p1, t1}));
    coluna->addWidget(Rotulo(this, QStringLiteral("Depois das propagandas")));
    edtVinhetaDepois = Nomear(Edicao(this, QStringLiteral("Nenhuma")), "edtVinhetaDepois");
    auto* p2 = Botao(this, QStringLiteral("Procurar..."));
    auto* t2 = Nomear(Botao(this, QStringLiteral("Tirar")), "btnTirarDepois");
    coluna->addLayout(LinhaEsticada({edtVinhetaDepois, p2, t2}));
    coluna->addStretch(1);
    connect(
        p1, &QPushButton::clicked, this, [this] { EscolherVinheta(window(), edtVinhetaAntes); });
    connect(
        p2, &QPushButton::clicked, this, [this] { EscolherVinheta(window(), edtVinhetaDepois); });
    connect(t1, &QPushButton::clicked, edtVinhetaAntes, &QLineEdit::clear);
    connect(t2, &QPushButton::clicked, edtVinhetaDepois, &QLineEdit::clear);
}

void TPaginaSom::Carregar(const TConfiguracoes& AConfig) {
    FReferencia = AConfig.ReferenciaVolume;
    FReferenciaNome = AConfig.ReferenciaNome;
    chkVolumeAuto->setChecked(AConfig.VolumeAutomatico);
    spnTransicao->setValue(AConfig.TransicaoSegundos);
    edtVinhetaAntes->setText(Q(AConfig.VinhetaAntes));
    edtVinhetaDepois->setText(Q(AConfig.VinhetaDepois));
    MostrarReferencia();
}

void TPaginaSom::CopiarPara(TConfiguracoes& AConfig) const {
    AConfig.VolumeAutomatico = chkVolumeAuto->isChecked();
    AConfig.ReferenciaVolume = FReferencia;
    AConfig.ReferenciaNome = FReferenciaNome;
    AConfig.TransicaoSegundos = spnTransicao->value();
    AConfig.VinhetaAntes = Aparado(edtVinhetaAntes);
    AConfig.VinhetaDepois = Aparado(edtVinhetaDepois);
}

void TPaginaSom::MostrarReferencia() {
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

std::string TPaginaSom::VinhetaDeTeste() const {
    const std::string antes = Aparado(edtVinhetaAntes);
    const std::string depois = Aparado(edtVinhetaDepois);
    return ArquivoExiste(antes) ? antes : ArquivoExiste(depois) ? depois : std::string();
}

// ------------------------------------------------------------------ Volumes

TPaginaVolumes::TPaginaVolumes(QWidget* APai, IDialogoConfig& ADialogo)
    : TPaginaConfig(APai, "volumes", "tabVolumes", QStringLiteral("Volumes")), FDialogo(ADialogo) {
    auto* coluna = Coluna(this);
    coluna->addWidget(Cabecalho(this, QStringLiteral("Volume de cada áudio")));
    coluna->addWidget(Paragrafo(
        this,
        QStringLiteral("Cada um tem o seu volume, separado do volume principal (que fica só para "
                       "as músicas). Enquanto o locutor fala, a música abaixa conforme a aba "
                       "Locutor.")));
    coluna->addSpacing(kEntreGrupos);
    auto* grade = new QGridLayout;
    grade->setVerticalSpacing(10);
    grade->setColumnStretch(1, 1);
    for (int i = 0; i < kLinhas; ++i) {
        const auto k = static_cast<std::size_t>(i);
        auto* trilha = new QSlider(Qt::Horizontal, this);
        trilha->setObjectName(QStringLiteral("trkVolume%1").arg(i));
        trilha->setRange(0, 100);
        trilha->setTickPosition(QSlider::NoTicks);
        auto* valor = Rotulo(this, QStringLiteral("0%"));
        // "100%" fits without the column moving as the bar does.
        valor->setMinimumWidth(valor->fontMetrics().horizontalAdvance(QStringLiteral("100%")) +
                               valor->fontMetrics().averageCharWidth());
        auto* ouvir = Botao(this, QStringLiteral("Ouvir"));
        ouvir->setObjectName(QStringLiteral("btnOuvirVolume%1").arg(i));
        grade->addWidget(Rotulo(this, QString::fromUtf8(kNomesLinhas[k])), i, 0);
        grade->addWidget(trilha, i, 1);
        grade->addWidget(valor, i, 2);
        grade->addWidget(ouvir, i, 3);
        FTrilhas[k] = trilha;
        FValores[k] = valor;
        FOuvir[k] = ouvir;
        connect(trilha, &QSlider::valueChanged, this, [this, i](int AValor) {
            AtualizarVolumeTeste(i, AValor);
        });
        connect(ouvir, &QPushButton::clicked, this, [this, i] { OuvirVolume(i); });
    }
    coluna->addLayout(grade);
    coluna->addStretch(1);
    FTimerTeste.setInterval(500);
    connect(&FTimerTeste, &QTimer::timeout, this, [this] { PassoTeste(); });
}

void TPaginaVolumes::Carregar(const TConfiguracoes& AConfig) {
    FTrilhas[0]->setValue(AConfig.VolumePropagandas);
    FTrilhas[1]->setValue(AConfig.VolumeVinhetas);
    for (std::size_t i = 0; i < kFalasDasLinhas.size(); ++i) {
        FTrilhas[i + 2]->setValue(AConfig.VolumesFala[IndiceFala(kFalasDasLinhas[i])]);
    }
    // A bar left where it was says nothing, so every value is written here.
    for (std::size_t i = 0; i < FTrilhas.size(); ++i) {
        FValores[i]->setText(QStringLiteral("%1%").arg(FTrilhas[i]->value()));
    }
}

void TPaginaVolumes::CopiarPara(TConfiguracoes& AConfig) const {
    AConfig.VolumePropagandas = FTrilhas[0]->value();
    AConfig.VolumeVinhetas = FTrilhas[1]->value();
    AConfig.VolumesFala = VolumesFala();
}

std::array<int, kTiposFala> TPaginaVolumes::VolumesFala() const {
    std::array<int, kTiposFala> r{};
    for (std::size_t i = 0; i < kFalasDasLinhas.size(); ++i) {
        r[IndiceFala(kFalasDasLinhas[i])] = FTrilhas[i + 2]->value();
    }
    return r;
}

void TPaginaVolumes::AtualizarVolumeTeste(int ALinha, int AValor) {
    const auto k = static_cast<std::size_t>(ALinha);
    FValores[k]->setText(QStringLiteral("%1%").arg(AValor));
    if (FBotaoTeste != nullptr && FBotaoTeste == FOuvir[k]) {
        FDialogo.Escuta().DefinirVolumeArquivo(AValor);
    } else if (ALinha >= 2) {
        FDialogo.Escuta().DefinirVolumeFala(kFalasDasLinhas[k - 2], AValor);
    }
}

void TPaginaVolumes::OuvirVolume(int ALinha) {
    const auto k = static_cast<std::size_t>(ALinha);
    if (ALinha >= 2) {
        const TTipoFala tipo = kFalasDasLinhas[k - 2];
        FDialogo.FalarTeste(FDialogo.FraseExemplo(tipo), tipo);
        return;
    }
    if (FBotaoTeste != nullptr && FBotaoTeste == FOuvir[k]) {
        PararTeste();
        return;
    }
    PararTeste();
    IEscutaTeste& escuta = FDialogo.Escuta();
    escuta.CalarVoz();
    std::string arquivo;
    QString semArquivo;
    if (ALinha == 0) {
        const std::string pasta = FDialogo.PastaPropagandas();
        if (PastaExiste(pasta)) {
            arquivo = escuta.PrimeiroArquivo(pasta);
        }
        semArquivo = QStringLiteral("Escolha a pasta das propagandas (aba Músicas) para ouvir.");
    } else {
        arquivo = FDialogo.VinhetaDeTeste();
        semArquivo = QStringLiteral("Escolha uma vinheta (aba Som) para ouvir.");
    }
    if (arquivo.empty()) {
        FDialogo.MostrarMensagem(QMessageBox::Information, semArquivo);
        return;
    }
    if (escuta.TocarArquivo(arquivo, FTrilhas[k]->value())) {
        FBotaoTeste = FOuvir[k];
        FBotaoTeste->setText(QStringLiteral("Parar"));
        FPassosTeste = 0;
        FTimerTeste.start();
    }
}

void TPaginaVolumes::PassoTeste() {
    ++FPassosTeste;
    if (FPassosTeste >= 20 || !FDialogo.Escuta().TocandoArquivo()) {
        PararTeste();
    }
}

void TPaginaVolumes::PararTeste() {
    FTimerTeste.stop();
    FDialogo.Escuta().PararArquivo();
    if (FBotaoTeste != nullptr) {
        FBotaoTeste->setText(QStringLiteral("Ouvir"));
    }
    FBotaoTeste = nullptr;
}

// ------------------------------------------------------------------ Locutor

TPaginaLocutor::TPaginaLocutor(QWidget* APai, IDialogoConfig& ADialogo)
    : TPaginaConfig(APai, "locutor", "tabLocutor", QStringLiteral("Locutor")), FDialogo(ADialogo) {
    auto* coluna = Coluna(this);
    auto* empresa = new QGridLayout;
    edtEmpresa = Nomear(Edicao(this, QStringLiteral("Ex.: Farmácia Vida")), "edtEmpresa");
    cbxGenero = Nomear(new QComboBox(this), "cbxGenero");
    cbxGenero->addItems({QStringLiteral("Feminino (a Farmácia...)"),
                         QStringLiteral("Masculino (o Mercado...)"),
                         QStringLiteral("Sem artigo")});
    empresa->addWidget(Rotulo(this, QStringLiteral("Nome da empresa (usado nas falas)")), 0, 0);
    empresa->addWidget(Rotulo(this, QStringLiteral("O nome é")), 0, 1);
    empresa->addWidget(edtEmpresa, 1, 0);
    empresa->addWidget(cbxGenero, 1, 1);
    empresa->setColumnStretch(0, 1);
    coluna->addLayout(empresa);
    coluna->addSpacing(kEntreGrupos);

    coluna->addWidget(Rotulo(this, QStringLiteral("Voz")));
    cbxVoz = Nomear(new QComboBox(this), "cbxVoz");
    // A long voice name must not widen the whole dialog.
    cbxVoz->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbxVoz->setMinimumContentsLength(24);
    cbxVoz->addItem(QString::fromUtf8(kVozAutomatica));
    for (const auto& v : FDialogo.Escuta().VozesDisponiveis()) {
        cbxVoz->addItem(Q(v));
    }
    auto* testar = Nomear(Botao(this, QStringLiteral("Testar voz")), "btnTestarVoz");
    connect(testar, &QPushButton::clicked, this, [this] { TestarVoz(); });
    coluna->addLayout(LinhaEsticada({cbxVoz, testar}));
    auto* instalar = Botao(this, QStringLiteral("Sobre as vozes..."));
    connect(instalar, &QPushButton::clicked, this, [this] {
        QMessageBox::information(
            window(),
            window()->windowTitle(),
            QStringLiteral("As vozes da lista que começam com \"Voz natural:\" falam pelo "
                           "navegador (Microsoft Edge, Google Chrome ou Chromium) e precisam de "
                           "internet. Sem navegador ou sem internet, o programa usa sozinho a voz "
                           "local (espeak-ng), que não precisa de nada."));
    });
    auto* sobre = new QHBoxLayout;
    sobre->addWidget(
        Paragrafo(this,
                  QStringLiteral("Vozes \"Voz natural:\" vêm do navegador e precisam de internet; "
                                 "sem elas, fala a voz local.")),
        1);
    sobre->addWidget(instalar, 0, Qt::AlignTop);
    coluna->addLayout(sobre);
    coluna->addSpacing(kEntreGrupos);

    auto* voz = new QGridLayout;
    spnVelocidade = Nomear(Giro(this, -10, 10), "spnVelocidade");
    spnTom = Nomear(Giro(this, -10, 10), "spnTom");
    voz->addWidget(Rotulo(this, QStringLiteral("Velocidade")), 0, 0);
    voz->addWidget(Rotulo(this, QStringLiteral("Tom")), 0, 1);
    voz->addWidget(spnVelocidade, 1, 0, Qt::AlignLeft);
    voz->addWidget(spnTom, 1, 1, Qt::AlignLeft);
    voz->addWidget(
        Paragrafo(this, QStringLiteral("Volume de cada fala: na aba Volumes")), 0, 2, 2, 1);
    voz->setHorizontalSpacing(24);
    voz->setColumnStretch(2, 1);
    coluna->addLayout(voz);
    const QString dicaFundo = QStringLiteral(
        "Porcentagem do volume da música. Ex.: volume principal em 80% e 20% aqui: a música fica "
        "em 16% enquanto o locutor fala.");
    auto* rotuloFundo =
        Rotulo(this, QStringLiteral("Volume da música enquanto o locutor fala (%)"));
    rotuloFundo->setToolTip(dicaFundo);
    spnFundo = Nomear(Giro(this, 0, 100), "spnFundo");
    spnFundo->setSingleStep(5);
    spnFundo->setToolTip(dicaFundo);
    coluna->addLayout(Linha({rotuloFundo, spnFundo}));
    coluna->addSpacing(kEntreGrupos);

    chkHoraCerta = Nomear(Caixa(this, QStringLiteral("Anunciar a hora certa a cada hora cheia")),
                          "chkHoraCerta");
    chkFechamento =
        Nomear(Caixa(this, QStringLiteral("Avisar o horário de fechamento")), "chkFechamento");
    coluna->addWidget(chkHoraCerta);
    coluna->addWidget(chkFechamento);
    auto* fechamento = new QGridLayout;
    fechamento->setContentsMargins(kRecuo, 0, 0, 0);
    edtHorario = Nomear(Edicao(this, QStringLiteral("HH:MM")), "edtHorario");
    edtAvisos = Nomear(Edicao(this), "edtAvisos");
    chkParar =
        Nomear(Caixa(this, QStringLiteral("Parar a música no horário de fechamento")), "chkParar");
    fechamento->addWidget(Rotulo(this, QStringLiteral("Horário de fechamento")), 0, 0);
    fechamento->addWidget(
        Rotulo(this, QStringLiteral("Avisar quantos minutos antes (ex.: 30,15,5)")), 0, 1);
    fechamento->addWidget(edtHorario, 1, 0, Qt::AlignLeft);
    fechamento->addWidget(edtAvisos, 1, 1, Qt::AlignLeft);
    fechamento->addWidget(chkParar, 2, 0, 1, 3);
    fechamento->setHorizontalSpacing(24);
    fechamento->setColumnStretch(2, 1);
    coluna->addLayout(fechamento);
    coluna->addStretch(1);
}

void TPaginaLocutor::Carregar(const TConfiguracoes& AConfig) {
    const TConfiguracoes& c = AConfig;
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
}

void TPaginaLocutor::CopiarPara(TConfiguracoes& AConfig) const {
    TConfiguracoes& c = AConfig;
    c.NomeEmpresa = Empresa();
    c.GeneroEmpresa = Genero();
    c.Voz = Voz().Nome;
    c.VelocidadeVoz = spnVelocidade->value();
    c.TomVoz = spnTom->value();
    c.VolumeFundo = spnFundo->value();
    c.HoraCerta = chkHoraCerta->isChecked();
    c.AvisoFechamento = chkFechamento->isChecked();
    c.PararNoFechamento = chkParar->isChecked();
    c.HorarioFechamento = Aparado(edtHorario);
    c.AvisosFechamento = Aparado(edtAvisos);
}

QWidget* TPaginaLocutor::Campo(std::string_view ACampo) {
    return ACampo == "HorarioFechamento" ? edtHorario : nullptr;
}

std::string TPaginaLocutor::Empresa() const {
    return Aparado(edtEmpresa);
}

TGeneroEmpresa TPaginaLocutor::Genero() const {
    return static_cast<TGeneroEmpresa>(std::max(0, cbxGenero->currentIndex()));
}

IEscutaTeste::TVoz TPaginaLocutor::Voz() const {
    IEscutaTeste::TVoz voz;
    // The first entry is the automatic choice: an empty name.
    voz.Nome = cbxVoz->currentIndex() <= 0 ? std::string() : S(cbxVoz->currentText());
    voz.Velocidade = spnVelocidade->value();
    voz.Tom = spnTom->value();
    return voz;
}

void TPaginaLocutor::TestarVoz() {
    const TDataHora agora = DecodificarDataHora(FDialogo.Agora());
    FDialogo.FalarTeste(FraseHoraCerta(Empresa(), Genero(), agora.Hora, agora.Minuto) + " " +
                            FraseAvisoFechamento(Empresa(), Genero(), 15),
                        TTipoFala::tfHoraCerta);
}

// ---------------------------------------------------------------- Mensagens

TPaginaMensagens::TPaginaMensagens(QWidget* APai, IDialogoConfig& ADialogo)
    : TPaginaConfig(APai, "mensagens", "tabMensagens", QStringLiteral("Mensagens")),
      FDialogo(ADialogo) {
    auto* coluna = Coluna(this);
    spnMinutos = Nomear(Giro(this, 0, 240), "spnMinutos");
    coluna->addLayout(
        Linha({Rotulo(this, QStringLiteral("Falar uma mensagem a cada (minutos, 0 = desligado)")),
               spnMinutos}));
    lstMensagens = Nomear(new QListWidget(this), "lstMensagens");
    coluna->addWidget(lstMensagens, 1);
    coluna->addWidget(
        Paragrafo(this,
                  QStringLiteral("Texto (use {a empresa}, {à empresa}, {da empresa}, {na empresa} "
                                 "ou {empresa})")));
    edtTexto = Nomear(Edicao(this), "edtTexto");
    coluna->addWidget(edtTexto);
    connect(lstMensagens, &QListWidget::itemClicked, this, [this](QListWidgetItem* AItem) {
        edtTexto->setText(AItem->text());
    });
    auto* adicionar = Nomear(Botao(this, QStringLiteral("Adicionar")), "btnAdicionar");
    auto* alterar = Nomear(Botao(this, QStringLiteral("Alterar")), "btnAlterar");
    auto* remover = Nomear(Botao(this, QStringLiteral("Remover")), "btnRemover");
    auto* ouvir = Nomear(Botao(this, QStringLiteral("Ouvir")), "btnOuvir");
    auto* botoes = Linha({adicionar, alterar, remover});
    botoes->addWidget(ouvir);
    coluna->addLayout(botoes);
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
        FDialogo.FalarTeste(FDialogo.ComEmpresa(texto), TTipoFala::tfMensagem);
    });
}

void TPaginaMensagens::Carregar(const TConfiguracoes& AConfig) {
    spnMinutos->setValue(AConfig.MinutosEntreMensagens);
    lstMensagens->clear();
    for (const auto& m : AConfig.Mensagens) {
        lstMensagens->addItem(Q(m));
    }
}

void TPaginaMensagens::CopiarPara(TConfiguracoes& AConfig) const {
    AConfig.MinutosEntreMensagens = spnMinutos->value();
    AConfig.Mensagens.clear();
    for (int i = 0; i < lstMensagens->count(); ++i) {
        AConfig.Mensagens.push_back(S(lstMensagens->item(i)->text()));
    }
}

std::optional<std::string> TPaginaMensagens::PrimeiraMensagem() const {
    if (lstMensagens->count() == 0) {
        return std::nullopt;
    }
    return S(lstMensagens->item(0)->text());
}

// ------------------------------------------------------------ Datas e clima

TPaginaDatas::TPaginaDatas(QWidget* APai,
                           IDialogoConfig& ADialogo,
                           TBuscarCidade ABuscarCidade,
                           TObterClima AObterClima)
    : TPaginaConfig(APai, "datas", "tabDatas", QStringLiteral("Datas e clima")),
      FDialogo(ADialogo),
      FBuscarCidade(std::move(ABuscarCidade)),
      FObterClima(std::move(AObterClima)) {
    auto* coluna = Coluna(this);
    coluna->addWidget(Cabecalho(this, QStringLiteral("Datas comemorativas")));
    coluna->addWidget(Paragrafo(
        this,
        QStringLiteral("O locutor deseja boas festas no dia e lembra a data nos dias anteriores "
                       "(\"Faltam 5 dias para o Dia das Mães...\").")));
    lstDatas = Nomear(new QListWidget(this), "lstDatas");
    MostrarTodas(lstDatas);
    for (const auto& d : ListaDatas()) {
        ItemMarcavel(lstDatas, Q(d.Nome), Q(d.Chave));
    }
    ItemMarcavel(
        lstDatas, QStringLiteral("Aniversário da loja"), QString::fromLatin1(kChaveAniversario));
    edtAniversario = Nomear(Edicao(this, QStringLiteral("dd/mm")), "edtAniversario");
    spnDiasAntes = Nomear(Giro(this, 0, 30), "spnDiasAntes");
    spnMinutosDatas = Nomear(Giro(this, 5, 240), "spnMinutosDatas");
    auto* ouvir = Nomear(Botao(this, QStringLiteral("Ouvir a frase")), "btnOuvirData");
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
        FDialogo.FalarTeste(FDialogo.ComEmpresa(texto), TTipoFala::tfData);
    });
    auto* lado = new QVBoxLayout;
    lado->addWidget(Rotulo(this, QStringLiteral("Aniversário da loja (dd/mm)")));
    lado->addWidget(edtAniversario, 0, Qt::AlignLeft);
    lado->addSpacing(kEntreGrupos / 2);
    lado->addWidget(Rotulo(this, QStringLiteral("Lembrar quantos dias antes")));
    lado->addWidget(spnDiasAntes, 0, Qt::AlignLeft);
    lado->addSpacing(kEntreGrupos / 2);
    lado->addWidget(Rotulo(this, QStringLiteral("Falar a cada (minutos)")));
    lado->addWidget(spnMinutosDatas, 0, Qt::AlignLeft);
    lado->addSpacing(kEntreGrupos);
    lado->addWidget(ouvir, 0, Qt::AlignLeft);
    lado->addStretch(1);
    auto* datas = new QHBoxLayout;
    datas->setSpacing(16);
    datas->addWidget(lstDatas, 1);
    datas->addLayout(lado);
    coluna->addLayout(datas);
    coluna->addSpacing(kEntreGrupos);

    coluna->addWidget(Cabecalho(this, QStringLiteral("Tempo e temperatura")));
    chkClima = Nomear(
        Caixa(
            this,
            QStringLiteral("Falar o tempo junto com a hora certa (\"Agora faz 28 graus em...\")")),
        "chkClima");
    coluna->addWidget(chkClima);
    coluna->addWidget(Rotulo(this, QStringLiteral("Cidade")));
    edtCidade = Nomear(Edicao(this, QStringLiteral("Ex.: São Luís, MA")), "edtCidade");
    btnBuscarCidade = Nomear(Botao(this, QStringLiteral("Buscar cidade")), "btnBuscarCidade");
    connect(btnBuscarCidade, &QPushButton::clicked, this, [this] { BuscarCidadeAgora(); });
    coluna->addLayout(LinhaEsticada({edtCidade, btnBuscarCidade}));
    lblCidade =
        Nomear(Paragrafo(this, QStringLiteral("Digite a cidade e clique em Buscar cidade."), 2),
               "lblCidade");
    coluna->addWidget(lblCidade);
    coluna->addWidget(Dica(
        this,
        QStringLiteral("Dados do tempo: MET Norway (CC BY 4.0). Localização: © OpenStreetMap.")));
    coluna->addStretch(1);
}

void TPaginaDatas::Carregar(const TConfiguracoes& AConfig) {
    const TConfiguracoes& c = AConfig;
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
    FClimaCidade = c.ClimaCidade;
    FClimaLat = c.ClimaLat;
    FClimaLon = c.ClimaLon;
    chkClima->setChecked(c.ClimaAtivo);
    edtCidade->setText(Q(c.ClimaCidade));
    if (!c.ClimaCidade.empty()) {
        lblCidade->setText(QStringLiteral("Cidade escolhida: ") + Q(c.ClimaCidade));
    }
}

void TPaginaDatas::CopiarPara(TConfiguracoes& AConfig) const {
    TConfiguracoes& c = AConfig;
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
}

void TPaginaDatas::BuscarCidadeAgora() {
    const std::string texto = Aparado(edtCidade);
    if (texto.empty() || !btnBuscarCidade->isEnabled()) {
        return;
    }
    struct TResultado {
        TCidade Cidade;
        std::string Frase;
    };
    btnBuscarCidade->setEnabled(false);
    btnBuscarCidade->setText(QStringLiteral("Buscando..."));
    lblCidade->setText(QStringLiteral("Buscando a cidade..."));
    FBusca.Iniciar(
        [buscar = FBuscarCidade, obter = FObterClima, texto, agora = FDialogo.Agora()](
            std::stop_token AParar) {
            TResultado r;
            r.Cidade = buscar(texto, AParar);
            if (r.Cidade.Encontrada) {
                r.Frase = FraseClima(obter(r.Cidade.Latitude, r.Cidade.Longitude, agora, AParar),
                                     r.Cidade.Exibicao,
                                     false);
            }
            return r;
        },
        [this](TResultado r) {
            btnBuscarCidade->setEnabled(true);
            btnBuscarCidade->setText(QStringLiteral("Buscar cidade"));
            FDialogo.OcupacaoMudou();
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
    FDialogo.OcupacaoMudou();
}

// ----------------------------------------------------------------- Notícias

TPaginaNoticias::TPaginaNoticias(QWidget* APai, IDialogoConfig& ADialogo, TBaixarNoticias ABaixar)
    : TPaginaConfig(APai, "noticias", "tabNoticias", QStringLiteral("Notícias")),
      FDialogo(ADialogo),
      FBaixar(std::move(ABaixar)) {
    auto* coluna = Coluna(this);
    coluna->addWidget(Cabecalho(this, QStringLiteral("Notícias curtas")));
    coluna->addWidget(Paragrafo(
        this,
        QStringLiteral("De vez em quando, entre uma música e outra, o locutor lê as últimas "
                       "notícias: a manchete e um resumo curto. Fonte: Agência Brasil. Precisa "
                       "de internet.")));
    chkNoticias =
        Nomear(Caixa(this, QStringLiteral("Ler notícias entre as músicas")), "chkNoticias");
    coluna->addWidget(chkNoticias);
    coluna->addSpacing(kEntreGrupos / 2);

    lstAssuntos = Nomear(new QListWidget(this), "lstAssuntos");
    MostrarTodas(lstAssuntos);
    for (const auto& assunto : TabelaAssuntos) {
        ItemMarcavel(
            lstAssuntos, QString::fromUtf8(assunto.Nome), QString::fromUtf8(assunto.Chave));
    }
    spnNoticiasCada = Nomear(Giro(this, 1, 20), "spnNoticiasCada");
    spnNoticiasQtd = Nomear(Giro(this, 1, 5), "spnNoticiasQtd");
    chkResumo = Nomear(Caixa(this, QStringLiteral("Ler também o resumo")), "chkResumo");
    chkRepetir = Nomear(Caixa(this, QStringLiteral("Repetir até chegarem novas")), "chkRepetir");
    chkRepetir->setToolTip(
        QStringLiteral("Quando as notícias novas acabarem, o locutor relê as já lidas (a mais "
                       "antiga primeiro) até chegarem novas. O programa busca novas sempre que "
                       "elas acabam."));
    auto* lado = new QVBoxLayout;
    lado->addWidget(Rotulo(this, QStringLiteral("Notícias a cada (músicas)")));
    lado->addWidget(spnNoticiasCada, 0, Qt::AlignLeft);
    lado->addSpacing(kEntreGrupos / 2);
    lado->addWidget(Rotulo(this, QStringLiteral("Quantas notícias por vez")));
    lado->addWidget(spnNoticiasQtd, 0, Qt::AlignLeft);
    lado->addSpacing(kEntreGrupos);
    lado->addWidget(chkResumo);
    lado->addWidget(chkRepetir);
    lado->addStretch(1);
    auto* assuntos = new QGridLayout;
    assuntos->setHorizontalSpacing(24);
    assuntos->addWidget(Rotulo(this, QStringLiteral("Assuntos")), 0, 0);
    assuntos->addWidget(lstAssuntos, 1, 0);
    assuntos->addLayout(lado, 1, 1);
    assuntos->setColumnStretch(0, 1);
    assuntos->setColumnStretch(1, 1);
    coluna->addLayout(assuntos);

    chkFiltrar = Nomear(
        Caixa(this,
              QStringLiteral(
                  "Só notícias leves: pular crimes, mortes, tragédias, política e eleições")),
        "chkFiltrar");
    coluna->addWidget(chkFiltrar);
    coluna->addSpacing(kEntreGrupos / 2);
    btnVerNoticias =
        Nomear(Botao(this, QStringLiteral("Ver as últimas notícias")), "btnVerNoticias");
    btnOuvirNoticia = Nomear(Botao(this, QStringLiteral("Ouvir uma notícia")), "btnOuvirNoticia");
    // Wide enough for "Buscando..." and the caption alike: the row keeps still.
    for (QPushButton* b : {btnVerNoticias, btnOuvirNoticia}) {
        b->setMinimumWidth(b->sizeHint().width() + b->fontMetrics().averageCharWidth() * 6);
    }
    connect(btnVerNoticias, &QPushButton::clicked, this, [this] { VerNoticias(); });
    connect(btnOuvirNoticia, &QPushButton::clicked, this, [this] { OuvirNoticia(); });
    coluna->addLayout(Linha({btnVerNoticias, btnOuvirNoticia}));
    // The preview: a count and up to three headlines.
    lblPrevia = Nomear(Paragrafo(this, QString(), 5), "lblPrevia");
    coluna->addWidget(lblPrevia);
    coluna->addStretch(1);
    coluna->addWidget(
        Dica(this,
             QStringLiteral(
                 "Notícias: Agência Brasil (EBC). Reprodução permitida com citação da fonte.")));
}

void TPaginaNoticias::Carregar(const TConfiguracoes& AConfig) {
    const TConfiguracoes& c = AConfig;
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
}

void TPaginaNoticias::CopiarPara(TConfiguracoes& AConfig) const {
    TConfiguracoes& c = AConfig;
    c.NoticiasAtivas = chkNoticias->isChecked();
    c.NoticiasResumo = chkResumo->isChecked();
    c.NoticiasFiltrar = chkFiltrar->isChecked();
    c.NoticiasRepetir = chkRepetir->isChecked();
    c.NoticiasAssuntos = AssuntosMarcados();
    c.NoticiasCadaMusicas = spnNoticiasCada->value();
    c.NoticiasQuantidade = spnNoticiasQtd->value();
}

std::string TPaginaNoticias::AssuntosMarcados() const {
    return Juntar(ChavesMarcadas(lstAssuntos), ",");
}

void TPaginaNoticias::VerNoticias(std::function<void(bool)> AAoTerminar) {
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
    btnVerNoticias->setEnabled(false);
    btnVerNoticias->setText(QStringLiteral("Buscando..."));
    btnOuvirNoticia->setEnabled(false);
    lblPrevia->setText(QStringLiteral("Buscando as notícias..."));
    FBusca.Iniciar(
        [baixar = FBaixar, assuntos, filtrar = chkFiltrar->isChecked(), agora = FDialogo.Agora()](
            std::stop_token AParar) { return baixar(assuntos, filtrar, agora, AParar); },
        [this, AAoTerminar = std::move(AAoTerminar)](std::vector<TNoticia> ANoticias) {
            FPrevia = std::move(ANoticias);
            btnVerNoticias->setEnabled(true);
            btnVerNoticias->setText(QStringLiteral("Ver as últimas notícias"));
            btnOuvirNoticia->setEnabled(true);
            FDialogo.OcupacaoMudou();
            if (FPrevia.empty()) {
                lblPrevia->setText(
                    QStringLiteral("Nenhuma notícia encontrada agora (ou sem internet). Tente de "
                                   "novo mais tarde."));
            } else {
                QString t =
                    QStringLiteral("%1 notícias recentes. As mais novas:").arg(FPrevia.size());
                for (std::size_t i = 0; i < std::min<std::size_t>(3, FPrevia.size()); ++i) {
                    t += QStringLiteral("\n• ") + Q(FPrevia[i].Titulo);
                }
                lblPrevia->setText(t);
            }
            if (AAoTerminar) {
                AAoTerminar(!FPrevia.empty());
            }
        });
    FDialogo.OcupacaoMudou();
}

void TPaginaNoticias::OuvirNoticia() {
    auto falar = [this] {
        FDialogo.FalarTeste(TextoNoticia(FPrevia.front(), chkResumo->isChecked()),
                            TTipoFala::tfNoticia);
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

// ------------------------------------------------------------------ Celular

TPaginaCelular::TPaginaCelular(QWidget* APai)
    : TPaginaConfig(APai, "celular", "tabCelular", QStringLiteral("Celular")) {
    auto* coluna = Coluna(this);
    coluna->addWidget(Cabecalho(this, QStringLiteral("Controle pelo celular")));
    coluna->addWidget(Paragrafo(
        this,
        QStringLiteral("Tocar, pausar, pular, volume, hora certa, falar agora e chamadas rápidas "
                       "pelo celular. O celular precisa estar no mesmo Wi-Fi (rede) deste "
                       "computador.")));
    chkCelular =
        Nomear(Caixa(this, QStringLiteral("Permitir o controle pelo celular")), "chkCelular");
    connect(chkCelular, &QCheckBox::toggled, this, [this] { AtualizarCelular(); });

    // The address and the PIN on the left, the code on the right.
    auto* esquerda = new QVBoxLayout;
    esquerda->addWidget(chkCelular);
    esquerda->addWidget(Paragrafo(
        this, QStringLiteral("Leia o código com a câmera do celular ou digite no navegador:")));
    lblEndereco = Nomear(Paragrafo(this, QString()), "lblEndereco");
    lblEndereco->setFont(FonteTexto(21, QFont::Bold));
    lblEndereco->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Two addresses fit, one a line, when the computer has two networks.
    lblEndereco->setMinimumHeight(lblEndereco->fontMetrics().lineSpacing() * 2);
    esquerda->addWidget(lblEndereco);
    esquerda->addWidget(Rotulo(this, QStringLiteral("PIN de acesso (pedido no celular)")));
    lblPin = Nomear(Rotulo(this, QString()), "lblPin");
    lblPin->setFont(FonteTexto(27, QFont::Bold));
    // Six digits, so the button beside it stays put when the PIN changes.
    lblPin->setMinimumWidth(lblPin->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
    auto* novo = Nomear(Botao(this, QStringLiteral("Gerar novo PIN")), "btnNovoPin");
    novo->setMinimumWidth(novo->sizeHint().width() + novo->fontMetrics().averageCharWidth() * 6);
    connect(novo, &QPushButton::clicked, this, [this] { GerarNovoPin(); });
    esquerda->addLayout(Linha({lblPin, novo}));
    spnPorta = Nomear(Giro(this, 1024, 65535), "spnPorta");
    connect(spnPorta, &QSpinBox::valueChanged, this, [this] { AtualizarCelular(); });
    esquerda->addLayout(Linha({Rotulo(this, QStringLiteral("Porta")), spnPorta}));
    esquerda->addStretch(1);

    FPainelQR = new TPainelQR(this, [this](QPainter& APintor, const QRect& ARetangulo) {
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
    // Big enough for a phone camera at arm's length.
    constexpr int kLadoQR = 188;
    FPainelQR->setFixedSize(kLadoQR, kLadoQR);
    lblQR = Nomear(Paragrafo(this, QStringLiteral("Aponte a câmera do celular"), 2), "lblQR");
    lblQR->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblQR->setFixedWidth(kLadoQR);
    auto* direita = new QVBoxLayout;
    direita->addWidget(FPainelQR);
    direita->addWidget(lblQR);
    direita->addStretch(1);

    auto* meio = new QHBoxLayout;
    meio->setSpacing(16);
    meio->addLayout(esquerda, 1);
    meio->addLayout(direita);
    coluna->addLayout(meio);
    coluna->addSpacing(kEntreGrupos);
    coluna->addWidget(
        Dica(this,
             QStringLiteral("Na primeira vez, o sistema pode perguntar se o Loja Sonorante pode "
                            "usar a rede: permita o acesso nas redes privadas. Guarde o PIN: sem "
                            "ele ninguém controla o programa.")));
    coluna->addSpacing(kEntreGrupos);
    coluna->addWidget(
        Dica(this,
             QStringLiteral("Para abrir como aplicativo, com ícone: no celular, toque em "
                            "\"Coloque na tela inicial\" e siga o passo a passo (Android e "
                            "iPhone).")));
    coluna->addStretch(1);
}

void TPaginaCelular::Carregar(const TConfiguracoes& AConfig) {
    FPin = AConfig.CelularPin;
    {
        const QSignalBlocker b1(chkCelular);
        const QSignalBlocker b2(spnPorta);
        chkCelular->setChecked(AConfig.CelularAtivo);
        spnPorta->setValue(AConfig.CelularPorta);
    }
    AtualizarCelular();
}

void TPaginaCelular::CopiarPara(TConfiguracoes& AConfig) const {
    AConfig.CelularAtivo = chkCelular->isChecked();
    AConfig.CelularPorta = spnPorta->value();
    AConfig.CelularPin = FPin;
}

QWidget* TPaginaCelular::Campo(std::string_view ACampo) {
    return ACampo == "CelularPorta" ? spnPorta : nullptr;
}

void TPaginaCelular::GerarNovoPin() {
    FPin = GerarPin();
    AtualizarCelular();
}

void TPaginaCelular::AtualizarCelular() {
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
