#include "platform/Timer.h"

#include <stdexcept>

namespace platform {

namespace {
Clock* g_defaultClock = nullptr;
}

Clock& defaultClock() {
    if (!g_defaultClock) throw std::logic_error("no default clock set");
    return *g_defaultClock;
}

void setDefaultClock(Clock* clock) { g_defaultClock = clock; }

Timer::Timer(int intervalMs, Clock& clock)
    : slot_(clock.makeSlot([this] { fire(); })), interval_(intervalMs) {}

Timer::~Timer() { slot_->stop(); }

void Timer::SetInterval(int ms) {
    if (ms == interval_) return;
    interval_ = ms;
    if (enabled_) slot_->start(interval_);
}

void Timer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled_)
        slot_->start(interval_);
    else
        slot_->stop();
}

void Timer::fire() {
    if (!enabled_) return;
    // Periodic: the next countdown starts before the handler, which usually disables the timer.
    slot_->start(interval_);
    if (auto handler = OnTimer) handler();
}

}  // namespace platform
