#include "look.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStyle>
#include <QPalette>
#include <QWidget>

#include <cstdlib>

namespace tarvidon {

QFont SansFont(int height, bool bold)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(bold);
    font.setPixelSize(std::abs(height));
    if (height > 0) {
        // Shrink until the whole cell fits the given height.
        while (font.pixelSize() > 1 && QFontMetrics(font).height() > height)
            font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}

namespace {

// "Terminal", else the first fixed-pitch stand-in the system has, else the
// one the program carries: a proportional font would break the hex rows'
// columns. Windows's font matching gives a proportional font for a missing
// family, whatever the style hint asks.
QFont FixedPitchFont()
{
    const QStringList families = {QStringLiteral("Terminal"),
                                  QFontDatabase::systemFont(QFontDatabase::FixedFont).family(),
                                  QStringLiteral("Courier New"), QStringLiteral("Lucida Console"),
                                  QStringLiteral("Fixedsys"), QStringLiteral("Courier")};
    for (const QString &family : families) {
        QFont font(family);
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
        if (QFontInfo(font).fixedPitch())
            return font;
    }
    static const int carried = QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/DejaVuSansMono.ttf"));
    return QFont(QFontDatabase::applicationFontFamilies(carried).value(0));
}

} // namespace

QFont TerminalFont(int pixelHeight, int columns, int rows, QSize area)
{
    QFont font = FixedPitchFont();
    font.setPixelSize(pixelHeight);
    font = FitToWidth(font, QString(columns, u'F'), area.width());
    while (font.pixelSize() > 1 && QFontMetrics(font).lineSpacing() * rows > area.height())
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

QFont FitToWidth(QFont font, const QString &text, int width)
{
    while (font.pixelSize() > 1 && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

void UseSystemColours(QWidget *widget)
{
    widget->setPalette(QApplication::style()->standardPalette());
}

void SetColours(QWidget *widget, const QColor &background, const QColor &text)
{
    QPalette palette = widget->palette();
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setColor(role, background);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, text);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace tarvidon
