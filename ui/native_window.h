#pragma once

// What Qt leaves out when it hands a window to the window system.

class QWidget;

namespace tarvidon {

/// Gives window's native window an empty name. For an empty title Qt names
/// an X window after the application; a window whose caption is meant to
/// be empty calls this once its native window exists and before it is
/// mapped (its showEvent). Elsewhere Qt keeps an empty title as it is, and
/// this does nothing.
void ClearNativeWindowName(QWidget *window);

/// Returns once the display server has carried out everything sent to it
/// so far (an X round trip), paints included. Unlike QGuiApplication::sync
/// it handles no events, so no user input can run in the middle of an
/// action.
void WaitForDisplayServer();

} // namespace tarvidon
