#include "app/SignalWatch.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
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
    // The terminal closed or the session ended: handled as the others. Started with hang-ups
    // ignored (nohup), the program goes on running as asked.
    struct sigaction hangUp {};
    sigaction(SIGHUP, nullptr, &hangUp);
    if (hangUp.sa_handler != SIG_IGN) sigaction(SIGHUP, &action, nullptr);
}

}  // namespace

SignalWatch::SignalWatch(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe2 failed");
    writeEnd = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { signalled(); });
    install(::onSignal);
}

SignalWatch::~SignalWatch() {
    install(SIG_DFL);
    writeEnd = -1;
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void SignalWatch::signalled() {
    char bytes[16];
    int last = 0;
    for (ssize_t n; (n = ::read(pipe_[0], bytes, sizeof bytes)) > 0;) last = bytes[n - 1];
    if (last != 0 && onSignal_) onSignal_(last);
}
