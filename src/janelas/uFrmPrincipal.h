#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

#include "comum/uFilaPrincipal.h"
#include "comum/uRelogio.h"
#include "janelas/uComponentes.h"
#include "janelas/uFrmWidget.h"
#include "programa/uControle.h"

class QAction;
class QLineEdit;
class QListView;
class QMenu;
class QSlider;
class QSystemTrayIcon;
class QToolButton;
class QPushButton;

namespace ljsn {

// The main window: the face of the programme it owns. It shows what the
// programme tells it through IVisao and sends the buttons, the list, the
// tray menu and the running copy's requests to it through IControle. Main
// thread only.
class TfrmPrincipal : public QMainWindow, public IVisao {
  public:
    struct TDependencias {
        TRelogio& Relogio;
        TFilaPrincipal& Fila;
        // Runs after every tick (the sound's fault counters).
        std::function<void()> AposTick;
        // Makes the programme this window is the face of.
        std::function<std::unique_ptr<IControle>(IVisao&, TOpcoesPrograma)> CriarPrograma;
    };

    TfrmPrincipal(TDependencias ADependencias, TOpcoesPrograma AOpcoes);
    ~TfrmPrincipal() override;

    // The creation steps: the programme, the tray, the tick; the window is
    // shown unless AOculta (started in the tray).
    void Iniciar(bool AOculta);
    IControle& Programa() { return *FPrograma; }

    // The running copy's requests: 1..6 as the private action messages
    // (anything else shows the window).
    void ExecutarAcaoRemota(int AAcao);
    void MostrarJanela();
    void OcultarNaBandeja();
    void AtualizarBandeja();
    // The quick controls: created on first show, then shown and hidden; the
    // position goes to WidgetX/WidgetY whenever it is hidden.
    void MostrarWidget();
    void OcultarWidget();
    void AlternarWidget();
    void GuardarPosicaoWidget();
    // A face's own preference (the widget's place or pin) through the
    // programme, which saves it.
    void AplicarPreferencia(const TConfiguracoes& AConfig);
    // After the settings were confirmed: the widget goes when WidgetNaBandeja is off.
    void AplicarWidgetAposConfig();
    // The quick-calls window; the main window comes first when hidden.
    void btnChamadasClick();
    void MostrarNovidades();
    void AbrirLogs();
    void Sair();
    // Applies the theme and recolours the labels.
    void AplicarTemaEscolhido();
    // One tick of the 100 ms timer (also called by tests).
    void Tick();

    // Parts the tests look at.
    TBarraStatus& BarraStatus() { return *FStatus; }
    TCaixaCapa& CaixaCapa() { return *FCapa; }
    TBarraProgresso& BarraProgresso() { return *FProgresso; }
    QSystemTrayIcon* Bandeja() { return FBandeja; }
    QMenu* MenuBandeja() { return FMenuBandeja; }
    QAction* ItemWidget() { return FItemWidget; }
    // Null until first shown.
    TfrmWidget* Widget() { return FWidget.get(); }
    QString TextoTipo() const;
    QString TextoTitulo() const;
    QString TextoInfo() const;
    QString TextoLocutor() const;
    QString TextoTempo() const;
    QString TextoDuracao() const;
    bool AvisouBandeja() const { return FAvisouBandeja; }

    // IVisao.
    void MostrarRelogio(const std::string& AHora, const std::string& AData) override;
    void MostrarErro(const std::string& AMensagem) override;
    void MostrarTitulo(const std::string& ATitulo) override;
    void MostrarTipo(const std::string& ATexto, TCorVisao ACor) override;
    void MostrarTempos(std::int32_t APosicao, std::int32_t ADuracao) override;
    void MostrarTemposVazios() override;
    void MostrarCapa(const std::string& AArquivo, char32_t AGlifo) override;
    void MostrarTags(const TTagsAudio& ATags, const std::string& ALinha) override;
    void MostrarStatus(const std::array<std::string, 5>& ATextos) override;
    void AtualizarLista() override;
    void MostrarLocutor(const std::string& ATexto, bool AAviso, const std::string& ADica) override;
    void MostrarOcupado(bool AOcupado) override;
    void AbrirConfiguracoes() override;
    // After the settings dialog saved: the programme, the theme, the widget.
    void AplicarConfiguracoesSalvas();

  protected:
    void closeEvent(QCloseEvent* AEvento) override;
    void resizeEvent(QResizeEvent* AEvento) override;
    void changeEvent(QEvent* AEvento) override;

  private:
    void CriarControles();
    void CriarBandeja();
    void AjustarLayout();
    void AtualizarCores();
    QColor CorDaVisao(TCorVisao ACor) const;
    QColor CorGlifoCapa() const;
    void SincronizarSelecao();
    void DecodificarCapa(std::vector<std::uint8_t> ABytes);

    TDependencias FDep;
    std::unique_ptr<IControle> FPrograma;
    TOpcoesPrograma FOpcoes;
    QTimer FTimer;
    bool FSaindo = false;
    bool FAvisouBandeja = false;
    bool FIniciada = false;
    bool FConfigAberta = false;
    int FGeracaoCapa = 0;
    TCorVisao FCorTipo = TCorVisao::cvCinza;
    bool FLocutorFalando = false;
    std::array<std::string, 5> FTextosStatus;

    QWidget* FCabecalho = nullptr;
    QLabel* FLogo = nullptr;
    QLabel* FTitulo = nullptr;
    QLabel* FSubtitulo = nullptr;
    QLabel* FRelogio = nullptr;
    QLabel* FData = nullptr;
    QWidget* FPainelTocando = nullptr;
    TCaixaCapa* FCapa = nullptr;
    QLabel* FTipo = nullptr;
    TRotuloReticente* FTocando = nullptr;
    TRotuloReticente* FInfo = nullptr;
    TBarraProgresso* FProgresso = nullptr;
    QLabel* FTempo = nullptr;
    QLabel* FDuracao = nullptr;
    QWidget* FPainelControles = nullptr;
    QToolButton* FBtnTocar = nullptr;
    QToolButton* FBtnPausar = nullptr;
    QToolButton* FBtnParar = nullptr;
    QToolButton* FBtnProxima = nullptr;
    QToolButton* FBtnConfig = nullptr;
    QToolButton* FBtnChamadas = nullptr;
    QLabel* FIconeVolume = nullptr;
    QSlider* FVolume = nullptr;
    QLabel* FRotuloVolume = nullptr;
    QWidget* FPainelLocutor = nullptr;
    QLabel* FIconeLocutor = nullptr;
    TRotuloReticente* FLocutor = nullptr;
    QLineEdit* FFalar = nullptr;
    QPushButton* FBtnFalar = nullptr;
    QPushButton* FBtnHoraCerta = nullptr;
    QListView* FLista = nullptr;
    TModeloMusicas* FModelo = nullptr;
    TBarraStatus* FStatus = nullptr;

    QSystemTrayIcon* FBandeja = nullptr;
    QMenu* FMenuBandeja = nullptr;
    QAction* FItemTocarPausar = nullptr;
    QAction* FItemWidget = nullptr;
    std::unique_ptr<TfrmWidget> FWidget;
};

}  // namespace ljsn
