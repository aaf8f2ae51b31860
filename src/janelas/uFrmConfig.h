#pragma once

#include <QDialog>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "ambiente/uConfiguracoes.h"
#include "comum/uQRCode.h"
#include "comum/uRelogio.h"
#include "comum/uTipos.h"
#include "falas/uClima.h"
#include "falas/uNoticias.h"
#include "programa/uControle.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPainter;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QWidget;

namespace ljsn {

// What the dialog needs from its host besides the settings.
struct TDependenciasConfig {
    TRelogio& Relogio;
    // The program clock (local date-time in days) for the sample sentences.
    std::function<double()> Agora;
    // The slow look-ups, replaceable in tests; they run off the main thread.
    std::function<TCidade(const std::string&, std::stop_token)> BuscarCidade;
    std::function<TClima(double, double, double, std::stop_token)> ObterClima;
    std::function<std::vector<TNoticia>(const std::string&, bool, double, std::stop_token)>
        BaixarNoticias;
};

// Paints a QR matrix centred in ARetangulo on white, with room for a quiet
// zone of four modules; an area too small shows only the white.
void DesenharQRCode(QPainter& APintor, const QRect& ARetangulo, const TMatrizQR& AMatriz);

// The settings dialog: eight tabs over a working copy of the programme's
// settings. "Salvar" has the programme validate the copy, then apply it (one
// save, then the change); a failed write keeps the dialog open with the
// user's edits.
class TfrmConfig : public QDialog {
  public:
    TfrmConfig(QWidget* APai,
               IControle& AControle,
               std::string AMusicaAtual,
               double ALoudnessAtual,
               TDependenciasConfig ADep);
    ~TfrmConfig() override;

    // Shows the dialog modally; true when the user saved.
    static bool Executar(QWidget* APai,
                         IControle& AControle,
                         const std::string& AMusicaAtual,
                         double ALoudnessAtual,
                         TDependenciasConfig ADep);

    // "Salvar": validates, writes, closes with OK. False when it stayed open.
    bool Salvar();
    // The validation alone (switches tab and shows the warning on failure).
    bool Validar();

    // Parts the tests look at.
    QTabWidget* Abas() { return FAbas; }
    const TMatrizQR& QR() const { return FQR; }
    const std::string& Pin() const { return FPin; }
    double Referencia() const { return FReferencia; }
    const std::string& ReferenciaNome() const { return FReferenciaNome; }
    const std::string& ClimaCidade() const { return FClimaCidade; }
    // The test playback, made by the programme on first use.
    IEscutaTeste& Escuta();
    QPushButton* BotaoTeste() { return FBotaoTeste; }
    QWidget* PainelQR() { return FPainelQR; }
    // Whether a slow look-up is still running.
    bool Ocupado() const;
    // The last warning shown (message boxes are modal; tests read this).
    const QString& UltimoAviso() const { return FUltimoAviso; }
    // Tests answer the message boxes themselves.
    void DefinirAvisos(std::function<void(const QString&)> AAviso) { FAvisar = std::move(AAviso); }

    // Actions of the buttons, callable by tests.
    void GerarNovoPin();
    void AtualizarCelular();
    void BuscarCidadeAgora();
    void VerNoticias(std::function<void(bool)> AAoTerminar = {});
    void OuvirNoticia();
    void OuvirVolume(int ALinha);
    void PararTeste();
    void TestarVoz();
    void FalarTeste(const std::string& ATexto, TTipoFala ATipo);
    std::string FraseExemplo(TTipoFala ATipo) const;
    void MostrarReferencia();
    // Runs one step of the test timer (500 ms).
    void PassoTeste();

  private:
    QWidget* NovaAba(const QString& ANome);
    void MontarMusicas();
    void MontarLocutor();
    void MontarMensagens();
    void MontarSom();
    void MontarVolumes();
    void MontarDatas();
    void MontarNoticias();
    void MontarCelular();
    void Carregar();
    void CopiarPara(TConfiguracoes& AConfig) const;
    // A message box, or the tests' hook; the text is kept in FUltimoAviso.
    void MostrarMensagem(QMessageBox::Icon AIcone, const QString& ATexto);
    void Avisar(int AAba, QWidget* AFoco, const QString& ATexto);
    void EscolherPasta(QLineEdit* AEdit);
    void EscolherVinheta(QLineEdit* AEdit);
    void AtualizarVolumeTeste(int ALinha, int AValor);
    void MarcarOcupado(QPushButton* ABotao, const QString& ATextoOcupado);
    void DesmarcarOcupado(QPushButton* ABotao, const QString& ATexto);
    std::string EmpresaDialogo() const;
    TGeneroEmpresa GeneroDialogo() const;
    std::string AssuntosMarcados() const;

