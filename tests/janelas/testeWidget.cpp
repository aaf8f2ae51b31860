#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEnterEvent>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>

#include <gtest/gtest.h>

#include "apoio/uRelogioFalso.h"
#include "janelas/uAparencia.h"
#include "janelas/uApoioJanelas.h"
#include "janelas/uComponentes.h"
#include "janelas/uFrmChamadas.h"
#include "janelas/uFrmPrincipal.h"
#include "janelas/uFrmWidget.h"
#include "janelas/uNovidades.h"
#include "janelas/uTemas.h"
#include "programa/uAmbienteProgramacao.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

void Foto(QWidget& AJanela, const std::string& ANome) {
    QApplication::processEvents();
    ASSERT_TRUE(AJanela.grab().toImage().save(QString::fromStdString(Artefatos() + ANome)));
}

const QColor kVerde{61, 220, 132};
const QColor kLaranja{255, 180, 0};

const std::vector<std::string> kModelos = {
    "Gerente, por favor, comparecer ao caixa {caixa}.",
    "Caixa {caixa}: o carro de placa {placa} está mal estacionado.",
    "Atenção, colaboradores: reunião rápida na frente de loja.",
};

// The widget on a scripted command handler: it records every call, answers
// the state the test set (with the call list for a full refresh, as the
// programme does), or refuses commands with Erro.
class Widget : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        GarantirAplicacao();
        AplicarTema(QString::fromUtf8(kTemaPadrao));
    }
    void SetUp() override {
        Estado = {{"situacao", "parado"},
                  {"tipo", "musica"},
                  {"faixa", ""},
                  {"posicao", 0},
                  {"duracao", 0},
                  {"volume", 80},
                  {"locutor", ""},
                  {"info", ""}};
        W = std::make_unique<TfrmWidget>(
            [this](const std::string& AAcao, const TJson& ADados) {
                Pedidos.push_back({AAcao, ADados});
                if (AAcao == "comando" && !Erro.empty()) {
                    throw std::runtime_error(Erro);
                }
                if (ADados.value("acao", "") == "volume") {
                    Estado["volume"] = ADados["valor"];
                }
                TJson e = Estado;
                if (AAcao == "estado" && ADados.value("completo", false)) {
                    e["chamadas"] = Modelos;
                }
                return e.dump();
            },
            Relogio);
    }
    void TearDown() override { W.reset(); }

    // The commands sent ("comando" calls), in order.
    std::vector<TJson> Comandos() const {
        std::vector<TJson> r;
        for (const auto& p : Pedidos) {
            if (p.first == "comando") {
                r.push_back(p.second);
            }
        }
        return r;
    }
    QColor CorDe(QWidget* AControle) const {
        return AControle->palette().color(QPalette::WindowText);
    }
    QColor Cinza() const { return CorTextoCinza(W->palette()); }
    void Escolher(int ALinha) { W->Chamada()->setCurrentIndex(ALinha); }

    TRelogioFalso Relogio;
    TJson Estado;
    std::vector<std::string> Modelos = kModelos;
    std::string Erro;
    std::vector<std::pair<std::string, TJson>> Pedidos;
    std::unique_ptr<TfrmWidget> W;
};

}  // namespace

// The status line, its colour and the play button for every state; the
// announcer speaking wins over any situation.
TEST_F(Widget, LinhaDeSituacao) {
    struct TCaso {
        const char* Nome;
        std::optional<std::string> Situacao, Tipo;
        std::string Locutor;
        const char* Texto;
        std::optional<QColor> Cor;  // none: the theme's grey
        char32_t Glifo;
        const char* Dica;
    };
    const TCaso casos[] = {
        {"musica", "tocando", "musica", "", "●  TOCANDO AGORA", kVerde, kGlifoPausar, "Pausar"},
        {"semTipo",
         "tocando",
         std::nullopt,
         "",
         "●  TOCANDO AGORA",
         kVerde,
         kGlifoPausar,
         "Pausar"},
        {"tipoDesconhecido",
         "tocando",
         "outro",
         "",
         "●  TOCANDO AGORA",
         kVerde,
         kGlifoPausar,
         "Pausar"},
        {"propaganda",
         "tocando",
         "propaganda",
         "",
         "●  PROPAGANDA NO AR",
         kVerde,
         kGlifoPausar,
         "Pausar"},
        {"noticias",
         "tocando",
         "noticias",
         "",
         "●  NOTÍCIAS NO AR",
         kVerde,
         kGlifoPausar,
         "Pausar"},
        {"vinheta", "tocando", "vinheta", "", "●  VINHETA", kVerde, kGlifoPausar, "Pausar"},
        {"pausado", "pausado", "propaganda", "", "❙❙  PAUSADO", std::nullopt, kGlifoTocar, "Tocar"},
        {"parado", "parado", "musica", "", "■  PARADO", std::nullopt, kGlifoTocar, "Tocar"},
        {"semSituacao",
         std::nullopt,
         "musica",
         "",
         "■  PARADO",
         std::nullopt,
         kGlifoTocar,
         "Tocar"},
        {"situacaoDesconhecida",
         "outra",
         "musica",
         "",
         "■  PARADO",
         std::nullopt,
         kGlifoTocar,
         "Tocar"},
        {"locutorTocando",
         "tocando",
         "musica",
         "Bom dia",
         "●  LOCUTOR FALANDO",
         kLaranja,
         kGlifoPausar,
         "Pausar"},
        {"locutorParado",
         "parado",
         "musica",
         "Hora certa",
         "●  LOCUTOR FALANDO",
         kLaranja,
         kGlifoTocar,
         "Tocar"},
    };
    for (const auto& c : casos) {
        TJson e = TJson::object();
        if (c.Situacao) {
            e["situacao"] = *c.Situacao;
        }
        if (c.Tipo) {
            e["tipo"] = *c.Tipo;
        }
        e["locutor"] = c.Locutor;
        W->AplicarEstado(e.dump());
        EXPECT_EQ(W->Situacao()->TextoCompleto().toStdString(), c.Texto) << c.Nome;
        EXPECT_EQ(CorDe(W->Situacao()), c.Cor.value_or(Cinza())) << c.Nome;
        EXPECT_EQ(W->Tocar()->text(), Glifo(c.Glifo)) << c.Nome;
        EXPECT_EQ(W->Tocar()->toolTip().toStdString(), c.Dica) << c.Nome;
    }
    EXPECT_TRUE(Comandos().empty());
}

