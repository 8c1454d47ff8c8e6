#pragma once

#include <sys/types.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "serial/ByteRing.h"
#include "serial/CommDevice.h"
#include "serial/Parmrk.h"
#include "serial/PortNames.h"

namespace serial {

// Rates the terminal interface names (B9600, ...); others need the driver's arbitrary-rate call.
bool isStandardRate(std::int32_t rate);

// A POSIX terminal (serial port, USB adapter, pseudo-terminal) as the port's device.
//
// Received bytes are read by the event thread (or, with no event watched, by the reads
// themselves), their PARMRK marks decoded into an input queue of our own; a byte received with a
// line error is held back until the error has been fetched (status()), so the port reports the
// error before the byte can be read. After a write, the event thread watches the driver's output
// queue until it is empty and then reports transmit empty.
//
// Events reach the main thread through the hand-over given here, or when none is given the
// process-wide platform::defaultHandOver() as it is when watching starts. Where that hand-over lets
// the main loop watch the descriptor itself (the program's), there is no event thread: the loop
// reads and delivers, with no thread woken and nothing handed over per byte. Otherwise (the tests'
// pumped hand-over) the event thread watches and hands each event mask over.
class PosixDevice : public CommDevice {
public:
    explicit PosixDevice(platform::HandOver* handOver = nullptr);
    ~PosixDevice() override;

    int open(const std::string& name) override;
    void close() override;
    int applySettings(const LineSettings& settings) override;
    int setQueueSizes(std::int32_t inputSize, std::int32_t outputSize) override;
    int setTimeouts() override;
    int setEventMask(std::uint32_t mask) override;
    void setTxEmptyWanted(bool wanted) override;
    void expectInputSoon() override;
    int startWatching(EventSink sink, TThreadPriority priority) override;
    void stopWatching() override;
    void setWatchPriority(TThreadPriority priority) override;
    int read(void* buffer, std::int32_t count, std::int32_t& done) override;
    int write(const void* buffer, std::int32_t count, std::int32_t timeoutMs,
              std::int32_t& done) override;
    int purge(bool input, bool output) override;
    std::int32_t inQueue() override;
    int status(std::int32_t& errors, std::int32_t& inQue, std::int32_t& outQue) override;
    platform::HandOver* handOver() const override;

    // The device answered a hang-up or an I/O error: it is gone until reopened.
    bool gone() const;

protected:
    // Characters the driver still has to send (TIOCOUTQ); false when it cannot tell. Called by
    // the event thread too. A pseudo-terminal's queue is always empty, so tests that need a
    // driver slow to drain report their own.
    virtual bool outputQueued(int& queued);

private:
    class Watch;
    struct Loop;
    void watchLoop(Watch& watch);
    void serveLoop(bool readable);
    bool serveLoopOnce(bool readable);
    bool awaitDueInput();
    std::uint32_t drainEventLocked(Loop& loop, bool hangup);
    std::uint32_t pullLocked(bool holdMarked, bool mayRead);
    std::uint32_t releaseHeldLocked();
    bool readCounters(LineCounterDelta* delta);
    int txPollMs(int queued) const;
    // What the output queue says after a write: drained, still sending (queued > 0), or unknown:
    // hung up (which throws away what the driver held) or the driver cannot tell. Unknown is
    // never reported as transmit empty.
    enum class Drain { empty, sending, unknown };
    Drain drainState(bool hangup, int& queued);

    platform::HandOver* const handOver_;
    int fd_ = -1;
    std::uint32_t eventMask_ = 0;
    // Set and read on the main thread, by the writes.
    bool txEmptyWanted_ = true;
    // One character on the line, for the output queue's drain: set by the main thread when the
    // line changes, read by the event thread while it waits for the queue.
    std::atomic<std::int32_t> charTimeUs_{0};

    // What the event thread and the main thread share.
    mutable std::mutex mutex_;
    ByteRing input_;
    std::int32_t errors_ = 0;
    ParmrkDecoder decoder_;
    std::array<std::uint8_t, 512> raw_{};
    std::size_t rawPos_ = 0, rawLen_ = 0;
    bool holding_ = false;  // a marked byte waits until its error has been handed over
    std::uint8_t heldByte_ = 0;
    bool gone_ = false;
    bool haveCounters_ = false;
    std::array<std::uint32_t, 5> counters_{};  // parity, frame, overrun, buf_overrun, brk

    std::shared_ptr<Watch> watch_;
    std::thread watchThread_;
    std::shared_ptr<Loop> loop_;  // watching from the main loop instead
};

}  // namespace serial
