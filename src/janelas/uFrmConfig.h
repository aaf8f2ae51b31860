#pragma once

#include <QDialog>
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
#include "janelas/uPaginasConfig.h"
#include "programa/uControle.h"

class QPushButton;
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

// The settings dialog: eight tabs over a working copy of the programme's
// settings, each tab a page of its own. "Salvar" has the programme validate
// the copy, then apply it (one save, then the change); a failed write keeps
// the dialog open with the user's edits.
class TfrmConfig : public QDialog, private IDialogoConfig {
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
    const TMatrizQR& QR() const { return FCelular->QR(); }
    const std::string& Pin() const { return FCelular->Pin(); }
    double Referencia() const { return FSom->Referencia(); }
    const std::string& ReferenciaNome() const { return FSom->ReferenciaNome(); }
    const std::string& ClimaCidade() const { return FDatas->ClimaCidade(); }
    // The test playback, made by the programme on first use.
    IEscutaTeste& Escuta() override;
    QPushButton* BotaoTeste() { return FVolumes->BotaoTeste(); }
    QWidget* PainelQR() { return FCelular->PainelQR(); }
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
    void FalarTeste(const std::string& ATexto, TTipoFala ATipo) override;
    std::string FraseExemplo(TTipoFala ATipo) const override;
    void MostrarReferencia();
    // Runs one step of the test timer (500 ms).
    void PassoTeste();

  private:
    // What the pages ask of the dialog.
    std::string ComEmpresa(const std::string& ATexto) const override;
    std::string PastaPropagandas() const override;
    std::string VinhetaDeTeste() const override;
    double Agora() const override;
    // A message box, or the tests' hook; the text is kept in FUltimoAviso.
    void MostrarMensagem(QMessageBox::Icon AIcone, const QString& ATexto) override;
    void OcupacaoMudou() override;

    void Carregar();
    void CopiarPara(TConfiguracoes& AConfig) const;
    void Avisar(TPaginaConfig* APagina, QWidget* AFoco, const QString& ATexto);

    IControle& FControle;
    TDependenciasConfig FDep;
    std::unique_ptr<IEscutaTeste> FEscuta;
    // The test voice's clock while it speaks.
    QTimer FTimerVoz;
    QString FUltimoAviso;
    std::function<void(const QString&)> FAvisar;

    QTabWidget* FAbas = nullptr;
    // Owned by the tab widget; in the order of the tabs.
    TPaginaMusicas* FMusicas = nullptr;
    TPaginaSom* FSom = nullptr;
    TPaginaVolumes* FVolumes = nullptr;
    TPaginaLocutor* FLocutor = nullptr;
    TPaginaMensagens* FMensagens = nullptr;
    TPaginaDatas* FDatas = nullptr;
    TPaginaNoticias* FNoticias = nullptr;
    TPaginaCelular* FCelular = nullptr;
    std::array<TPaginaConfig*, 8> FPaginas{};
};

}  // namespace ljsn
