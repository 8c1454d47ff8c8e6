#pragma once

// The simulated box on an in-memory serial line, in virtual time. Qt-free.
//
//   platform::ManualClock clock;
//   auto device = std::make_shared<serial::MemoryDevice>();
//   TRS232Service service{clock, device};          // or a TVaComm, or a whole window
//
//   sim::SimConfig config;                          // what the box stores, how it moves, faults
//   config.settings.kind = 3;
//   simwire::SimWire box{clock, device, config};    // the box answers from now on
//
//   service.Open();
//   service.CheckReady();
//   clock.advance(5);                               // the readiness byte has arrived
//
// Every byte takes 1.146 ms on the line in each direction (paced = false: none), and the box
// answers a byte only once its last bit has arrived, as on a 9600 baud line. Nothing is
// delivered from inside the host's write: answers are scheduled on the clock.
//
// Line errors, which only this line can carry: injectLineError(0xE5, 3, ErrorBits::Parity)
// marks byte 3 (from 0) of the next calibration reply with a parity error.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "serial/MemoryDevice.h"
#include "sim/Box.h"

namespace simwire {

// One byte on the line, as the far end of the host's port saw it.
struct Traffic {
    std::int64_t timeUs;  // host bytes: when written; box bytes: when they reached the host
    bool fromHost;
    std::uint8_t byte;
};

class SimWire {
public:
    SimWire(platform::Clock& clock, std::shared_ptr<serial::MemoryDevice> device,
            const sim::SimConfig& config = {}, bool paced = true);
    ~SimWire();
    SimWire(const SimWire&) = delete;
    SimWire& operator=(const SimWire&) = delete;

    sim::Box& box();

    // The next `times` bytes that answer `command` at `index` (0 = first byte of the answer) reach
    // the host with these line errors (serial::ErrorBits::Parity, ::Frame).
    void injectLineError(std::uint8_t command, int index, std::int32_t errors, int times = 1);

    // Everything that went over the line, and the box's notes on it ("request 3: E1 ...").
    const std::vector<Traffic>& traffic() const;
    std::vector<std::uint8_t> hostBytes() const;
    std::vector<std::uint8_t> boxBytes() const;
    const std::vector<std::string>& notes() const;
    // traffic() and notes() as text, one line each, for failure messages.
    std::string transcript() const;
    void clearRecords();

private:
    struct Core;
    std::shared_ptr<Core> core_;
};

}  // namespace simwire
