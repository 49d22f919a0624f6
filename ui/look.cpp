#include "look.h"

#include "code_page.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPalette>
#include <QRawFont>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

namespace tarvidon {

namespace {

// The faces tried where the windows ask for "MS Sans Serif", in order:
// - the face itself, where it holds Cyrillic and is drawn at its own size;
// - its TrueType successor, on every Windows since 2000, with the same
//   proportions and with Cyrillic;
// - the sans faces of later Windows, should that one be missing;
// - DejaVu Sans, which Linux desktops have and the program carries for
//   every other system.
// Tahoma is left out: every Windows that has it has Microsoft Sans Serif,
// and Wine's own Tahoma loses strokes at these sizes.
const QString kCarriedSans = QStringLiteral("DejaVu Sans");
const QStringList kSansFaces = {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                                QStringLiteral("Segoe UI"), QStringLiteral("Arial"), kCarriedSans};

// Any name may hold any of these, and the captions are Windows-1251 text
// too. Characters that show no glyph are left out, and so is U+FFFD, which
// stands only for the byte the code page leaves undefined.
const QString &NameCharacters()
{
    static const QString characters = [] {
        QString text;
        for (int byte = 0; byte < 256; ++byte) {
            const QChar c(Cp1251ToUnicode(static_cast<unsigned char>(byte)));
            if (c.isPrint() && !c.isSpace() && c != QChar::ReplacementCharacter)
                text += c;
        }
        return text;
    }();
    return characters;
}

// Whether font's own face draws every name at font's size: not a stand-in
// that the system's font matching picked, not one that leaves characters
// to others (Qt then draws them in some other face, letter by letter), and
// a bitmap face only at a size it was drawn in, shown pixel for pixel.
bool DrawsEveryName(const QFont &font)
{
    const QString &text = NameCharacters();
    const QFontInfo info(font);
    if (info.family().compare(font.family(), Qt::CaseInsensitive) != 0)
        return false;
    if (!QFontDatabase::isSmoothlyScalable(font.family())
        && (info.pixelSize() != font.pixelSize() || qApp->devicePixelRatio() != 1.0))
        return false;
    const QRawFont face = QRawFont::fromFont(font);
    return face.isValid()
        && std::all_of(text.begin(), text.end(), [&](QChar c) { return face.supportsCharacter(c); });
}

void LoadCarriedSans()
{
    static const bool loaded = [] {
        for (const char *file : {":/fonts/DejaVuSans.ttf", ":/fonts/DejaVuSans-Bold.ttf"})
            QFontDatabase::addApplicationFont(QString::fromLatin1(file));
        return true;
    }();
    (void)loaded;
}

QFont SansFace(int pixelSize, bool bold)
{
    const auto face = [&](const QString &family) {
        QFont font(family);
        font.setStyleHint(QFont::SansSerif);
        font.setBold(bold);
        font.setPixelSize(pixelSize);
        return font;
    };
    for (const QString &family : kSansFaces) {
        if (family == kCarriedSans)
            LoadCarriedSans(); // only where no face before it will do
        if (const QFont font = face(family); DrawsEveryName(font))
            return font;
    }
    return face(kCarriedSans); // it has them all
}

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

QFont FitToWidth(QFont font, const QString &text, int width)
{
    while (font.pixelSize() > 1 && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

} // namespace

QFont SansFont(int height, bool bold)
{
    QFont font = SansFace(std::abs(height), bold);
    if (height > 0) {
        // Shrink until the whole cell fits the given height.
        while (font.pixelSize() > 1 && QFontMetrics(font).height() > height)
            font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}

QFont TerminalFont(int pixelHeight, int columns, int rows, QSize area)
{
    QFont font = FixedPitchFont();
    font.setPixelSize(pixelHeight);
    font = FitToWidth(font, QString(columns, u'F'), area.width());
    while (font.pixelSize() > 1 && QFontMetrics(font).lineSpacing() * rows > area.height())
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

void FitCaption(QWidget *control)
{
    constexpr int kSpare = 2; // a pixel on each side
    QFont font = control->font();
    while (font.pixelSize() > 1
           && (control->sizeHint().width() + kSpare > control->width()
               || QFontMetrics(font).height() > control->contentsRect().height())) {
        font.setPixelSize(font.pixelSize() - 1);
        control->setFont(font);
    }
}

void UseSystemColours(QWidget *widget)
{
    // Every role set, so that none is taken from the parent's colours.
    const QPalette standard = QApplication::style()->standardPalette();
    QPalette palette;
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto colorRole = static_cast<QPalette::ColorRole>(role);
            palette.setBrush(group, colorRole, standard.brush(group, colorRole));
        }
    }
    widget->setPalette(palette);
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
