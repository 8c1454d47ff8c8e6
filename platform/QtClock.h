#pragma once

#include <QElapsedTimer>

#include "platform/Clock.h"

namespace platform {

// Time on Qt's event loop: timers fire on the main thread, also inside modal dialogs' loops.
class QtClock : public Clock {
public:
    QtClock();
    std::int64_t nowUs() const override;
    std::unique_ptr<TimerSlot> makeSlot(std::function<void()> fire) override;
    void callAfterUs(std::int64_t delayUs, std::function<void()> fn) override;

private:
    QElapsedTimer elapsed_;
};

}  // namespace platform
