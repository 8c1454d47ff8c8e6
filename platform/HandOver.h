#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

class HandOverChannel;

// A descriptor watched by the main thread's own loop, for a worker that can do without a thread of
// its own: onEvent runs on the main thread when the descriptor is readable (or hung up) and when a
// requested wake-up is due. Destroying it ends the watching: no call comes after, even when it is
// destroyed from inside onEvent.
class LoopWatch {
public:
    virtual ~LoopWatch() = default;
    // Readable notifications on or off (on at the start).
    virtual void setReadable(bool on) = 0;
    // One call of onEvent(false) after ms milliseconds (0: as soon as the loop runs again);
    // replaces a wake-up requested before.
    virtual void wakeAfterMs(int ms) = 0;
    virtual void cancelWake() = 0;
};

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
    // Called on the main thread: the main loop watches fd itself and calls onEvent(readable).
    // nullptr where the main thread has no loop of its own to watch with (the tests' pumped
    // hand-over): the caller then keeps a thread that watches and hands over.
    virtual std::unique_ptr<LoopWatch> watchDescriptor(int /*fd*/,
                                                       std::function<void(bool)> /*onEvent*/) {
        return nullptr;
    }
};

HandOver* defaultHandOver();
void setDefaultHandOver(HandOver* handOver);

// One worker's line to the main thread. The worker calls call() and is blocked until
// onMainThread() has run on the main thread, or until the owner closes the channel: close()
// releases a waiting worker at once, drops a call that was posted but has not run yet, and makes
// every later call() return false without waiting. So the owner may close and then join the worker
// from the main thread, even from inside onMainThread(), without waiting for the main thread.
class HandOverChannel : public std::enable_shared_from_this<HandOverChannel> {
public:
    explicit HandOverChannel(HandOver& handOver) : handOver_(handOver) {}
    virtual ~HandOverChannel() = default;
    HandOverChannel(const HandOverChannel&) = delete;
    HandOverChannel& operator=(const HandOverChannel&) = delete;

    // Worker thread. True when onMainThread() ran to its end; false when the channel was closed.
    bool call();
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
