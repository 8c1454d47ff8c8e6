#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "sim/Box.h"

namespace sim {

// One byte on the line at 9600 baud: start bit, 8 data bits, parity and stop bit.
constexpr std::int64_t ByteUs9600 = 1146;

// Times on a full-duplex serial line: each direction carries one byte at a time, and a byte is
// whole at the far end byteUs after it started. byteUs = 0: no pacing, a byte arrives when it
// is ready.
class LinePacer {
public:
    explicit LinePacer(std::int64_t byteUs = ByteUs9600) : byteUs_(byteUs) {}

    std::int64_t byteUs() const { return byteUs_; }

    // A byte the host wrote at writtenUs is whole at the box at the returned time.
    std::int64_t hostByteArrives(std::int64_t writtenUs) {
        return toBoxFreeUs_ = std::max(writtenUs, toBoxFreeUs_) + byteUs_;
    }

    // The box's answer to a host byte seen at causeUs: deliver(arrivesUs, emission) for each
    // byte, in order, with the time its last bit reaches the host.
    template <class Deliver>
    void schedule(const std::vector<Emission>& answer, std::int64_t causeUs, Deliver&& deliver) {
        std::int64_t readyBase = causeUs;
        for (const Emission& e : answer) {
            toHostFreeUs_ = std::max(readyBase + e.gapUs, toHostFreeUs_) + byteUs_;
            deliver(toHostFreeUs_, e);
            readyBase = toHostFreeUs_;
        }
    }

    // The line starts over (reconnected): nothing is on its way.
    void reset() { toBoxFreeUs_ = toHostFreeUs_ = std::numeric_limits<std::int64_t>::min() / 2; }

private:
    std::int64_t byteUs_;
    std::int64_t toBoxFreeUs_ = std::numeric_limits<std::int64_t>::min() / 2;
    std::int64_t toHostFreeUs_ = std::numeric_limits<std::int64_t>::min() / 2;
};

}  // namespace sim
