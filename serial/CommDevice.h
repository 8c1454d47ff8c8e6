#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/HandOver.h"
#include "serial/VaComm.h"

namespace serial {

// The line settings the port writes to its device, built from scratch on every apply.
struct LineSettings {
    std::int32_t baudRate = 1200;  // bits per second
    bool binary = true;
    bool parityCheck = false;
    bool outCtsFlow = false;
    bool outDsrFlow = false;
    TVaControlDtr controlDtr = TVaControlDtr::dtrDisabled;
    bool dsrSensitivity = false;
    bool txContinueOnXoff = false;
    bool xonXoffOut = false;
    bool xonXoffIn = false;
    bool replaceParityErrors = false;  // coErrorChar
    bool discardNulls = false;         // coNullStrip
    TVaControlRts controlRts = TVaControlRts::rtsDisabled;
    std::int32_t xonLimit = 1024;
    std::int32_t xoffLimit = 1024;
    std::int32_t byteSize = 8;  // 4 to 8 data bits
    TVaParity parity = TVaParity::paNone;
    TVaStopbits stopbits = TVaStopbits::sb1;
    std::uint8_t xonChar = 0x11;
    std::uint8_t xoffChar = 0x13;
    std::uint8_t errorChar = 0;
    std::uint8_t eofChar = 0;
    std::uint8_t eventChar = 0;

    bool operator==(const LineSettings&) const = default;
};

// A reply as the device may watch it come: its length (with lengthPerFirstByte, that many more
// for each unit of its first byte: a block that says its own size) and, when answered, what to
// send after byte k (from 1): answers[k - 1]; nothing after the last.
struct ReplyScript {
    static constexpr std::int32_t MaxAnswered = 16;
    std::int32_t length = 0;
    std::int32_t lengthPerFirstByte = 0;
    bool answered = false;
    std::array<std::uint8_t, MaxAnswered> answers{};
};

// The platform device behind a port: the POSIX terminal in the program, an in-memory line in
// tests. The port (TVaCustomComm) calls every operation on the main thread, except write(), which
// the buffered-write thread also calls. Operations that can fail return 0 or the errno value of
// the failure; the port turns it into its EVaCommError message.
class CommDevice {
public:
    // Receives an event mask (EventBits) on the main thread. Only bits of the mask given to
    // setEventMask() are reported, never a mask of 0.
    using EventSink = std::function<void(std::uint32_t mask)>;

    virtual ~CommDevice() = default;

    // Opens the named device for exclusive use.
    virtual int open(const std::string& name) = 0;
    // Stops watching and closes; nothing when closed. Never fails.
    virtual void close() = 0;

    virtual int applySettings(const LineSettings& settings) = 0;
    virtual int setQueueSizes(std::int32_t inputSize, std::int32_t outputSize) = 0;
    // Makes every read return at once with what has been received, possibly nothing.
    virtual int setTimeouts() = 0;
    virtual int setEventMask(std::uint32_t mask) = 0;
    // Whether the writes from now on need their transmit-empty: without anyone waiting for it,
    // a device may spare watching its output queue drain after every byte.
    virtual void setTxEmptyWanted(bool /*wanted*/) {}
    // The reply to the request about to be sent. Arming discards every received byte not yet
    // read: none of them can belong to it. A device that watches the reply come holds its last
    // byte back from the reader until the line has been quiet for a moment after it, so a byte
    // right behind it (a stray one among the reply's own pushed it out) is already waiting when
    // the reader takes the reply. An answered reply it may answer byte by byte itself, as the
    // bytes come (a position reply: the box sends each byte only after the answer to the one
    // before), and tell the reader only once the reply is complete. A device that does neither
    // leaves every answer to the caller.
    virtual void armReplyScript(const ReplyScript& /*script*/) {}
    virtual bool takeAnswered(std::uint8_t& /*answer*/) { return false; }
    // Whether the armed reply brought a byte the box cannot have sent in step with the host: one
    // that came before the answer to the byte before it had gone out. The reply is then not the
    // box's as it stands.
    virtual bool replyDisturbed() { return false; }
    // For a trace of the line: when the byte read last came, and when the device answered it
    // (0: it did not), on the steady clock in microseconds; false when the device cannot tell.
    virtual bool lastReadTimes(std::int64_t& /*arrivedUs*/, std::int64_t& /*answeredUs*/) {
        return false;
    }

    // Starts delivering events of the mask to sink; the sink runs on the main thread and never
    // from inside another operation of the device. stopWatching() returns once no further
    // delivery of this watch can start (one running right now may still be on the stack).
    virtual int startWatching(EventSink sink, TThreadPriority priority) = 0;
    virtual void stopWatching() = 0;
    virtual void setWatchPriority(TThreadPriority /*priority*/) {}

    // read() returns what is waiting, at most count bytes, without waiting. write() waits up to
    // timeoutMs for room; done says how many bytes went out.
    virtual int read(void* buffer, std::int32_t count, std::int32_t& done) = 0;
    virtual int write(const void* buffer, std::int32_t count, std::int32_t timeoutMs,
                      std::int32_t& done) = 0;
    virtual int purge(bool input, bool output) = 0;

    // Bytes waiting to be read. Leaves the error bits alone.
    virtual std::int32_t inQueue() = 0;
    // Fetches and clears the line error bits (ErrorBits); also the queue counts.
    virtual int status(std::int32_t& errors, std::int32_t& inQue, std::int32_t& outQue) = 0;

    // How the port's own write thread reaches the main thread (nullptr: none available).
    virtual platform::HandOver* handOver() const { return platform::defaultHandOver(); }
};

// The device of a port built without one: the POSIX terminal the port's name maps to.
std::shared_ptr<CommDevice> makeDefaultDevice();

}  // namespace serial
