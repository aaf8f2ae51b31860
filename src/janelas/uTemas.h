#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <QStringList>

namespace ljsn {

inline constexpr const char* kTemaPadrao = "Windows10 Dark";
inline constexpr const char* kTemaSistema = "Sistema";

// The fixed colours of the windows.
inline const QColor kAzul{0x00, 0x78, 0xD7};      // music
inline const QColor kCarmesim{0xDC, 0x14, 0x3C};  // advertisement and jingle
inline const QColor kAmbar{0xFF, 0xB4, 0x00};     // news, the announcer speaking
inline const QColor kCinza{0xA0, 0xA0, 0xA0};     // paused

// The theme names offered: the system look first, then the program's six.
QStringList NomesTemas();
// Applies a named theme to the whole application (Fusion with its palette);
// an unknown name, or the system look, gives the platform's own look.
// Returns whether the name was one of the program's themes.
bool AplicarTema(const QString& ANome);
// The palette of a named theme (the current application palette for the
// system look or an unknown name).
QPalette PaletaDoTema(const QString& ANome);

// The theme's "grey text" and "button shadow" colours.
QColor CorTextoCinza(const QPalette& APaleta);
QColor CorSombraBotao(const QPalette& APaleta);

// WCAG 2.0 relative luminance and contrast ratio.
double Luminancia(const QColor& ACor);
double Contraste(const QColor& A, const QColor& B);
// The colour moved towards white on a dark background, towards black on a
// light one, by tenths, until its contrast against the background is at
// least 3.
QColor CorLegivel(const QColor& ACor, const QColor& AFundo);

}  // namespace ljsn
