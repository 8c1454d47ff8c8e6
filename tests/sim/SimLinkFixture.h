#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/RSLib.h"
#include "platform/ManualClock.h"
#include "serial/MemoryDevice.h"
#include "sim/Config.h"
#include "tests/support/simwire/SimWire.h"

namespace simtest {

// What the link service reported, one member per event.
struct Seen {
    std::optional<bool> acknowledge;
    std::optional<std::array<std::int32_t, 3>> positions;
    std::optional<std::array<long double, 3>> calibration;
    std::optional<std::array<std::uint8_t, 3>> resolution;
    std::optional<std::uint8_t> types;
    std::optional<std::array<std::int32_t, 3>> lineCounts;
    std::optional<std::uint8_t> correctionCount;
    std::uint32_t correctionFlags = 0;
    std::array<TCorrectionTable, 3> corrections{};
    std::optional<bool> valid;  // Valid of the last reply event
    int timeouts = 0;
    int lateReplies = 0;
    std::vector<std::int32_t> errors;
};

// The real link service on an in-memory line with the simulated box at the far end, in virtual
// time.
class SimLink : public ::testing::Test {
public:
    // A still box: counts 1234, -5 and 70000, calibration 1 (so kinds 2..4 report them as they
    // are).
    static sim::SimConfig stillBox(int kind);

protected:
    platform::ManualClock clock;
    std::shared_ptr<serial::MemoryDevice> device = std::make_shared<serial::MemoryDevice>();
    TRS232Service service{clock, device};
    std::unique_ptr<simwire::SimWire> wire;
    Seen seen;

    // Connects the box, opens the link and, with connectFirst, learns the device kind (the box's
    // request 1).
    void attach(const sim::SimConfig& config, bool paced = true, bool connectFirst = true);
    // Runs a request and lets up to limitMs of virtual time pass; seen is cleared before.
    template <class Request>
    void run(Request request, int limitMs = 200) {
        seen = Seen{};
        request(service);
        clock.advance(limitMs);
    }
    // CheckReady, then AxisCount as the host would count the axes of this box.
    void connect();
    // A reopened link, as the windows do after a failure.
    void reopen();
    // The box's transcript, for failure messages.
    std::string transcript() const { return wire ? wire->transcript() : std::string(); }

private:
    void record();
};

}  // namespace simtest
