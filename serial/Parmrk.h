#pragma once

#include <cstddef>
#include <cstdint>

namespace serial {

// Undoes the terminal's marking of received bytes (PARMRK): FF FF is a data byte FF, FF 00 x is
// the byte x received with a line error (x 00 is also how a break arrives). Marks may be split
// across reads; the decoder keeps its place between calls.
class ParmrkDecoder {
public:
    enum class Kind : std::uint8_t { plain, marked };

    // Without marking the terminal passes bytes as they are, and so does the decoder.
    void setMarking(bool on) {
        marking_ = on;
        state_ = State::normal;
    }
    void reset() { state_ = State::normal; }

    struct Decoded {
        std::uint8_t byte;
        Kind kind;
    };
    // Takes one raw byte; writes the received bytes it completes (none, one, or two when a stray
    // FF that starts no mark turns out to be data) and returns how many.
    std::size_t feed(std::uint8_t raw, Decoded out[2]);

private:
    enum class State : std::uint8_t { normal, escape, marked };
    bool marking_ = true;
    State state_ = State::normal;
};

// Growth of the driver's error counters between two readings.
struct LineCounterDelta {
    std::uint32_t parity = 0, frame = 0, overrun = 0, bufOverrun = 0, brk = 0;
};

// The error bits (ErrorBits) of a marked byte. With the driver's counters every one that grew is
// reported, together. Without them (counters == nullptr, e.g. a pseudo-terminal), or when none of
// parity, framing or break grew, the byte counts as a parity error: a marked 00 may be a break or
// a 00 received with a bad parity or stop bit, which the mark alone cannot tell apart, and either
// way the reply it belongs to is not to be trusted. Parity is the report that makes the link
// drop the reply without claiming a framing error or a break nobody saw.
std::int32_t markErrors(const LineCounterDelta* counters);

}  // namespace serial
