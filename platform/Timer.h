#pragma once

#include <functional>
#include <memory>

#include "platform/Clock.h"

namespace platform {

// A millisecond timer with the semantics the windows and the link are written against:
// while Enabled it fires OnTimer every Interval ms; enabling a running timer does not restart its
// countdown, disabling and then enabling does; changing the interval of a running timer restarts it.
class Timer {
public:
    explicit Timer(int intervalMs = 1000, Clock& clock = defaultClock());
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    int Interval() const { return interval_; }
    void SetInterval(int ms);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    std::function<void()> OnTimer;

private:
    void fire();

    std::unique_ptr<TimerSlot> slot_;
    int interval_;
    bool enabled_ = false;
};

}  // namespace platform
