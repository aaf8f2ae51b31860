#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zbar.h>

#include "ambiente/uTermos.h"
#include "apoio/uServidorFixtures.h"
#include "controle/uControleRemoto.h"
#include "falas/uDatas.h"
#include "janelas/uAparencia.h"
#include "janelas/uApoioJanelas.h"
#include "janelas/uFrmConfig.h"
#include "janelas/uFrmPrincipal.h"
#include "janelas/uNovidades.h"
#include "janelas/uTemas.h"
#include "locutor/uLocutor.h"
#include "programa/uAmbienteProgramacao.h"
#include "programa/uEscutaTeste.h"

using namespace ljsn;
using namespace ljsn::teste;
namespace fs = std::filesystem;

namespace {

std::string LerArquivo(const std::string& ACaminho) {
    std::ifstream f(ACaminho, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

// What zbar reads in an image; empty when no code.
std::string LerQR(const QImage& AImagem) {
    const QImage cinza = AImagem.convertToFormat(QImage::Format_Grayscale8);
    std::vector<unsigned char> dados(static_cast<std::size_t>(cinza.width() * cinza.height()));
    for (int y = 0; y < cinza.height(); ++y) {
        std::memcpy(dados.data() + static_cast<std::size_t>(y * cinza.width()),
                    cinza.constScanLine(y),
                    static_cast<std::size_t>(cinza.width()));
    }
    zbar::ImageScanner leitor;
    leitor.set_config(zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    leitor.set_config(zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    zbar::Image imagem(static_cast<unsigned>(cinza.width()),
                       static_cast<unsigned>(cinza.height()),
                       "Y800",
                       dados.data(),
                       dados.size());
    if (leitor.scan(imagem) <= 0) {
        return {};
    }
    return imagem.symbol_begin()->get_data();
}

// The controls of a tab as the user sees them: a spin box, a list or a combo
// box counts as one control, not as its inner parts.
void ControlesDe(QWidget* APai, std::vector<QWidget*>& AControles) {
    for (QWidget* w : APai->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisibleTo(APai)) {
            continue;
        }
        if (qobject_cast<QLabel*>(w) != nullptr || qobject_cast<QAbstractButton*>(w) != nullptr ||
            qobject_cast<QLineEdit*>(w) != nullptr ||
            qobject_cast<QAbstractSpinBox*>(w) != nullptr ||
            qobject_cast<QComboBox*>(w) != nullptr ||
            qobject_cast<QAbstractSlider*>(w) != nullptr ||
            qobject_cast<QAbstractItemView*>(w) != nullptr || w->objectName() == "pbQR") {
            AControles.push_back(w);
        } else {
            ControlesDe(w, AControles);
        }
    }
}

// A control's name in a failure message: its object name, else its text.
std::string NomeDe(const QWidget* AControle) {
    if (!AControle->objectName().isEmpty()) {
        return AControle->objectName().toStdString();
    }
    if (const auto* r = qobject_cast<const QLabel*>(AControle); r != nullptr) {
        return r->text().toStdString();
    }
    if (const auto* b = qobject_cast<const QAbstractButton*>(AControle); b != nullptr) {
        return b->text().toStdString();
    }
    return AControle->metaObject()->className();
}

// The dialog over a programme on a fake device and clock, offscreen.
class Config : public testing::Test {
  protected:
    static void SetUpTestSuite() { GarantirAplicacao(); }
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", A.Pasta("config").c_str(), 1);
        AplicarTema(QString::fromUtf8(kTemaPadrao));
        A.CriarArquivos("musicas", {"m1.wav", "m2.wav", "m3.wav"}, 60000);
        A.CriarArquivos("musicas2", {"n1.wav", "n2.wav", "n3.wav", "n4.wav", "n5.wav"}, 60000);
        A.CriarArquivos("propagandas", {"a1.wav", "a2.wav"}, 5000);
        A.Configurar([&](TConfiguracoes& c) {
            c.PastaMusicas = A.Pasta("musicas");
            c.PastaPropagandas = A.Pasta("propagandas");
            c.TransicaoSegundos = 0;
            c.VolumeAutomatico = false;
            c.CelularPin = "";
        });
        A.Criar();
    }
    void TearDown() override {
        FDialogo.reset();
        A.Programa.reset();
        ::unsetenv("XDG_CONFIG_HOME");
    }
    TDependenciasConfig Dep() {
        return TDependenciasConfig{A.Relogio, {}, Cidade, Clima, Noticias};
    }
    TfrmConfig& Abrir(const std::string& AMusica = {}, double ALoudness = -999) {
        FDialogo = std::make_unique<TfrmConfig>(nullptr, *A.Programa, AMusica, ALoudness, Dep());
        FDialogo->DefinirAvisos([this](const QString& ATexto) { Avisos.push_back(ATexto); });
        return *FDialogo;
    }

  public:
    template <typename T>
    T* C(const char* ANome) {
        T* c = FDialogo->findChild<T*>(QString::fromLatin1(ANome));
        EXPECT_NE(c, nullptr) << ANome;
        return c;
    }

  protected:
    // The dialog's test playback, as the programme made it.
    TEscutaTeste& Escuta() { return dynamic_cast<TEscutaTeste&>(FDialogo->Escuta()); }
    void Esperar() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !FDialogo->Ocupado(); }, 20000));
    }
    QImage FotoDaAba(int AAba) {
        FDialogo->Abas()->setCurrentIndex(AAba);
        FDialogo->show();
        QApplication::processEvents();
        return FDialogo->grab().toImage();
    }

    TAmbienteProgramacao A;
    std::unique_ptr<TfrmConfig> FDialogo;
    std::vector<QString> Avisos;
    std::function<TCidade(const std::string&, std::stop_token)> Cidade =
        [](const std::string&, std::stop_token) { return TCidade{}; };
    std::function<TClima(double, double, double, std::stop_token)> Clima =
        [](double, double, double, std::stop_token) { return TClima{}; };
    std::function<std::vector<TNoticia>(const std::string&, bool, double, std::stop_token)>
        Noticias = [](const std::string&, bool, double, std::stop_token) {
            return std::vector<TNoticia>{};
        };
};

