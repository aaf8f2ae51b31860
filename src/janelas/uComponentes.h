#pragma once

#include <QAbstractListModel>
#include <QImage>
#include <QLabel>
#include <QStyledItemDelegate>
#include <QWidget>
#include <array>
#include <functional>

namespace ljsn {

class IControle;

// A cover picture ready to paint: its longer side at most 512 pixels, the
// proportion kept, drawn over the button-face colour. Null when AOriginal is.
QImage PrepararCapa(const QImage& AOriginal, const QColor& AFundo);
// Where a picture of ATamanho goes inside ACaixa: a portrait one takes the
// full height, centred across; a landscape or square one the full width,
// centred down.
QRect EncaixarCapa(const QSize& ATamanho, const QRect& ACaixa);
// "m:ss" with the minutes not limited to 59.
QString FormatarTempo(int AMs);

// The cover box: the picture with rounded corners, or a placeholder glyph.
class TCaixaCapa : public QWidget {
  public:
    using QWidget::QWidget;
    void DefinirCapa(const QImage& ACapa);
    void DefinirGlifo(char32_t AGlifo, const QColor& ACor);
    const QImage& Capa() const { return FCapa; }
    char32_t GlifoAtual() const { return FGlifo; }

  protected:
    void paintEvent(QPaintEvent* AEvento) override;

  private:
    QImage FCapa;
    char32_t FGlifo = U'\uE8D6';
    QColor FCorGlifo;
};

// The progress bar: a thin track, the played part, a round knob; a press
// asks to seek to the matching position.
class TBarraProgresso : public QWidget {
  public:
    explicit TBarraProgresso(QWidget* APai);
    void Definir(int APosicao, int ADuracao, const QColor& ACor);
    // The position (ms) a press at AX of a bar AWidth wide seeks to.
    static int PosicaoDoClique(int AX, int ALargura, int ADuracao);
    std::function<void(int AMs)> AoPosicionar;
    int Posicao() const { return FPosicao; }
    int Duracao() const { return FDuracao; }

  protected:
    void paintEvent(QPaintEvent* AEvento) override;
    void mousePressEvent(QMouseEvent* AEvento) override;

  private:
    int FPosicao = 0;
    int FDuracao = 0;
    QColor FCor;
};

// A one-line label that ends its text with "…" when it does not fit.
class TRotuloReticente : public QLabel {
  public:
    explicit TRotuloReticente(QWidget* APai);
    void DefinirTexto(const QString& ATexto);
    const QString& TextoCompleto() const { return FTexto; }

  protected:
    void resizeEvent(QResizeEvent* AEvento) override;

  private:
    void Reticenciar();
    QString FTexto;
};

// The track list's rows: the programme's music files.
class TModeloMusicas : public QAbstractListModel {
  public:
    explicit TModeloMusicas(QObject* APai) : QAbstractListModel(APai) {}
    void DefinirPrograma(const IControle* APrograma) { FPrograma = APrograma; }
    int rowCount(const QModelIndex& APai) const override;
    QVariant data(const QModelIndex& AIndice, int APapel) const override;
    // The rows, their names or durations changed.
    void Atualizar();
    const IControle* Programa() const { return FPrograma; }

  private:
    const IControle* FPrograma = nullptr;
    int FLinhas = 0;
};

// Paints a row: the current-row bar, its number or the playing glyph, the
// name and the duration.
class TDelegadoMusicas : public QStyledItemDelegate {
  public:
    explicit TDelegadoMusicas(TModeloMusicas& AModelo, QObject* APai)
        : QStyledItemDelegate(APai), FModelo(AModelo) {}
    void paint(QPainter* APintor,
               const QStyleOptionViewItem& AOpcao,
               const QModelIndex& AIndice) const override;
    QSize sizeHint(const QStyleOptionViewItem& AOpcao, const QModelIndex& AIndice) const override;

  private:
    TModeloMusicas& FModelo;
};

// The status bar's five panels, filled from the left by AjustarTextosStatus.
class TBarraStatus : public QWidget {
  public:
    explicit TBarraStatus(QWidget* APai);
    void DefinirTextos(const std::array<std::string, 5>& ATextos);
    // The texts and widths shown now, from the left (for tests).
    std::vector<std::pair<QString, int>> Paineis() const;

  protected:
    void resizeEvent(QResizeEvent* AEvento) override;

  private:
    void Ajustar();
    std::array<std::string, 5> FTextos;
    std::array<QLabel*, 5> FPaineis{};
};

}  // namespace ljsn
