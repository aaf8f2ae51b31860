#include "janelas/uTermosJanela.h"

#include <QDialogButtonBox>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

#include "ambiente/uLog.h"
#include "ambiente/uTermos.h"
#include "comum/uRelogio.h"
#include "janelas/uAparencia.h"

namespace ljsn {

namespace {

QString Html(const QString& AData) {
    QString corpo;
    for (const QString& p : QString::fromStdString(TextoTermos()).split(QStringLiteral("\n\n"))) {
        corpo += QStringLiteral("<p>") + p.toHtmlEscaped() + QStringLiteral("</p>");
    }
    QString r = QStringLiteral("<h2>") + QString::fromStdString(TituloTermos()).toHtmlEscaped() +
                QStringLiteral("</h2>") + corpo;
    if (!AData.isEmpty()) {
        r += QStringLiteral("<p><i>Versão %1 dos termos, aceita em %2.</i></p>")
                 .arg(QString::fromUtf8(kVersaoTermos), AData.toHtmlEscaped());
    }
    return r;
}

}  // namespace

bool GravarPdfTermos(const QString& ACaminho, const QString& AData) {
    QPdfWriter pdf(ACaminho);
    pdf.setTitle(QString::fromStdString(TituloTermos()));
    pdf.setCreator(QStringLiteral("Loja Sonorante"));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(300);
    QTextDocument doc;
    doc.setDefaultFont(FonteTexto(13));
    doc.setHtml(Html(AData));
    doc.setPageSize(QSizeF(pdf.width(), pdf.height()));
    QPainter pintor;
    if (!pintor.begin(&pdf)) {
        return false;
    }
    // The document is laid out in the writer's device pixels.
    const double escala = pdf.logicalDpiX() / 96.0;
    doc.setPageSize(QSizeF(pdf.width() / escala, pdf.height() / escala));
    pintor.scale(escala, escala);
    doc.drawContents(&pintor);
    return pintor.end();
}

TfrmTermos::TfrmTermos(QWidget* ADono) : QDialog(ADono) {
    setWindowTitle(QString::fromStdString(TituloTermos()));
    setFont(FonteTexto(13));
    resize(640, 520);
    auto* layout = new QVBoxLayout(this);
    auto* texto = new QTextBrowser(this);
    texto->setHtml(Html(QString()));
    layout->addWidget(texto);
    auto* botoes = new QDialogButtonBox(this);
    botoes->addButton(QStringLiteral("Aceito"), QDialogButtonBox::AcceptRole);
    botoes->addButton(QStringLiteral("Não aceito"), QDialogButtonBox::RejectRole);
    connect(botoes, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(botoes, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(botoes);
}

bool TfrmTermos::Aceitar() {
    TRelogioSistema relogio;
    const double agora = relogio.Agora();
    if (!RegistrarAceiteTermos(agora)) {
        GravarLog("ERRO", "nao foi possivel registrar o aceite dos termos de uso");
    }
    const TDataHora d = DecodificarDataHora(agora);
    const QString data =
        QString::asprintf("%.2d/%.2d/%d %.2d:%.2d", d.Dia, d.Mes, d.Ano, d.Hora, d.Minuto);
    if (!GravarPdfTermos(QString::fromStdString(CaminhoPdfTermos()), data)) {
        GravarLog("ERRO", "nao foi possivel gravar a copia em PDF dos termos de uso");
    }
    return true;
}

bool TfrmTermos::Confirmar() {
    if (TermosAceitos()) {
        return true;
    }
    TfrmTermos janela;
    if (janela.exec() != QDialog::Accepted) {
        return false;
    }
    return Aceitar();
}

}  // namespace ljsn