TEST_F(Config, AbasNaOrdem) {
    Abrir();
    QStringList nomes;
    for (int i = 0; i < FDialogo->Abas()->count(); ++i) {
        nomes << FDialogo->Abas()->tabText(i);
    }
    EXPECT_EQ(nomes,
              (QStringList{" Músicas ",
                           " Som ",
                           " Volumes ",
                           " Locutor ",
                           " Mensagens ",
                           " Datas e clima ",
                           " Notícias ",
                           " Celular "}));
    EXPECT_EQ(FDialogo->Abas()->currentIndex(), 0);
    EXPECT_EQ(FDialogo->windowTitle(), "Loja Sonorante - Configurações");
    for (int i = 0; i < FDialogo->Abas()->count(); ++i) {
        FotoDaAba(i).save(QString::fromStdString(Artefatos()) +
                          QStringLiteral("config-aba-%1.png").arg(i));
    }
}

// On a 1024x600 screen with a panel the dialog shrinks into the work area
// and its tabs scroll, with "Salvar" and "Cancelar" in view; on a large
// screen it keeps its full size. So does the release-notes window.
TEST_F(Config, CabeEmTelaPequena) {
    const struct {
        const char* Nome;
        QRect Area;  // the work area: the screen less a 40-pixel panel
        bool Rola;
    } telas[] = {{"1024x600", QRect(0, 0, 1024, 560), true},
                 {"1920x1080", QRect(0, 0, 1920, 1040), false}};
    for (const auto& tela : telas) {
        SCOPED_TRACE(tela.Nome);
        Abrir();
        AjustarJanelaNaArea(*FDialogo, tela.Area);
        FDialogo->show();
        QApplication::processEvents();
        EXPECT_TRUE(tela.Area.contains(FDialogo->frameGeometry()))
            << FDialogo->frameGeometry().width() << "x" << FDialogo->frameGeometry().height();
        auto* rolagem = C<QScrollArea>("scrConfig");
        ASSERT_NE(rolagem, nullptr);
        EXPECT_EQ(rolagem->verticalScrollBar()->maximum() > 0, tela.Rola);
        for (const char* nome : {"btnOK", "btnCancelar"}) {
            auto* botao = C<QPushButton>(nome);
            ASSERT_NE(botao, nullptr);
            EXPECT_TRUE(botao->isVisible()) << nome;
            EXPECT_TRUE(FDialogo->rect().contains(botao->geometry())) << nome;
        }
        for (int i = 0; i < FDialogo->Abas()->count(); ++i) {
            FDialogo->Abas()->setCurrentIndex(i);
            rolagem->verticalScrollBar()->setValue(0);
            QApplication::processEvents();
            FDialogo->grab().save(QString::fromStdString(Artefatos()) +
                                  QStringLiteral("config-%1-aba-%2.png").arg(tela.Nome).arg(i));
        }
        // The bottom of the tabs is reachable.
        rolagem->verticalScrollBar()->setValue(rolagem->verticalScrollBar()->maximum());
        QApplication::processEvents();
        const QPoint fimAbas =
            FDialogo->Abas()->mapTo(rolagem->viewport(), QPoint(0, FDialogo->Abas()->height() - 1));
        EXPECT_LT(fimAbas.y(), rolagem->viewport()->height());
        FDialogo->Abas()->setCurrentIndex(7);
        QApplication::processEvents();
        FDialogo->grab().save(QString::fromStdString(Artefatos()) +
                              QStringLiteral("config-%1-aba-7-fim.png").arg(tela.Nome));
        FDialogo.reset();

        TfrmNovidades notas(nullptr);
        AjustarJanelaNaArea(notas, tela.Area);
        notas.show();
        QApplication::processEvents();
        EXPECT_TRUE(tela.Area.contains(notas.frameGeometry()));
        QPushButton* fechar = notas.findChild<QPushButton*>();
        ASSERT_NE(fechar, nullptr);
        EXPECT_TRUE(notas.rect().contains(fechar->geometry()));
        notas.grab().save(QString::fromStdString(Artefatos()) +
                          QStringLiteral("novidades-%1.png").arg(tela.Nome));
    }
}

// Every tab on both screens: each control inside its tab, at least as large
// as its text needs (a wrapped text as tall as its lines), and clear of every
// other control.
TEST_F(Config, NadaSeSobrepoe) {
    for (const QRect area : {QRect(0, 0, 1024, 560), QRect(0, 0, 1920, 1040)}) {
        SCOPED_TRACE(area.width());
        Abrir();
        AjustarJanelaNaArea(*FDialogo, area);
        FDialogo->show();
        for (int i = 0; i < FDialogo->Abas()->count(); ++i) {
            QWidget* aba = FDialogo->Abas()->widget(i);
            SCOPED_TRACE(aba->objectName().toStdString());
            FDialogo->Abas()->setCurrentIndex(i);
            QApplication::processEvents();
            std::vector<QWidget*> controles;
            ControlesDe(aba, controles);
            ASSERT_GE(controles.size(), 5u);
            std::vector<QRect> caixas;
            for (const QWidget* c : controles) {
                const QRect caixa(c->mapTo(aba, QPoint(0, 0)), c->size());
                EXPECT_TRUE(aba->rect().contains(caixa)) << NomeDe(c);
                const auto* rotulo = qobject_cast<const QLabel*>(c);
                if (rotulo != nullptr && rotulo->wordWrap()) {
                    EXPECT_GE(c->height(), c->heightForWidth(c->width())) << NomeDe(c);
                } else {
                    const QSize minimo = c->minimumSizeHint();
                    EXPECT_GE(c->width(), minimo.width()) << NomeDe(c);
                    EXPECT_GE(c->height(), minimo.height()) << NomeDe(c);
                }
                caixas.push_back(caixa);
            }
            for (std::size_t a = 0; a < caixas.size(); ++a) {
                for (std::size_t b = a + 1; b < caixas.size(); ++b) {
                    EXPECT_FALSE(caixas[a].intersects(caixas[b]))
                        << NomeDe(controles[a]) << " / " << NomeDe(controles[b]);
                }
            }
        }
        FDialogo.reset();
    }
}

