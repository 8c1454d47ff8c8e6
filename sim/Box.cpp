#include "sim/Box.h"

#include "link/WireFormats.h"
#include "sim/Commands.h"
#include "sim/Text.h"

namespace sim {

using text::hexByte;

const char* faultName(Fault fault) {
    switch (fault) {
        case Fault::Silent:
            return "silent";
        case Fault::Late:
            return "late";
        case Fault::Garbage:
            return "garbage";
        case Fault::Disconnect:
            return "disconnect";
    }
    return "?";
}

Box::Box(const SimConfig& config, std::int64_t epochUs)
    : config_(config), epochUs_(epochUs), garbageState_(config.seed ? config.seed : 1) {
    // Room for the largest write, so taking parameter bytes never allocates.
    params_.reserve(static_cast<std::size_t>(wire::correctionBlockSize(255)));
}

void Box::note(std::int64_t timeUs, const std::string& text) const {
    if (auto handler = OnNote) handler(timeUs, text);
}

HostByteRole Box::hostByte(std::uint8_t b, std::int64_t nowUs, std::vector<Emission>& out) {
    answerBytes_ = 0;
    answerAtUs_ = nowUs;
    if (unavailable(b, nowUs)) return HostByteRole::Ignored;
    expireWait(nowUs);
    switch (phase_) {
        case Phase::AwaitAck:
            return takeAck(b, nowUs, out);
        case Phase::Params:
            return takeParam(b, nowUs, out);
        case Phase::Idle:
            break;
    }
    return takeCommand(b, nowUs, out);
}

bool Box::unavailable(std::uint8_t b, std::int64_t nowUs) {
    if (nowUs < goneUntilUs_) {
        if (noting()) note(nowUs, "gone: " + hexByte(b) + " lost");
        return true;
    }
    if (nowUs < silentUntilUs_) {
        if (noting()) note(nowUs, "silent: " + hexByte(b) + " not answered");
        return true;
    }
    return false;
}

void Box::expireWait(std::int64_t nowUs) {
    if (phase_ == Phase::Idle || nowUs - lastActivityUs_ <= config_.hostTimeoutUs) return;
    if (noting()) {
        const bool reading = phase_ == Phase::AwaitAck;
        note(lastActivityUs_ + config_.hostTimeoutUs,
             std::string(reading ? "no acknowledgement" : "no parameter byte") + " for " +
                 std::to_string(config_.hostTimeoutUs / 1000) +
                 " ms: " + (reading ? "position reply" : "write") + " dropped");
    }
    phase_ = Phase::Idle;
}

void Box::sendByte(std::vector<Emission>& out, std::uint8_t byte, std::uint8_t command, int index,
               bool completesReading) {
    Emission e;
    e.byte = byte;
    e.gapUs = config_.faults.byteDelayUs;
    if (answerBytes_ == 0) {
        e.gapUs += config_.turnaroundUs + extraGapUs_;
        extraGapUs_ = 0;
    }
    e.command = command;
    e.index = static_cast<std::uint16_t>(index);
    e.completesReading = completesReading;
    out.push_back(e);
    ++answerBytes_;
    // The host's next byte can only follow this one; waits are measured from here.
    answerAtUs_ += e.gapUs;
    lastActivityUs_ = answerAtUs_;
}

HostByteRole Box::takeAck(std::uint8_t b, std::int64_t nowUs, std::vector<Emission>& out) {
    const std::uint8_t expected = positionsSent_ == 4 ? 0xE2 : positionsSent_ == 8 ? 0xE3 : 0xE0;
    if (b == expected) {
        lastActivityUs_ = nowUs;
        sendPositionByte(out);
        return HostByteRole::Acknowledge;
    }
    if (noting())
        note(nowUs, hexByte(b) + " where " + hexByte(expected) + " acknowledges position byte " +
                        std::to_string(positionsSent_) + ": reply dropped");
    phase_ = Phase::Idle;
    return takeCommand(b, nowUs, out);
}

void Box::sendPositionByte(std::vector<Emission>& out) {
    const int index = positionsSent_++;
    const bool last = positionsSent_ == positionsLength_;
    sendByte(out, positions_[static_cast<std::size_t>(index)], cmd::ReadPositions, index, last);
    phase_ = last ? Phase::Idle : Phase::AwaitAck;
}

HostByteRole Box::takeCommand(std::uint8_t b, std::int64_t nowUs, std::vector<Emission>& out) {
    if (!cmd::isCommand(b)) {
        if (noting()) note(nowUs, "unknown byte " + hexByte(b) + " ignored");
        return HostByteRole::Ignored;
    }
    ++requests_;
    lastCommand_ = b;
    if (noting())
        note(nowUs,
             "request " + std::to_string(requests_) + ": " + hexByte(b) + " " + cmd::name(b));
    if (applyRequestFaults(b, nowUs, out)) return HostByteRole::Command;
    if (cmd::isRead(b))
        reply(b, nowUs, out);
    else if (b != cmd::EndConfiguration)
        startWrite(b, nowUs, out);
    return HostByteRole::Command;
}

void Box::faultMade(std::int64_t nowUs, Fault fault) const {
    if (auto handler = OnFault) handler(nowUs, fault, requests_, lastCommand_);
}

void Box::fallSilent(std::int64_t nowUs) {
    faultMade(nowUs, Fault::Silent);
    const std::int64_t forUs = config_.faults.silentForUs;
    silentUntilUs_ = forUs > 0 ? nowUs + forUs : std::numeric_limits<std::int64_t>::max();
    if (noting())
        note(nowUs, forUs > 0 ? "silent for " + std::to_string(forUs / 1000) + " ms"
                              : std::string("silent from now on"));
}

bool Box::applyRequestFaults(std::uint8_t command, std::int64_t nowUs, std::vector<Emission>& out) {
    const Faults& f = config_.faults;
    const std::int64_t n = requests_;
    if (f.disconnect.picks(n)) {
        faultMade(nowUs, Fault::Disconnect);
        goneUntilUs_ = nowUs + f.disconnectForUs;
        if (noting())
            note(nowUs, "disconnected for " + std::to_string(f.disconnectForUs / 1000) + " ms");
        if (auto handler = OnDisconnect) handler(f.disconnectForUs);
        return true;
    }
    if (f.silent.picks(n)) {
        fallSilent(nowUs);
        return true;
    }
    if (f.garbage.picks(n)) {
        faultMade(nowUs, Fault::Garbage);
        if (noting()) note(nowUs, std::to_string(f.garbageBytes) + " garbage bytes instead");
        for (int i = 0; i < f.garbageBytes; ++i) {
            garbageState_ = garbageState_ * 1103515245u + 12345u;
            sendByte(out, static_cast<std::uint8_t>(garbageState_ >> 16), 0, i);
        }
        return true;
    }
    if (f.late.picks(n)) {
        faultMade(nowUs, Fault::Late);
        extraGapUs_ = f.lateByUs;
        if (noting()) note(nowUs, "answered " + std::to_string(f.lateByUs / 1000) + " ms late");
    }
    (void)command;
    return false;
}

void Box::reply(std::uint8_t command, std::int64_t nowUs, std::vector<Emission>& out) {
    const BoxSettings& s = config_.settings;
    std::uint8_t frame[16];
    int length = 0;
    switch (command) {
        case cmd::CheckReady:
            frame[0] = readinessByte(s);
            length = 1;
            break;
        case cmd::ReadPositions: {
            const int axes = axisCount(s);
            std::string counts;
            for (int axis = 0; axis < axes; ++axis) {
                const std::int32_t count = countAt(axis, nowUs);
                wire::writeInt32(positions_.data() + 4 * axis, count);
                if (noting()) counts += " " + std::to_string(count);
            }
            if (noting()) note(nowUs, "positions" + counts);
            positionsLength_ = 4 * axes;
            positionsSent_ = 0;
            sendPositionByte(out);
            return;
        }
        case cmd::ReadCalibration:
            encodeCalibration(s, frame);
            length = 12;
            break;
        case cmd::ReadResolution:
            encodeResolution(s, frame);
            length = resolutionFrameSize(s.kind);
            break;
        case cmd::ReadLineCounts:
            encodeLineCounts(s, frame);
            length = lineCountsFrameSize(s.kind);
            break;
        case cmd::ReadDimensionTypes:
            frame[0] = s.types;
            length = 1;
            break;
        case cmd::ReadCorrections: {
            // The block is built in the parameter buffer, which is idle while the box answers.
            params_.resize(static_cast<std::size_t>(wire::correctionBlockSize(s.correctionCount)));
            wire::encodeCorrectionBlock(s.correctionCount, s.correctionFlags, s.corrections[AxisX],
                                        s.corrections[AxisY], s.corrections[AxisZ], params_.data());
            for (std::size_t i = 0; i < params_.size(); ++i)
                sendByte(out, params_[i], command, static_cast<int>(i));
            params_.clear();
            return;
        }
        default:
            return;
    }
    for (int i = 0; i < length; ++i) sendByte(out, frame[i], command, i);
}

}  // namespace sim