    IControle& FControle;
    TDependenciasConfig FDep;
    std::string FMusicaAtual;
    double FLoudnessAtual = -999;
    double FReferencia = -999;
    std::string FReferenciaNome;
    std::string FClimaCidade;
    double FClimaLat = 0;
    double FClimaLon = 0;
    std::string FPin;
    TMatrizQR FQR;
    std::vector<TNoticia> FPrevia;
    std::unique_ptr<IEscutaTeste> FEscuta;
    QPushButton* FBotaoTeste = nullptr;
    QTimer FTimerTeste;
    QTimer FTimerVoz;
    int FPassosTeste = 0;
    std::stop_source FParar;
    int FTrabalhos = 0;
    QString FUltimoAviso;
    std::function<void(const QString&)> FAvisar;

    QTabWidget* FAbas = nullptr;
    // Músicas.
    QLineEdit* edtMusicas = nullptr;
    QLineEdit* edtPropagandas = nullptr;
    QSpinBox* spnIntervalo = nullptr;
    QSpinBox* spnQtd = nullptr;
    QCheckBox* chkSubpastas = nullptr;
    QCheckBox* chkAleatorio = nullptr;
    QComboBox* cbxTema = nullptr;
    QCheckBox* chkIniciarWindows = nullptr;
    QCheckBox* chkTocarAoAbrir = nullptr;
    QCheckBox* chkBandeja = nullptr;
    QCheckBox* chkWidget = nullptr;
    // Som.
    QCheckBox* chkVolumeAuto = nullptr;
    QLabel* lblReferencia = nullptr;
    QPushButton* btnRefAtual = nullptr;
    QPushButton* btnRefProxima = nullptr;
    QSpinBox* spnTransicao = nullptr;
    QLineEdit* edtVinhetaAntes = nullptr;
    QLineEdit* edtVinhetaDepois = nullptr;
    // Volumes: advertisements, jingles, then the seven speech kinds.
    std::array<QSlider*, 9> FTrilhas{};
    std::array<QLabel*, 9> FValores{};
    std::array<QPushButton*, 9> FOuvir{};
    // Locutor.
    QLineEdit* edtEmpresa = nullptr;
    QComboBox* cbxGenero = nullptr;
    QComboBox* cbxVoz = nullptr;
    QSpinBox* spnVelocidade = nullptr;
    QSpinBox* spnTom = nullptr;
    QSpinBox* spnFundo = nullptr;
    QCheckBox* chkHoraCerta = nullptr;
    QCheckBox* chkFechamento = nullptr;
    QLineEdit* edtHorario = nullptr;
    QLineEdit* edtAvisos = nullptr;
    QCheckBox* chkParar = nullptr;
    // Mensagens.
    QSpinBox* spnMinutos = nullptr;
    QListWidget* lstMensagens = nullptr;
    QLineEdit* edtTexto = nullptr;
    // Datas e clima.
    QListWidget* lstDatas = nullptr;
    QLineEdit* edtAniversario = nullptr;
    QSpinBox* spnDiasAntes = nullptr;
    QSpinBox* spnMinutosDatas = nullptr;
    QCheckBox* chkClima = nullptr;
    QLineEdit* edtCidade = nullptr;
    QLabel* lblCidade = nullptr;
    QPushButton* btnBuscarCidade = nullptr;
    // Notícias.
    QCheckBox* chkNoticias = nullptr;
    QListWidget* lstAssuntos = nullptr;
    QSpinBox* spnNoticiasCada = nullptr;
    QSpinBox* spnNoticiasQtd = nullptr;
    QCheckBox* chkResumo = nullptr;
    QCheckBox* chkRepetir = nullptr;
    QCheckBox* chkFiltrar = nullptr;
    QLabel* lblPrevia = nullptr;
    QPushButton* btnVerNoticias = nullptr;
    QPushButton* btnOuvirNoticia = nullptr;
    // Celular.
    QCheckBox* chkCelular = nullptr;
    QLabel* lblEndereco = nullptr;
    QLabel* lblPin = nullptr;
    QLabel* lblQR = nullptr;
    QWidget* FPainelQR = nullptr;
    QSpinBox* spnPorta = nullptr;
};

}  // namespace ljsn