// The title line and its hint; a reply that is not an object changes nothing.
TEST_F(Widget, FaixaEDica) {
    W->AplicarEstado(R"({"situacao":"tocando","faixa":"01 Abertura","info":"Banda · 2024"})");
    EXPECT_EQ(W->Faixa()->TextoCompleto().toStdString(), "01 Abertura");
    EXPECT_EQ(W->Faixa()->toolTip().toStdString(), "01 Abertura\nBanda · 2024");
    W->AplicarEstado(R"({"situacao":"tocando","faixa":"02 Segunda"})");
    EXPECT_EQ(W->Faixa()->toolTip().toStdString(), "02 Segunda");
    for (const char* lixo : {"[1,2]", "nada", "", "\"texto\"", "{\"situacao\":"}) {
        W->AplicarEstado(lixo);
        EXPECT_EQ(W->Faixa()->TextoCompleto().toStdString(), "02 Segunda") << lixo;
        EXPECT_EQ(W->UltimaSituacao(), "tocando") << lixo;
    }
    W->AplicarEstado(R"({"situacao":"parado","faixa":""})");
    EXPECT_EQ(W->Faixa()->TextoCompleto().toStdString(), "Nada tocando");
    // Keys of the wrong type count as missing.
    W->AplicarEstado(R"({"situacao":5,"faixa":["x"],"duracao":"100","volume":"alto"})");
    EXPECT_EQ(W->Situacao()->TextoCompleto().toStdString(), "■  PARADO");
    EXPECT_EQ(W->Faixa()->TextoCompleto().toStdString(), "Nada tocando");
}

// The filled part: nothing without a duration or when stopped; otherwise the
// ratio limited to 0..1 of the 296-pixel bar, rounded.
TEST_F(Widget, Progresso) {
    struct TCaso {
        const char* Nome;
        const char* Situacao;
        double Posicao, Duracao;
        int Largura;
    };
    const TCaso casos[] = {
        {"semDuracao", "tocando", 5000, 0, 0},
        {"duracaoNegativa", "tocando", 5000, -1, 0},
        {"parado", "parado", 50, 100, 0},
        {"metade", "tocando", 50, 100, 148},
        {"pausadoConta", "pausado", 25, 100, 74},
        {"arredonda", "tocando", 1, 3, 99},
        {"alemDoFim", "tocando", 200, 100, 296},
        {"antesDoInicio", "tocando", -10, 100, 0},
    };
    EXPECT_EQ(W->Tempo()->geometry(), QRect(12, 90, 296, 4));
    for (const auto& c : casos) {
        W->AplicarEstado(
            TJson{{"situacao", c.Situacao}, {"posicao", c.Posicao}, {"duracao", c.Duracao}}.dump());
        EXPECT_EQ(W->TempoCheio()->width(), c.Largura) << c.Nome;
        EXPECT_EQ(W->TempoCheio()->height(), 4) << c.Nome;
    }
}

