// Renders the PNG icons that the phone page and its manifest point at, from
// the two SVG drawings:
//   ljsn-icones SAIDA_DIR ICONE.svg MASKABLE.svg
// Writes icone-192.png and icone-512.png (transparent corners),
// icone-maskable-512.png (opaque, full bleed) and apple-touch-icon.png (opaque:
// iOS fills transparent pixels with black, so the rounded square sits on the
// design's own blue instead).
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>

namespace {

// The bottom colour of the icon's gradient, so that the opaque variants have
// no visible seam where the rounded square ends.
const QColor kAzulFundo(0x0b, 0x5b, 0xd3);

QImage Desenhar(QSvgRenderer& ASvg, int ALado, const QColor& AFundo) {
    QImage imagem(ALado, ALado, QImage::Format_ARGB32_Premultiplied);
    imagem.fill(AFundo);
    QPainter pintor(&imagem);
    pintor.setRenderHint(QPainter::Antialiasing);
    pintor.setRenderHint(QPainter::SmoothPixmapTransform);
    ASvg.render(&pintor, QRectF(0, 0, ALado, ALado));
    pintor.end();
    return imagem;
}

bool Gravar(const QImage& AImagem, bool AOpaca, const QDir& APasta, const char* ANome) {
    // Opaque icons are written without an alpha channel at all: some launchers
    // treat any alpha channel as "may be transparent".
    const QImage final = AOpaca ? AImagem.convertToFormat(QImage::Format_RGB888)
                                : AImagem.convertToFormat(QImage::Format_ARGB32);
    const QString caminho = APasta.filePath(QString::fromUtf8(ANome));
    QImageWriter escritor(caminho, "png");
    escritor.setQuality(0);  // for PNG this only means "compress harder"
    if (!escritor.write(final)) {
        std::fprintf(stderr,
                     "ljsn-icones: nao foi possivel gravar %s: %s\n",
                     caminho.toLocal8Bit().constData(),
                     escritor.errorString().toLocal8Bit().constData());
        return false;
    }
    return true;
}

bool Carregar(QSvgRenderer& ASvg, const char* AArquivo) {
    if (!ASvg.load(QString::fromLocal8Bit(AArquivo)) || !ASvg.isValid()) {
        std::fprintf(stderr, "ljsn-icones: SVG invalido: %s\n", AArquivo);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "uso: ljsn-icones SAIDA_DIR ICONE.svg MASKABLE.svg\n");
        return 2;
    }
    // Runs inside builds without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);

    QDir pasta(QString::fromLocal8Bit(argv[1]));
    if (!pasta.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "ljsn-icones: nao foi possivel criar %s\n", argv[1]);
        return 1;
    }
    QSvgRenderer icone;
    QSvgRenderer maskable;
    if (!Carregar(icone, argv[2]) || !Carregar(maskable, argv[3])) {
        return 1;
    }

    bool ok = Gravar(Desenhar(icone, 192, Qt::transparent), false, pasta, "icone-192.png");
    ok = Gravar(Desenhar(icone, 512, Qt::transparent), false, pasta, "icone-512.png") && ok;
    ok = Gravar(Desenhar(maskable, 512, kAzulFundo), true, pasta, "icone-maskable-512.png") && ok;
    ok = Gravar(Desenhar(icone, 180, kAzulFundo), true, pasta, "apple-touch-icon.png") && ok;
    return ok ? 0 : 1;
}
