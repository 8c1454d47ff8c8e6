// Timers on Qt's loop, in real time: a restarted countdown keeps the Qt timer running and only
// moves its deadline, so these check it never fires before the deadline nor misses it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <vector>

#include "platform/QtClock.h"
#include "platform/Timer.h"

namespace {

using Steady = std::chrono::steady_clock;

void spinFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::int64_t msSince(Steady::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - t).count();
}

TEST(QtClockTimer, RestartsMoveTheDeadlineAndStoppedTimersStayQuiet) {
    int argc = 1;
    char name[] = "platform_qt_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    platform::QtClock clock;

    // Restarted every 10 ms for 200 ms, as the reply time-out is with every byte: it fires only
    // a full interval after the last restart.
    platform::Timer t(60, clock);
    std::vector<std::int64_t> fired;
    Steady::time_point lastStart;
    t.OnTimer = [&] {
        fired.push_back(msSince(lastStart));
        t.SetEnabled(false);
    };
    const Steady::time_point begin = Steady::now();
    while (msSince(begin) < 200) {
        t.SetEnabled(false);
        t.SetEnabled(true);
        lastStart = Steady::now();
        spinFor(10);
    }
    EXPECT_TRUE(fired.empty()) << "fired " << fired.front() << " ms after a restart";
    spinFor(400);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_GE(fired[0], 60);

    // Stopped: the Qt timer still running out does not fire it.
    fired.clear();
    t.SetEnabled(true);
    t.SetEnabled(false);
    spinFor(150);
    EXPECT_TRUE(fired.empty());

    // A shorter interval than the running one fires at its own time, not the longer one's.
    platform::Timer shorter(5000, clock);
    int shorterFired = 0;
    shorter.OnTimer = [&] { ++shorterFired; };
    shorter.SetEnabled(true);
    shorter.SetInterval(30);
    const Steady::time_point shortened = Steady::now();
    while (shorterFired < 3 && msSince(shortened) < 3000) spinFor(10);
    EXPECT_GE(shorterFired, 3) << "a periodic timer of 30 ms";
    EXPECT_GE(msSince(shortened), 90);
}

}  // namespace
