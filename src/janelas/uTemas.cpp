#include "janelas/uTemas.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <cmath>

namespace ljsn {

namespace {

struct TTema {
    const char* Nome;
    QRgb Janela;     // window and button face
    QRgb Texto;      // window and button text
    QRgb Base;       // lists and text boxes
    QRgb Alternada;  // alternate rows
    QRgb Destaque;   // selection
    QRgb TextoDestaque;
    QRgb Cinza;   // grey text
    QRgb Sombra;  // button shadow
    QRgb Botao;   // buttons
};

// The program's six looks, by the names the settings store.
constexpr TTema kTemas[] = {
    {"Glow",
     0x262A33,
     0xE6E9EF,
     0x1D2027,
     0x23262E,
     0x3BA6DC,
     0xFFFFFF,
     0x8D96A7,
     0x3A404C,
     0x303541},
    {"Tablet Dark",
     0x1F1F1F,
     0xF2F2F2,
     0x141414,
     0x1B1B1B,
     0x3A96DD,
     0xFFFFFF,
     0x8C8C8C,
     0x3A3A3A,
     0x2C2C2C},
    {"Windows10",
     0xF0F0F0,
     0x000000,
     0xFFFFFF,
     0xF7F7F7,
     0x0078D7,
     0xFFFFFF,
     0x6D6D6D,
     0xA0A0A0,
     0xE1E1E1},
    {"Windows10 Blue",
     0xD5E5F6,
     0x0B2540,
     0xF4F8FD,
     0xE8F0FA,
     0x2A6FC9,
     0xFFFFFF,
     0x566F8C,
     0x9BB5D4,
     0xC2D7EE},
    {"Windows10 Dark",
     0x2B2B2B,
     0xF0F0F0,
     0x1E1E1E,
     0x262626,
     0x0078D7,
     0xFFFFFF,
     0x8A8A8A,
     0x4A4A4A,
     0x3A3A3A},
    {"Windows10 SlateGray",
     0x3E4650,
     0xECEFF2,
     0x30363E,
     0x363D46,
     0x5A8FBF,
     0xFFFFFF,
     0x9AA4B0,
     0x58626E,
     0x4A535E},
};

const TTema* ProcurarTema(const QString& ANome) {
    for (const auto& t : kTemas) {
        if (ANome.compare(QString::fromUtf8(t.Nome), Qt::CaseInsensitive) == 0) {
            return &t;
        }
    }
    return nullptr;
}

QPalette Montar(const TTema& T) {
    QPalette p;
    const auto cor = [](QRgb AC) { return QColor::fromRgb(AC); };
    for (const auto grupo : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(grupo, QPalette::Window, cor(T.Janela));
        p.setColor(grupo, QPalette::WindowText, cor(T.Texto));
        p.setColor(grupo, QPalette::Base, cor(T.Base));
        p.setColor(grupo, QPalette::AlternateBase, cor(T.Alternada));
        p.setColor(grupo, QPalette::Text, cor(T.Texto));
        p.setColor(grupo, QPalette::Button, cor(T.Botao));
        p.setColor(grupo, QPalette::ButtonText, cor(T.Texto));
        p.setColor(grupo, QPalette::Highlight, cor(T.Destaque));
        p.setColor(grupo, QPalette::HighlightedText, cor(T.TextoDestaque));
        p.setColor(grupo, QPalette::PlaceholderText, cor(T.Cinza));
        p.setColor(grupo, QPalette::Mid, cor(T.Sombra));
        p.setColor(grupo, QPalette::Dark, cor(T.Sombra).darker(120));
        p.setColor(grupo, QPalette::ToolTipBase, cor(T.Base));
        p.setColor(grupo, QPalette::ToolTipText, cor(T.Texto));
        p.setColor(grupo, QPalette::Link, cor(T.Destaque));
        p.setColor(grupo, QPalette::BrightText, QColor(Qt::white));
    }
    p.setColor(QPalette::Disabled, QPalette::WindowText, cor(T.Cinza));
    p.setColor(QPalette::Disabled, QPalette::Text, cor(T.Cinza));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, cor(T.Cinza));
    p.setColor(QPalette::Disabled, QPalette::Window, cor(T.Janela));
    p.setColor(QPalette::Disabled, QPalette::Base, cor(T.Janela));
    p.setColor(QPalette::Disabled, QPalette::Button, cor(T.Botao));
    return p;
}

double Canal(int AValor) {
    const double c = AValor / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

QStringList NomesTemas() {
    QStringList r{QString::fromUtf8(kTemaSistema)};
    for (const auto& t : kTemas) {
        r << QString::fromUtf8(t.Nome);
    }
    return r;
}

QPalette PaletaDoTema(const QString& ANome) {
    const TTema* t = ProcurarTema(ANome);
    return t != nullptr ? Montar(*t) : QApplication::palette();
}

bool AplicarTema(const QString& ANome) {
    static const QString estiloOriginal = QApplication::style()->name();
    static const QPalette paletaOriginal = QApplication::palette();
    const TTema* t = ProcurarTema(ANome);
    if (t == nullptr) {
        QApplication::setStyle(QStyleFactory::create(estiloOriginal));
        QApplication::setPalette(paletaOriginal);
        return false;
    }
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(Montar(*t));
    return true;
}

QColor CorTextoCinza(const QPalette& APaleta) {
    return APaleta.color(QPalette::Active, QPalette::PlaceholderText);
}

QColor CorSombraBotao(const QPalette& APaleta) {
    return APaleta.color(QPalette::Active, QPalette::Mid);
}

double Luminancia(const QColor& ACor) {
    return 0.2126 * Canal(ACor.red()) + 0.7152 * Canal(ACor.green()) + 0.0722 * Canal(ACor.blue());
}

double Contraste(const QColor& A, const QColor& B) {
    const double la = Luminancia(A);
    const double lb = Luminancia(B);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor CorLegivel(const QColor& ACor, const QColor& AFundo) {
    const QColor alvo = Luminancia(AFundo) < 0.3 ? QColor(Qt::white) : QColor(Qt::black);
    QColor c = ACor;
    for (int i = 0; i <= 10; ++i) {
        const auto mistura = [&](int AOrigem, int ADestino) {
            return static_cast<int>(std::lround(AOrigem + (ADestino - AOrigem) * i / 10.0));
        };
        c = QColor(mistura(ACor.red(), alvo.red()),
                   mistura(ACor.green(), alvo.green()),
                   mistura(ACor.blue(), alvo.blue()));
        if (Contraste(c, AFundo) >= 3) {
            return c;
        }
    }
    return c;
}

}  // namespace ljsn
