#include "janelas/uComponentes.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "ambiente/uDuracao.h"
#include "janelas/uAparencia.h"
#include "janelas/uStatus.h"
#include "janelas/uTemas.h"
#include "programa/uControle.h"

namespace ljsn {

namespace {

constexpr int kMaxCapa = 512;
constexpr int kRaioCantos = 12;  // the corner ellipse; the radius is half of it
constexpr int kAlturaLinha = 34;

QColor Misturar(const QColor& A, const QColor& B, double AProporcao) {
    const auto m = [&](int AX, int AY) {
        return static_cast<int>(std::lround(AX + (AY - AX) * AProporcao));
    };
    return QColor(m(A.red(), B.red()), m(A.green(), B.green()), m(A.blue(), B.blue()));
}

QFont FontePontos(int APontos, bool ANegrito = false) {
    QFont f = FonteTexto(13, ANegrito ? QFont::Bold : QFont::Normal);
    f.setPointSize(APontos);
    return f;
}

}  // namespace

QImage PrepararCapa(const QImage& AOriginal, const QColor& AFundo) {
    if (AOriginal.isNull() || AOriginal.width() <= 0 || AOriginal.height() <= 0) {
        return {};
    }
    const int w = AOriginal.width();
    const int h = AOriginal.height();
    const int n = std::min(std::max(w, h), kMaxCapa);
    QSize tamanho;
    if (w >= h) {
        tamanho = QSize(n, std::max(1, static_cast<int>(std::lround(1.0 * h * n / w))));
    } else {
        tamanho = QSize(std::max(1, static_cast<int>(std::lround(1.0 * w * n / h))), n);
    }
    QImage r(tamanho, QImage::Format_RGB32);
    r.fill(AFundo);
    QPainter p(&r);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(QPoint(0, 0), tamanho), AOriginal);
    return r;
}

QRect EncaixarCapa(const QSize& ATamanho, const QRect& ACaixa) {
    if (ATamanho.isEmpty()) {
        return ACaixa;
    }
    if (ATamanho.height() > ATamanho.width()) {
        const int w = ACaixa.height() * ATamanho.width() / ATamanho.height();
        return QRect(ACaixa.left() + (ACaixa.width() - w) / 2, ACaixa.top(), w, ACaixa.height());
    }
    const int h = ACaixa.width() * ATamanho.height() / ATamanho.width();
    return QRect(ACaixa.left(), ACaixa.top() + (ACaixa.height() - h) / 2, ACaixa.width(), h);
}

QString FormatarTempo(int AMs) {
    const int ms = std::max(AMs, 0);
    return QString::asprintf("%d:%.2d", ms / 60000, (ms / 1000) % 60);
}

void TCaixaCapa::DefinirCapa(const QImage& ACapa) {
    FCapa = ACapa;
    update();
}

void TCaixaCapa::DefinirGlifo(char32_t AGlifo, const QColor& ACor) {
    FGlifo = AGlifo;
    FCorGlifo = ACor;
    update();
}

void TCaixaCapa::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal raio = kRaioCantos / 2.0;
    const QPalette& pal = palette();
    if (FCapa.isNull()) {
        p.setPen(Qt::NoPen);
        p.setBrush(Misturar(pal.color(QPalette::Button), pal.color(QPalette::WindowText), 0.08));
        p.drawRoundedRect(rect(), raio, raio);
        p.setPen(FCorGlifo);
        p.setFont(FonteIcones(height() * 2 / 5));
        p.drawText(rect(), Qt::AlignCenter, Glifo(FGlifo));
        return;
    }
    const QRect alvo = EncaixarCapa(FCapa.size(), rect());
    QPainterPath recorte;
    recorte.addRoundedRect(QRectF(alvo.adjusted(0, 0, 1, 1)), raio, raio);
    p.setClipPath(recorte);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(alvo, FCapa);
}

TBarraProgresso::TBarraProgresso(QWidget* APai) : QWidget(APai) {
    setCursor(Qt::PointingHandCursor);
}

