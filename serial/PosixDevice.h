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
// While the port watches events, an I/O thread of this device owns the terminal's input: it reads
// the bytes as they come, decodes their PARMRK marks into an input queue of our own, and watches
// the output queue drain after a write that someone waits to see leave. It never waits for the
// main thread: it rings the hand-over, and the main thread takes what has come when it gets to it
// (rings meanwhile make one delivery, never a second one inside a handler that runs). A byte
// received with a line error is held back until the error has been delivered, so the port reports
// the error before the byte can be read.
//
// A reply armed with armReplyScript() is answered here byte by byte as it comes, and the main
// thread hears of it once, when the reply is complete (or the script has stopped: a gap of a few
// character times, a marked byte, a purge, a close or a hang-up). Everything else is left to the
// main thread as it is: the port only ever carries the bytes and says which were answered.
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
    void armReplyScript(const ReplyScript& script) override;
    bool takeAnswered(std::uint8_t& answer) override;
    bool replyDisturbed() override;
    bool lastReadTimes(std::int64_t& arrivedUs, std::int64_t& answeredUs) override;
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
    // the I/O thread too. A pseudo-terminal's queue is always empty, so tests that need a
    // driver slow to drain report their own.
    virtual bool outputQueued(int& queued);

private:
    class Io;
    void ioLoop(Io& io);
    void deliver(Io& io);
    std::uint32_t pullLocked(bool holdMarked, bool mayRead);
    void scriptTakesLocked(bool sameRead);
    std::uint32_t releaseHeldLocked();
    bool discardInputLocked();
    bool readCounters(LineCounterDelta* delta);
    int txPollMs(int queued) const;
    std::int64_t scriptGapUs() const;
    std::int64_t settleUntilUs(std::int64_t now) const;
    void byteBehindLocked(std::int64_t now);
    void stopScriptLocked();
    void endSettlingLocked();
    std::int64_t longestPaceUs() const;
    std::int64_t paceUs() const;
    void notedWrite();
    std::size_t readableLocked() const;
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
    // One character on the line, for the output queue's drain and a reply's gaps: set by the main
    // thread when the line changes, read by the I/O thread.
    std::atomic<std::int32_t> charTimeUs_{0};

    // What the I/O thread and the main thread share.
    mutable std::mutex mutex_;
    ByteRing input_;
    std::int32_t errors_ = 0;
    ParmrkDecoder decoder_;
    std::array<std::uint8_t, 512> raw_{};
    std::size_t rawPos_ = 0, rawLen_ = 0;
    bool holding_ = false;  // a marked byte waits until its error has been delivered
    std::uint8_t heldByte_ = 0;
    bool gone_ = false;
    bool haveCounters_ = false;
    std::array<std::uint32_t, 5> counters_{};  // parity, frame, overrun, buf_overrun, brk
    std::uint32_t pending_ = 0;                // events found, not yet delivered
    // The armed reply, counted as it comes: how long it is, the bytes received, how many of them
    // were answered here (while answering, until a gap), when the last byte went out and came
    // in, the longest the box took for a byte, and whether its last byte is held back until the
    // line has been quiet (settling), or the reader is until the line is quiet again after a
    // byte behind it (draining).
    struct Script {
        ReplyScript reply;
        bool counting = false;
        bool answering = false;
        std::int32_t length = 0;
        std::int32_t received = 0;
        std::int32_t answered = 0;
        std::int64_t lastWriteUs = 0;
        std::int64_t lastArrivalUs = 0;
        std::int64_t slowestUs = 0;
        std::int64_t answerUntilUs = 0;
        bool settling = false;
        bool draining = false;
        bool disturbed = false;  // a byte came that the box cannot have sent in step
        std::int64_t holdUntilUs = 0;
        std::int64_t drainEndUs = 0;
        // When each byte came and was answered here, for a trace of the line.
        std::array<std::int64_t, ReplyScript::MaxAnswered + 1> arrivedUs{};
        std::array<std::int64_t, ReplyScript::MaxAnswered + 1> answeredUs{};
    } script_;
    // How long the box took for a byte at the most, in the last reply that settled quietly.
    std::int64_t cadenceUs_ = 0;
    std::int32_t readSinceArm_ = 0;  // bytes the main thread has read since the reply was armed

    std::shared_ptr<Io> io_;
    std::thread ioThread_;
};

}  // namespace serial
