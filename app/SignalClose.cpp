#include "app/SignalClose.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

SignalClose::SignalClose(QWidget& window) : window_(window), watch_([this](int) { signalled(); }) {}

void SignalClose::signalled() {
    // A modal dialog or message box runs its own loop: close them all first, and the window
    // once those loops have returned.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (modal == &window_) break;
        modal->close();
        if (modal->isVisible()) modal->hide();
    }
    QTimer::singleShot(0, &window_, [this] {
        if (window_.close()) QCoreApplication::quit();
    });
}
