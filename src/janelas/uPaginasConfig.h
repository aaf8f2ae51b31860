#pragma once

#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "ambiente/uConfiguracoes.h"
#include "comum/uQRCode.h"
#include "comum/uTipos.h"
#include "falas/uClima.h"
#include "falas/uNoticias.h"
#include "janelas/uBuscaFundo.h"
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

namespace ljsn {

// Paints a QR matrix centred in ARetangulo on white, with room for a quiet
// zone of four modules; an area too small shows only the white.
void DesenharQRCode(QPainter& APintor, const QRect& ARetangulo, const TMatrizQR& AMatriz);

// What the settings tabs ask of their dialog: the test playback, and what
// one tab needs to know of another.
class IDialogoConfig {
  public:
    virtual ~IDialogoConfig() = default;
    // The test playback, made by the programme on first use.
    virtual IEscutaTeste& Escuta() = 0;
    // Speaks ATexto now, with the voice and volumes the tabs show.
    virtual void FalarTeste(const std::string& ATexto, TTipoFala ATipo) = 0;
    // The sample sentence of a speech kind, from what the tabs show now.
    virtual std::string FraseExemplo(TTipoFala ATipo) const = 0;
    // ATexto with its company placeholders filled as the Locutor tab says.
    virtual std::string ComEmpresa(const std::string& ATexto) const = 0;
    // What the Volumes tab plays for advertisements and jingles.
    virtual std::string PastaPropagandas() const = 0;
    virtual std::string VinhetaDeTeste() const = 0;
    // The program clock (local date-time in days).
    virtual double Agora() const = 0;
    // A message box over the dialog (or the tests' hook).
    virtual void MostrarMensagem(QMessageBox::Icon AIcone, const QString& ATexto) = 0;
    // A tab's look-up started or ended.
    virtual void OcupacaoMudou() = 0;
};

// One tab of the settings dialog: its own widgets over its own fields.
class TPaginaConfig : public QWidget {
  public:
    TPaginaConfig(QWidget* APai, const char* AChave, const char* ANome, const QString& ATitulo);
    // The tab's key in a TProblemaConfig ("musicas", "locutor", ...).
    const std::string& Chave() const { return FChave; }
    const QString& Titulo() const { return FTitulo; }
    virtual void Carregar(const TConfiguracoes& AConfig) = 0;
    virtual void CopiarPara(TConfiguracoes& AConfig) const = 0;
    // The widget of a field a problem names (TProblemaConfig::Campo), or null.
    virtual QWidget* Campo(std::string_view ACampo);

  private:
    std::string FChave;
    QString FTitulo;
};

// Folders, the break's rotation, the theme and starting up.
class TPaginaMusicas final : public TPaginaConfig {
  public:
    explicit TPaginaMusicas(QWidget* APai);
    void Carregar(const TConfiguracoes& AConfig) override;
    void CopiarPara(TConfiguracoes& AConfig) const override;
    QWidget* Campo(std::string_view ACampo) override;
    // Starting with the computer is the system's, not a setting.
    void DefinirIniciarComSistema(bool ALigar);
    bool IniciarComSistema() const;
    std::string PastaPropagandas() const;

  private:
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
};

// Automatic volume and its reference, crossfades, the break's jingles.
class TPaginaSom final : public TPaginaConfig {
  public:
    // The music on air and its loudness, which the reference may take.
    TPaginaSom(QWidget* APai, std::string AMusicaAtual, double ALoudnessAtual);
    void Carregar(const TConfiguracoes& AConfig) override;
    void CopiarPara(TConfiguracoes& AConfig) const override;
    void MostrarReferencia();
    double Referencia() const { return FReferencia; }
    const std::string& ReferenciaNome() const { return FReferenciaNome; }
    // The jingle a test plays: the one before the break, else the one after;
    // empty when neither file exists.
    std::string VinhetaDeTeste() const;

  private:
    std::string FMusicaAtual;
    double FLoudnessAtual = -999;
    double FReferencia = -999;
    std::string FReferenciaNome;
    QCheckBox* chkVolumeAuto = nullptr;
    QLabel* lblReferencia = nullptr;
    QPushButton* btnRefAtual = nullptr;
    QPushButton* btnRefProxima = nullptr;
    QSpinBox* spnTransicao = nullptr;
    QLineEdit* edtVinhetaAntes = nullptr;
    QLineEdit* edtVinhetaDepois = nullptr;
};

// A volume bar per audio kind, each with a test.
class TPaginaVolumes final : public TPaginaConfig {
  public:
    // The rows: advertisements, jingles, then the seven speech kinds.
    static constexpr int kLinhas = 9;
    TPaginaVolumes(QWidget* APai, IDialogoConfig& ADialogo);
    void Carregar(const TConfiguracoes& AConfig) override;
    void CopiarPara(TConfiguracoes& AConfig) const override;
    // The speech volumes the bars show, by TTipoFala.
    std::array<int, kTiposFala> VolumesFala() const;
    // A row's "Ouvir": a sample sentence, or up to ten seconds of a file
    // (a second click stops it).
    void OuvirVolume(int ALinha);
    // One step of the 500 ms timer of a file being played.
    void PassoTeste();
    void PararTeste();
    QPushButton* BotaoTeste() { return FBotaoTeste; }

  private:
    void AtualizarVolumeTeste(int ALinha, int AValor);