void TBarraProgresso::Definir(int APosicao, int ADuracao, const QColor& ACor) {
    if (APosicao == FPosicao && ADuracao == FDuracao && ACor == FCor) {
        return;
    }
    FPosicao = APosicao;
    FDuracao = ADuracao;
    FCor = ACor;
    update();
}

int TBarraProgresso::PosicaoDoClique(int AX, int ALargura, int ADuracao) {
    if (ADuracao <= 0 || ALargura <= 0) {
        return -1;
    }
    const int x = std::clamp(AX, 0, ALargura);
    return static_cast<int>(static_cast<std::int64_t>(ADuracao) * x / ALargura);
}

void TBarraProgresso::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const int topo = (height() - 6) / 2;
    p.setBrush(CorSombraBotao(palette()));
    p.drawRoundedRect(QRectF(0, topo, width(), 6), 3, 3);
    if (FDuracao <= 0) {
        return;
    }
    const int x = static_cast<int>(static_cast<std::int64_t>(width()) *
                                   std::clamp(FPosicao, 0, FDuracao) / FDuracao);
    p.setBrush(FCor);
    p.drawRoundedRect(QRectF(0, topo, x, 6), 3, 3);
    p.drawEllipse(QRectF(x - 7, topo - 4, 14, 14));
}

void TBarraProgresso::mousePressEvent(QMouseEvent* AEvento) {
    const int ms = PosicaoDoClique(static_cast<int>(AEvento->position().x()), width(), FDuracao);
    if (ms >= 0 && AoPosicionar) {
        AoPosicionar(ms);
    }
}

TRotuloReticente::TRotuloReticente(QWidget* APai) : QLabel(APai) {
    setTextFormat(Qt::PlainText);
    setMinimumWidth(1);
}

void TRotuloReticente::DefinirTexto(const QString& ATexto) {
    if (ATexto == FTexto && !text().isEmpty()) {
        return;
    }
    FTexto = ATexto;
    Reticenciar();
}

void TRotuloReticente::resizeEvent(QResizeEvent* AEvento) {
    QLabel::resizeEvent(AEvento);
    Reticenciar();
}

void TRotuloReticente::Reticenciar() {
    setText(fontMetrics().elidedText(FTexto, Qt::ElideRight, std::max(1, width())));
}

int TModeloMusicas::rowCount(const QModelIndex& APai) const {
    return APai.isValid() ? 0 : FLinhas;
}

QVariant TModeloMusicas::data(const QModelIndex& AIndice, int APapel) const {
    if (FPrograma == nullptr || APapel != Qt::DisplayRole || AIndice.row() < 0 ||
        AIndice.row() >= static_cast<int>(FPrograma->Musicas().size())) {
        return {};
    }
    return QString::fromStdString(
        NomeExibicao(FPrograma->Musicas()[static_cast<std::size_t>(AIndice.row())]));
}

void TModeloMusicas::Atualizar() {
    const int linhas = FPrograma != nullptr ? static_cast<int>(FPrograma->Musicas().size()) : 0;
    if (linhas != FLinhas) {
        beginResetModel();
        FLinhas = linhas;
        endResetModel();
    } else if (linhas > 0) {
        emit dataChanged(index(0), index(linhas - 1));
    }
}

QSize TDelegadoMusicas::sizeHint(const QStyleOptionViewItem& AOpcao, const QModelIndex&) const {
    return QSize(AOpcao.rect.width(), kAlturaLinha);
}