// Each refusal names the problem, goes to its tab and keeps every edit.
TEST_F(Config, Validacao) {
    struct TCaso {
        const char* Nome;
        std::function<void(Config&)> Editar;
        QString Aviso;
        int Aba;
    };
    const std::vector<TCaso> casos = {
        {"pasta de músicas apagada",
         [](Config& t) { t.C<QLineEdit>("edtMusicas")->setText("/nao/existe"); },
         "A pasta de músicas não existe.",
         0},
        {"pasta de músicas vazia",
         [](Config& t) { t.C<QLineEdit>("edtMusicas")->clear(); },
         "A pasta de músicas não existe.",
         0},
        {"pasta de propagandas inexistente",
         [](Config& t) { t.C<QLineEdit>("edtPropagandas")->setText("/nao/existe"); },
         "A pasta de propagandas não existe.",
         0},
        {"horário inválido com o aviso ligado",
         [](Config& t) {
             t.C<QCheckBox>("chkFechamento")->setChecked(true);
             t.C<QLineEdit>("edtHorario")->setText("18h");
         },
         "Informe o horário de fechamento no formato HH:MM (ex.: 18:00).",
         3},
    };
    const std::string antes = LerArquivo(TConfiguracoes::CaminhoConfig());
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.Nome);
        Avisos.clear();
        Abrir();
        C<QSpinBox>("spnIntervalo")->setValue(7);
        caso.Editar(*this);
        FDialogo->Abas()->setCurrentIndex(6);
        EXPECT_FALSE(FDialogo->Salvar());
        ASSERT_EQ(Avisos.size(), 1u);
        EXPECT_EQ(Avisos[0], caso.Aviso);
        EXPECT_EQ(FDialogo->Abas()->currentIndex(), caso.Aba);
        EXPECT_EQ(C<QSpinBox>("spnIntervalo")->value(), 7);
        EXPECT_FALSE(FDialogo->result() == QDialog::Accepted);
    }
    EXPECT_EQ(LerArquivo(TConfiguracoes::CaminhoConfig()), antes);
    EXPECT_EQ(A.Programa->Config().MusicasEntrePropagandas, 3);

    // An empty advertisement folder and a bad time with the warning off are
    // saved as they stand.
    Avisos.clear();
    Abrir();
    C<QLineEdit>("edtPropagandas")->clear();
    C<QCheckBox>("chkFechamento")->setChecked(false);
    C<QLineEdit>("edtHorario")->setText(" 18h ");
    EXPECT_TRUE(FDialogo->Salvar());
    EXPECT_TRUE(Avisos.empty());
    EXPECT_EQ(A.Programa->Config().PastaPropagandas, "");
    EXPECT_EQ(A.Programa->Config().HorarioFechamento, "18h");
}

// Every setting the dialog shows comes back as it was when saved untouched,
// however far from the defaults: no tab loses or bends a field.
TEST_F(Config, SalvarSemMudarDevolveTudo) {
    TConfiguracoes& c = A.Programa->Config();
    c.PastaMusicas = A.Pasta("musicas2");
    c.MusicasEntrePropagandas = 9;
    c.PropagandasPorIntervalo = 4;
    c.IncluirSubpastas = false;
    c.Aleatorio = true;
    c.Tema = NomesTemas().back().toStdString();
    c.TocarAoIniciar = true;
    c.FecharParaBandeja = false;
    c.WidgetNaBandeja = false;
    c.VolumeAutomatico = true;
    c.ReferenciaVolume = -17.5;
    c.ReferenciaNome = "Aquarela";
    c.TransicaoSegundos = 3;
    c.VinhetaAntes = "/vinhetas/antes.mp3";
    c.VinhetaDepois = "/vinhetas/depois.mp3";
    c.VolumePropagandas = 41;
    c.VolumeVinhetas = 42;
    c.VolumesFala = {51, 52, 53, 54, 55, 56, 57};
    c.NomeEmpresa = "Farmácia Vida";
    c.GeneroEmpresa = TGeneroEmpresa::geSemArtigo;
    c.Voz = "Uma voz que não está instalada";
    c.VelocidadeVoz = -4;
    c.TomVoz = 6;
    c.VolumeFundo = 35;
    c.HoraCerta = false;
    c.AvisoFechamento = true;
    c.HorarioFechamento = "21:30";
    c.AvisosFechamento = "20,10";
    c.PararNoFechamento = false;
    c.MinutosEntreMensagens = 45;
    c.Mensagens = {"Uma", "Duas {da empresa}"};
    c.DatasAtivas = "maes,natal";
    c.Aniversario = "12/03";
    c.DatasDiasAntes = 3;
    c.DatasMinutos = 90;
    c.ClimaAtivo = true;
    c.ClimaCidade = "Campinas, São Paulo";
    c.ClimaLat = -22.9056;
    c.ClimaLon = -47.0608;
    c.NoticiasAtivas = true;
    c.NoticiasAssuntos = "economia,cultura";
    c.NoticiasCadaMusicas = 7;
    c.NoticiasQuantidade = 3;
    c.NoticiasResumo = false;
    c.NoticiasFiltrar = false;
    c.NoticiasRepetir = false;
    c.CelularAtivo = false;
    c.CelularPorta = 9123;
    c.CelularPin = "654321";
    const TConfiguracoes esperado = c;
    Abrir();
    ASSERT_TRUE(FDialogo->Salvar());
    TConfiguracoes salvo = A.Programa->Config();
    // The live volume is the programme's own; the dialog does not show it.
    salvo.Volume = esperado.Volume;
    EXPECT_TRUE(salvo == esperado);
}

