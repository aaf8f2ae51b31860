#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include <gtest/gtest.h>

#include "ambiente/uPastas.h"
#include "apoio/uPastaTemporaria.h"
#include "comum/uArquivoTexto.h"
#include "falas/uChamadas.h"
#include "janelas/uApoioJanelas.h"
#include "janelas/uFrmChamadas.h"
#include "janelas/uTemas.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

std::string Bytes(const std::string& ACaminho) {
    std::ifstream f(ACaminho, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

// The dialog on a data folder of its own, owned by a plain window; what it
// speaks is recorded.
class Chamadas : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        GarantirAplicacao();
        AplicarTema(QString::fromUtf8(kTemaPadrao));
    }
    void SetUp() override {
        DefinirPastaDados(FPasta / "dados");
        FDono = std::make_unique<QWidget>();
        FDono->resize(900, 700);
        FDono->show();
    }
    void TearDown() override {
        FDono.reset();
        ASSERT_EQ(TfrmChamadas::Atual(), nullptr);  // went with its owner
    }
    TfrmChamadas& Abrir(const std::string& AEmpresa = "Mercado Central",
                        TGeneroEmpresa AGenero = TGeneroEmpresa::geMasculino) {
        TfrmChamadas* d = TfrmChamadas::Mostrar(
            FDono.get(), AEmpresa, AGenero, [this](const std::string& ATexto, bool ARepetir) {
                // As the programme queues it: the text, twice when repeated.
                Falados.push_back(ATexto);
                if (ARepetir) {
                    Falados.push_back(ATexto);
                }
            });
        return *d;
    }
    void Escrever(const std::string& ABytes) {
        std::ofstream(ArquivoChamadas(), std::ios::binary) << ABytes;
    }
    static void Preencher(TfrmChamadas& D,
                          int ACaixa,
                          const char* ANome,
                          const char* ASetor,
                          const char* APlaca,
                          const char* AItem) {
        D.Caixa()->setValue(ACaixa);
        for (auto [campo, texto] : {std::pair{D.Nome(), ANome},
                                    std::pair{D.Setor(), ASetor},
                                    std::pair{D.Placa(), APlaca},
                                    std::pair{D.Item(), AItem}}) {
            campo->clear();
            QTest::keyClicks(campo, QString::fromUtf8(texto));
        }
    }

    TPastaTemporaria FPasta;
    std::unique_ptr<QWidget> FDono;
    std::vector<std::string> Falados;
};

}  // namespace

// The preview fills the selected model (1-based numbers below) with the
// fields as typed; Executar speaks it, or puts the focus on the first field
// missing and speaks nothing.
TEST_F(Chamadas, PreviaEExecutar) {
    struct TCaso {
        const char* Nome;
        int Modelo;
        int Caixa;
        const char *NomePessoa, *Setor, *Placa, *Item;
        const char* Previa;
        const char* Foco;  // the field focused by Executar; empty when it spoke
    };
    const TCaso casos[] = {
        {"placaSoletrada",
         12,
         1,
         "",
         "",
         "abc1d23",
         "Gol prata",
         "Vai falar: \"Atenção, proprietário do veículo Gol prata, placa A, B, C, 1, D, 2, 3: "
         "seu veículo está com os faróis acesos.\"",
         ""},
        {"faltaItemEPlaca",
         11,
         1,
         "",
         "",
         "ABC-12",
         "",
         "Preencha: veículo/objeto e placa.",
         "item"},
        {"faltaSoPlaca", 11, 1, "", "", "ABC-12", "Gol", "Preencha: placa.", "placa"},
        {"nomeAparado",
         6,
         1,
         "  Ana ",
         "padaria",
         "",
         "",
         "Vai falar: \"Ana, por favor, comparecer ao setor padaria.\"",
         ""},
        {"faltaNomeESetor", 6, 1, "", " ", "", "", "Preencha: nome e setor.", "nome"},
        {"faltaSetor", 7, 1, "", "", "", "", "Preencha: setor.", "setor"},
        {"caixa",
         1,
         7,
         "",
         "",
         "",
         "",
         "Vai falar: \"Gerente, por favor, comparecer ao caixa 7.\"",
         ""},
        {"objeto",
         13,
         1,
         "",
         "",
         "",
         " uma carteira preta ",
         "Vai falar: \"Atenção, proprietário de uma carteira preta: favor comparecer à frente "
         "de loja.\"",
         ""},
    };
    TfrmChamadas& d = Abrir();
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    d.Repetir()->setChecked(false);
    for (const auto& c : casos) {
        d.Lista()->setCurrentRow(c.Modelo - 1);
        Preencher(d, c.Caixa, c.NomePessoa, c.Setor, c.Placa, c.Item);
        EXPECT_EQ(d.Previa()->text().toStdString(), c.Previa) << c.Nome;
        d.BotaoExecutar()->setFocus();
        Falados.clear();
        QTest::mouseClick(d.BotaoExecutar(), Qt::LeftButton);
        const std::string foco = QApplication::focusWidget() == d.Nome()    ? "nome"
                                 : QApplication::focusWidget() == d.Setor() ? "setor"
                                 : QApplication::focusWidget() == d.Placa() ? "placa"
                                 : QApplication::focusWidget() == d.Item()  ? "item"
                                                                            : "";
        EXPECT_EQ(foco, c.Foco) << c.Nome;
        EXPECT_EQ(Falados.size(), foco.empty() ? 1u : 0u) << c.Nome;
        // The fields keep their values.
        EXPECT_EQ(d.Item()->text().toStdString(), c.Item) << c.Nome;
    }
    EXPECT_TRUE(d.isVisible());
}

