// The receiving half of the link service: what each byte from the box means in each state,
// the per-byte acknowledgements in both directions and the decoding of completed replies.

#include <algorithm>

#include "link/RSLib.h"
#include "link/WireFormats.h"
#include "serial/CommDevice.h"

namespace {

constexpr std::uint8_t AckAccept = 0xE0, AckRepeat = 0xEA, AckEndOfX = 0xE2, AckEndOfY = 0xE3;
constexpr std::uint8_t CmdPositions = 0xE1;

std::int32_t readErrorCode(ReplyState state) {
    switch (state) {
        case ReplyState::rsCalibration:
            return 5;
        case ReplyState::rsPositions:
            return 8;
        case ReplyState::rsResolution:
            return 9;
        case ReplyState::rsLineCounts:
            return 13;
        default:
            return 14;  // correction tables and dimension types share their code
    }
}

bool awaitsAcknowledgement(ReplyState state) {
    return state >= ReplyState::rsAckReference;
}

// The acknowledgement the host sends after position byte k (from 1) when more bytes follow.
std::uint8_t positionAck(std::int32_t k) {
    if (k == 4) return AckEndOfX;
    if (k == 8) return AckEndOfY;
    return AckAccept;
}

}  // namespace

void TRS232Service::HandleRxChar(std::int32_t count) {
    if (!portOpen_) return;  // the bytes stay in the port
    if (replyState_ == ReplyState::rsIdle)
        ReceiveRawBytes(count);
    else if (replyState_ == ReplyState::rsReady)
        ReceiveReady();
    else if (replyState_ == ReplyState::rsQuietLine)
        DiscardWhileQuieting();
    else if (awaitsAcknowledgement(replyState_))
        HandleWriteAck();
    else
        ReceiveReply(count);
}

void TRS232Service::ReceiveRawBytes(std::int32_t count) {
    if (!OnRawByte) {
        Purge();
        return;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        // A handler that starts an exchange or closes the link takes over the rest of the bytes.
        if (replyState_ != ReplyState::rsIdle || !portOpen_) return;
        ReadByte(lastByte_);
        if (auto handler = OnRawByte) handler(lastByte_);
    }
}

void TRS232Service::ReceiveReady() {
    // The time-out started by CheckReady keeps running: the request that follows decides it.
    replyState_ = ReplyState::rsIdle;
    timedOut_ = false;
    // A readiness byte that came with a line error, or with another byte beside it (line noise
    // before it or behind it), may not be the box's: taken as it stands it would choose the reply
    // formats of another kind of box for everything that follows.
    const bool read = ReadByte(lastByte_);
    const bool inStep = lineOk_ && comm_->InQueCount() == 0 && !comm_->ReplyDisturbed();
    lineOk_ = true;
    if (read && !inStep && AskedAgain()) return;
    if (!read || !inStep) {
        ReportError(4);
        return;
    }
    deviceKind_ = wire::deviceKindFromReadiness(lastByte_);
    if (auto handler = OnAcknowledge) handler(deviceKind_ != 0);
}

bool TRS232Service::LateReplyKeeps(ReplyState state) {
    if (!timedOut_) return true;
    // Cleared before the event: a handler that runs a nested event loop must not see it twice.
    timedOut_ = false;
    if (auto handler = OnLateReply) handler();
    return replyState_ == state && portOpen_;
}

void TRS232Service::ReceiveReply(std::int32_t count) {
    const ReplyState state = replyState_;
    for (std::int32_t i = 0; i < count; ++i) {
        if (!LateReplyKeeps(state)) return;
        timeoutTimer_.SetEnabled(false);
        if (!ReadByte(lastByte_)) {
            // The exchange stalls here, timer off, until the caller reopens the link.
            ReportError(readErrorCode(state));
            Purge();
            return;
        }
        // Every reply is shorter than the buffer and ends the loop when complete; the guard only
        // keeps a confused count from ever writing past it.
        if (byteCounter_ < 0 || static_cast<std::size_t>(byteCounter_) >= BufferSize)
            byteCounter_ = 0;
        rxBuffer_[static_cast<std::size_t>(byteCounter_++)] = lastByte_;
        if (byteCounter_ < ReplyLength(state)) {
            timeoutTimer_.SetEnabled(true);
            // The port may have answered it already, as the byte came.
            std::uint8_t answered = 0;
            if (state == ReplyState::rsPositions && !comm_->TakeAnswered(answered))
                WriteByte(positionAck(byteCounter_));
            continue;
        }
        // A reply has a fixed length and the box sends nothing after it: a byte still waiting (or
        // one the port saw come out of step) means a stray byte was taken in among the reply's
        // own, so its values are built from shifted bytes. The next request discards what is
        // waiting.
        if (comm_->InQueCount() > 0 || comm_->ReplyDisturbed()) lineOk_ = false;
        CompleteReply(state);
        return;
    }
}

