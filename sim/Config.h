#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sim/Motion.h"
#include "sim/Settings.h"

namespace sim {

// Picks requests by their number, counted from 1 over the commands the box has taken: request
// `first`, and then every `every`-th after it when every > 0. first = 0 picks none.
struct Trigger {
    std::int64_t first = 0;
    std::int64_t every = 0;

    bool picks(std::int64_t request) const {
        if (first <= 0 || request < first) return false;
        if (request == first) return true;
        return every > 0 && (request - first) % every == 0;
    }
    bool active() const { return first > 0; }
};

// The kinds of misbehaviour the box makes on purpose, as the statistics count them.
enum class Fault { Silent, Late, Garbage, Disconnect };
constexpr int FaultKinds = 4;
// "silent", "late", "garbage", "disconnect".
const char* faultName(Fault fault);

// Misbehaviour on demand. Line errors (parity, framing) are not here: only the in-memory line
// can carry them, and its bridge injects them.
struct Faults {
    // Stops answering at the picked requests (1: from the start), each time for silentForUs (0:
    // for good, so only the first pick matters).
    Trigger silent;
    std::int64_t silentForUs = 0;
    // Falls silent (for silentForUs, 0: for good) right after it has acknowledged a reference
    // command, when the host reads the configuration again.
    bool silentAfterReference = false;
    // Every reply byte and every acknowledgement waits this long more.
    std::int64_t byteDelayUs = 0;
    // The picked requests are answered this late (the host gives a reading up after 1200 ms).
    Trigger late;
    std::int64_t lateByUs = 1500000;
    // The picked requests get garbageBytes arbitrary bytes instead of their reply.
    Trigger garbage;
    int garbageBytes = 5;
    // Once in every write, 0xEA instead of 0xE0 for the byte with this number: 0 the command
    // byte, k the k-th parameter byte; -1 never.
    int refuseByte = -1;
    // badAckValue instead of 0xE0 for this byte of every write (numbered as refuseByte); the box
    // then drops the write. -1 never.
    int badAckByte = -1;
    std::uint8_t badAckValue = 0x55;
    // The picked requests find the box gone (line dead, or the pseudo-terminal removed) for
    // disconnectForUs; it comes back idle.
    Trigger disconnect;
    std::int64_t disconnectForUs = 3000000;
};

// One run of the simulated box: what it stores, how its axes move, how it behaves.
struct SimConfig {
    BoxSettings settings;
    std::array<Motion, Axes> motion{};
    // Kinds 2..4 report counts with their calibration and segment corrections applied.
    bool applyCorrections = true;
    // From the reference command to the mark.
    std::int64_t referenceTravelUs = 1500000;
    // The box's own reaction time before each byte it sends.
    std::int64_t turnaroundUs = 0;
    // Waiting for the next acknowledgement or parameter byte longer than this, the box drops the
    // reply or the write and takes the next byte as a command.
    std::int64_t hostTimeoutUs = 1000000;
    Faults faults;
    // Seed of the garbage bytes.
    std::uint32_t seed = 1;
};

}  // namespace sim
