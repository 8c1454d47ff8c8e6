#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "sim/Config.h"

namespace sim {

// One byte the box sends. The line (pseudo-terminal or in-memory) decides when it arrives: the
// byte is ready gapUs after the previous byte of the same answer has arrived, the first one gapUs
// after the host byte that caused the answer.
struct Emission {
    std::uint8_t byte = 0;
    std::int64_t gapUs = 0;
    // The command this byte answers (0: none, garbage) and its index in the answer.
    std::uint8_t command = 0;
    std::uint16_t index = 0;
    // The last byte of a complete position reply.
    bool completesReading = false;
};

// What the box made of a byte from the host.
enum class HostByteRole {
    Command,      // started a request
    Parameter,    // a parameter byte of a write
    Acknowledge,  // the expected acknowledgement of a position byte
    Ignored,      // not understood, or the box is silent or gone
};

// The readout box: answers every command of the protocol, stores what is written, moves its
// counters and misbehaves on demand. It is driven only by the host's bytes and the time they are
// seen; it has no clock and no timers of its own. Times are microseconds on the caller's clock.
//
// A position reply goes out one byte at a time: each byte but the last waits for the host's
// acknowledgement (0xE0, 0xE2 after the 4th, 0xE3 after the 8th). Any other byte drops the reply
// at once and is then taken as if the box were idle (a command starts, anything else is
// ignored); an acknowledgement that does not come within hostTimeoutUs drops the reply too.
// Writes are handled alike: a parameter byte missing for hostTimeoutUs drops the write unstored.
class Box {
public:
    explicit Box(const SimConfig& config, std::int64_t epochUs = 0);

    // The host's byte, as the box sees it at nowUs (its last bit arrived). The answer is appended
    // to out.
    HostByteRole hostByte(std::uint8_t b, std::int64_t nowUs, std::vector<Emission>& out);

    const BoxSettings& settings() const { return config_.settings; }
    const SimConfig& config() const { return config_; }
    // The count the box would send for the axis at nowUs.
    std::int32_t countAt(int axis, std::int64_t nowUs) const;
    bool searchingReference(int axis, std::int64_t nowUs) const;
    std::int64_t requests() const { return requests_; }
    // Every axis moves on by `counts` at once, on top of its motion, as when the table is pushed.
    void push(double counts);

    // Notes on what the box does with unusual input and on every command, for the trace.
    // Unassigned: no text is made.
    std::function<void(std::int64_t timeUs, const std::string& text)> OnNote;
    // A picked disconnect: the line should go dead for forUs.
    std::function<void(std::int64_t forUs)> OnDisconnect;
    // A write completed and changed what the box stores.
    std::function<void()> OnSettingsChanged;
    // The box misbehaves on purpose, at the request with this number and command byte (a
    // silence after a reference command: at that command).
    std::function<void(std::int64_t timeUs, Fault fault, std::int64_t request,
                       std::uint8_t command)>
        OnFault;

private:
    enum class Phase { Idle, AwaitAck, Params };

    // The counter of an axis counts from its mark once a reference search found it.
    struct Reference {
        bool searching = false;
        std::int64_t foundAtUs = 0;
        double pendingOffset = 0;  // the motion's count when the search meets the mark
        double offset = 0;         // the same, of the last search that met it
    };

    bool unavailable(std::uint8_t b, std::int64_t nowUs);
    void expireWait(std::int64_t nowUs);
    HostByteRole takeAck(std::uint8_t b, std::int64_t nowUs, std::vector<Emission>& out);
    HostByteRole takeParam(std::uint8_t b, std::int64_t nowUs, std::vector<Emission>& out);
    HostByteRole takeCommand(std::uint8_t b, std::int64_t nowUs, std::vector<Emission>& out);
    bool applyRequestFaults(std::uint8_t command, std::int64_t nowUs, std::vector<Emission>& out);
    // Stops answering from now, for the configured time.
    void fallSilent(std::int64_t nowUs);
    void faultMade(std::int64_t nowUs, Fault fault) const;
    void reply(std::uint8_t command, std::int64_t nowUs, std::vector<Emission>& out);
    void startWrite(std::uint8_t command, std::int64_t nowUs, std::vector<Emission>& out);
    int expectedParams() const;
    void completeWrite(std::int64_t nowUs);
    void applyReference(std::uint8_t selector, std::int64_t nowUs);
    void sendPositionByte(std::vector<Emission>& out);
    void sendByte(std::vector<Emission>& out, std::uint8_t byte, std::uint8_t command, int index,
                  bool completesReading = false);
    double rawCountAt(int axis, std::int64_t nowUs) const;
    void note(std::int64_t timeUs, const std::string& text) const;
    bool noting() const { return static_cast<bool>(OnNote); }

    SimConfig config_;
    std::int64_t epochUs_;
    Phase phase_ = Phase::Idle;
    std::int64_t lastActivityUs_ = 0;
    std::int64_t requests_ = 0;
    std::uint8_t lastCommand_ = 0;
    std::int64_t silentUntilUs_ = std::numeric_limits<std::int64_t>::min();
    std::int64_t goneUntilUs_ = std::numeric_limits<std::int64_t>::min();
    // The first byte of the answer being built waits this much more (late reply).
    std::int64_t extraGapUs_ = 0;
    // Bytes of the answer to the current host byte, and when its last one is ready.
    int answerBytes_ = 0;
    std::int64_t answerAtUs_ = 0;
    std::uint32_t garbageState_;

    // Position reply in progress.
    std::array<std::uint8_t, 12> positions_{};
    int positionsLength_ = 0;
    int positionsSent_ = 0;

    // Write in progress.
    std::uint8_t writeCommand_ = 0;
    std::vector<std::uint8_t> params_;
    bool refusedThisWrite_ = false;
    bool refusedCommand_ = false;

    std::array<Reference, Axes> reference_{};
    double pushed_ = 0;
};

}  // namespace sim