// Tells the port what the reply to the request being sent looks like. It holds a reply's last
// byte back until the line has been quiet for a moment after it: a byte right behind it means a
// stray byte was taken in among the reply's own (see the check at completion). The box sends each
// position byte only after the answer to the one before: answered by the port as the bytes come,
// a reply costs the program one turn of its loop instead of one per byte.
void TRS232Service::ArmReply() {
    serial::ReplyScript script;
    switch (replyState_) {
        case ReplyState::rsPositions:
            script.length = ReplyLength(replyState_);
            script.answered = true;
            for (std::int32_t k = 1; k < script.length; ++k)
                script.answers[static_cast<std::size_t>(k - 1)] = positionAck(k);
            break;
        case ReplyState::rsCorrections:
            script.length = wire::correctionBlockSize(0);
            script.lengthPerFirstByte = wire::correctionBlockSize(1) - wire::correctionBlockSize(0);
            break;
        case ReplyState::rsReady:
        case ReplyState::rsCalibration:
        case ReplyState::rsResolution:
        case ReplyState::rsLineCounts:
        case ReplyState::rsDimensionTypes:
            script.length = ReplyLength(replyState_);
            break;
        default:
            return;  // acknowledgements of a write: one byte for each of ours
    }
    comm_->ArmReplyScript(script);
}

std::uint8_t TRS232Service::AxesInReply() const {
    // Only 1..3 counters exist; any other value would make a reply the box never sends.
    return std::clamp<std::uint8_t>(AxisCount, 1, 3);
}

std::int32_t TRS232Service::ReplyLength(ReplyState state) const {
    const bool wide = deviceKind_ >= 2 && deviceKind_ <= 4;
    switch (state) {
        case ReplyState::rsPositions:
            return 4 * AxesInReply();
        case ReplyState::rsCalibration:
            return 12;
        case ReplyState::rsResolution:
            return wide ? 4 : 3;
        case ReplyState::rsLineCounts:
            return wide ? 12 : 9;
        case ReplyState::rsCorrections:
            return byteCounter_ == 0 ? 1 : wire::correctionBlockSize(rxBuffer_[0]);
        default:
            return 1;
    }
}

// A reply of the configuration read spoilt on the line (a line error, a stray byte taken in among
// its own) is asked for once more instead of being reported invalid: noise seldom strikes twice
// running, and the link start would stop on it. Only a box whose answer is spoilt again is told
// of. Position replies are not asked again: the cycle's next request is as good. The request
// gets its own time-out: with the timer left off, a box that falls silent now would stall the
// read with nothing reported (the readiness's countdown, already running, runs on).
bool TRS232Service::AskedAgain() {
    if (retryCount_ <= 0 || lastCommand_ == CmdPositions) return false;
    --retryCount_;
    SendCommand(lastCommand_);
    timeoutTimer_.SetEnabled(true);
    return true;
}