void TDelegadoMusicas::paint(QPainter* APintor,
                             const QStyleOptionViewItem& AOpcao,
                             const QModelIndex& AIndice) const {
    const IControle* prog = FModelo.Programa();
    if (prog == nullptr) {
        return;
    }
    const QRect r = AOpcao.rect;
    const QPalette& pal = AOpcao.palette;
    const bool selecionada = (AOpcao.state & QStyle::State_Selected) != 0;
    const bool atual = AIndice.row() == prog->LinhaAtual();
    const QColor textoDestaque = pal.color(QPalette::HighlightedText);
    APintor->save();
    APintor->fillRect(r, selecionada ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base));
    if (atual) {
        APintor->fillRect(QRect(r.left(), r.top(), 4, r.height()),
                          selecionada ? textoDestaque : kAzul);
    }
    const QColor cinza = selecionada ? textoDestaque : CorTextoCinza(pal);
    const QRect numero(r.left() + 12, r.top(), 40, r.height());
    if (atual) {
        QFont f = FonteIcones(14);
        f.setPointSize(11);
        APintor->setFont(f);
        APintor->setPen(selecionada ? textoDestaque : kAzul);
        APintor->drawText(numero, Qt::AlignLeft | Qt::AlignVCenter, Glifo(kGlifoVolume));
    } else {
        APintor->setFont(FontePontos(10));
        APintor->setPen(CorTextoCinza(pal));
        if (selecionada) {
            APintor->setPen(textoDestaque);
        }
        APintor->drawText(
            numero, Qt::AlignLeft | Qt::AlignVCenter, QString::number(AIndice.row() + 1));
    }
    const QRect titulo(r.left() + 56, r.top(), std::max(0, r.width() - 56 - 76), r.height());
    const QFont fonteTitulo = FontePontos(11, atual);
    APintor->setFont(fonteTitulo);
    APintor->setPen(selecionada ? textoDestaque : atual ? kAzul : pal.color(QPalette::Text));
    const QString nome = AIndice.data(Qt::DisplayRole).toString();
    APintor->drawText(titulo,
                      Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(fonteTitulo).elidedText(nome, Qt::ElideRight, titulo.width()));
    const auto& duracoes = prog->Duracoes();
    const auto linha = static_cast<std::size_t>(AIndice.row());
    if (linha < duracoes.size() && duracoes[linha] >= 0) {
        APintor->setFont(FontePontos(10));
        APintor->setPen(cinza);
        APintor->drawText(QRect(r.right() - 80, r.top(), 64, r.height()),
                          Qt::AlignRight | Qt::AlignVCenter,
                          QString::fromStdString(FormatarDuracao(duracoes[linha])));
    }
    APintor->restore();
}

TBarraStatus::TBarraStatus(QWidget* APai) : QWidget(APai) {
    for (auto& painel : FPaineis) {
        painel = new QLabel(this);
        painel->setTextFormat(Qt::PlainText);
        painel->setContentsMargins(8, 0, 8, 0);
        painel->hide();
    }
}

void TBarraStatus::DefinirTextos(const std::array<std::string, 5>& ATextos) {
    FTextos = ATextos;
    Ajustar();
}

void TBarraStatus::resizeEvent(QResizeEvent* AEvento) {
    QWidget::resizeEvent(AEvento);
    Ajustar();
}

void TBarraStatus::Ajustar() {
    const QFontMetrics medidas(font());
    const TStatusAjustado a = AjustarTextosStatus(
        FTextos,
        width() - 20,
        [&](const std::string& ATexto) {
            return medidas.horizontalAdvance(QString::fromStdString(ATexto));
        },
        22);
    int x = 0;
    for (std::size_t i = 0; i < FPaineis.size(); ++i) {
        QLabel* painel = FPaineis[i];
        if (i < a.Paineis.size()) {
            const QString texto = QString::fromStdString(a.Paineis[i].Texto);
            if (painel->text() != texto) {
                painel->setText(texto);
            }
            painel->setGeometry(x, 0, a.Paineis[i].Largura, height());
            painel->show();
            x += a.Paineis[i].Largura;
        } else {
            painel->clear();
            painel->hide();
        }
    }
    setToolTip(QString::fromStdString(a.Dica));
}

std::vector<std::pair<QString, int>> TBarraStatus::Paineis() const {
    std::vector<std::pair<QString, int>> r;
    for (const QLabel* p : FPaineis) {
        if (p->isVisibleTo(this)) {
            r.emplace_back(p->text(), p->width());
        }
    }
    return r;
}

}  // namespace ljsn
