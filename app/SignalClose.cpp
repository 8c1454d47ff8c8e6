#include "app/SignalClose.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <csignal>
#include <stdexcept>

namespace {

int writeEnd = -1;

extern "C" void onSignal(int signalNumber) {
    const int saved = errno;
    const char byte = static_cast<char>(signalNumber);
    if (writeEnd >= 0) [[maybe_unused]]
        auto n = ::write(writeEnd, &byte, 1);
    errno = saved;
}

void install(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // The terminal closed or the session ended: the program ends the same way, so the run's port
    // and mode are kept. Started with hang-ups ignored (nohup), it goes on running as asked.
    struct sigaction hangUp {};
    sigaction(SIGHUP, nullptr, &hangUp);
    if (hangUp.sa_handler != SIG_IGN) sigaction(SIGHUP, &action, nullptr);
}

}  // namespace

SignalClose::SignalClose(QWidget& window) : window_(window) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    writeEnd = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { signalled(); });
    install(onSignal);
}

SignalClose::~SignalClose() {
    install(SIG_DFL);
    writeEnd = -1;
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void SignalClose::signalled() {
    char bytes[16];
    while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
    }
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