// Cancel leaves everything as it was, even after a new PIN and a new city.
TEST_F(Config, CancelarNaoMudaNada) {
    A.Programa->Config().CelularPin = "111111";
    const std::string antes = LerArquivo(TConfiguracoes::CaminhoConfig());
    Cidade = [](const std::string&, std::stop_token) {
        TCidade c;
        c.Encontrada = true;
        c.Exibicao = "Campinas, São Paulo";
        c.Latitude = -22.9;
        c.Longitude = -47.06;
        return c;
    };
    Abrir();
    FDialogo->GerarNovoPin();
    EXPECT_NE(FDialogo->Pin(), "111111");
    C<QLineEdit>("edtCidade")->setText("Campinas");
    FDialogo->BuscarCidadeAgora();
    Esperar();
    EXPECT_EQ(FDialogo->ClimaCidade(), "Campinas, São Paulo");
    C<QLineEdit>("edtEmpresa")->setText("Mercado Central");
    FDialogo->reject();
    FDialogo.reset();
    EXPECT_EQ(A.Programa->Config().CelularPin, "111111");
    EXPECT_EQ(A.Programa->Config().ClimaCidade, "");
    EXPECT_EQ(A.Programa->Config().NomeEmpresa, "nossa loja");
    EXPECT_EQ(LerArquivo(TConfiguracoes::CaminhoConfig()), antes);
}

TEST_F(Config, MarcasDeDatasEAssuntos) {
    struct TCaso {
        std::string Ativas;
        std::vector<std::string> Marcadas;  // keys
        std::string Salvo;                  // after saving unchanged
    };
    const auto datas = ListaDatas();
    std::vector<std::string> todas;
    for (const auto& d : datas) {
        todas.push_back(d.Chave);
    }
    todas.push_back("aniversario");
    const std::vector<TCaso> casos = {
        {"*", todas, "*"},
        {"natal, ANIVERSARIO", {"natal", "aniversario"}, "natal,aniversario"},
        {"", {}, ""},
        {"maes,natal", {"maes", "natal"}, "maes,natal"},
    };
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.Ativas);
        A.Programa->Config().DatasAtivas = caso.Ativas;
        Abrir();
        auto* lista = C<QListWidget>("lstDatas");
        ASSERT_EQ(lista->count(), static_cast<int>(datas.size()) + 1);
        std::vector<std::string> marcadas;
        for (int i = 0; i < lista->count(); ++i) {
            if (lista->item(i)->checkState() == Qt::Checked) {
                marcadas.push_back(lista->item(i)->data(Qt::UserRole).toString().toStdString());
            }
        }
        EXPECT_EQ(marcadas, caso.Marcadas);
        ASSERT_TRUE(FDialogo->Salvar());
        EXPECT_EQ(A.Programa->Config().DatasAtivas, caso.Salvo);
    }
    // Ticking every row again saves "*".
    A.Programa->Config().DatasAtivas = "natal";
    Abrir();
    auto* lista = C<QListWidget>("lstDatas");
    for (int i = 0; i < lista->count(); ++i) {
        lista->item(i)->setCheckState(Qt::Checked);
    }
    ASSERT_TRUE(FDialogo->Salvar());
    EXPECT_EQ(A.Programa->Config().DatasAtivas, "*");

    // Subjects: "*" ticks all and saves the full list; none saves empty.
    A.Programa->Config().NoticiasAssuntos = "*";
    Abrir();
    ASSERT_TRUE(FDialogo->Salvar());
    std::vector<std::string> chaves;
    for (const auto& s : TabelaAssuntos) {
        chaves.push_back(s.Chave);
    }
    EXPECT_EQ(A.Programa->Config().NoticiasAssuntos, Juntar(chaves, ","));
    Abrir();
    auto* assuntos = C<QListWidget>("lstAssuntos");
    for (int i = 0; i < assuntos->count(); ++i) {
        assuntos->item(i)->setCheckState(Qt::Unchecked);
    }
    // No subject: the preview asks for one and never goes to the network.
    std::atomic<int> buscas{0};
    Noticias = [&](const std::string&, bool, double, std::stop_token) {
        ++buscas;
        return std::vector<TNoticia>{};
    };
    FDialogo->VerNoticias();
    EXPECT_EQ(C<QLabel>("lblPrevia")->text(), "Marque pelo menos um assunto.");
    EXPECT_EQ(buscas.load(), 0);
    ASSERT_TRUE(FDialogo->Salvar());
    EXPECT_EQ(A.Programa->Config().NoticiasAssuntos, "");
}

// The phone tab: a PIN made on first opening, the address and a QR code a
// camera reads, crossed out until phone control is allowed; the port and a
// new PIN change the code at once.
TEST_F(Config, CelularPinEQR) {
    Abrir();
    const std::string pin = FDialogo->Pin();
    ASSERT_EQ(pin.size(), 6u);
    EXPECT_EQ(C<QLabel>("lblPin")->text().toStdString(), pin);
    const std::string endereco = EnderecoCelular(8090);
    if (endereco.empty()) {
        EXPECT_TRUE(FDialogo->QR().empty());
        EXPECT_EQ(C<QLabel>("lblQR")->text(), "Sem rede: sem código");
        GTEST_SKIP() << "sem rede local nesta máquina: sem endereço para o código";
    }
    const std::string linha = endereco.substr(0, endereco.find_first_of("\r\n"));
    EXPECT_EQ(C<QLabel>("lblQR")->text(), "Marque \"Permitir o controle\" e clique em Salvar");
    C<QCheckBox>("chkCelular")->setChecked(true);
    EXPECT_EQ(C<QLabel>("lblQR")->text(), "Aponte a câmera do celular: abre já com o PIN");
    QImage foto = FotoDaAba(7);
    foto.save(QString::fromStdString(Artefatos() + "config-celular.png"));
    EXPECT_EQ(LerQR(foto), linha + "/#pin=" + pin);

    C<QSpinBox>("spnPorta")->setValue(8123);
    FDialogo->GerarNovoPin();
    const std::string novo = FDialogo->Pin();
    const std::string linha2 = EnderecoCelular(8123).substr(0, linha.size());
    EXPECT_NE(linha2, linha);
    EXPECT_EQ(LerQR(FotoDaAba(7)), linha2 + "/#pin=" + novo);
    EXPECT_NE(C<QLabel>("lblEndereco")->text().toStdString().find(":8123"), std::string::npos);

    // The running server keeps its PIN until the settings are saved.
    ASSERT_TRUE(FDialogo->Salvar());
    EXPECT_EQ(A.Programa->Config().CelularPin, novo);
    EXPECT_EQ(A.Programa->Config().CelularPorta, 8123);
    EXPECT_TRUE(A.Programa->Config().CelularAtivo);
}

