#include "serial/Parmrk.h"

#include "serial/VaComm.h"

namespace serial {

std::size_t ParmrkDecoder::feed(std::uint8_t raw, Decoded out[2]) {
    if (!marking_) {
        out[0] = {raw, Kind::plain};
        return 1;
    }
    std::size_t n = 0;
    switch (state_) {
        case State::marked:
            state_ = State::normal;
            out[0] = {raw, Kind::marked};
            return 1;
        case State::escape:
            if (raw == 0xFF) {
                state_ = State::normal;
                out[0] = {0xFF, Kind::plain};
                return 1;
            }
            if (raw == 0x00) {
                state_ = State::marked;
                return 0;
            }
            // Not a mark the terminal makes: the FF was data, and this byte starts afresh.
            state_ = State::normal;
            out[n++] = {0xFF, Kind::plain};
            break;
        case State::normal:
            break;
    }
    if (raw == 0xFF) {
        state_ = State::escape;
        return n;
    }
    out[n++] = {raw, Kind::plain};
    return n;
}

std::int32_t markErrors(const LineCounterDelta* counters) {
    std::int32_t errors = 0;
    if (counters != nullptr) {
        if (counters->parity) errors |= ErrorBits::Parity;
        if (counters->frame) errors |= ErrorBits::Frame;
        if (counters->brk) errors |= ErrorBits::Break;
        if (counters->overrun) errors |= ErrorBits::Overrun;
        if (counters->bufOverrun) errors |= ErrorBits::Overflow;
    }
    if ((errors & (ErrorBits::Parity | ErrorBits::Frame | ErrorBits::Break)) == 0)
        errors |= ErrorBits::Parity;
    return errors;
}

}  // namespace serial
