#include "janelas/uAparencia.h"

#include <QCursor>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>
#include <algorithm>

namespace ljsn {

namespace {

QString FamiliaIcones() {
    static const QString familia = [] {
        const int id =
            QFontDatabase::addApplicationFont(QStringLiteral(":/ljsn/MaterialIcons.ttf"));
        const QStringList familias =
            id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
        return familias.isEmpty() ? QStringLiteral("Material Icons") : familias.front();
    }();
    return familia;
}

}  // namespace

QFont FonteTexto(int AAltura, QFont::Weight APeso) {
    QFont f;
    f.setFamilies(
        {QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    f.setPixelSize(AAltura);
    f.setWeight(APeso);
    return f;
}

QFont FonteIcones(int AAltura) {
    QFont f(FamiliaIcones());
    f.setPixelSize(AAltura);
    f.setStyleStrategy(QFont::NoFontMerging);
    return f;
}

QString Glifo(char32_t AGlifo) {
    struct TPar {
        char32_t Classico;
        char32_t Material;
    };
    // Same meaning, Material Icons' code point.
    static constexpr TPar kMapa[] = {
        {U'\uE8D6', U'\uE405'},  // music note
        {U'\uEA8F', U'\uE030'},  // jingle: a short piece of music
        {U'\uE789', U'\uEF49'},  // advertisement, quick calls: megaphone
        {U'\uE12A', U'\uEF42'},  // news: article
        {U'\uE768', U'\uE037'},  // play
        {U'\uE769', U'\uE034'},  // pause
        {U'\uE71A', U'\uE047'},  // stop
        {U'\uE893', U'\uE044'},  // next
        {U'\uE713', U'\uE8B8'},  // settings
        {U'\uE767', U'\uE050'},  // volume
        {U'\uE720', U'\uE029'},  // microphone
        {U'\uE718', U'\uF10D'},  // pin
        {U'\uE77A', U'\uF10D'},  // unpin: the pin, struck through where drawn (GlifoRiscado)
        {U'\uE8A7', U'\uE89E'},  // open in a new window
        {U'\uE8BB', U'\uE5CD'},  // close
    };
    char32_t c = AGlifo;
    for (const auto& p : kMapa) {
        if (p.Classico == AGlifo) {
            c = p.Material;
            break;
        }
    }
    return QString::fromUcs4(&c, 1);
}

bool GlifoRiscado(char32_t AGlifo) {
    return AGlifo == U'\uE77A';
}

QIcon IconePrograma() {
    static const QIcon icone(QStringLiteral(":/ljsn/icone.svg"));
    return icone;
}

// A window larger than the work area of its screen (the owner's when it is
// visible, else the one under the pointer) is shrunk into it and centred.
void AjustarJanelaNaTela(QWidget& AJanela, QWidget* ADono) {
    QScreen* tela = nullptr;
    if (ADono != nullptr && ADono->isVisible()) {
        tela = ADono->screen();
    } else {
        tela = QGuiApplication::screenAt(QCursor::pos());
    }
    if (tela == nullptr) {
        tela = QGuiApplication::primaryScreen();
    }
    AjustarJanelaNaArea(AJanela, tela->availableGeometry());
}

void AjustarJanelaNaArea(QWidget& AJanela, const QRect& AArea) {
    const QRect& area = AArea;
    // Before the window manager framed it, a usual frame (borders and a
    // title bar) is assumed.
    QSize moldura = AJanela.frameGeometry().size() - AJanela.size();
    if (moldura.isEmpty()) {
        moldura = moldura.expandedTo(QSize(8, 40));
    }
    const int largura = AJanela.width() + moldura.width();
    const int altura = AJanela.height() + moldura.height();
    if (largura <= area.width() && altura <= area.height()) {
        return;
    }
    const int w = std::min(largura, area.width()) - moldura.width();
    const int h = std::min(altura, area.height()) - moldura.height();
    AJanela.setMinimumSize(std::min(AJanela.minimumWidth(), w),
                           std::min(AJanela.minimumHeight(), h));
    AJanela.resize(w, h);
    AJanela.move(area.x() + (area.width() - w - moldura.width()) / 2,
                 area.y() + (area.height() - h - moldura.height()) / 2);
}

}  // namespace ljsn