// A port another program holds is refused on "Salvar"; our own is not.
TEST_F(Config, PortaOcupada) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in e{};
    e.sin_family = AF_INET;
    e.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&e), sizeof e), 0);
    ASSERT_EQ(::listen(s, 1), 0);
    socklen_t t = sizeof e;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&e), &t);
    const int porta = ntohs(e.sin_port);
    Abrir();
    C<QCheckBox>("chkCelular")->setChecked(true);
    C<QSpinBox>("spnPorta")->setValue(porta);
    EXPECT_FALSE(FDialogo->Salvar());
    ASSERT_EQ(Avisos.size(), 1u);
    EXPECT_TRUE(Avisos[0].contains(QString::number(porta))) << Avisos[0].toStdString();
    EXPECT_EQ(FDialogo->Abas()->currentIndex(), 7);
    // Phone control off: the port is not checked.
    C<QCheckBox>("chkCelular")->setChecked(false);
    EXPECT_TRUE(FDialogo->Validar());
    // The port our own server holds is no conflict.
    ::close(s);
    TConfiguracoes comCelular = A.Programa->Config();
    comCelular.CelularAtivo = true;
    comCelular.CelularPorta = porta;
    comCelular.CelularPin = "123456";
    A.Programa->Aplicar(comCelular);
    ASSERT_EQ(A.Programa->PortaCelular(), porta);
    FDialogo = std::make_unique<TfrmConfig>(nullptr, *A.Programa, "", -999, Dep());
    C<QCheckBox>("chkCelular")->setChecked(true);
    C<QSpinBox>("spnPorta")->setValue(porta);
    EXPECT_TRUE(FDialogo->Validar());
}

// A write that fails says so, keeps the dialog open with the edits, and
// leaves the settings object and the files on disk as they were.
TEST_F(Config, SalvarQueFalha) {
    const std::string caminho = TConfiguracoes::CaminhoConfig();
    const std::string antes = LerArquivo(caminho);
    Abrir();
    C<QLineEdit>("edtEmpresa")->setText("Farmácia Vida");
    // config.ini cannot be replaced: something else (a folder) sits in the
    // way of the temporary file's rename. Root ignores permissions, so this
    // is the fault every user can be given.
    const std::string guardado = caminho + ".guardado";
    fs::rename(caminho, guardado);
    fs::create_directories(caminho + "/ocupado");
    EXPECT_FALSE(FDialogo->Salvar());
    ASSERT_EQ(Avisos.size(), 1u);
    EXPECT_TRUE(Avisos[0].startsWith("Não foi possível salvar as configurações"));
    EXPECT_EQ(C<QLineEdit>("edtEmpresa")->text(), "Farmácia Vida");
    EXPECT_EQ(A.Programa->Config().NomeEmpresa, "nossa loja");
    EXPECT_NE(FDialogo->result(), QDialog::Accepted);
    fs::remove_all(caminho);
    fs::rename(guardado, caminho);
    EXPECT_EQ(LerArquivo(caminho), antes);
    // Once the way is clear the same edits save.
    EXPECT_TRUE(FDialogo->Salvar());
    EXPECT_EQ(A.Programa->Config().NomeEmpresa, "Farmácia Vida");
}

// Slow look-ups run off the main thread: the dialog keeps answering and
// shows that it is busy until the answer arrives.
TEST_F(Config, BuscaLentaNaoCongela) {
    std::promise<void> liberar;
    std::shared_future<void> liberado = liberar.get_future().share();
    Cidade = [liberado](const std::string& ATexto, std::stop_token) {
        liberado.wait();
        TCidade c;
        c.Encontrada = ATexto == "Campinas";
        c.Exibicao = "Campinas, São Paulo";
        c.Latitude = -22.9056;
        c.Longitude = -47.0608;
        return c;
    };
    Clima = [](double ALat, double, double AAgora, std::stop_token) {
        TClima c;
        c.Valido = ALat < -22;
        c.Temperatura = 23.4;
        c.Condicao = "céu parcialmente nublado";
        c.Maxima = 28.6;
        c.Consultado = AAgora;
        return c;
    };
    Abrir();
    C<QLineEdit>("edtCidade")->setText("Campinas");
    FDialogo->BuscarCidadeAgora();
    auto* botao = C<QPushButton>("btnBuscarCidade");
    EXPECT_TRUE(FDialogo->Ocupado());
    EXPECT_FALSE(botao->isEnabled());
    // The event loop runs while the look-up waits.
    bool disparou = false;
    QTimer::singleShot(50, [&] { disparou = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return disparou; }, 5000));
    EXPECT_TRUE(FDialogo->Ocupado());
    liberar.set_value();
    Esperar();
    EXPECT_TRUE(botao->isEnabled());
    EXPECT_EQ(C<QLineEdit>("edtCidade")->text(), "Campinas, São Paulo");
    EXPECT_TRUE(
        C<QLabel>("lblCidade")
            ->text()
            .startsWith("Cidade escolhida: Campinas, São Paulo. Agora faz 23 graus em Campinas"))
        << C<QLabel>("lblCidade")->text().toStdString();
    EXPECT_TRUE(C<QCheckBox>("chkClima")->isChecked());

    // Not found keeps the chosen city.
    C<QLineEdit>("edtCidade")->setText("Xyzzy");
    FDialogo->BuscarCidadeAgora();
    Esperar();
    EXPECT_EQ(C<QLabel>("lblCidade")->text(),
              "Cidade não encontrada (ou sem internet). Confira o nome e tente de novo.");
    EXPECT_EQ(FDialogo->ClimaCidade(), "Campinas, São Paulo");
    ASSERT_TRUE(FDialogo->Salvar());
    EXPECT_TRUE(A.Programa->Config().ClimaAtivo);
    EXPECT_EQ(A.Programa->Config().ClimaCidade, "Campinas, São Paulo");
    EXPECT_NEAR(A.Programa->Config().ClimaLat, -22.9056, 1e-9);

    // A dialog closed during a look-up does not wait for the network.
    std::promise<void> nunca;
    std::shared_future<void> f = nunca.get_future().share();
    Cidade = [f](const std::string&, std::stop_token AParar) {
        while (!AParar.stop_requested() &&
               f.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        }
        return TCidade{};
    };
    Abrir();
    C<QLineEdit>("edtCidade")->setText("Campinas");
    FDialogo->BuscarCidadeAgora();
    FDialogo.reset();
}