// The programme's volume moves the bar without a command going out; the
// user's moves go out; the bar is not moved back while the user holds it.
TEST_F(Widget, Volume) {
    W->AplicarEstado(R"({"volume":40})");
    EXPECT_EQ(W->Volume()->value(), 40);
    EXPECT_EQ(W->RotuloVolume()->text().toStdString(), "40%");
    EXPECT_TRUE(Comandos().empty());

    W->Volume()->setValue(55);
    ASSERT_EQ(Comandos().size(), 1u);
    EXPECT_EQ(Comandos()[0], (TJson{{"valor", 55}, {"acao", "volume"}}));
    EXPECT_EQ(W->RotuloVolume()->text().toStdString(), "55%");

    // Held with the mouse, then with the keyboard focus.
    W->Volume()->setSliderDown(true);
    W->AplicarEstado(R"({"volume":70})");
    EXPECT_EQ(W->Volume()->value(), 55);
    W->Volume()->setSliderDown(false);
    W->show();
    W->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(W.get()));
    W->Volume()->setFocus();
    ASSERT_TRUE(W->Volume()->hasFocus());
    W->AplicarEstado(R"({"volume":70})");
    EXPECT_EQ(W->Volume()->value(), 55);
    EXPECT_EQ(W->RotuloVolume()->text().toStdString(), "55%");
    W->Falar()->setFocus();
    W->AplicarEstado(R"({"volume":70})");
    EXPECT_EQ(W->Volume()->value(), 70);
    EXPECT_EQ(W->RotuloVolume()->text().toStdString(), "70%");
    EXPECT_EQ(Comandos().size(), 1u);
}

// The fields each model asks for, in the table's order whatever the text's,
// with their hints and input rules.
TEST_F(Widget, CamposDaChamada) {
    struct TCaso {
        const char* Modelo;
        std::vector<std::pair<QString, QString>> Campos;  // name, hint
    };
    const TCaso casos[] = {
        {"Gerente ao caixa {caixa}.", {{"caixa", "Número do caixa"}}},
        {"Limpeza na frente de loja.", {}},
        {"{nome}, ao setor {setor}.", {{"nome", "Nome"}, {"setor", "Setor"}}},
        {"Placa {placa} no caixa {caixa}.", {{"caixa", "Número do caixa"}, {"placa", "Placa"}}},
        {"Dono de {OBJETO}, {A Empresa} agradece.", {{"item", "Objeto (ex.: uma carteira preta)"}}},
        // One "item" field, the first marker of the table.
        {"{objeto} ou {veiculo}", {{"item", "Veículo (ex.: Gol prata)"}}},
    };
    Modelos.clear();
    for (const auto& c : casos) {
        Modelos.push_back(c.Modelo);
    }
    W->Atualizar(true);
    for (int i = 0; i < static_cast<int>(std::size(casos)); ++i) {
        const TCaso& c = casos[i];
        Escolher(i);
        const auto edits = W->Campos()->findChildren<QLineEdit*>();
        ASSERT_EQ(edits.size(), static_cast<qsizetype>(c.Campos.size())) << c.Modelo;
        for (std::size_t n = 0; n < c.Campos.size(); ++n) {
            QLineEdit* campo = W->Campo(c.Campos[n].first);
            ASSERT_NE(campo, nullptr) << c.Modelo;
            EXPECT_EQ(campo->placeholderText(), c.Campos[n].second) << c.Modelo;
            EXPECT_EQ(campo->geometry(), QRect(0, 30 * static_cast<int>(n), 296, 26)) << c.Modelo;
        }
    }
    // Digits only, three at most; plates in upper case, eight at most.
    Escolher(3);
    QTest::keyClicks(W->Campo(QStringLiteral("caixa")), QStringLiteral("1a2-34"));
    EXPECT_EQ(W->Campo(QStringLiteral("caixa"))->text().toStdString(), "123");
    QTest::keyClicks(W->Campo(QStringLiteral("placa")), QStringLiteral("abc-1d23x"));
    EXPECT_EQ(W->Campo(QStringLiteral("placa"))->text().toStdString(), "ABC-1D23");
    // Another row: fields rebuilt empty.
    Escolher(0);
    Escolher(3);
    EXPECT_TRUE(W->Campo(QStringLiteral("caixa"))->text().isEmpty());
}

// Two fields push "Chamar" and the notice down by 60 and make the window 60
// taller; none gives 368.
TEST_F(Widget, AlturaComOsCampos) {
    Modelos = {"Atenção, colaboradores: reunião rápida.", kModelos[1]};
    W->Atualizar(true);
    EXPECT_EQ(W->size(), QSize(320, 368));
    EXPECT_EQ(W->Campos()->height(), 0);
    EXPECT_EQ(W->Chamar()->geometry(), QRect(12, 292, 296, 32));
    EXPECT_EQ(W->Aviso()->geometry(), QRect(12, 330, 296, 34));
    Foto(*W, "widget-parado.png");
    Escolher(1);
    EXPECT_EQ(W->Campos()->geometry(), QRect(12, 292, 296, 56));
    EXPECT_EQ(W->Chamar()->y(), 352);
    EXPECT_EQ(W->Aviso()->y(), 390);
    EXPECT_EQ(W->size(), QSize(320, 428));
    W->AplicarEstado(R"({"situacao":"tocando","tipo":"musica","faixa":"Manhã de Sol",
                         "posicao":60000,"duracao":180000,"volume":65})");
    W->Avisar(QStringLiteral("Chamada enviada ao locutor."), false);
    Foto(*W, "widget-dois-campos.png");
    Escolher(0);
    EXPECT_EQ(W->size(), QSize(320, 368));
    EXPECT_EQ(AlturaRotulo(8), 18);
    EXPECT_EQ(AlturaRotulo(9), 20);
    EXPECT_EQ(AlturaRotulo(11), 24);
}