// Repeat speaks twice (it starts checked); a double click executes too;
// editing the text box does not change what the preview fills.
TEST_F(Chamadas, RepetirEDuploClique) {
    TfrmChamadas& d = Abrir();
    EXPECT_TRUE(d.Repetir()->isChecked());
    EXPECT_EQ(d.Lista()->currentRow(), 0);
    EXPECT_EQ(d.Caixa()->value(), 1);
    d.Caixa()->setValue(3);
    d.Modelo()->setText(QStringLiteral("Outro texto {nome}"));
    EXPECT_EQ(d.Previa()->text().toStdString(),
              "Vai falar: \"Gerente, por favor, comparecer ao caixa 3.\"");
    d.Executar();
    EXPECT_EQ(Falados,
              (std::vector<std::string>{"Gerente, por favor, comparecer ao caixa 3.",
                                        "Gerente, por favor, comparecer ao caixa 3."}));
    d.Repetir()->setChecked(false);
    Falados.clear();
    QListWidgetItem* item = d.Lista()->item(3);
    const QRect r = d.Lista()->visualItemRect(item);
    QTest::mouseClick(d.Lista()->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(d.Lista()->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(d.Modelo()->text().toStdString(),
              "Auxiliar de limpeza, por favor, comparecer à frente de loja.");
    EXPECT_EQ(
        Falados,
        (std::vector<std::string>{"Auxiliar de limpeza, por favor, comparecer à frente de loja."}));
    // The caixa box: 1 to 99.
    d.Caixa()->setValue(0);
    EXPECT_EQ(d.Caixa()->value(), 1);
    d.Caixa()->setValue(150);
    EXPECT_EQ(d.Caixa()->value(), 99);
    QTest::keyClicks(d.Placa(), QStringLiteral("abc-1d23x"));
    EXPECT_EQ(d.Placa()->text().toStdString(), "ABC-1D23");
}

// Adding, changing and removing write "chamadas.txt" (UTF-8 with BOM, a line
// per model) and keep a sensible selection; with the last model gone the
// list is empty and Executar does nothing.
TEST_F(Chamadas, EditarOsModelos) {
    TfrmChamadas& d = Abrir();
    ASSERT_EQ(d.Linhas(), ChamadasPadrao());
    EXPECT_FALSE(std::filesystem::exists(ArquivoChamadas()));  // defaults stay off disk

    d.Modelo()->setText(QStringLiteral("   "));
    d.Adicionar();
    EXPECT_EQ(d.Lista()->count(), 13);
    EXPECT_FALSE(std::filesystem::exists(ArquivoChamadas()));

    std::vector<std::string> esperado = ChamadasPadrao();
    d.Modelo()->setText(QStringLiteral("  Promoção no açougue, {a empresa} agradece!  "));
    d.Adicionar();
    esperado.push_back("Promoção no açougue, {a empresa} agradece!");
    EXPECT_EQ(d.Linhas(), esperado);
    EXPECT_EQ(d.Lista()->currentRow(), 13);
    EXPECT_EQ(d.Previa()->text().toStdString(),
              "Vai falar: \"Promoção no açougue, o Mercado Central agradece!\"");
    EXPECT_EQ(Bytes(ArquivoChamadas()), MontarTextoComBom(esperado));
    EXPECT_EQ(Bytes(ArquivoChamadas()).substr(0, 3), "\xEF\xBB\xBF");

    d.Lista()->setCurrentRow(2);
    d.Modelo()->setText(QStringLiteral(" Operador, abra o caixa {caixa}. "));
    d.Alterar();
    esperado[2] = "Operador, abra o caixa {caixa}.";
    EXPECT_EQ(d.Linhas(), esperado);
    EXPECT_EQ(Bytes(ArquivoChamadas()), MontarTextoComBom(esperado));
    EXPECT_EQ(d.Previa()->text().toStdString(), "Vai falar: \"Operador, abra o caixa 1.\"");
    d.Modelo()->clear();
    d.Alterar();
    EXPECT_EQ(d.Linhas(), esperado);

    // The middle one: the next takes its place.
    d.Remover();
    esperado.erase(esperado.begin() + 2);
    EXPECT_EQ(d.Linhas(), esperado);
    EXPECT_EQ(d.Lista()->currentRow(), 2);
    EXPECT_EQ(d.Modelo()->text().toStdString(), esperado[2]);
    // The last one: the new last.
    d.Lista()->setCurrentRow(12);
    d.Remover();
    esperado.pop_back();
    EXPECT_EQ(d.Lista()->currentRow(), 11);
    EXPECT_EQ(d.Modelo()->text().toStdString(), esperado.back());
    EXPECT_EQ(Bytes(ArquivoChamadas()), MontarTextoComBom(esperado));
    EXPECT_EQ(CarregarChamadas(), esperado);

    while (d.Lista()->count() > 1) {
        d.Remover();
    }
    EXPECT_EQ(d.Lista()->currentRow(), 0);
    d.Remover();
    EXPECT_EQ(d.Lista()->count(), 0);
    EXPECT_EQ(d.Lista()->currentRow(), -1);
    EXPECT_TRUE(d.Previa()->text().isEmpty());
    EXPECT_EQ(Bytes(ArquivoChamadas()), "\xEF\xBB\xBF");
    Falados.clear();
    d.Executar();
    d.Remover();
    d.Alterar();
    EXPECT_TRUE(Falados.empty());
    EXPECT_EQ(d.Lista()->count(), 0);
}

// The file as the shop left it: every line, blank ones too, with the old
// company marker converted; the same dialog on the next call, with the new
// name and callback.
TEST_F(Chamadas, ArquivoDaLojaEUmaJanelaSo) {
    Escrever(
        "\xEF\xBB\xBF"
        "Bem-vindos ao {empresa}!\r\n\r\nGerente ao caixa {caixa}.\r\n");
    TfrmChamadas& d = Abrir();
    EXPECT_EQ(
        d.Linhas(),
        (std::vector<std::string>{"Bem-vindos {à empresa}!", "", "Gerente ao caixa {caixa}."}));
    EXPECT_EQ(d.Modelo()->text().toStdString(), "Bem-vindos {à empresa}!");
    EXPECT_EQ(d.Previa()->text().toStdString(), "Vai falar: \"Bem-vindos ao Mercado Central!\"");
    d.hide();
    TfrmChamadas& de_novo = Abrir("Farmácia Boa Saúde", TGeneroEmpresa::geFeminino);
    EXPECT_EQ(&de_novo, &d);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.Previa()->text().toStdString(), "Vai falar: \"Bem-vindos à Farmácia Boa Saúde!\"");
    // The list is not reloaded: one dialog for the run.
    Escrever("Outro\r\n");
    Abrir();
    EXPECT_EQ(d.Lista()->count(), 3);
}

// The layout at 620 x 620, the list and the item box growing with the
// window, the rest keeping to the bottom (Executar to the right too).
TEST_F(Chamadas, Disposicao) {
    TfrmChamadas& d = Abrir();
    EXPECT_EQ(d.size(), QSize(620, 620));
    EXPECT_EQ(d.Lista()->geometry(), QRect(16, 34, 588, 250));
    EXPECT_EQ(d.Caixa()->geometry(), QRect(16, 342, 80, 28));
    EXPECT_EQ(d.Placa()->geometry(), QRect(484, 342, 120, 28));
    EXPECT_EQ(d.Item()->geometry(), QRect(16, 396, 588, 28));
    EXPECT_EQ(d.Previa()->geometry(), QRect(16, 464, 440, 44));
    EXPECT_EQ(d.BotaoExecutar()->geometry(), QRect(464, 466, 140, 42));
    EXPECT_EQ(d.Modelo()->geometry(), QRect(16, 542, 588, 28));
    EXPECT_TRUE(d.BotaoExecutar()->isDefault());
    EXPECT_TRUE(d.BotaoExecutar()->font().bold());
    EXPECT_EQ(d.Lista()->visualItemRect(d.Lista()->item(0)).height(), 24);
    d.Lista()->setCurrentRow(10);
    QTest::keyClicks(d.Placa(), QStringLiteral("abc1d23"));
    QApplication::processEvents();
    ASSERT_TRUE(d.grab().toImage().save(QString::fromStdString(Artefatos() + "chamadas.png")));

    d.resize(800, 700);
    EXPECT_EQ(d.Lista()->geometry(), QRect(16, 34, 768, 330));
    EXPECT_EQ(d.Caixa()->geometry(), QRect(16, 422, 80, 28));
    EXPECT_EQ(d.Placa()->geometry(), QRect(484, 422, 120, 28));
    EXPECT_EQ(d.Item()->geometry(), QRect(16, 476, 768, 28));
    EXPECT_EQ(d.BotaoExecutar()->geometry(), QRect(644, 546, 140, 42));
    EXPECT_EQ(d.Modelo()->geometry(), QRect(16, 622, 588, 28));
    d.resize(100, 100);
    EXPECT_EQ(d.size(), QSize(560, 560));
    EXPECT_EQ(d.Lista()->geometry(), QRect(16, 34, 528, 190));
}