void TRS232Service::CompleteReply(ReplyState state) {
    byteCounter_ = 0;
    if (!lineOk_ && AskedAgain()) return;
    replyState_ = ReplyState::rsIdle;
    const bool valid = lineOk_;
    lineOk_ = true;
    const std::uint8_t* p = rxBuffer_.data();
    const bool kind1 = deviceKind_ == 1;
    const bool wide = deviceKind_ >= 2 && deviceKind_ <= 4;
    switch (state) {
        case ReplyState::rsPositions:
            if (auto handler = OnPositions)
                handler(wire::readInt32(p), wire::readInt32(p + 4), wire::readInt32(p + 8), valid);
            break;
        case ReplyState::rsCalibration:
            if (!kind1 && !wide) break;
            if (auto handler = OnCalibration) {
                if (kind1)
                    handler(valid, wire::DecodeDecimal24(p), wire::DecodeDecimal24(p + 4),
                            wire::DecodeDecimal24(p + 8));
                else
                    handler(valid, wire::readMicro(p), wire::readMicro(p + 4),
                            wire::readMicro(p + 8));
            }
            break;
        case ReplyState::rsResolution:
            if (wide) {
                const wire::ResolutionFrame f = wire::decodeResolutionFrame(p);
                if (auto handler = OnDimensionTypes) handler(f.types, valid);
                if (auto handler = OnResolution) handler(f.x, f.y, f.z, valid);
            } else if (kind1) {
                const std::uint8_t x = p[0], y = p[1], z = p[2];
                if (auto handler = OnResolution) handler(x, y, z, valid);
            }
            break;
        case ReplyState::rsLineCounts:
            if (auto handler = OnLineCounts) {
                if (wide)
                    handler(wire::readInt32(p), wire::readInt32(p + 4), wire::readInt32(p + 8),
                            valid);
                else if (kind1)
                    handler(wire::readInt24(p), wire::readInt24(p + 3), wire::readInt24(p + 6),
                            valid);
                else
                    handler(0, 0, 0, valid);
            }
            break;
        case ReplyState::rsCorrections: {
            std::uint8_t n = 0;
            std::uint32_t flags = 0;
            wire::decodeCorrectionBlock(p, n, flags, rxTables_[0], rxTables_[1], rxTables_[2]);
            if (auto handler = OnCorrections)
                handler(n, flags, rxTables_[0], rxTables_[1], rxTables_[2], valid);
            break;
        }
        case ReplyState::rsDimensionTypes:
            if (auto handler = OnDimensionTypes) handler(p[0], valid);
            break;
        default:
            break;
    }
}

std::int32_t TRS232Service::WriteLength() const {
    const bool kind1 = deviceKind_ == 1;
    const bool wide = deviceKind_ >= 2 && deviceKind_ <= 4;
    switch (replyState_) {
        case ReplyState::rsAckCalibration:
            return 12;
        case ReplyState::rsAckResolution:
            return kind1 ? 3 : wide ? 4 : 0;
        case ReplyState::rsAckLineCounts:
            return kind1 ? 9 : wide ? 12 : 0;
        case ReplyState::rsAckCorrections:
            return wire::correctionBlockSize(txBuffer_[0]);
        default:
            return 1;  // reference selector, dimension types
    }
}

void TRS232Service::HandleWriteAck() {
    // One acknowledgement per notification; the box sends the next only after our next byte.
    const ReplyState state = replyState_;
    if (!LateReplyKeeps(state)) {
        timeoutTimer_.SetEnabled(false);
        return;
    }
    // An acknowledgement that came with a line error may have been a refusal: it accepts
    // nothing and asks for nothing.
    const bool read = ReadByte(lastByte_) && lineOk_;
    if (!read || (lastByte_ != AckAccept && lastByte_ != AckRepeat)) {
        timeoutTimer_.SetEnabled(false);
        ReportError(11);
        return;
    }
    if (lastByte_ == AckRepeat) {
        // Asked for the previous byte again: no progress, so the countdown from the last
        // acceptance runs on (or starts, after a time-out); a box that asks again and again
        // still ends in OnTimeout.
        timeoutTimer_.SetEnabled(true);
        if (--byteCounter_ < 0) {
            // The command byte itself was refused: the whole write starts over.
            byteCounter_ = 0;
            SendCommand(lastCommand_);
            return;
        }
        SendParameterByte();
        return;
    }
    timeoutTimer_.SetEnabled(false);
    if (byteCounter_ >= WriteLength()) {
        byteCounter_ = 0;
        replyState_ = ReplyState::rsIdle;
        if (auto handler = OnAcknowledge) handler(true);
        return;
    }
    timeoutTimer_.SetEnabled(true);
    SendParameterByte();
}

void TRS232Service::SendParameterByte() {
    // The byte counts as sent even when the write fails: the box's answer decides what follows.
    const auto index = static_cast<std::size_t>(byteCounter_++);
    if (!WriteByte(txBuffer_[index])) ReportError(12);
}