// A taller window near the bottom edge moves up to stay on screen.
TEST_F(Widget, CrescerPertoDaBordaSobe) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    W->Mostrar();
    W->Posicionar(area.x(), 1000000);
    ASSERT_EQ(W->y() + W->height(), area.y() + area.height());
    Escolher(1);
    EXPECT_EQ(W->height(), 428);
    EXPECT_EQ(W->y() + W->height(), area.y() + area.height());
}

// What "Chamar" sends: the row and the trimmed fields; "caixa" 1 when empty
// or not a number; nothing without a model.
TEST_F(Widget, Chamar) {
    W->Atualizar(true);
    Escolher(1);
    QTest::keyClicks(W->Campo(QStringLiteral("placa")), QStringLiteral(" abc1d23"));
    QTest::mouseClick(W->Chamar(), Qt::LeftButton);
    ASSERT_EQ(Comandos().size(), 1u);
    EXPECT_EQ(Comandos()[0].dump(),
              TJson({{"indice", 1},
                     {"caixa", 1},
                     {"nome", ""},
                     {"setor", ""},
                     {"placa", "ABC1D23"},
                     {"item", ""},
                     {"acao", "chamada"}})
                  .dump());
    EXPECT_EQ(W->Aviso()->text().toStdString(), "Chamada enviada ao locutor.");
    EXPECT_EQ(CorDe(W->Aviso()), Cinza());

    QTest::keyClicks(W->Campo(QStringLiteral("caixa")), QStringLiteral("7"));
    QTest::mouseClick(W->Chamar(), Qt::LeftButton);
    EXPECT_EQ(Comandos().back()["caixa"], 7);

    Modelos.clear();
    W->Atualizar(true);
    EXPECT_EQ(W->Chamada()->count(), 0);
    QTest::mouseClick(W->Chamar(), Qt::LeftButton);
    EXPECT_EQ(Comandos().size(), 2u);
    EXPECT_EQ(W->Aviso()->text().toStdString(), "Escolha uma chamada.");
    EXPECT_EQ(CorDe(W->Aviso()), kLaranja);
}

// The buttons' commands and their notices; a refused command shows the
// handler's message in orange and the state stays.
TEST_F(Widget, BotoesEErros) {
    W->AplicarEstado(Estado.dump());
    QTest::mouseClick(W->Tocar(), Qt::LeftButton);
    Estado["situacao"] = "tocando";
    QTest::mouseClick(W->Proxima(), Qt::LeftButton);
    QTest::mouseClick(W->Tocar(), Qt::LeftButton);
    QTest::mouseClick(W->Parar(), Qt::LeftButton);
    QTest::mouseClick(W->Hora(), Qt::LeftButton);
    EXPECT_EQ(W->Aviso()->text().toStdString(), "O locutor vai falar a hora certa.");
    W->Falar()->setText(QStringLiteral("  Bom dia, clientes "));
    QTest::keyClick(W->Falar(), Qt::Key_Return);
    EXPECT_TRUE(W->Falar()->text().isEmpty());
    EXPECT_EQ(W->Aviso()->text().toStdString(), "Frase enviada ao locutor.");
    std::vector<std::string> acoes;
    for (const auto& c : Comandos()) {
        acoes.push_back(c["acao"]);
    }
    EXPECT_EQ(
        acoes,
        (std::vector<std::string>{"tocar", "proxima", "pausar", "parar", "horacerta", "falar"}));
    // The text as typed: the programme trims it.
    EXPECT_EQ(Comandos().back()["texto"], "  Bom dia, clientes ");

    Erro = "Nenhuma música configurada no programa.";
    Estado["faixa"] = "não deve aparecer";
    W->Falar()->setText(QStringLiteral("Oi"));
    QTest::mouseClick(W->BotaoFalar(), Qt::LeftButton);
    EXPECT_EQ(W->Aviso()->text().toStdString(), "Nenhuma música configurada no programa.");
    EXPECT_EQ(CorDe(W->Aviso()), kLaranja);
    EXPECT_EQ(W->Falar()->text().toStdString(), "Oi");
    EXPECT_FALSE(W->EnviarAcao("proxima"));
    EXPECT_NE(W->Faixa()->TextoCompleto().toStdString(), "não deve aparecer");
}

