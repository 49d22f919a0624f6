#include "native_window.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <chrono>

#ifdef TARVIDON_X11
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace tarvidon {

#ifdef TARVIDON_X11

namespace {

xcb_connection_t *X11Connection()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t InternAtom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie
        = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

} // namespace

void ClearNativeWindowName(QWidget *window)
{
    xcb_connection_t *connection = X11Connection();
    if (connection == nullptr || window->windowHandle() == nullptr)
        return; // not on X, or no native window yet
    const auto id = static_cast<xcb_window_t>(window->windowHandle()->winId());
    const xcb_atom_t netWmName = InternAtom(connection, "_NET_WM_NAME");
    const xcb_atom_t utf8String = InternAtom(connection, "UTF8_STRING");
    if (netWmName == XCB_ATOM_NONE || utf8String == XCB_ATOM_NONE)
        return;
    // Window managers read _NET_WM_NAME first, then WM_NAME: both empty.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, netWmName, utf8String, 8, 0, nullptr);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connection);
}

void AskForBorderOnly(QWidget *window)
{
    xcb_connection_t *connection = X11Connection();
    if (connection == nullptr || window->windowHandle() == nullptr)
        return;
    const xcb_atom_t motifHints = InternAtom(connection, "_MOTIF_WM_HINTS");
    if (motifHints == XCB_ATOM_NONE)
        return;
    // The Motif hints: which fields count, functions, decorations, input
    // mode, status.
    constexpr std::uint32_t kFunctionsAndDecorations = 0x1 | 0x2;
    constexpr std::uint32_t kMoveOnly = 0x4;
    constexpr std::uint32_t kBorderOnly = 0x2;
    const std::uint32_t hints[5] = {kFunctionsAndDecorations, kMoveOnly, kBorderOnly, 0, 0};
    const auto id = static_cast<xcb_window_t>(window->windowHandle()->winId());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, motifHints, motifHints, 32, 5, hints);
    xcb_flush(connection);
}

void WaitForDisplayServer()
{
    if (xcb_connection_t *connection = X11Connection())
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

#elif defined(_WIN32)

void ClearNativeWindowName(QWidget *window)
{
    // For an empty title Qt gives a Windows window the application's name.
    SetWindowTextW(reinterpret_cast<HWND>(window->winId()), L"");
}

void AskForBorderOnly(QWidget *)
{
}

void WaitForDisplayServer()
{
}

#else

void ClearNativeWindowName(QWidget *)
{
}

void AskForBorderOnly(QWidget *)
{
}

void WaitForDisplayServer()
{
}

#endif

void PaintOnScreenNow(QWidget *window)
{
    const QDeadlineTimer deadline(std::chrono::seconds(2));
    QTimer tick; // ends each wait below even when no event comes
    tick.start(std::chrono::milliseconds(10));
    while (window->windowHandle() != nullptr && !window->windowHandle()->isExposed() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    window->repaint();
    WaitForDisplayServer();
}

} // namespace tarvidon
