#include "janelas/uNovidades.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <functional>

#include "ambiente/uInicializacao.h"
#include "comum/uTexto.h"
#include "janelas/uAparencia.h"
#include "janelas/uTemas.h"
#include "programa/uControle.h"

namespace ljsn {

std::vector<TVersaoNotas> LerNotas(std::string_view ATexto) {
    std::vector<TVersaoNotas> r;
    bool aberta = false;
    TVersaoNotas atual;
    for (const std::string& linha : DividirLinhas(ATexto)) {
        if (Aparar(linha).empty() || ComecaCom(linha, "#") || ContarCaracteres(linha) < 3) {
            continue;
        }
        const char primeiro = linha[0];
        if (primeiro == '=') {
            if (aberta) {
                r.push_back(std::move(atual));
            }
            atual = TVersaoNotas();
            aberta = true;
            const auto partes = Dividir(std::string_view(linha).substr(1), "|");
            const auto parte = [&](std::size_t AI) {
                return AI < partes.size() ? Aparar(partes[AI]) : std::string();
            };
            atual.Numero = parte(0);
            atual.Data = parte(1);
            atual.Titulo = parte(2);
        } else if (primeiro == '+' || primeiro == '~' || primeiro == '!') {
            if (aberta) {
                atual.Notas.push_back({primeiro, Aparar(std::string_view(linha).substr(1))});
            }
        }
    }
    if (aberta) {
        r.push_back(std::move(atual));
    }
    return r;
}

std::string TextoNovidades() {
    QFile f(QStringLiteral(":/ljsn/novidades.txt"));
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return f.readAll().toStdString();
}

bool NotasPendentes() {
    return LerEstadoUsuario("Novidades", "VersaoVista").value_or("") != kVersaoPrograma;
}

void MarcarNotasVistas() {
    GravarEstadoUsuario("Novidades", "VersaoVista", kVersaoPrograma);
}

TfrmNovidades::TfrmNovidades(QWidget* ADono) : QDialog(ADono) {
    FVersoes = LerNotas(TextoNovidades());
    std::size_t notas = 0;
    for (const auto& v : FVersoes) {
        notas += v.Notas.size();
    }
    setWindowTitle(QStringLiteral("Notas de versão - Loja Sonorante"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    setFont(FonteTexto(13));
    setMinimumSize(480, 320);
    resize(820, 600);
    auto* titulo = new QLabel(QStringLiteral("Notas de versão"), this);
    QFont negrito = FonteTexto(20, QFont::Bold);
    negrito.setPointSize(15);
    titulo->setFont(negrito);
    titulo->move(20, 14);
    auto* resumo = new QLabel(
        QStringLiteral("Versão instalada: %1   ·   %2 versões   ·   %3 novidades, melhorias e "
                       "correções")
            .arg(QString::fromUtf8(kVersaoPrograma))
            .arg(FVersoes.size())
            .arg(notas),
        this);
    resumo->move(20, 46);
    FLista = new QListWidget(this);
    FLista->addItem(QStringLiteral("Todas as versões"));
    for (const auto& v : FVersoes) {
        FLista->addItem(QString::fromStdString(v.Numero + "     " + v.Data));
    }
    for (int i = 0; i < FLista->count(); ++i) {
        FLista->item(i)->setSizeHint(QSize(200, 26));
    }
    FTexto = new QTextBrowser(this);
    FTexto->setReadOnly(true);
    auto* fechar = new QPushButton(QStringLiteral("Fechar"), this);
    fechar->setDefault(true);
    connect(fechar, &QPushButton::clicked, this, &QDialog::accept);
    connect(FLista, &QListWidget::currentRowChanged, this, [this](int ALinha) {
        MostrarVersoes(ALinha);
    });
    const auto posicionar = [this, fechar] {
        FLista->setGeometry(20, 76, 210, height() - 140);
        FTexto->setGeometry(240, 76, width() - 260, height() - 140);
        fechar->setGeometry(width() - 140, height() - 48, 120, 34);
    };
    posicionar();
    FLista->setCurrentRow(0);
    // Keeps the controls anchored as the window is resized.
    struct TFiltro : QObject {
        std::function<void()> F;
        bool eventFilter(QObject*, QEvent* AEvento) override {
            if (AEvento->type() == QEvent::Resize) {
                F();
            }
            return false;
        }
    };
    auto* filtro = new TFiltro;
    filtro->F = posicionar;
    filtro->setParent(this);
    installEventFilter(filtro);
}

void TfrmNovidades::Mostrar(QWidget* ADono) {
    {
        TfrmNovidades janela(ADono);
        AjustarJanelaNaTela(janela, ADono);
        janela.exec();
    }
    MarcarNotasVistas();
}

void TfrmNovidades::MostrarVersoes(int ALinha) {
    FTexto->setUpdatesEnabled(false);
    FTexto->clear();
    QTextCursor c(FTexto->document());
    const QPalette& pal = palette();
    const QColor texto = pal.color(QPalette::Text);
    const QColor cinza = CorTextoCinza(pal);
    bool primeiraLinha = true;
    const auto run = [&](const QString& AT,
                         const QColor& ACor,
                         int APontos,
                         bool ANegrito,
                         bool AItalico,
                         int ARecuo) {
        QTextBlockFormat bloco = c.blockFormat();
        bloco.setLeftMargin(ARecuo);
        bloco.setTextIndent(0);
        c.setBlockFormat(bloco);
        QTextCharFormat f;
        QFont fonte = FonteTexto(13);
        fonte.setPointSize(APontos);
        fonte.setBold(ANegrito);
        fonte.setItalic(AItalico);
        f.setFont(fonte);
        f.setForeground(ACor);
        c.insertText(AT, f);
    };
    const auto versao = [&](const TVersaoNotas& V) {
        if (!primeiraLinha) {
            run(QStringLiteral("\n"), texto, 8, false, false, 0);
        }
        primeiraLinha = false;
        run(QStringLiteral("Versão ") + QString::fromStdString(V.Numero),
            texto,
            14,
            true,
            false,
            0);
        run(QStringLiteral("   ") + QString::fromStdString(V.Data) + QStringLiteral("\n"),
            cinza,
            10,
            false,
            false,
            0);
        if (!V.Titulo.empty()) {
            run(QString::fromStdString(V.Titulo) + QStringLiteral("\n"), cinza, 11, false, true, 0);
        }
        for (const TNota& n : V.Notas) {
            QString rotulo = QStringLiteral("CORREÇÃO");
            QColor cor(235, 140, 30);
            if (n.Tipo == '+') {
                rotulo = QStringLiteral("NOVO");
                cor = QColor(60, 170, 90);
            } else if (n.Tipo == '~') {
                rotulo = QStringLiteral("MELHORIA");
                cor = QColor(60, 140, 235);
            }
            run(QStringLiteral("  ") + rotulo + QStringLiteral("   "), cor, 9, true, false, 16);
            run(QString::fromStdString(n.Texto) + QStringLiteral("\n"),
                texto,
                10,
                false,
                false,
                16);
        }
    };
    if (ALinha <= 0) {
        for (const auto& v : FVersoes) {
            versao(v);
        }
    } else if (ALinha <= static_cast<int>(FVersoes.size())) {
        versao(FVersoes[static_cast<std::size_t>(ALinha - 1)]);
    }
    FTexto->moveCursor(QTextCursor::Start);
    FTexto->ensureCursorVisible();
    FTexto->setUpdatesEnabled(true);
}

}  // namespace ljsn
