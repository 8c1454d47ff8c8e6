// The per-byte path of the link (port event, byte read, store, acknowledgement write) allocates
// nothing and touches the device only to read and write that byte. Measured with a counting
// global operator new, over a device and a clock that themselves never allocate per byte.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "link/RSLib.h"
#include "platform/AllocationCount.h"
#include "serial/CommDevice.h"

namespace {

// Timers that only remember whether they run.
class StillClock : public platform::Clock {
public:
    std::int64_t nowUs() const override { return 0; }
    std::unique_ptr<platform::TimerSlot> makeSlot(std::function<void()>) override {
        return std::make_unique<Slot>();
    }
    void callAfterUs(std::int64_t, std::function<void()>) override {}

private:
    struct Slot : platform::TimerSlot {
        void start(int) override { running = true; }
        void stop() override { running = false; }
        bool running = false;
    };
};

// A line with fixed storage that counts what the port asks of it.
class CountingDevice : public serial::CommDevice {
public:
    int open(const std::string&) override { return 0; }
    void close() override { sink_ = nullptr; }
    int applySettings(const serial::LineSettings&) override { return 0; }
    int setQueueSizes(std::int32_t, std::int32_t) override { return 0; }
    int setTimeouts() override { return 0; }
    int setEventMask(std::uint32_t) override { return 0; }
    int startWatching(EventSink sink, serial::TThreadPriority) override {
        sink_ = std::move(sink);
        return 0;
    }
    void stopWatching() override { sink_ = nullptr; }
    int read(void* buffer, std::int32_t count, std::int32_t& done) override {
        ++calls.reads;
        done = 0;
        auto* out = static_cast<std::uint8_t*>(buffer);
        while (done < count && head_ != tail_) out[done++] = input_[head_++ % input_.size()];
        return 0;
    }
    int write(const void* buffer, std::int32_t count, std::int32_t, std::int32_t& done) override {
        ++calls.writes;
        last = static_cast<const std::uint8_t*>(buffer)[count - 1];
        done = count;
        return 0;
    }
    int purge(bool, bool) override {
        ++calls.others;
        return 0;
    }
    std::int32_t inQueue() override {
        ++calls.inQueue;
        return static_cast<std::int32_t>(tail_ - head_);
    }
    int status(std::int32_t& errors, std::int32_t& inQue, std::int32_t& outQue) override {
        ++calls.others;
        errors = 0;
        inQue = inQueue();
        outQue = 0;
        return 0;
    }

    void receive(std::uint8_t b) {
        input_[tail_++ % input_.size()] = b;
        if (auto sink = sink_) sink(serial::EventBits::RxChar);
    }

    struct Calls {
        long reads = 0, writes = 0, inQueue = 0, others = 0;
    } calls;
    std::uint8_t last = 0;

private:
    EventSink sink_;
    std::array<std::uint8_t, 64> input_{};
    std::size_t head_ = 0, tail_ = 0;
};

TEST(LinkPerByteCost, ReadingAndAcknowledgingAllocatesNothing) {
    {
        // The counter is live in this program: a zero below would otherwise prove nothing.
        const long start = platform::allocationCount();
        std::vector<int> probe(64, 1);
        EXPECT_EQ(probe.size(), 64u);
        EXPECT_GT(platform::allocationCount() - start, 0);
    }
    StillClock clock;
    auto device = std::make_shared<CountingDevice>();
    TRS232Service service(clock, device);
    long delivered = 0;
    service.OnPositions = [&delivered](std::int32_t, std::int32_t, std::int32_t, bool) {
        ++delivered;
    };
    service.OnAcknowledge = [&delivered](bool) { ++delivered; };
    service.Open();

    for (int axes : {1, 2, 3}) {
        SCOPED_TRACE(axes);
        service.AxisCount = static_cast<std::uint8_t>(axes);
        device->calls = {};
        const long before = platform::allocationCount();
        const long replies = 100;
        for (long r = 0; r < replies; ++r) {
            service.ReadPositions();
            for (int i = 0; i < 4 * axes; ++i) device->receive(static_cast<std::uint8_t>(i));
        }
        EXPECT_EQ(platform::allocationCount() - before, 0);
        EXPECT_EQ(delivered, replies);
        const long bytes = replies * 4 * axes;
        // One read per byte; one write per acknowledgement and per command. Per reply, besides:
        // the purge before its command and one look at the queue once it is complete.
        EXPECT_EQ(device->calls.reads, bytes);
        EXPECT_EQ(device->calls.writes, bytes);
        EXPECT_EQ(device->calls.inQueue, bytes + replies);  // the port's count of waiting bytes
        EXPECT_EQ(device->calls.others, replies);
        delivered = 0;
    }

    // A write: each acceptance from the box sends the next parameter byte.
    device->calls = {};
    const long before = platform::allocationCount();
    service.WriteCalibration(1, 2, 3);
    for (int i = 0; i < 13; ++i) device->receive(0xE0);
    EXPECT_EQ(platform::allocationCount() - before, 0);
    EXPECT_EQ(delivered, 1);
    EXPECT_EQ(device->calls.reads, 13);
    EXPECT_EQ(device->calls.writes, 13);
    EXPECT_EQ(device->calls.others, 1);  // the purge before the command
}

}  // namespace
