#include "platform/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

}  // namespace platform