    IDialogoConfig& FDialogo;
    std::array<QSlider*, kLinhas> FTrilhas{};
    std::array<QLabel*, kLinhas> FValores{};
    std::array<QPushButton*, kLinhas> FOuvir{};
    // The row's button of the file playing, else null.
    QPushButton* FBotaoTeste = nullptr;
    QTimer FTimerTeste;
    int FPassosTeste = 0;
};

// The company, the voice, the time and the closing warning.
class TPaginaLocutor final : public TPaginaConfig {
  public:
    TPaginaLocutor(QWidget* APai, IDialogoConfig& ADialogo);
    void Carregar(const TConfiguracoes& AConfig) override;
    void CopiarPara(TConfiguracoes& AConfig) const override;
    QWidget* Campo(std::string_view ACampo) override;
    std::string Empresa() const;
    TGeneroEmpresa Genero() const;
    // The voice chosen, with its speed and pitch (no volumes).
    IEscutaTeste::TVoz Voz() const;
    void TestarVoz();

  private:
    IDialogoConfig& FDialogo;
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
};

// The rotation of spoken messages and its editor.
class TPaginaMensagens final : public TPaginaConfig {
  public:
    TPaginaMensagens(QWidget* APai, IDialogoConfig& ADialogo);
    void Carregar(const TConfiguracoes& AConfig) override;
    void CopiarPara(TConfiguracoes& AConfig) const override;
    std::optional<std::string> PrimeiraMensagem() const;

  private:
    IDialogoConfig& FDialogo;
    QSpinBox* spnMinutos = nullptr;
    QListWidget* lstMensagens = nullptr;
    QLineEdit* edtTexto = nullptr;
};

// Holidays, the shop's birthday, and the weather's city.
class TPaginaDatas final : public TPaginaConfig {
  public:
    using TBuscarCidade = std::function<TCidade(const std::string&, std::stop_token)>;
    using TObterClima = std::function<TClima(double, double, double, std::stop_token)>;
    TPaginaDatas(QWidget* APai,
                 IDialogoConfig& ADialogo,
                 TBuscarCidade ABuscarCidade,
                 TObterClima AObterClima);
    void Carregar(const TConfiguracoes& AConfig) override;
    void CopiarPara(TConfiguracoes& AConfig) const override;
    // Looks the typed city up, with a sample forecast, off the main thread.
    void BuscarCidadeAgora();
    const std::string& ClimaCidade() const { return FClimaCidade; }
    bool Ocupado() const { return FBusca.Ocupado(); }

  private:
    IDialogoConfig& FDialogo;
    TBuscarCidade FBuscarCidade;
    TObterClima FObterClima;
    std::string FClimaCidade;
    double FClimaLat = 0;
    double FClimaLon = 0;
    QListWidget* lstDatas = nullptr;
    QLineEdit* edtAniversario = nullptr;
    QSpinBox* spnDiasAntes = nullptr;
    QSpinBox* spnMinutosDatas = nullptr;
    QCheckBox* chkClima = nullptr;
    QLineEdit* edtCidade = nullptr;
    QLabel* lblCidade = nullptr;
    QPushButton* btnBuscarCidade = nullptr;
    // Last, so it goes first: its worker is joined before the rest goes.
    TBuscaFundo FBusca;
};

// Short news between the songs, with a preview.
class TPaginaNoticias final : public TPaginaConfig {
  public:
    using TBaixarNoticias =
        std::function<std::vector<TNoticia>(const std::string&, bool, double, std::stop_token)>;
    TPaginaNoticias(QWidget* APai, IDialogoConfig& ADialogo, TBaixarNoticias ABaixar);
    void Carregar(const TConfiguracoes& AConfig) override;
    void CopiarPara(TConfiguracoes& AConfig) const override;
    // Fetches the ticked subjects off the main thread and shows the newest;
    // AAoTerminar learns whether any came.
    void VerNoticias(std::function<void(bool)> AAoTerminar = {});
    // Speaks the first item, fetching first when there is none yet.
    void OuvirNoticia();
    bool Ocupado() const { return FBusca.Ocupado(); }

  private:
    std::string AssuntosMarcados() const;

    IDialogoConfig& FDialogo;
    TBaixarNoticias FBaixar;
    std::vector<TNoticia> FPrevia;
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
    // Last, so it goes first: its worker is joined before the rest goes.
    TBuscaFundo FBusca;
};

// Phone control: the address, the PIN and a QR code to open it.
class TPaginaCelular final : public TPaginaConfig {
  public:
    explicit TPaginaCelular(QWidget* APai);
    void Carregar(const TConfiguracoes& AConfig) override;
    void CopiarPara(TConfiguracoes& AConfig) const override;
    QWidget* Campo(std::string_view ACampo) override;
    void GerarNovoPin();
    // The address, the PIN (made when there is none) and the code.
    void AtualizarCelular();
    const std::string& Pin() const { return FPin; }
    const TMatrizQR& QR() const { return FQR; }
    QWidget* PainelQR() { return FPainelQR; }

  private:
    std::string FPin;
    TMatrizQR FQR;
    QCheckBox* chkCelular = nullptr;
    QLabel* lblEndereco = nullptr;
    QLabel* lblPin = nullptr;
    QLabel* lblQR = nullptr;
    QWidget* FPainelQR = nullptr;
    QSpinBox* spnPorta = nullptr;
};

}  // namespace ljsn
