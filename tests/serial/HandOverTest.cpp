// The blocking hand-over from a worker thread to the main thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "platform/HandOver.h"

using namespace std::chrono_literals;
using platform::HandOverChannel;
using platform::PumpedHandOver;

namespace {

class Probe : public HandOverChannel {
public:
    using HandOverChannel::HandOverChannel;
    std::function<void()> body;
    std::atomic<int> runs{0};
    std::thread::id ranOn;

protected:
    void onMainThread() override {
        ranOn = std::this_thread::get_id();
        ++runs;
        if (body) body();
    }
};

TEST(HandOver, WorkerWaitsUntilTheMainThreadRanTheCall) {
    PumpedHandOver handOver;
    auto probe = std::make_shared<Probe>(handOver);
    std::atomic<bool> returned{false};
    bool result = false;
    std::thread worker([&] {
        result = probe->call();
        returned = true;
    });
    // Nothing runs until the main thread serves the hand-over, and the worker stays blocked.
    EXPECT_EQ(handOver.waitAndRun(2000ms), 1u);
    worker.join();
    EXPECT_TRUE(returned);
    EXPECT_TRUE(result);
    EXPECT_EQ(probe->runs, 1);
    EXPECT_EQ(probe->ranOn, std::this_thread::get_id());
}

// Keeps what is posted, so the test decides when (and whether) it is delivered.
class HeldHandOver : public platform::HandOver {
public:
    void post(std::shared_ptr<HandOverChannel> channel) override {
        held = std::move(channel);
        posted.set_value();
    }
    std::shared_ptr<HandOverChannel> held;
    std::promise<void> posted;
};

TEST(HandOver, ClosingReleasesAWaitingWorkerAndDropsItsCall) {
    HeldHandOver handOver;
    auto probe = std::make_shared<Probe>(handOver);
    std::atomic<int> result{-1};
    std::thread worker([&] { result = probe->call() ? 1 : 0; });
    ASSERT_EQ(handOver.posted.get_future().wait_for(2s), std::future_status::ready);
    EXPECT_EQ(result, -1);  // blocked in the hand-over
    probe->close();
    worker.join();  // released without the main thread serving anything
    EXPECT_EQ(result, 0);
    handOver.held->deliver();  // arrives after the close: dropped
    EXPECT_EQ(probe->runs, 0);
    EXPECT_FALSE(probe->call());  // later calls return at once, posting nothing
}

TEST(HandOver, OwnerMayCloseAndJoinFromInsideTheCall) {
    PumpedHandOver handOver;
    auto probe = std::make_shared<Probe>(handOver);
    bool result = true;
    std::thread worker([&] {
        while (probe->call()) {
        }
        result = false;
    });
    probe->body = [&] {
        probe->close();
        worker.join();  // the worker is no longer waiting for this call to end
    };
    EXPECT_EQ(handOver.waitAndRun(2000ms), 1u);
    EXPECT_FALSE(worker.joinable());
    EXPECT_FALSE(result);
    EXPECT_EQ(probe->runs, 1);
}

TEST(HandOver, WorkerIsReleasedEvenWhenTheCallThrows) {
    PumpedHandOver handOver;
    auto probe = std::make_shared<Probe>(handOver);
    probe->body = [] { throw std::runtime_error("handler"); };
    bool result = false;
    std::thread worker([&] { result = probe->call(); });
    bool thrown = false;
    for (int i = 0; i < 200 && !thrown; ++i) {
        try {
            handOver.waitAndRun(10ms);
        } catch (const std::runtime_error&) {
            thrown = true;
        }
    }
    worker.join();
    EXPECT_TRUE(thrown);
    EXPECT_TRUE(result);
}

}  // namespace
