#pragma once

// Where the windows go on the screen: each has a fixed place, kept wherever
// the screen can hold the window there.

#include <QMargins>
#include <QPoint>
#include <QRect>

class QWidget;

namespace tarvidon {

/// A typical border and title bar around a window's client area: what a
/// window is taken to need until the window system has framed it.
inline constexpr QMargins kTypicalFrame(4, 26, 4, 4);

/// The top-left corner for a window whose frame would cover frame: frame's
/// own where it lies wholly inside area, else moved the least distance that
/// puts it inside; along a side longer than the area's, the area's edge.
[[nodiscard]] QPoint PlaceInside(const QRect &frame, const QRect &area);

/// Moves window's frame to topLeft, or as near as its screen's available
/// area allows.
void PlaceOnScreen(QWidget *window, QPoint topLeft);

/// Moves window to the centre of its screen's available area, or as near as
/// that area allows.
void CentreOnScreen(QWidget *window);

} // namespace tarvidon
