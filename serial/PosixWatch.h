#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

#include "platform/HandOver.h"
#include "serial/PosixDevice.h"

namespace serial {

// One watching of a PosixDevice: the event thread's line to the main thread and its wake-up
// eventfd. Shared by the device and a delivery in progress, so a handler that closes the port
// from inside the delivery does not pull the watch from under itself.
class PosixDevice::Watch : public platform::HandOverChannel {
public:
    Watch(platform::HandOver& handOver, EventSink sink, int eventFd)
        : HandOverChannel(handOver), wakeFd(eventFd), sink_(std::move(sink)) {}
    ~Watch() override { ::close(wakeFd); }

    void wake() {
        const std::uint64_t one = 1;
        (void)!::write(wakeFd, &one, sizeof one);
    }

    const int wakeFd;
    std::atomic<bool> stop{false};
    std::atomic<bool> txRequested{false};
    std::atomic<pid_t> tid{0};
    std::uint32_t mask = 0;  // written by the thread before call(), read on the main thread

protected:
    void onMainThread() override { sink_(mask); }

private:
    EventSink sink_;
};

// Watching from the main thread's own loop: everything here belongs to the main thread.
struct PosixDevice::Loop {
    explicit Loop(EventSink eventSink) : sink(std::move(eventSink)) {}

    EventSink sink;
    std::unique_ptr<platform::LoopWatch> watch;
    bool stopped = false;      // the port stopped this watching: nothing of it may go on
    bool delivering = false;   // a handler runs (maybe a nested loop): no second delivery meanwhile
    bool deferred = false;     // the loop called during a delivery; served when it has ended
    bool txRequested = false;  // written since the output queue was last looked at
    bool txWatch = false;      // waiting for the output queue to drain
    bool wakeArmed = false;
    bool inputDue = false;  // the handler expects the next byte within a few character times
};

}  // namespace serial
