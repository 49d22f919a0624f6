#pragma once

// What Qt leaves out when it hands a window to the window system.

class QWidget;

namespace tarvidon {

/// Gives window's native window an empty name. For an empty title Qt names
/// an X window or a Windows window after the application; a window whose
/// caption is meant to be empty calls this once its native window exists
/// and before it is mapped (its showEvent).
void ClearNativeWindowName(QWidget *window);

/// Asks the X window manager to frame window's native window with a border
/// only and to let the user do nothing with it but move it. Qt has no
/// flags for that: for a window without title-bar buttons it still leaves
/// the buttons to the window manager, and some window managers (openbox)
/// draw minimise and close on every title bar, whatever a window asks for.
/// Like ClearNativeWindowName, called in the window's showEvent; elsewhere
/// than on X it does nothing.
void AskForBorderOnly(QWidget *window);

/// Paints window, which has just been shown, and returns once the picture
/// is on the screen: for a window shown before work that holds the event
/// loop. Waits for the window system to expose it (a paint before that is
/// lost; two seconds at most, so that a window system that never does
/// cannot hang the program), handling no user input meanwhile.
void PaintOnScreenNow(QWidget *window);

/// Returns once the display server has carried out everything sent to it
/// so far (an X round trip), paints included. Unlike QGuiApplication::sync
/// it handles no events, so no user input can run in the middle of an
/// action.
void WaitForDisplayServer();

} // namespace tarvidon
