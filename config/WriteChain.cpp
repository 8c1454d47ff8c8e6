#include "config/WriteChain.h"

#include <exception>

#include "link/RSLib.h"

WriteChain::WriteChain(TRS232Service& service, platform::Clock& clock)
    : service_(service),
      // No step of a chain waits longer for the box than the service's reply time-out.
      watchdog_(TRS232Service::ReplyTimeoutMs, clock) {
    watchdog_.OnTimer = [this] { watchdogTimer(); };
}

WriteChain::~WriteChain() {
    if (running_) unbindSteps();
}

bool WriteChain::start(std::function<void()> firstStep) {
    then(std::move(firstStep));
    service_.OnTimeout = [this] { fail(); };
    // A refused or unreadable acknowledgement stops the service's exchange with its time-out off,
    // and a line error would otherwise reach the main window, which closes the port under the
    // chain: either way the chain ends here.
    service_.OnLinkError = [this](std::int32_t) { fail(); };
    if (service_.Comm().Active() && !holdPort) service_.Close();
    try {
        // Open on a held port only ends what was under way on it; purged, it is as new.
        service_.Purge();
        service_.Open();
    } catch (const std::exception&) {
        unbindSteps();
        return false;
    }
    running_ = true;
    restartWatchdog();
    return true;
}

void WriteChain::then(std::function<void()> step) {
    service_.OnAcknowledge = [this, step = std::move(step)](bool) {
        restartWatchdog();
        step();
    };
}

void WriteChain::finish() {
    service_.Comm().OnTxEmpty = [this] { sent(); };
    restartWatchdog();
    service_.EndConfiguration();
}

void WriteChain::abandon() {
    running_ = false;
    watchdog_.SetEnabled(false);
    unbindSteps();
    closeLinkQuietly();
}

void WriteChain::fail() {
    if (!running_) return;
    running_ = false;
    watchdog_.SetEnabled(false);
    unbindSteps();
    closeLinkQuietly();
    if (onFailed) onFailed();
}

void WriteChain::sent() {
    unbindSteps();
    running_ = false;
    watchdog_.SetEnabled(false);
    closeLinkQuietly();
    if (onSent) onSent();
}

void WriteChain::restartWatchdog() {
    watchdog_.SetEnabled(false);
    watchdog_.SetEnabled(true);
}

void WriteChain::watchdogTimer() {
    watchdog_.SetEnabled(false);
    if (!running_) return;
    // The box is still awaited: the service's own time-out ends the chain if it stays silent.
    if (service_.PortOpen() && service_.TimeoutRunning()) {
        watchdog_.SetEnabled(true);
        return;
    }
    fail();
}

void WriteChain::unbindSteps() {
    service_.Comm().OnTxEmpty = nullptr;
    service_.OnAcknowledge = nullptr;
    service_.OnTimeout = nullptr;
    service_.OnLinkError = nullptr;
}

void WriteChain::closeLinkQuietly() {
    if (holdPort) return;
    try {
        if (service_.Comm().Active()) service_.Close();
    } catch (const std::exception&) {
        // The port is being let go; there is nothing left to tell the operator about it.
    }
}
