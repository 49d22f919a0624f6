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

/// The face of every caption, name and field of the windows: "MS Sans
/// Serif", which they were drawn for, or the first of a few sans faces
/// after it, ending with one the program carries (see look.cpp). A negative
/// height is the character height in pixels; a positive one the whole cell,
/// internal leading included.
[[nodiscard]] QFont SansFont(int height, bool bold = false);

/// A monospaced font of character height pixelHeight ("Terminal" where it
/// exists), made smaller if needed so that rows lines of columns characters
/// fit in area.
[[nodiscard]] QFont TerminalFont(int pixelHeight, int columns, int rows, QSize area);

/// Makes control's font smaller, a pixel at a time, until its caption fits
/// inside it as its style lays it out, with a pixel to spare on each side:
/// stand-in faces are often wider than the one the windows were drawn for.
void FitCaption(QWidget *control);

/// The style's own colours for widget: the button face and button text,
/// none of them taken from the window around it.
void UseSystemColours(QWidget *widget);

/// Sets the background and text colours of widget (and its children).
void SetColours(QWidget *widget, const QColor &background, const QColor &text);

} // namespace tarvidon
