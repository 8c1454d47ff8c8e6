#include "platform/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace platform {

QSize roomOnScreen(const QWidget& window) {
    // A dialog not shown yet will open over the window it belongs to.
    const QWidget& where =
        window.isVisible() || !window.parentWidget() ? window : *window.parentWidget()->window();
    const QScreen* screen = where.screen() ? where.screen() : QGuiApplication::primaryScreen();
    if (!screen) return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    QSize frame = window.frameGeometry().size() - window.size();
    if (frame.isEmpty()) frame = assumedFrame;
    return (screen->availableGeometry().size() - frame).expandedTo(QSize(0, 0));
}

void resizeWithinScreen(QWidget& window, QSize wanted) {
    window.resize(wanted.boundedTo(roomOnScreen(window)).expandedTo(window.minimumSizeHint()));
}

void moveWithinScreen(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect free = screen->availableGeometry();
    QSize frame = window.frameGeometry().size() - window.size();
    if (frame.isEmpty()) frame = assumedFrame;
    const QSize outer = window.size() + frame;
    const QPoint at = window.pos();
    const int x = std::max(free.left(), std::min(at.x(), free.left() + free.width() - outer.width()));
    const int y = std::max(free.top(), std::min(at.y(), free.top() + free.height() - outer.height()));
    if (x != at.x() || y != at.y()) window.move(x, y);
}

}  // namespace platform
