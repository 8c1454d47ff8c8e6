#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <utility>

#include "platform/HandOver.h"
#include "serial/PosixDevice.h"

namespace serial {

// One watching of a PosixDevice: the I/O thread's wake-up eventfd and its line to the main
// thread. Shared by the device and a delivery in progress, so a handler that closes the port from
// inside the delivery does not pull the watching from under itself.
class PosixDevice::Io : public platform::HandOverChannel {
public:
    Io(platform::HandOver& handOver, PosixDevice& device, EventSink eventSink, int eventFd)
        : HandOverChannel(handOver), wakeFd(eventFd), sink(std::move(eventSink)), device_(device) {}
    ~Io() override { ::close(wakeFd); }

    void wake() {
        const std::uint64_t one = 1;
        (void)!::write(wakeFd, &one, sizeof one);
    }

    const int wakeFd;
    const EventSink sink;
    std::atomic<bool> stop{false};
    std::atomic<bool> txRequested{false};
    std::atomic<pid_t> tid{0};
    bool stopped = false;  // main thread: the port ended this watching; nothing of it may go on

protected:
    void onMainThread() override {
        if (!stopped) device_.deliver(*this);
    }

private:
    PosixDevice& device_;
};

}  // namespace serial