// A notice goes on the first beat after 5 s; the beat refreshes the state
// without the call list; a failing refresh is ignored.
TEST_F(Widget, AvisoSomeDepoisDe5s) {
    W->Mostrar();
    Pedidos.clear();
    W->Avisar(QStringLiteral("Frase enviada ao locutor."), false);
    for (int i = 0; i < 10; ++i) {
        Relogio.Avancar(500);
        W->PassoTimer();
        EXPECT_EQ(W->Aviso()->text().toStdString(), "Frase enviada ao locutor.") << i;
    }
    Relogio.Avancar(500);
    W->PassoTimer();
    EXPECT_TRUE(W->Aviso()->text().isEmpty());
    EXPECT_FALSE(W->AvisoPendente());
    ASSERT_EQ(Pedidos.size(), 11u);
    for (const auto& p : Pedidos) {
        EXPECT_EQ(p.first, "estado");
        EXPECT_EQ(p.second, (TJson{{"completo", false}}));
    }
    // The refresh fails: the last state stays.
    W = std::make_unique<TfrmWidget>(
        [](const std::string&, const TJson&) -> std::string {
            throw std::runtime_error("sem programa");
        },
        Relogio);
    W->AplicarEstado(R"({"situacao":"tocando","faixa":"Fica"})");
    W->Mostrar();
    W->PassoTimer();
    EXPECT_EQ(W->Faixa()->TextoCompleto().toStdString(), "Fica");
}

// Placing: never placed -> 16 pixels from the primary screen's bottom-right;
// anything off-screen comes back inside the work area.
TEST_F(Widget, Posicionar) {
    const QRect a = QGuiApplication::primaryScreen()->availableGeometry();
    const int direita = a.x() + a.width() - 320;
    const int baixo = a.y() + a.height() - 368;
    struct TCaso {
        const char* Nome;
        int X, Y;
        QPoint Esperado;
    };
    const TCaso casos[] = {
        {"nuncaPosicionado", -99999, -99999, {direita - 16, baixo - 16}},
        {"soXNuncaPosicionado", -99999, 40, {direita - 16, baixo - 16}},
        {"dentro", a.x() + 100, a.y() + 50, {a.x() + 100, a.y() + 50}},
        {"longeDireitaAbaixo", 5000, 4000, {direita, baixo}},
        {"longeEsquerdaAcima", -3000, -2000, {a.x(), a.y()}},
        {"meioParaFora", direita + 100, a.y() + 10, {direita, a.y() + 10}},
    };
    for (const auto& c : casos) {
        W->Posicionar(c.X, c.Y);
        EXPECT_EQ(W->pos(), c.Esperado) << c.Nome;
    }
}

// The close button stops the refresh; the next show refreshes everything at
// once and keeps the chosen model while it exists (its last copy).
TEST_F(Widget, FecharEMostrarDeNovo) {
    int fechou = 0;
    W->AoFecharWidget = [&](TfrmWidget&) { ++fechou; };
    W->Mostrar();
    EXPECT_TRUE(W->Atualizando());
    EXPECT_EQ(Pedidos.back(), (std::pair<std::string, TJson>{"estado", {{"completo", true}}}));
    Escolher(2);
    QTest::mouseClick(W->Fechar(), Qt::LeftButton, {}, QPoint(17, 17));
    EXPECT_FALSE(W->isVisible());
    EXPECT_FALSE(W->Atualizando());
    EXPECT_EQ(fechou, 1);

    Modelos = {kModelos[2], "Outra", kModelos[2], "Mais uma"};
    Pedidos.clear();
    W->Mostrar();
    EXPECT_TRUE(W->isVisible());
    EXPECT_TRUE(W->Atualizando());
    ASSERT_EQ(Pedidos.size(), 1u);
    EXPECT_EQ(Pedidos[0].second, (TJson{{"completo", true}}));
    EXPECT_EQ(W->Chamada()->currentIndex(), 2);
    EXPECT_EQ(W->Chamada()->count(), 4);
    // The chosen model is gone: the first row.
    Modelos = {"Outra", "Mais uma"};
    W->Atualizar(true);
    EXPECT_EQ(W->Chamada()->currentIndex(), 0);
    // The periodic refresh leaves the list alone.
    Modelos = {"Nova"};
    W->PassoTimer();
    EXPECT_EQ(W->Chamada()->count(), 2);
    // Hidden by someone else: the next beat stops the timer.
    W->hide();
    W->PassoTimer();
    EXPECT_FALSE(W->Atualizando());
}

