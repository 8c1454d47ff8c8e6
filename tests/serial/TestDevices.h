#pragma once

// In-memory devices with a little more reach for the port's own tests: the last line settings
// applied, a chosen open step that fails, and raw event masks delivered as a device would.
#include <cerrno>
#include <string>

#include "serial/MemoryDevice.h"

namespace serial::testing {

class ProbeDevice : public MemoryDevice {
public:
    enum class Step { none, settings, queueSizes, timeouts, eventMask, watching };
    Step failAt = Step::none;
    int failErrno = EINVAL;

    LineSettings last{};
    int applied = 0;
    int watching = 0;  // watchings started minus stopped

    int applySettings(const LineSettings& s) override {
        if (failAt == Step::settings) return failErrno;
        last = s;
        ++applied;
        return MemoryDevice::applySettings(s);
    }
    int setQueueSizes(std::int32_t in, std::int32_t out) override {
        return failAt == Step::queueSizes ? failErrno : MemoryDevice::setQueueSizes(in, out);
    }
    int setTimeouts() override {
        return failAt == Step::timeouts ? failErrno : MemoryDevice::setTimeouts();
    }
    int setEventMask(std::uint32_t mask) override {
        return failAt == Step::eventMask ? failErrno : MemoryDevice::setEventMask(mask);
    }
    int startWatching(EventSink sink, TThreadPriority p) override {
        if (failAt == Step::watching) return failErrno;
        sink_ = sink;
        ++watching;
        return MemoryDevice::startWatching(std::move(sink), p);
    }
    void stopWatching() override {
        if (sink_) --watching;
        sink_ = nullptr;
        MemoryDevice::stopWatching();
    }
    // Hands a mask to the port exactly as given, as a device that reports too much would.
    void emit(std::uint32_t mask) {
        if (auto s = sink_) s(mask);
    }

private:
    EventSink sink_;
};

}  // namespace serial::testing
