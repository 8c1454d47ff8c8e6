#include "platform/ManualClock.h"

namespace platform {

class ManualClock::Slot : public TimerSlot {
public:
    Slot(ManualClock& clock, std::function<void()> fire) : clock_(clock), fire_(std::move(fire)) {}
    ~Slot() override { stop(); }
    void start(int intervalMs) override {
        stop();
        key_ = clock_.schedule(clock_.now_ + std::int64_t{intervalMs} * 1000, [this] {
            armed_ = false;
            fire_();
        });
        armed_ = true;
    }
    void stop() override {
        if (armed_) clock_.cancel(key_);
        armed_ = false;
    }

private:
    ManualClock& clock_;
    std::function<void()> fire_;
    Key key_{};
    bool armed_ = false;
};

ManualClock::ManualClock() = default;
ManualClock::~ManualClock() = default;

std::unique_ptr<TimerSlot> ManualClock::makeSlot(std::function<void()> fire) {
    return std::make_unique<Slot>(*this, std::move(fire));
}

void ManualClock::callAfterUs(std::int64_t delayUs, std::function<void()> fn) {
    schedule(now_ + (delayUs < 0 ? 0 : delayUs), std::move(fn));
}

ManualClock::Key ManualClock::schedule(std::int64_t dueUs, std::function<void()> fn) {
    Key key{dueUs, seq_++};
    queue_.emplace(key, std::move(fn));
    return key;
}

void ManualClock::cancel(const Key& key) { queue_.erase(key); }

void ManualClock::advanceUs(std::int64_t us) {
    const std::int64_t end = now_ + us;
    while (!queue_.empty() && queue_.begin()->first.first <= end) {
        auto it = queue_.begin();
        if (it->first.first > now_) now_ = it->first.first;
        auto fn = std::move(it->second);
        queue_.erase(it);
        fn();
    }
    // A callback may itself have advanced the clock past this call's end: time never goes back.
    if (end > now_) now_ = end;
}

std::int64_t ManualClock::runUntilIdle(std::int64_t limitMs) {
    const std::int64_t start = now_;
    const std::int64_t end = now_ + limitMs * 1000;
    while (!queue_.empty() && queue_.begin()->first.first <= end) {
        advanceUs(queue_.begin()->first.first - now_);
    }
    return now_ - start;
}

}  // namespace platform