// The pin toggles always-on-top and tells the owner; the glyphs turn orange
// under the mouse; the open button asks for the main window.
TEST_F(Widget, BarraDeTitulo) {
    int mudou = 0;
    int abrir = 0;
    W->AoMudarPorCima = [&](TfrmWidget&) { ++mudou; };
    W->AoAbrirPrograma = [&](TfrmWidget&) { ++abrir; };
    W->Mostrar();
    W->Posicionar(100, 100);
    EXPECT_TRUE(W->PorCima());
    EXPECT_TRUE(W->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(W->windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(W->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(W->Fixar()->GlifoAtual(), U'\uE718');
    QTest::mouseClick(W->Fixar(), Qt::LeftButton, {}, QPoint(17, 17));
    EXPECT_FALSE(W->PorCima());
    EXPECT_EQ(mudou, 1);
    EXPECT_FALSE(W->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(W->isVisible());
    EXPECT_EQ(W->pos(), QPoint(100, 100));
    EXPECT_EQ(W->Fixar()->GlifoAtual(), U'\uE77A');
    EXPECT_EQ(W->Fixar()->toolTip().toStdString(),
              "Clique para deixar sempre visível por cima das outras janelas");
    W->DefinirPorCima(true);
    EXPECT_EQ(W->Fixar()->toolTip().toStdString(),
              "Sempre visível por cima das outras janelas (clique para soltar)");
    EXPECT_EQ(mudou, 1);

    const QColor texto = W->palette().color(QPalette::WindowText);
    for (TBotaoIcone* b : {W->Fixar(), W->Abrir(), W->Fechar()}) {
        EXPECT_EQ(b->CorAtual(), texto);
        QEnterEvent entrar(QPointF(5, 5), QPointF(5, 5), b->mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(b, &entrar);
        EXPECT_EQ(b->CorAtual(), kLaranja);
        QEvent sair(QEvent::Leave);
        QApplication::sendEvent(b, &sair);
        EXPECT_EQ(b->CorAtual(), texto);
        EXPECT_EQ(b->cursor().shape(), Qt::PointingHandCursor);
    }
    QTest::mouseClick(W->Abrir(), Qt::LeftButton, {}, QPoint(17, 17));
    EXPECT_EQ(abrir, 1);
    EXPECT_TRUE(W->isVisible());
}

// Dragging the title bar moves the window with the pointer (the platform
// here has no system move); a press on a glyph does not.
TEST_F(Widget, ArrastarPeloTitulo) {
    W->Mostrar();
    W->Posicionar(100, 100);
    const auto arrastar = [&](QWidget* AAlvo, QPoint ALocal, QPoint ADesvio) {
        const QPointF global = AAlvo->mapToGlobal(QPointF(ALocal));
        QMouseEvent apertar(
            QEvent::MouseButtonPress, ALocal, global, Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(AAlvo, &apertar);
        QMouseEvent mover(QEvent::MouseMove,
                          QPointF(ALocal + ADesvio),
                          global + QPointF(ADesvio),
                          Qt::NoButton,
                          Qt::LeftButton,
                          {});
        QApplication::sendEvent(AAlvo, &mover);
        QMouseEvent soltar(QEvent::MouseButtonRelease,
                           QPointF(ALocal + ADesvio),
                           global + QPointF(ADesvio),
                           Qt::LeftButton,
                           Qt::NoButton,
                           {});
        QApplication::sendEvent(AAlvo, &soltar);
    };
    arrastar(W->Topo(), QPoint(200, 17), QPoint(30, 20));
    EXPECT_EQ(W->pos(), QPoint(130, 120));
    arrastar(W->Titulo(), QPoint(40, 17), QPoint(-10, 5));
    EXPECT_EQ(W->pos(), QPoint(120, 125));
    arrastar(W->Fixar(), QPoint(17, 17), QPoint(50, 50));
    EXPECT_EQ(W->pos(), QPoint(120, 125));
    EXPECT_EQ(W->Topo()->cursor().shape(), Qt::SizeAllCursor);
}

TEST(WidgetModelo, Legivel) {
    GarantirAplicacao();
    const std::pair<const char*, const char*> casos[] = {
        {"Gerente, por favor, comparecer ao caixa {caixa}.",
         "Gerente, por favor, comparecer ao caixa (nº)."},
        {"Proprietário do veículo {veiculo}, placa {placa}.",
         "Proprietário do veículo (veículo), placa (placa)."},
        {"{Nome}, venha ao {SETOR}", "(nome), venha ao (setor)"},
        {"Obrigado por comprar {na empresa}! {A Empresa} agradece.",
         "Obrigado por comprar a loja! a loja agradece."},
        {"Dono de {objeto}", "Dono de (objeto)"},
        {"{Caixa}{CAIXA}", "(nº)(nº)"},
        {"Sem marcadores.", "Sem marcadores."},
        {"{} e {a{b} e {aberto", "{} e (a{b) e {aberto"},
        {"", ""},
    };
    for (const auto& [modelo, legivel] : casos) {
        EXPECT_EQ(ModeloLegivel(QString::fromUtf8(modelo)).toStdString(), legivel) << modelo;
    }
}

namespace {

// The main window on the fake device and clock, hosting the widget.
class Hospedagem : public testing::Test {
  protected:
    static void SetUpTestSuite() { GarantirAplicacao(); }
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", A.Pasta("config").c_str(), 1);
        MarcarNotasVistas();
        AplicarTema(QString::fromUtf8(kTemaPadrao));
    }
    void TearDown() override {
        FJanela.reset();
        A.Programa.reset();
        ::unsetenv("XDG_CONFIG_HOME");
    }
    TfrmPrincipal& Criar(const std::function<void(TConfiguracoes&)>& AConfig = {}) {
        A.Configurar([&](TConfiguracoes& c) {
            c.PastaMusicas = A.Pasta("musicas");
            c.PastaPropagandas = A.Pasta("propagandas");
            c.TransicaoSegundos = 0;
            c.VolumeAutomatico = false;
            if (AConfig) {
                AConfig(c);
            }
        });
        FJanela =
            std::make_unique<TfrmPrincipal>(DependenciasJanela(A, FPrograma), TOpcoesPrograma{});
        FJanela->Iniciar(false);
        A.EsperarListas(FPrograma);
        return *FJanela;
    }
    void Avancar(int AMs) {
        for (int t = 0; t < AMs; t += 100) {
            A.Relogio.Avancar(100);
            A.Fila.Drenar();
            FJanela->Tick();
        }
        QApplication::processEvents();
    }
    TAmbienteProgramacao A;
    TPrograma* FPrograma = nullptr;  // the window's
    TPrograma& Prog() { return *FPrograma; }
    std::unique_ptr<TfrmPrincipal> FJanela;
};

}  // namespace

// Closing to the tray shows the widget where it was stored; reopening the
// main window hides it and stores where it was; the tray item toggles it and
// its check mark follows.
TEST_F(Hospedagem, BandejaEJanela) {
    A.CriarArquivos("musicas", {"01.wav"}, 3000);
    TfrmPrincipal& j = Criar([](TConfiguracoes& c) {
        c.WidgetX = 120;
        c.WidgetY = 90;
        c.WidgetPorCima = false;
    });
    EXPECT_EQ(j.Widget(), nullptr);
    EXPECT_FALSE(j.ItemWidget()->isChecked());
    j.OcultarNaBandeja();
    ASSERT_NE(j.Widget(), nullptr);
    TfrmWidget& w = *j.Widget();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.pos(), QPoint(120, 90));
    EXPECT_FALSE(w.PorCima());
    EXPECT_TRUE(j.ItemWidget()->isChecked());

    w.move(200, 150);
    j.MostrarJanela();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(j.ItemWidget()->isChecked());
    EXPECT_EQ(Prog().Config().WidgetX, 200);
    EXPECT_EQ(Prog().Config().WidgetY, 150);

    j.ItemWidget()->trigger();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.pos(), QPoint(200, 150));
    EXPECT_TRUE(j.ItemWidget()->isChecked());
    j.ItemWidget()->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(j.ItemWidget()->isChecked());
    j.ExecutarAcaoRemota(6);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(j.Widget(), &w);

    // Its own buttons: the pin goes to the settings, close stores the place,
    // open brings the main window back.
    QTest::mouseClick(w.Fixar(), Qt::LeftButton, {}, QPoint(17, 17));
    EXPECT_TRUE(Prog().Config().WidgetPorCima);
    w.move(230, 170);
    QTest::mouseClick(w.Fechar(), Qt::LeftButton, {}, QPoint(17, 17));
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(j.ItemWidget()->isChecked());
    EXPECT_EQ(Prog().Config().WidgetX, 230);
    j.OcultarNaBandeja();
    EXPECT_TRUE(w.isVisible());
    QTest::mouseClick(w.Abrir(), Qt::LeftButton, {}, QPoint(17, 17));
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(j.isVisible());
    EXPECT_FALSE(j.isMinimized());
}

// With WidgetNaBandeja off the tray keeps no widget; turning it off in the
// settings takes a visible widget away.
TEST_F(Hospedagem, WidgetNaBandejaDesligado) {
    TfrmPrincipal& j = Criar([](TConfiguracoes& c) { c.WidgetNaBandeja = false; });
    j.OcultarNaBandeja();
    EXPECT_EQ(j.Widget(), nullptr);
    j.MostrarJanela();
    j.AlternarWidget();
    ASSERT_NE(j.Widget(), nullptr);
    EXPECT_TRUE(j.Widget()->isVisible());
    // Never placed: 16 pixels from the primary screen's corner, with the
    // first model's field counted in the height.
    const QRect a = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(j.Widget()->height(), 398);
    EXPECT_EQ(j.Widget()->pos(),
              QPoint(a.x() + a.width() - 320 - 16, a.y() + a.height() - 398 - 16));
    j.AplicarWidgetAposConfig();
    EXPECT_FALSE(j.Widget()->isVisible());
    Prog().Config().WidgetNaBandeja = true;
    j.AlternarWidget();
    j.AplicarWidgetAposConfig();
    EXPECT_TRUE(j.Widget()->isVisible());
}

// At shutdown a visible widget's place reaches the settings file.
TEST_F(Hospedagem, PosicaoGuardadaAoSair) {
    TfrmPrincipal& j = Criar();
    j.AlternarWidget();
    j.Widget()->move(140, 60);
    FJanela.reset();
    TConfiguracoes c;
    c.Carregar();
    EXPECT_EQ(c.WidgetX, 140);
    EXPECT_EQ(c.WidgetY, 60);
}

// The widget drives the real programme: volume, play and its state, a
// sentence and a call reach the announcer, a refused command shows the
// programme's message.
TEST_F(Hospedagem, WidgetNoProgramaReal) {
    TfrmPrincipal& j = Criar();
    j.AlternarWidget();
    TfrmWidget& w = *j.Widget();
    EXPECT_EQ(w.Chamada()->count(), 13);
    EXPECT_EQ(w.Chamada()->itemText(0).toStdString(),
              "Gerente, por favor, comparecer ao caixa (nº).");
    EXPECT_EQ(w.Volume()->value(), Prog().Volume());
    w.Volume()->setValue(35);
    EXPECT_EQ(Prog().Volume(), 35);

    QTest::mouseClick(w.Proxima(), Qt::LeftButton);
    EXPECT_EQ(w.Aviso()->text().toStdString(), "Nenhuma música configurada no programa.");

    w.Falar()->setText(QStringLiteral("Bom dia, clientes"));
    QTest::mouseClick(w.BotaoFalar(), Qt::LeftButton);
    EXPECT_EQ(w.Aviso()->text().toStdString(), "Frase enviada ao locutor.");
    QTest::keyClicks(w.Campo(QStringLiteral("caixa")), QStringLiteral("3"));
    QTest::mouseClick(w.Chamar(), Qt::LeftButton);
    EXPECT_EQ(w.Aviso()->text().toStdString(), "Chamada enviada ao locutor.");
    w.Chamada()->setCurrentIndex(4);  // "{nome}, ..." with no name
    QTest::mouseClick(w.Chamar(), Qt::LeftButton);
    EXPECT_EQ(w.Aviso()->text().toStdString(), "Preencha: nome.");
    Avancar(20000);
    const auto falou = [&](const std::string& ATexto) {
        const auto& f = A.Voz.Roteiro.Falados;
        return std::find_if(
                   f.begin(),
                   f.end(),
                   [&](const std::string& AF) { return AF.find(ATexto) != std::string::npos; }) -
               f.begin();
    };
    const auto frase = falou("Bom dia, clientes");
    const auto chamada = falou("Gerente, por favor, comparecer ao caixa 3.");
    ASSERT_LT(chamada, static_cast<std::ptrdiff_t>(A.Voz.Roteiro.Falados.size()));
    EXPECT_LT(frase, chamada);

    A.CriarArquivos("musicas", {"01 Abertura.wav"}, 60000);
    Prog().RecarregarListas();
    A.EsperarListas(&Prog());
    QTest::mouseClick(w.Tocar(), Qt::LeftButton);
    Avancar(1000);
    w.PassoTimer();
    EXPECT_EQ(w.Situacao()->TextoCompleto().toStdString(), "●  TOCANDO AGORA");
    EXPECT_EQ(w.Faixa()->TextoCompleto().toStdString(), "01 Abertura");
    EXPECT_GT(w.TempoCheio()->width(), 0);
    EXPECT_EQ(w.Tocar()->toolTip().toStdString(), "Pausar");
}

// The quick-calls window from the main window: the window comes back first,
// and a call reaches the announcer as a call, twice when repeated.
TEST_F(Hospedagem, ChamadasPelaJanela) {
    TfrmPrincipal& j = Criar([](TConfiguracoes& c) {
        c.NomeEmpresa = "Mercado Central";
        c.GeneroEmpresa = TGeneroEmpresa::geMasculino;
    });
    j.OcultarNaBandeja();
    ASSERT_TRUE(j.isMinimized());
    j.ExecutarAcaoRemota(4);
    EXPECT_FALSE(j.isMinimized());
    TfrmChamadas* d = TfrmChamadas::Atual();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->parentWidget(), &j);
    d->Executar();
    EXPECT_EQ(Prog().Locutor().NaFila(), 2u);
    EXPECT_EQ(TfrmChamadas::Mostrar(&j, "", TGeneroEmpresa::geFeminino, {}), d);
}

// A repeated call from the quick-calls window with one free place in the
// announcer's queue: neither half is queued, and the window says why, as the
// phone does.
TEST_F(Hospedagem, ChamadaRepetidaSemLugarNaoFalaMetade) {
    TfrmPrincipal& j = Criar();
    for (std::size_t i = 0; i + 1 < TLocutor::kMaxFila; ++i) {
        Prog().FalarAgora("aviso " + std::to_string(i));
    }
    ASSERT_EQ(Prog().Locutor().NaFila(), TLocutor::kMaxFila - 1);
    j.ExecutarAcaoRemota(4);
    TfrmChamadas* d = TfrmChamadas::Atual();
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(d->Repetir()->isChecked());
    d->Executar();
    EXPECT_EQ(Prog().Locutor().NaFila(), TLocutor::kMaxFila - 1);
    QApplication::processEvents();
    auto* caixa = j.findChild<QMessageBox*>();
    ASSERT_NE(caixa, nullptr);
    EXPECT_EQ(caixa->text().toStdString(), kErroFilaCheia);
    caixa->close();
    // Said once, it fits.
    d->Repetir()->setChecked(false);
    d->Executar();
    EXPECT_EQ(Prog().Locutor().NaFila(), TLocutor::kMaxFila);
}
