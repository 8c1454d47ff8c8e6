#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

// One countdown of a Timer, owned by the Timer and created by the clock it runs on.
class TimerSlot {
public:
    virtual ~TimerSlot() = default;
    // Starts (or restarts) the countdown; when it runs out the clock calls the slot's fire function.
    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;
};

// What time passes on: Qt's event loop in the program, a ManualClock in tests.
// Everything it calls back runs on the main thread.
class Clock {
public:
    virtual ~Clock() = default;
    // Microseconds since an arbitrary start; only differences mean anything.
    virtual std::int64_t nowUs() const = 0;
    virtual std::unique_ptr<TimerSlot> makeSlot(std::function<void()> fire) = 0;
    // Runs fn once, delayUs from now, on the main thread.
    virtual void callAfterUs(std::int64_t delayUs, std::function<void()> fn) = 0;
};

// The clock of the running program. Set once at start-up (main sets a QtClock); tests that build
// objects with an explicit clock never touch it.
Clock& defaultClock();
void setDefaultClock(Clock* clock);

}  // namespace platform
