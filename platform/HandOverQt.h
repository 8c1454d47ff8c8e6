#pragma once

#include <QSocketNotifier>
#include <cstdint>

#include "platform/HandOver.h"

namespace platform {

// The program's hand-over to the GUI thread. A worker queues its channel and rings an eventfd;
// a socket notifier on the main thread's loop runs what is queued. Modal dialogs and message boxes
// run nested loops that serve the notifier too, so port events keep arriving while one is shown.
// Unlike a queued call (one heap-allocated event per call) this allocates nothing per received
// byte. Construct it on the main thread (main() does, then sets it as the default).
class HandOverQt : public HandOver {
public:
    HandOverQt();
    ~HandOverQt() override;
    HandOverQt(const HandOverQt&) = delete;
    HandOverQt& operator=(const HandOverQt&) = delete;

    void post(std::shared_ptr<HandOverChannel> channel) override;

    // For a measurement of how long the port keeps the main thread: deliveries so far and the
    // longest one since the last reset.
    std::uint64_t deliveries() const { return deliveries_; }
    std::int64_t longestDeliveryUs() const { return longestUs_; }
    void resetLongestDelivery() const { longestUs_ = 0; }

private:
    void ring();
    void answer();

    int bell_;  // eventfd: counts posts not yet answered
    std::uint64_t deliveries_ = 0;
    mutable std::int64_t longestUs_ = 0;
    PumpedHandOver queue_;
    QSocketNotifier notifier_;
};

}  // namespace platform
