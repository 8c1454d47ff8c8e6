#include "platform/QtClock.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdint>

namespace platform {

namespace {

// A countdown restarted far more often than it runs out (the link's reply time-out restarts
// with every byte) keeps its Qt timer running: a restart only moves the deadline, and a timer
// that comes before the deadline is started again for the rest. Only a deadline earlier than
// the running timer's starts it anew; a stop lets it run out unheeded.
class QtSlot : public TimerSlot {
public:
    explicit QtSlot(std::function<void()> fire) : fire_(std::move(fire)) {
        timer_.setSingleShot(true);
        // Precise: the watchdogs are short (100 ms, 1200 ms) and coarse timers may be 5% late.
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { timedOut(); });
    }
    void start(int intervalMs) override {
        const std::int64_t now = nowUs();
        dueUs_ = now + std::int64_t{std::max(intervalMs, 0)} * 1000;
        running_ = true;
        if (!timer_.isActive() || armedUs_ > dueUs_) arm(now);
    }
    void stop() override { running_ = false; }

private:
    static std::int64_t nowUs() {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void arm(std::int64_t now) {
        const std::int64_t leftMs = (dueUs_ - now + 999) / 1000;
        armedUs_ = now + leftMs * 1000;
        timer_.start(static_cast<int>(leftMs));
    }
    void timedOut() {
        if (!running_) return;
        const std::int64_t now = nowUs();
        if (now < dueUs_) {
            arm(now);
            return;
        }
        running_ = false;
        fire_();
    }

    QTimer timer_;
    std::function<void()> fire_;
    std::int64_t dueUs_ = 0;    // when the countdown runs out
    std::int64_t armedUs_ = 0;  // when the Qt timer, if active, times out
    bool running_ = false;
};

}  // namespace

QtClock::QtClock() {
    elapsed_.start();
}

std::int64_t QtClock::nowUs() const {
    return elapsed_.nsecsElapsed() / 1000;
}

std::unique_ptr<TimerSlot> QtClock::makeSlot(std::function<void()> fire) {
    return std::make_unique<QtSlot>(std::move(fire));
}

void QtClock::callAfterUs(std::int64_t delayUs, std::function<void()> fn) {
    const int ms = static_cast<int>((delayUs + 999) / 1000);
    QTimer::singleShot(ms < 0 ? 0 : ms, Qt::PreciseTimer, QCoreApplication::instance(),
                       std::move(fn));
}

}  // namespace platform
