#pragma once

// Fonts and colours shared by the four windows.

#include <QColor>
#include <QFont>
#include <QSize>

class QWidget;

namespace tarvidon {

inline const QColor kBlack(0x00, 0x00, 0x00);
inline const QColor kLime(0x00, 0xFF, 0x00);
inline const QColor kYellow(0xFF, 0xFF, 0x00);
inline const QColor kAqua(0x00, 0xFF, 0xFF);
inline const QColor kFuchsia(0xFF, 0x00, 0xFF);
inline const QColor kGreen(0x00, 0x80, 0x00);

/// "MS Sans Serif", or the system's sans font where it is missing. A
/// negative height is the character height in pixels; a positive one the
/// whole cell, internal leading included.
[[nodiscard]] QFont SansFont(int height, bool bold = false);

/// A monospaced font of character height pixelHeight ("Terminal" where it
/// exists), made smaller if needed so that rows lines of columns characters
/// fit in area.
[[nodiscard]] QFont TerminalFont(int pixelHeight, int columns, int rows, QSize area);

/// font, made smaller where needed so that text fits in width pixels:
/// stand-in fonts are often wider than the ones the windows were drawn for.
[[nodiscard]] QFont FitToWidth(QFont font, const QString &text, int width);

/// The system's button face and text colours, as the style draws them.
void UseSystemColours(QWidget *widget);

/// Sets the background and text colours of widget (and its children).
void SetColours(QWidget *widget, const QColor &background, const QColor &text);

} // namespace tarvidon
