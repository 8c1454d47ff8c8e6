#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/CommDevice.h"

namespace platform {
class Clock;
}

namespace serial {

// An in-memory serial line for tests. The host side is a TVaComm built on this device; the far
// end is the test: a scripted peer or the box simulator. It also makes the faults a
// pseudo-terminal cannot: parity and framing errors on chosen bytes, failing open/read/write,
// dropped bytes and a transmit-empty report on demand.
//
// Meant for direct writes (DirectWrite True, as the link sets it): in the buffered mode the port's
// write thread would call OnHostWrite off the main thread.
//
// Nothing is delivered re-entrantly: the far end answers through receive(), which the peer calls
// from its own scheduled work (a ManualClock callback), never from inside OnHostWrite.
class MemoryDevice : public CommDevice {
public:
    MemoryDevice();
    ~MemoryDevice() override;

    // ---- the far end ----

    // Called with every byte the host writes, in order, while the line is open.
    std::function<void(std::uint8_t)> OnHostWrite;

    // Puts bytes into the host's input queue and notifies the port once (OnRxChar with the count
    // waiting). Ignored while the line is closed. A byte given lineErrors (ErrorBits::Parity,
    // ErrorBits::Frame) is reported through OnError before the byte can be read.
    void receive(const std::vector<std::uint8_t>& bytes);
    void receive(std::uint8_t byte, std::int32_t lineErrors = 0);

    // Bytes that lie in the driver's input queue when the host next opens the line: what a box
    // sent to a program that has since ended, or a reply that was under way.
    void leaveInDriver(const std::vector<std::uint8_t>& bytes);

    // Delivers a transmit-empty event now (when the port watches for it).
    void reportTxEmpty();
    // With a clock set, a transmit-empty event follows every host write after delayUs.
    void setAutoTxEmpty(platform::Clock* clock, std::int64_t delayUs);

    // Faults. failOpen: the next opens fail with that errno (0 clears). failReads / failWrites:
    // reads / writes raise the port's read or write error while set. dropNext: the next n bytes
    // given to receive() are lost.
    void failOpen(int errnoValue);
    void failReads(bool on);
    void failWrites(bool on);
    void dropNext(int n);

    // ---- what the host did ----
    const std::vector<std::uint8_t>& written() const { return written_; }
    std::vector<std::uint8_t> takeWritten();
    bool isOpen() const { return open_; }
    int openCount() const { return openCount_; }
    const std::string& openedName() const { return openedName_; }

    // ---- the host side (called by the port) ----
    int open(const std::string& name) override;
    void close() override;
    int applySettings(const LineSettings& settings) override;
    int setQueueSizes(std::int32_t inputSize, std::int32_t outputSize) override;
    int setTimeouts() override;
    int setEventMask(std::uint32_t mask) override;
    int startWatching(EventSink sink, TThreadPriority priority) override;
    void stopWatching() override;
    int read(void* buffer, std::int32_t count, std::int32_t& done) override;
    int write(const void* buffer, std::int32_t count, std::int32_t timeoutMs,
              std::int32_t& done) override;
    int purge(bool input, bool output) override;
    std::int32_t inQueue() override;
    int status(std::int32_t& errors, std::int32_t& inQue, std::int32_t& outQue) override;

private:
    void notify(std::uint32_t mask);

    std::vector<std::uint8_t> written_;
    bool open_ = false;
    int openCount_ = 0;
    std::string openedName_;

    std::deque<std::uint8_t> input_;
    std::vector<std::uint8_t> leftInDriver_;
    std::int32_t errors_ = 0;
    std::uint32_t eventMask_ = 0;
    EventSink sink_;
    int failOpen_ = 0;
    bool failReads_ = false;
    bool failWrites_ = false;
    int dropNext_ = 0;
    platform::Clock* autoTxClock_ = nullptr;
    std::int64_t autoTxDelayUs_ = 0;
    // Delayed transmit-empty reports hold this weakly, so none reaches a destroyed device.
    std::shared_ptr<MemoryDevice*> self_;
};

}  // namespace serial
