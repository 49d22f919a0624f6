#include "placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace tarvidon {

namespace {

// Nearest start for a span of length along [first, first + room).
int PlaceAlong(int start, int length, int first, int room)
{
    if (length > room)
        return first;
    return std::clamp(start, first, first + room - length);
}

const QScreen *ScreenOf(const QWidget *window)
{
    return window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen();
}

QSize OuterSize(const QWidget *window)
{
    if (window->testAttribute(Qt::WA_WState_Created))
        return window->frameGeometry().size();
    return window->geometry().marginsAdded(kTypicalFrame).size();
}

} // namespace

QPoint PlaceInside(const QRect &frame, const QRect &area)
{
    return {PlaceAlong(frame.left(), frame.width(), area.left(), area.width()),
            PlaceAlong(frame.top(), frame.height(), area.top(), area.height())};
}

void PlaceOnScreen(QWidget *window, QPoint topLeft)
{
    const QScreen *screen = ScreenOf(window);
    if (screen == nullptr) {
        window->move(topLeft);
        return;
    }
    window->move(PlaceInside(QRect(topLeft, OuterSize(window)), screen->availableGeometry()));
}

void CentreOnScreen(QWidget *window)
{
    const QScreen *screen = ScreenOf(window);
    if (screen == nullptr)
        return;
    // Centred as the window system reports the frame today, so that big
    // screens see the window exactly where they always did.
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    PlaceOnScreen(window, frame.topLeft());
}

} // namespace tarvidon
