#pragma once

#include <cstdint>
#include <functional>
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

    // (CommDevice overrides: to be added with the device interface.)

private:
    std::vector<std::uint8_t> written_;
    bool open_ = false;
    int openCount_ = 0;
    std::string openedName_;
};

}  // namespace serial
