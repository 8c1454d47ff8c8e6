#pragma once

#include <QSize>

class QWidget;

namespace platform {

// What a window manager adds around a window (title bar and borders) while the window has not
// been shown yet and its own frame is not known: as much as common desktops draw.
inline constexpr QSize assumedFrame{8, 32};

// The largest size the window may take so that it lies, with its frame, within the free area of
// its screen (the screen less task bars and panels; for a dialog not shown yet, the screen of
// the window it belongs to): a panel PC at the machine may have no more than 800 × 480 pixels.
QSize roomOnScreen(const QWidget& window);

// The window at `wanted`, or as much of it as the room on its screen allows.
void resizeWithinScreen(QWidget& window, QSize wanted);

// Moves the window, with its frame, into the free area of its screen as far as its size allows.
// Qt places a dialog over its window by a frame it guesses; the first time, before the dialog has
// its size, it may put the buttons below the edge of a small screen.
void moveWithinScreen(QWidget& window);

}  // namespace platform
