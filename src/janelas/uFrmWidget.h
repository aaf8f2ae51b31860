#pragma once

#include <QColor>
#include <QLabel>
#include <QPoint>
#include <QTimer>
#include <QValidator>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "comum/uJson.h"
#include "comum/uRelogio.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QSlider;

namespace ljsn {

class TRotuloReticente;

// The programme's command handler as the widget calls it: "estado" or
// "comando" with a JSON object; answers the state JSON text, throws with the
// message for the user when a command is refused.
using TComandoWidget = std::function<std::string(const std::string& AAcao, const TJson& ADados)>;

// A label's height for its font size in points (8 -> 18, 9 -> 20, 11 -> 24).
int AlturaRotulo(int APontos);
// A call model as the list shows it: "{caixa}" -> "(nº)", "{veiculo}" ->
// "(veículo)", any name with "empresa" -> "a loja", others -> "(name)".
QString ModeloLegivel(const QString& AModelo);

// Upper-case input, as typed (plates).
class TValidadorMaiusculas : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& ATexto, int& APosicao) const override;
};

// A glyph of the title bar: a hand cursor, the theme's text colour, orange
// while the mouse is over it; a left click calls AoClicar.
class TBotaoIcone : public QWidget {
  public:
    TBotaoIcone(QWidget* APai, char32_t AGlifo, const QString& ADica);
    void DefinirGlifo(char32_t AGlifo);
    char32_t GlifoAtual() const { return FGlifo; }
    QColor CorAtual() const;
    std::function<void()> AoClicar;

  protected:
    void paintEvent(QPaintEvent* AEvento) override;
    void enterEvent(QEnterEvent* AEvento) override;
    void leaveEvent(QEvent* AEvento) override;
    void mousePressEvent(QMouseEvent* AEvento) override;
    void mouseReleaseEvent(QMouseEvent* AEvento) override;

  private:
    char32_t FGlifo;
    bool FSobre = false;
};

// The quick controls: a small borderless window above the others that plays,
// pauses, skips, stops, speaks and makes quick calls through the programme's
// command handler, and shows what is on the air. Main thread only.
class TfrmWidget : public QWidget {
  public:
    TfrmWidget(TComandoWidget AComando, const TRelogio& ARelogio);
    ~TfrmWidget() override;

    // Shows the window without taking the focus, refreshes everything
    // (the call list included) and starts the 500 ms refresh.
    void Mostrar();
    // Asks for the state ({"completo": ACompleto}) and shows it; errors are
    // ignored.
    void Atualizar(bool ACompleto);
    // Places the window at (AX, AY) inside the nearest screen's work area;
    // -99999 means the primary screen's bottom-right corner.
    void Posicionar(int AX, int AY);
    bool PorCima() const { return FPorCima; }
    void DefinirPorCima(bool APorCima);
    // Shows a state JSON text; anything but an object is ignored.
    void AplicarEstado(const std::string& ATexto);
    // Sends a command: the answer is shown, an error goes to the notice line.
    bool EnviarAcao(const std::string& AAcao, TJson ADados = TJson::object());
    void Avisar(const QString& ATexto, bool AErro);
    // Rebuilds the input fields of the selected call.
    void MontarCampos();
    // One beat of the 500 ms timer (also called by tests).
    void PassoTimer();

    // The user asked for the main window, closed the widget, toggled the pin.
    std::function<void(TfrmWidget&)> AoAbrirPrograma;
    std::function<void(TfrmWidget&)> AoFecharWidget;
    std::function<void(TfrmWidget&)> AoMudarPorCima;

    // Parts the tests look at.
    QWidget* Topo() { return FTopo; }
    QLabel* Titulo() { return FTitulo; }
    TBotaoIcone* Fixar() { return FFixar; }
    TBotaoIcone* Abrir() { return FAbrir; }
    TBotaoIcone* Fechar() { return FFechar; }
    TRotuloReticente* Situacao() { return FSituacao; }
    TRotuloReticente* Faixa() { return FFaixa; }
    QWidget* Tempo() { return FTempo; }
    QWidget* TempoCheio() { return FTempoCheio; }
    QPushButton* Tocar() { return FTocar; }
    QPushButton* Proxima() { return FProxima; }
    QPushButton* Parar() { return FParar; }
    QPushButton* Hora() { return FHora; }
    QSlider* Volume() { return FVolume; }
    QLabel* RotuloVolume() { return FRotuloVolume; }
    QLineEdit* Falar() { return FFalar; }
    QPushButton* BotaoFalar() { return FBtnFalar; }
    QComboBox* Chamada() { return FChamada; }
    QWidget* Campos() { return FCampos; }
    QPushButton* Chamar() { return FChamar; }
    QLabel* Aviso() { return FAviso; }
    // The field of a call ("caixa", "nome", "setor", "item", "placa"), or null.
    QLineEdit* Campo(const QString& ANome) const;
    const std::string& UltimaSituacao() const { return FSituacaoAtual; }
    const std::vector<std::string>& Modelos() const { return FModelos; }
    bool AvisoPendente() const { return FAvisoPendente; }
    bool Atualizando() const { return FTimer.isActive(); }

  protected:
    void paintEvent(QPaintEvent* AEvento) override;
    void resizeEvent(QResizeEvent* AEvento) override;
    void hideEvent(QHideEvent* AEvento) override;
    bool eventFilter(QObject* AObjeto, QEvent* AEvento) override;

  private:
    void CriarControles();
    void AjustarAltura();
    void AplicarContorno();
    void AplicarPorCima();
    void ClicarTocar();
    void ClicarFalar();
    void ClicarChamar();
    QString ValorCampo(const QString& ANome) const;

    TComandoWidget FComando;
    const TRelogio& FRelogio;
    bool FPorCima = true;
    std::string FSituacaoAtual = "parado";
    std::vector<std::string> FModelos;
    bool FAtualizando = false;
    bool FAvisoPendente = false;
    std::uint32_t FAvisoDesde = 0;
    QTimer FTimer;
    // The manual move when the platform has no system move.
    bool FArrastando = false;
    QPoint FArrasteInicio;
    QPoint FArrasteJanela;

    QWidget* FTopo = nullptr;
    QLabel* FTitulo = nullptr;
    TBotaoIcone* FFixar = nullptr;
    TBotaoIcone* FAbrir = nullptr;
    TBotaoIcone* FFechar = nullptr;
    TRotuloReticente* FSituacao = nullptr;
    TRotuloReticente* FFaixa = nullptr;
    QWidget* FTempo = nullptr;
    QWidget* FTempoCheio = nullptr;
    QPushButton* FTocar = nullptr;
    QPushButton* FProxima = nullptr;
    QPushButton* FParar = nullptr;
    QPushButton* FHora = nullptr;
    QLabel* FIconeVolume = nullptr;
    QSlider* FVolume = nullptr;
    QLabel* FRotuloVolume = nullptr;
    QLineEdit* FFalar = nullptr;
    QPushButton* FBtnFalar = nullptr;
    TRotuloReticente* FRotuloChamadas = nullptr;
    QComboBox* FChamada = nullptr;
    QWidget* FCampos = nullptr;
    QPushButton* FChamar = nullptr;
    QLabel* FAviso = nullptr;
};

}  // namespace ljsn