// The city search through the real place search and forecast code, against
// local copies of the services.
TEST_F(Config, BuscaDeCidadeReal) {
    TServidorFixtures servidor;
    servidor.Servidor().Get("/search", [](const httplib::Request&, httplib::Response& AResp) {
        AResp.set_content(LerArquivo(std::string(LJSN_FIXTURES) + "/nominatim/campinas.json"),
                          "application/json");
    });
    servidor.Iniciar();
    ::setenv("LJSN_CIDADES_URL", servidor.Url("").c_str(), 1);
    auto dep = Dep();
    dep.BuscarCidade = nullptr;
    dep.ObterClima = nullptr;
    FDialogo = std::make_unique<TfrmConfig>(nullptr, *A.Programa, "", -999, dep);
    C<QLineEdit>("edtCidade")->setText("Campinas");
    FDialogo->BuscarCidadeAgora();
    Esperar();
    // The forecast service refuses (127.0.0.1:1): the city is kept without it.
    EXPECT_EQ(C<QLabel>("lblCidade")->text(),
              "Cidade escolhida: " + C<QLineEdit>("edtCidade")->text() +
                  ". (Previsão indisponível agora.)");
    EXPECT_TRUE(C<QLineEdit>("edtCidade")->text().startsWith("Campinas"));
}

TEST_F(Config, PreviaDeNoticias) {
    struct TCaso {
        int Itens;
        int Linhas;
    };
    for (const TCaso caso : {TCaso{2, 2}, TCaso{10, 3}}) {
        Noticias = [caso](const std::string& AAssuntos, bool AFiltrar, double, std::stop_token) {
            EXPECT_EQ(AAssuntos, "economia,esportes");
            EXPECT_TRUE(AFiltrar);
            std::vector<TNoticia> r;
            for (int i = 0; i < caso.Itens; ++i) {
                TNoticia n;
                n.Titulo = "Manchete " + std::to_string(i + 1);
                n.Resumo = "Resumo " + std::to_string(i + 1) + ".";
                n.Link = "https://exemplo/" + std::to_string(i);
                r.push_back(n);
            }
            return r;
        };
        A.Programa->Config().NoticiasAssuntos = "economia,esportes";
        Abrir();
        FDialogo->VerNoticias();
        Esperar();
        QString esperado = QStringLiteral("%1 notícias recentes. As mais novas:").arg(caso.Itens);
        for (int i = 0; i < caso.Linhas; ++i) {
            esperado += QStringLiteral("\n• Manchete %1").arg(i + 1);
        }
        EXPECT_EQ(C<QLabel>("lblPrevia")->text(), esperado);
    }
    // "Ouvir uma notícia" speaks the first item with its summary.
    FDialogo->OuvirNoticia();
    ASSERT_NE(Escuta().Voz(), nullptr);
    A.Avancar(200);
    QTest::qWait(300);
    ASSERT_FALSE(A.Voz.Roteiro.Falados.empty());
    EXPECT_NE(A.Voz.Roteiro.Falados.back().find("Manchete 1. Resumo 1."), std::string::npos);

    Noticias = [](const std::string&, bool, double, std::stop_token) {
        return std::vector<TNoticia>{};
    };
    Abrir();
    FDialogo->VerNoticias();
    Esperar();
    EXPECT_EQ(C<QLabel>("lblPrevia")->text(),
              "Nenhuma notícia encontrada agora (ou sem internet). Tente de novo mais tarde.");
}

TEST_F(Config, ReferenciaDoVolumeAutomatico) {
    A.Programa->Config().VolumeAutomatico = true;
    // During an advertisement the dialog knows no music.
    Abrir("", -12.0);
    EXPECT_FALSE(C<QPushButton>("btnRefAtual")->isEnabled());
    EXPECT_FALSE(C<QPushButton>("btnRefProxima")->isEnabled());
    EXPECT_EQ(C<QLabel>("lblReferencia")->text(),
              "Ainda não definida: a próxima música tocada vira a referência.");

    Abrir("Garota de Ipanema", -14.25);
    auto* atual = C<QPushButton>("btnRefAtual");
    ASSERT_TRUE(atual->isEnabled());
    atual->click();
    EXPECT_EQ(C<QLabel>("lblReferencia")->text(),
              QStringLiteral("Garota de Ipanema  (%1 LUFS)")
                  .arg(QLocale::system().toString(-14.25, 'f', 1)));
    EXPECT_TRUE(C<QPushButton>("btnRefProxima")->isEnabled());
    C<QCheckBox>("chkVolumeAuto")->setChecked(false);
    EXPECT_FALSE(atual->isEnabled());
    EXPECT_FALSE(C<QPushButton>("btnRefProxima")->isEnabled());
    C<QCheckBox>("chkVolumeAuto")->setChecked(true);
    ASSERT_TRUE(FDialogo->Salvar());
    EXPECT_DOUBLE_EQ(A.Programa->Config().ReferenciaVolume, -14.25);
    EXPECT_EQ(A.Programa->Config().ReferenciaNome, "Garota de Ipanema");
}

