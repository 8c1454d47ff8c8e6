#include "platform/QtClock.h"

#include <QCoreApplication>
#include <QTimer>

namespace platform {

namespace {

class QtSlot : public TimerSlot {
public:
    explicit QtSlot(std::function<void()> fire) {
        timer_.setSingleShot(true);
        // Precise: the watchdogs are short (100 ms, 1200 ms) and coarse timers may be 5% late.
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [fire = std::move(fire)] { fire(); });
    }
    void start(int intervalMs) override { timer_.start(intervalMs); }
    void stop() override { timer_.stop(); }

private:
    QTimer timer_;
};

}  // namespace

QtClock::QtClock() { elapsed_.start(); }

std::int64_t QtClock::nowUs() const { return elapsed_.nsecsElapsed() / 1000; }

std::unique_ptr<TimerSlot> QtClock::makeSlot(std::function<void()> fire) {
    return std::make_unique<QtSlot>(std::move(fire));
}

void QtClock::callAfterUs(std::int64_t delayUs, std::function<void()> fn) {
    const int ms = static_cast<int>((delayUs + 999) / 1000);
    QTimer::singleShot(ms < 0 ? 0 : ms, Qt::PreciseTimer, QCoreApplication::instance(),
                       std::move(fn));
}

}  // namespace platform
