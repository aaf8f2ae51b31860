#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>

class QWidget;

namespace ljsn {

// The text font of the windows: the desktop's sans-serif (Noto Sans, else
// DejaVu Sans), AAltura pixels high (Qt scales pixels with the screen).
QFont FonteTexto(int AAltura, QFont::Weight APeso = QFont::Normal);
// The icon font (Material Icons, built in), AAltura pixels high.
QFont FonteIcones(int AAltura);
// The icon-font character standing for a glyph the programme names by its
// classic code point (music U+E8D6, jingle U+EA8F, advertisement U+E789,
// news U+E12A, play U+E768...); the same meaning, Material's code point.
QString Glifo(char32_t AGlifo);
// The icon font has no "unpin": such a glyph is drawn as the pin with a
// stroke across it.
bool GlifoRiscado(char32_t AGlifo);
// The program's icon.
QIcon IconePrograma();

// A window larger than the work area of its screen (the owner's when it is
// visible, else the one under the pointer) is shrunk into it and centred.
void AjustarJanelaNaTela(QWidget& AJanela, QWidget* ADono);
// The same for a given work area.
void AjustarJanelaNaArea(QWidget& AJanela, const QRect& AArea);

// Classic glyph code points the windows use.
inline constexpr char32_t kGlifoTocar = U'\uE768';
inline constexpr char32_t kGlifoPausar = U'\uE769';
inline constexpr char32_t kGlifoParar = U'\uE71A';
inline constexpr char32_t kGlifoProxima = U'\uE893';
inline constexpr char32_t kGlifoConfig = U'\uE713';
inline constexpr char32_t kGlifoChamadas = U'\uE789';
inline constexpr char32_t kGlifoVolume = U'\uE767';
inline constexpr char32_t kGlifoMicrofone = U'\uE720';

}  // namespace ljsn
