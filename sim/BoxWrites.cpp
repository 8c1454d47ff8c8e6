// The box's side of the writes: every byte acknowledged, the values stored once the last
// parameter byte is in, the reference search started or ended.
#include "link/WireFormats.h"
#include "sim/Box.h"
#include "sim/Commands.h"
#include "sim/Text.h"

namespace sim {

using text::hexByte;

void Box::startWrite(std::uint8_t command, std::int64_t nowUs, std::vector<Emission>& out) {
    const Faults& f = config_.faults;
    if (f.refuseByte == 0 && !refusedCommand_) {
        // The host sends the command again; that one is taken.
        refusedCommand_ = true;
        if (noting()) note(nowUs, "command byte refused with EA");
        sendByte(out, cmd::Resend, command, 0);
        return;
    }
    refusedCommand_ = false;
    if (f.badAckByte == 0) {
        if (noting()) note(nowUs, "command byte answered " + hexByte(f.badAckValue));
        sendByte(out, f.badAckValue, command, 0);
        return;
    }
    writeCommand_ = command;
    params_.clear();
    refusedThisWrite_ = false;
    phase_ = Phase::Params;
    sendByte(out, cmd::Accept, command, 0);
}

int Box::expectedParams() const {
    const int kind = config_.settings.kind;
    switch (writeCommand_) {
        case cmd::WriteCorrections:
            return params_.empty() ? 1 : wire::correctionBlockSize(params_[0]);
        case cmd::WriteCalibration:
            return 12;
        case cmd::WriteResolution:
            return resolutionFrameSize(kind);
        case cmd::WriteLineCounts:
            return lineCountsFrameSize(kind);
        default:  // WriteDimensionTypes, WriteReference
            return 1;
    }
}

HostByteRole Box::takeParam(std::uint8_t b, std::int64_t nowUs, std::vector<Emission>& out) {
    const Faults& f = config_.faults;
    const int number = static_cast<int>(params_.size()) + 1;
    if (f.refuseByte == number && !refusedThisWrite_) {
        refusedThisWrite_ = true;
        if (noting())
            note(nowUs, "parameter byte " + std::to_string(number) + " (" + hexByte(b) +
                            ") refused with EA");
        sendByte(out, cmd::Resend, writeCommand_, number);
        return HostByteRole::Parameter;
    }
    if (f.badAckByte == number) {
        if (noting())
            note(nowUs, "parameter byte " + std::to_string(number) + " answered " +
                            hexByte(f.badAckValue) + ": write dropped");
        sendByte(out, f.badAckValue, writeCommand_, number);
        phase_ = Phase::Idle;
        return HostByteRole::Parameter;
    }
    params_.push_back(b);
    sendByte(out, cmd::Accept, writeCommand_, number);
    if (static_cast<int>(params_.size()) == expectedParams()) completeWrite(nowUs);
    return HostByteRole::Parameter;
}

void Box::completeWrite(std::int64_t nowUs) {
    BoxSettings& s = config_.settings;
    const std::uint8_t* p = params_.data();
    phase_ = Phase::Idle;
    std::string stored;
    switch (writeCommand_) {
        case cmd::WriteCorrections:
            wire::decodeCorrectionBlock(p, s.correctionCount, s.correctionFlags,
                                        s.corrections[AxisX], s.corrections[AxisY],
                                        s.corrections[AxisZ]);
            if (noting())
                stored = std::to_string(s.correctionCount) + " rows, flags " +
                         std::to_string(s.correctionFlags);
            break;
        case cmd::WriteCalibration:
            decodeCalibration(s, p);
            for (int axis = 0; axis < Axes && noting(); ++axis)
                stored += (axis ? " " : "") + text::formatLongDouble(calibrationValue(s, axis));
            break;
        case cmd::WriteResolution:
            decodeResolution(s, p);
            if (noting())
                stored = std::to_string(s.resolution[AxisX]) + " " +
                         std::to_string(s.resolution[AxisY]) + " " +
                         std::to_string(s.resolution[AxisZ]) +
                         (s.kind == 1 ? "" : ", types " + std::to_string(s.types));
            break;
        case cmd::WriteLineCounts:
            decodeLineCounts(s, p);
            if (noting())
                stored = std::to_string(s.lineCounts[AxisX]) + " " +
                         std::to_string(s.lineCounts[AxisY]) + " " +
                         std::to_string(s.lineCounts[AxisZ]);
            break;
        case cmd::WriteDimensionTypes:
            s.types = p[0];
            if (noting()) stored = std::to_string(s.types);
            break;
        case cmd::WriteReference:
            applyReference(p[0], nowUs);
            if (config_.faults.silentAfterReference) fallSilent(nowUs);
            return;
        default:
            return;
    }
    if (noting()) note(nowUs, std::string(cmd::name(writeCommand_)) + " stored: " + stored);
    if (auto handler = OnSettingsChanged) handler();
}

void Box::applyReference(std::uint8_t selector, std::int64_t nowUs) {
    if (selector >= 0xE1 && selector <= 0xE3) {
        const int axis = selector - 0xE1;
        Reference& r = reference_[static_cast<std::size_t>(axis)];
        // A search started again keeps what an earlier one on this axis found.
        if (r.searching && nowUs >= r.foundAtUs) r.offset = r.pendingOffset;
        r.searching = true;
        r.foundAtUs = nowUs + config_.referenceTravelUs;
        r.pendingOffset = config_.motion[static_cast<std::size_t>(axis)].countAt(
            static_cast<double>(r.foundAtUs - epochUs_) / 1e6);
        if (noting())
            note(nowUs, "reference search on " + std::string(1, "XYZ"[axis]) + ", mark in " +
                            std::to_string(config_.referenceTravelUs / 1000) + " ms");
        return;
    }
    if (selector == 0xE5) {
        for (Reference& r : reference_) {
            if (!r.searching) continue;
            // Ended before the mark came: the axis counts on as before the search.
            if (nowUs >= r.foundAtUs) r.offset = r.pendingOffset;
            r.searching = false;
        }
        if (noting()) note(nowUs, "reference search ended");
        return;
    }
    if (noting()) note(nowUs, "reference selector " + hexByte(selector) + " ignored");
}

}  // namespace sim
