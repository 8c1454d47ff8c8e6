#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

class HandOverChannel;

// Carries work from a worker thread (the serial port's event and write threads) to the main
// thread: the program uses HandOverQt (a queued call on the GUI loop, which modal dialogs' nested
// loops serve too); tests use PumpedHandOver, whose queue the test's main thread runs.
//
// Which hand-over a device uses: the one given to it at construction, else the process-wide
// default that main() sets with setDefaultHandOver() before the first port opens.
class HandOver {
public:
    virtual ~HandOver() = default;
    // Called on a worker thread: arrange for channel->deliver() to run on the main thread soon.
    virtual void post(std::shared_ptr<HandOverChannel> channel) = 0;
};

HandOver* defaultHandOver();
void setDefaultHandOver(HandOver* handOver);

// One worker's line to the main thread. The worker calls call() and is blocked until
// onMainThread() has run on the main thread, or until the owner closes the channel: close()
// releases a waiting worker at once, drops a call that was posted but has not run yet, and makes
// every later call() return false without waiting. So the owner may close and then join the worker
// from the main thread, even from inside onMainThread(), without waiting for the main thread.
//
// A worker that must never wait for the main thread rings instead: ring() returns at once, and
// onMainThread() runs once for any number of rings since it last began. A ring while it runs
// (also from inside a nested loop it started) brings one more run after it has returned, never a
// second run inside the first.
class HandOverChannel : public std::enable_shared_from_this<HandOverChannel> {
public:
    explicit HandOverChannel(HandOver& handOver) : handOver_(handOver) {}
    virtual ~HandOverChannel() = default;
    HandOverChannel(const HandOverChannel&) = delete;
    HandOverChannel& operator=(const HandOverChannel&) = delete;

    // Worker thread. True when onMainThread() ran to its end; false when the channel was closed.
    bool call();
    // Worker thread, never waits. False when the channel was closed.
    bool ring();
    // Any thread; idempotent.
    void close();
    bool closed() const;
    // Main thread, from the hand-over.
    void deliver();

protected:
    virtual void onMainThread() = 0;

private:
    enum class State { idle, posted, running };
    HandOver& handOver_;
    mutable std::mutex mutex_;
    std::condition_variable done_;
    State state_ = State::idle;
    bool closed_ = false;
    bool rungWhileRunning_ = false;
};

// A hand-over served by whoever calls run...(): the test's main thread. Posting allocates nothing
// once the queue has grown to the number of workers.
class PumpedHandOver : public HandOver {
public:
    PumpedHandOver();
    void post(std::shared_ptr<HandOverChannel> channel) override;
    // Delivers everything posted so far; returns how many.
    std::size_t runPending();
    // Waits up to timeout for something to be posted, then delivers what is there.
    std::size_t waitAndRun(std::chrono::milliseconds timeout);
    // Waits up to timeout until something is posted, without delivering it.
    bool waitForPost(std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::vector<std::shared_ptr<HandOverChannel>> queue_;
};

}  // namespace platform
