#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "platform/Clock.h"

namespace platform {

// Virtual time for tests: nothing happens until advance() is called, and then every timer and
// every delayed call that falls due fires in order of its due time (ties in order of scheduling).
// Handlers may schedule further work; what falls due within the same advance runs too.
class ManualClock : public Clock {
public:
    ManualClock();
    ~ManualClock() override;

    std::int64_t nowUs() const override { return now_; }
    std::unique_ptr<TimerSlot> makeSlot(std::function<void()> fire) override;
    void callAfterUs(std::int64_t delayUs, std::function<void()> fn) override;

    void advance(std::int64_t ms) { advanceUs(ms * 1000); }
    void advanceUs(std::int64_t us);
    // Runs what is due now without moving time.
    void runDue() { advanceUs(0); }
    // Advances until nothing is scheduled or the limit passed; returns the time consumed in us.
    std::int64_t runUntilIdle(std::int64_t limitMs);
    bool idle() const { return queue_.empty(); }

private:
    class Slot;
    friend class Slot;
    using Key = std::pair<std::int64_t, std::uint64_t>;  // due time, sequence
    Key schedule(std::int64_t dueUs, std::function<void()> fn);
    void cancel(const Key& key);

    std::int64_t now_ = 0;
    std::uint64_t seq_ = 0;
    std::map<Key, std::function<void()>> queue_;
};

}  // namespace platform
