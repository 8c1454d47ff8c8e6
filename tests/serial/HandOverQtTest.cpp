// The program's hand-over: a queued call on the Qt event loop, served by nested loops too.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <thread>

#include "platform/HandOverQt.h"

namespace {

class Probe : public platform::HandOverChannel {
public:
    using HandOverChannel::HandOverChannel;
    std::thread::id ranOn;
    int runs = 0;
    QEventLoop* loop = nullptr;

protected:
    void onMainThread() override {
        ranOn = std::this_thread::get_id();
        ++runs;
        if (loop) loop->quit();
    }
};

TEST(HandOverQt, CallRunsOnTheMainThreadInsideANestedLoop) {
    int argc = 1;
    char name[] = "serial_qt_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    platform::HandOverQt handOver;
    auto probe = std::make_shared<Probe>(handOver);
    QEventLoop nested;  // as a modal dialog's loop
    probe->loop = &nested;
    std::atomic<int> result{-1};
    std::thread worker([&] { result = probe->call() ? 1 : 0; });
    QTimer::singleShot(5000, &nested, &QEventLoop::quit);  // a guard, should the call never come
    nested.exec();
    worker.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(probe->runs, 1);
    EXPECT_EQ(probe->ranOn, std::this_thread::get_id());
}

}  // namespace
