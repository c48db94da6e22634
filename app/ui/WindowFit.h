// A new window whole on its screen, title bar to status line. The content is
// sized to the screen's free area before the window is shown, but the window
// manager's frame (title bar, borders) comes on top of it and is only known
// once the window is mapped; and the window manager may then place the
// window where its bottom leaves the screen. So the frame is fitted after
// the first map, and again each time the window manager moves or resizes the
// window while it settles. A window the user moves later is left alone.
#pragma once

#include <QRect>
#include <chrono>

class QWidget;

namespace quillet::WindowFit {

// How long after it is shown the window is still being placed.
inline constexpr std::chrono::milliseconds settleTime{2000};

// `frame` moved, and where it is larger shrunk, to lie within `available`
// (never below `minimumFrame`); unchanged when it fits already.
QRect fittedFrame(const QRect& frame, const QRect& available, const QSize& minimumFrame);

// The room for `window`'s content within `available`: less the frame of the
// windows framed so far in this run or, before the first, the frame the
// platform gives the window ahead of its map where it knows it (not under
// most X window managers), so that a window sized to it before it is shown
// needs no fitting after (and its pages no second layout and render).
QSize contentRoom(const QRect& available, QWidget& window);

// Keeps `window` (a top-level widget, before it is shown) whole on its screen
// while it settles. Nothing where windows cannot place themselves (Wayland).
void keepOnScreen(QWidget& window);

}  // namespace quillet::WindowFit