// Test playback: one file at a time on its own alias, at the row's volume,
// stopped by a second click, by ten seconds, or by test speech.
TEST_F(Config, OuvirArquivos) {
    A.CriarArquivos("vinhetas", {"antes.wav"}, 60000);
    Abrir();
    C<QLineEdit>("edtVinhetaAntes")
        ->setText(QString::fromStdString(A.Pasta("vinhetas") + "/antes.wav"));
    auto* propagandas = C<QPushButton>("btnOuvirVolume0");
    auto* vinhetas = C<QPushButton>("btnOuvirVolume1");
    C<QSlider>("trkVolume0")->setValue(35);
    const std::size_t abertos = A.Dispositivo.Abertos.size();
    FDialogo->OuvirVolume(0);
    ASSERT_EQ(A.Dispositivo.Abertos.size(), abertos + 1);
    EXPECT_EQ(NomeExibicao(A.Dispositivo.Abertos.back()), "a1");
    EXPECT_EQ(propagandas->text(), "Parar");
    ASSERT_NE(Escuta().Player(), nullptr);
    EXPECT_EQ(Escuta().Player()->Alias(), "teste");
    EXPECT_EQ(Escuta().Player()->Volume(), 35);
    // The volume follows the bar while it plays.
    C<QSlider>("trkVolume0")->setValue(60);
    EXPECT_EQ(Escuta().Player()->Volume(), 60);
    // The jingle row stops the advertisement and plays the jingle.
    FDialogo->OuvirVolume(1);
    EXPECT_EQ(NomeExibicao(A.Dispositivo.Abertos.back()), "antes");
    EXPECT_EQ(propagandas->text(), "Ouvir");
    EXPECT_EQ(vinhetas->text(), "Parar");
    // Ten seconds at most: the 20th step of the 500 ms timer stops it.
    for (int i = 0; i < 19; ++i) {
        A.Relogio.Avancar(500);
        FDialogo->PassoTeste();
    }
    EXPECT_EQ(vinhetas->text(), "Parar");
    FDialogo->PassoTeste();
    EXPECT_EQ(vinhetas->text(), "Ouvir");
    EXPECT_EQ(Escuta().Player()->Estado(), TEstadoPlayer::epParado);
    // A second click stops.
    FDialogo->OuvirVolume(1);
    EXPECT_EQ(vinhetas->text(), "Parar");
    FDialogo->OuvirVolume(1);
    EXPECT_EQ(vinhetas->text(), "Ouvir");
    // Nothing to play: the shop is told where to choose it.
    C<QLineEdit>("edtVinhetaAntes")->clear();
    FDialogo->OuvirVolume(1);
    ASSERT_FALSE(Avisos.empty());
    EXPECT_EQ(Avisos.back(), "Escolha uma vinheta (aba Som) para ouvir.");
    C<QLineEdit>("edtPropagandas")->setText(QString::fromStdString(A.Pasta("vazia")));
    fs::create_directories(A.Pasta("vazia"));
    FDialogo->OuvirVolume(0);
    EXPECT_EQ(Avisos.back(), "Escolha a pasta das propagandas (aba Músicas) para ouvir.");
}

// Test speech uses the dialog's own voice with the dialog's settings, and a
// volume bar moved while it speaks changes that voice at once.
TEST_F(Config, VozDeTeste) {
    Abrir();
    C<QLineEdit>("edtEmpresa")->setText("Mercado Central");
    C<QComboBox>("cbxGenero")->setCurrentIndex(1);
    auto* voz = C<QComboBox>("cbxVoz");
    ASSERT_GE(voz->count(), 3);  // automatic, then the Brazilian voices
    voz->setCurrentIndex(2);
    C<QSpinBox>("spnVelocidade")->setValue(3);
    FDialogo->OuvirVolume(5);  // "Mensagens"
    ASSERT_NE(Escuta().Voz(), nullptr);
    const TLocutor& teste = *Escuta().Voz();
    EXPECT_EQ(teste.NomeVoz(), voz->currentText().toStdString());
    EXPECT_EQ(teste.Velocidade(), 3);
    EXPECT_NE(&teste, &A.Programa->Locutor());
    C<QSlider>("trkVolume5")->setValue(33);
    EXPECT_EQ(teste.Volume(TTipoFala::tfMensagem), 33);
    EXPECT_EQ(FDialogo->FraseExemplo(TTipoFala::tfMensagem),
              "Bem-vindo ao Mercado Central! Aproveite as ofertas do dia.");
    // Saving "Automática" writes an empty voice.
    voz->setCurrentIndex(0);
    A.Programa->Config().Voz = "qualquer";
    ASSERT_TRUE(FDialogo->Salvar());
    EXPECT_EQ(A.Programa->Config().Voz, "");
    EXPECT_EQ(A.Programa->Config().VolumesFala[IndiceFala(TTipoFala::tfMensagem)], 33);
}

