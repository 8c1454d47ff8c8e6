#include <gtest/gtest.h>

#include <vector>

#include "platform/ManualClock.h"
#include "platform/Timer.h"

using platform::ManualClock;
using platform::Timer;

namespace {

struct Recorder {
    ManualClock& clock;
    std::vector<std::int64_t> firedAtMs;
    void attach(Timer& t) {
        t.OnTimer = [this] { firedAtMs.push_back(clock.nowUs() / 1000); };
    }
};

}  // namespace

TEST(Timer, FiresEveryIntervalWhileEnabled) {
    ManualClock clock;
    Timer t(100, clock);
    Recorder r{clock, {}};
    r.attach(t);
    t.SetEnabled(true);
    clock.advance(350);
    EXPECT_EQ(r.firedAtMs, (std::vector<std::int64_t>{100, 200, 300}));
    t.SetEnabled(false);
    clock.advance(1000);
    EXPECT_EQ(r.firedAtMs.size(), 3u);
}

TEST(Timer, EnablingARunningTimerKeepsItsCountdown) {
    ManualClock clock;
    Timer t(1000, clock);
    Recorder r{clock, {}};
    r.attach(t);
    t.SetEnabled(true);
    clock.advance(600);
    t.SetEnabled(true);
    clock.advance(400);
    EXPECT_EQ(r.firedAtMs, (std::vector<std::int64_t>{1000}));
}

TEST(Timer, DisablingThenEnablingRestartsTheCountdown) {
    ManualClock clock;
    Timer t(1000, clock);
    Recorder r{clock, {}};
    r.attach(t);
    t.SetEnabled(true);
    clock.advance(600);
    t.SetEnabled(false);
    t.SetEnabled(true);
    clock.advance(999);
    EXPECT_TRUE(r.firedAtMs.empty());
    clock.advance(1);
    EXPECT_EQ(r.firedAtMs, (std::vector<std::int64_t>{1600}));
}

TEST(Timer, OneShotHandlerThatDisablesItselfFiresOnce) {
    ManualClock clock;
    Timer t(100, clock);
    int fired = 0;
    t.OnTimer = [&] {
        t.SetEnabled(false);
        ++fired;
    };
    t.SetEnabled(true);
    clock.advance(1000);
    EXPECT_EQ(fired, 1);
}

TEST(Timer, HandlerMayRestartItsOwnTimer) {
    ManualClock clock;
    Timer t(100, clock);
    Recorder r{clock, {}};
    t.OnTimer = [&] {
        r.firedAtMs.push_back(clock.nowUs() / 1000);
        t.SetEnabled(false);
        if (r.firedAtMs.size() < 3) t.SetEnabled(true);
    };
    t.SetEnabled(true);
    clock.advance(1000);
    EXPECT_EQ(r.firedAtMs, (std::vector<std::int64_t>{100, 200, 300}));
}

TEST(ManualClock, DelayedCallsAndTimersRunInDueOrder) {
    ManualClock clock;
    std::vector<int> order;
    Timer t(50, clock);
    t.OnTimer = [&] {
        t.SetEnabled(false);
        order.push_back(2);
    };
    t.SetEnabled(true);
    clock.callAfterUs(70'000, [&] { order.push_back(3); });
    clock.callAfterUs(10'000, [&] {
        order.push_back(1);
        clock.callAfterUs(0, [&] { order.push_back(11); });
    });
    clock.advance(100);
    EXPECT_EQ(order, (std::vector<int>{1, 11, 2, 3}));
    EXPECT_EQ(clock.nowUs(), 100'000);
}

TEST(ManualClock, DestroyedTimerNeverFires) {
    ManualClock clock;
    int fired = 0;
    {
        Timer t(10, clock);
        t.OnTimer = [&] { ++fired; };
        t.SetEnabled(true);
    }
    clock.advance(100);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(clock.idle());
}

TEST(ManualClock, AdvanceFromInsideACallbackNeverMovesTimeBack) {
    ManualClock clock;
    clock.callAfterUs(10'000, [&] { clock.advance(500); });
    clock.advance(100);
    EXPECT_EQ(clock.nowUs(), 510'000);
    clock.advance(1);
    EXPECT_EQ(clock.nowUs(), 511'000);
}