TEST_F(Config, EditorDeMensagens) {
    A.Programa->Config().Mensagens = {"Primeira", "Segunda"};
    Abrir();
    auto* lista = C<QListWidget>("lstMensagens");
    auto* texto = C<QLineEdit>("edtTexto");
    texto->setText("   ");
    C<QPushButton>("btnAdicionar")->click();
    EXPECT_EQ(lista->count(), 2);
    texto->setText("  Terceira ");
    C<QPushButton>("btnAdicionar")->click();
    ASSERT_EQ(lista->count(), 3);
    EXPECT_EQ(lista->item(2)->text(), "Terceira");
    EXPECT_TRUE(texto->text().isEmpty());
    texto->setText("Nova");
    C<QPushButton>("btnAlterar")->click();  // no row selected
    EXPECT_EQ(lista->item(0)->text(), "Primeira");
    lista->setCurrentRow(0);
    C<QPushButton>("btnAlterar")->click();
    EXPECT_EQ(lista->item(0)->text(), "Nova");
    lista->setCurrentRow(1);
    C<QPushButton>("btnRemover")->click();
    ASSERT_TRUE(FDialogo->Salvar());
    EXPECT_EQ(A.Programa->Config().Mensagens, (std::vector<std::string>{"Nova", "Terceira"}));
}

// "Salvar" from the main window's gear button: the dialog runs modally over
// the playing programme, and what it saved takes effect at once: the lists
// are rebuilt from the new folder, the next break follows the new rotation,
// the message rotation restarts, the control server takes the new port and
// PIN, and the log says so.
TEST(ConfigNaJanela, SalvarAplicaTudo) {
    GarantirAplicacao();
    TAmbienteProgramacao A;
    ::setenv("XDG_CONFIG_HOME", A.Pasta("config").c_str(), 1);
    MarcarNotasVistas();
    A.CriarArquivos("musicas", {"m1.wav", "m2.wav", "m3.wav"}, 2000);
    A.CriarArquivos("musicas2", {"n1.wav", "n2.wav", "n3.wav", "n4.wav", "n5.wav"}, 2000);
    A.CriarArquivos("propagandas", {"a1.wav"}, 1000);
    A.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = A.Pasta("musicas");
        c.PastaPropagandas = A.Pasta("propagandas");
        c.MusicasEntrePropagandas = 1;
        c.TransicaoSegundos = 0;
        c.VolumeAutomatico = false;
        c.HoraCerta = false;
        c.DatasAtivas = "";
        c.TocarAoIniciar = true;
    });
    TPrograma* programa = nullptr;
    auto janela =
        std::make_unique<TfrmPrincipal>(DependenciasJanela(A, programa), TOpcoesPrograma{});
    janela->Iniciar(false);
    A.EsperarListas(programa);
    auto avancar = [&](int AMs) {
        for (int t = 0; t < AMs; t += 100) {
            A.Relogio.Avancar(100);
            A.Fila.Drenar();
            janela->Tick();
        }
    };
    avancar(500);
    TPrograma& p = *programa;
    ASSERT_TRUE(p.EmReproducao());
    ASSERT_EQ(p.Musicas().size(), 3u);

    bool viuDialogo = false;
    QTimer::singleShot(0, [&] {
        auto* d = dynamic_cast<TfrmConfig*>(QApplication::activeModalWidget());
        if (d == nullptr) {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* c = dynamic_cast<TfrmConfig*>(w); c != nullptr && c->isVisible()) {
                    d = c;
                }
            }
        }
        ASSERT_NE(d, nullptr);
        viuDialogo = true;
        d->findChild<QLineEdit*>("edtMusicas")
            ->setText(QString::fromStdString(A.Pasta("musicas2")));
        d->findChild<QSpinBox*>("spnIntervalo")->setValue(3);
        d->findChild<QLineEdit*>("edtEmpresa")->setText("Mercado Central");
        d->findChild<QCheckBox*>("chkCelular")->setChecked(true);
        d->findChild<QSpinBox*>("spnPorta")->setValue(PortaLivre());
        d->findChild<QPushButton*>("btnOK")->click();
    });
    janela->AbrirConfiguracoes();
    ASSERT_TRUE(viuDialogo);
    A.EsperarListas(&p);  // the new folder is listed on a worker

    const TConfiguracoes& c = p.Config();
    EXPECT_EQ(c.PastaMusicas, A.Pasta("musicas2"));
    EXPECT_EQ(c.MusicasEntrePropagandas, 3);
    EXPECT_EQ(p.Musicas().size(), 5u);
    EXPECT_TRUE(p.Controle().Ativo());
    EXPECT_EQ(p.Controle().Porta(), c.CelularPorta);
    EXPECT_EQ(c.CelularPin.size(), 6u);
    // Saved to disk as well.
    TConfiguracoes lida;
    lida.Carregar();
    EXPECT_EQ(lida.PastaMusicas, A.Pasta("musicas2"));
    EXPECT_EQ(lida.MusicasEntrePropagandas, 3);
    EXPECT_EQ(lida.NomeEmpresa, "Mercado Central");
    EXPECT_NE(A.Log().find("configuracoes salvas | propagandas a cada 3 | noticias: desligadas a "
                           "cada 4 | transicao 0 s"),
              std::string::npos);

    // The music on air goes on; from the next start three songs, then a break.
    const std::size_t antes = A.Dispositivo.Abertos.size();
    avancar(30000);
    std::vector<std::string> depois;
    for (std::size_t i = antes; i < A.Dispositivo.Abertos.size(); ++i) {
        depois.push_back(NomeExibicao(A.Dispositivo.Abertos[i]));
    }
    ASSERT_GE(depois.size(), 8u);
    std::vector<std::size_t> intervalos;
    for (std::size_t i = 0; i < depois.size(); ++i) {
        if (depois[i] == "a1") {
            intervalos.push_back(i);
        }
    }
    ASSERT_GE(intervalos.size(), 2u) << Juntar(depois, " ");
    EXPECT_EQ(intervalos[1] - intervalos[0], 4u) << Juntar(depois, " ");
    for (std::size_t i = intervalos[0] + 1; i < intervalos[1]; ++i) {
        EXPECT_EQ(depois[i][0], 'n') << Juntar(depois, " ");
    }
    janela.reset();
    ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
