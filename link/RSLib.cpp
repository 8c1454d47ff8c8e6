#include "link/RSLib.h"

#include <algorithm>

#include "link/WireFormats.h"
#include "platform/Translate.h"

namespace {

constexpr std::uint8_t CmdPositions = 0xE1, CmdCorrections = 0xE4, CmdCalibration = 0xE5,
                       CmdResolution = 0xE6, CmdLineCounts = 0xE7, CmdDimensionTypes = 0xE8,
                       CmdReady = 0xE9, CmdWriteCorrections = 0xEA, CmdWriteCalibration = 0xEB,
                       CmdWriteResolution = 0xEC, CmdWriteLineCounts = 0xED,
                       CmdWriteDimensionTypes = 0xEE, CmdWriteReference = 0xEF,
                       CmdEndConfiguration = 0xF1;

TRS232Service* g_service = nullptr;

ReplyState stateAwaitingReplyTo(std::uint8_t command) {
    switch (command) {
        case CmdPositions:
            return ReplyState::rsPositions;
        case CmdCorrections:
            return ReplyState::rsCorrections;
        case CmdCalibration:
            return ReplyState::rsCalibration;
        case CmdResolution:
            return ReplyState::rsResolution;
        case CmdLineCounts:
            return ReplyState::rsLineCounts;
        case CmdDimensionTypes:
            return ReplyState::rsDimensionTypes;
        case CmdReady:
            return ReplyState::rsReady;
        case CmdWriteCorrections:
            return ReplyState::rsAckCorrections;
        case CmdWriteCalibration:
            return ReplyState::rsAckCalibration;
        case CmdWriteResolution:
            return ReplyState::rsAckResolution;
        case CmdWriteLineCounts:
            return ReplyState::rsAckLineCounts;
        case CmdWriteDimensionTypes:
            return ReplyState::rsAckDimensionTypes;
        case CmdWriteReference:
            return ReplyState::rsAckReference;
        default:
            return ReplyState::rsIdle;
    }
}

}  // namespace

std::string ErrorText(std::int32_t code) {
    switch (code) {
        case 1:
            return platform::translate("ErrorText", "(błąd ramki)");
        case 2:
            return platform::translate("ErrorText", "(błąd portu drukarki)");
        case 3:
            return platform::translate("ErrorText", "(błąd połączenia)");
        case 4:
            return platform::translate("ErrorText", "(błąd czytania gotowości)");
        case 5:
            return platform::translate("ErrorText", "(błąd czytania kalibracji)");
        case 6:
            return platform::translate("ErrorText", "(błąd czytania znaku)");
        case 7:
            return platform::translate("ErrorText", "(błąd czytania liczby błędów)");
        case 8:
            return platform::translate("ErrorText", "(błąd czytania pozycji XY)");
        case 9:
            return platform::translate("ErrorText", "(błąd czytania rozdzielczości)");
        case 10:
            return platform::translate("ErrorText", "(błąd czytania testu)");
        case 11:
            return platform::translate("ErrorText", "(błąd czytania akceptacji)");
        case 12:
            return platform::translate("ErrorText", "(błąd pisania znaku)");
        case 13:
            return platform::translate("ErrorText", "(błąd czytania ilości linii)");
        case 14:
            return platform::translate("ErrorText", "(błąd czytania typu wymiarów)");
        case 15:
            return platform::translate("ErrorText", "(błąd czytania referencji)");
        case TRS232Service::LineNeverQuiet:
            return platform::translate("ErrorText", "(linia nie milknie)");
        default:
            return platform::translate("ErrorText", "(błąd inny)");
    }
}

TRS232Service* RS232Service() {
    return g_service;
}
void SetRS232Service(TRS232Service* service) {
    g_service = service;
}

TRS232Service::TRS232Service(platform::Clock& clock, std::shared_ptr<serial::CommDevice> device)
    : timeoutTimer_(ReplyTimeoutMs, clock),
      quietTimer_(QuietLineMs, clock),
      quietLimitTimer_(QuietLimitMs, clock),
      comm_(std::make_unique<serial::TVaComm>(std::move(device))) {
    using namespace serial;
    TVaComm& c = *comm_;
    c.SetParity(TVaParity::paOdd);
    c.SetDeviceName("COM2");
    c.SetBaudrate(TVaBaudrate::br9600);
    c.OnRxChar = [this](std::int32_t count) { HandleRxChar(count); };
    c.SetDatabits(TVaDatabits::db8);
    c.SetStopbits(TVaStopbits::sb1);
    c.OnBreak = [this] { HandleTimeout(); };
    c.OnPErr = [this] { HandlePrinterError(); };
    c.OnError = [this](std::int32_t errors) { HandleLineError(errors); };
    c.OnGone = [this] {
        if (!portOpen_) return;
        if (auto handler = OnPortGone) handler();
    };
    c.SetMonitorEvents({TVaCommEvent::ceError, TVaCommEvent::ceRxChar, TVaCommEvent::ceTxEmpty});
    c.SetParityCheck(true);
    c.SetWritePriority(TThreadPriority::tpTimeCritical);
    c.SetDirectWrite(true);
    replyState_ = ReplyState::rsIdle;
    timeoutTimer_.SetEnabled(false);
    timeoutTimer_.OnTimer = [this] { HandleTimeout(); };
    quietTimer_.OnTimer = [this] { HandleQuietLine(); };
    quietLimitTimer_.OnTimer = [this] {
        StopQuieting();
        replyState_ = ReplyState::rsIdle;
        ReportError(LineNeverQuiet);
    };
}

// The port goes first (closing the device if open), then the timer: comm_ is declared after
// timeoutTimer_.
TRS232Service::~TRS232Service() = default;

void TRS232Service::Open() {
    StopQuieting();
    replyState_ = ReplyState::rsIdle;
    timedOut_ = false;
    lineOk_ = true;
    if (!portOpen_) {
        comm_->Open();
        portOpen_ = true;
        // Whatever the driver holds from before this opening (a reply to a program that has
        // ended, the rest of an exchange given up) answers no request of ours; taken as the next
        // reply it would be read as the box's kind or its values.
        try {
            comm_->PurgeRead();
        } catch (const std::exception&) {
        }
    }
}

void TRS232Service::Close() {
    timeoutTimer_.SetEnabled(false);
    StopQuieting();
    if (portOpen_) {
        // Cleared first: the port is closed even when a close handler of its own throws, and the
        // next Open must then open it again.
        portOpen_ = false;
        comm_->Close();
    }
}

void TRS232Service::Purge() {
    comm_->PurgeRead();
    comm_->PurgeWrite();
}

std::string TRS232Service::GetPortName() const {
    return comm_->DeviceName();
}

void TRS232Service::SetPortName(const std::string& name) {
    comm_->SetDeviceName(name);
}

// ---- requests ----

void TRS232Service::BeginRequest(bool start) {
    // The timer is switched before the test: a refused request leaves it as it would have set it.
    // Only the five configuration reads switch it on here; the writes and CheckReady switch it off
    // and let their command byte start it afresh, so each write gets its full 5000 ms.
    timeoutTimer_.SetEnabled(start);
    if (replyState_ != ReplyState::rsIdle) throw EMultipleRequest();
}

void TRS232Service::SendCommand(std::uint8_t command) {
    StopQuieting();
    lineOk_ = true;
    timedOut_ = false;
    byteCounter_ = 0;
    lastCommand_ = command;
    switch (command) {
        case CmdWriteCorrections:
        case CmdWriteCalibration:
        case CmdWriteResolution:
        case CmdWriteLineCounts:
        case CmdWriteDimensionTypes:
        case CmdEndConfiguration:
            ++configurationWrites_;
            break;
        default:
            break;
    }
    if (auto handler = OnRequest) handler(command);
    if (command != CmdEndConfiguration) {
        // Set before the byte goes out, so a reply that follows at once is already expected.
        replyState_ = stateAwaitingReplyTo(command);
        // The reads keep the timer as BeginRequest left it.
        if (command == CmdReady || command >= CmdWriteCorrections) timeoutTimer_.SetEnabled(true);
    }
    // The box sends nothing unasked, so a byte already waiting cannot belong to what this
    // command brings: it is the rest of an answer given up, a doubled byte or line noise. Taken
    // in, it would shift every byte of the reply, and of each reply after it, by one.
    try {
        comm_->PurgeRead();
    } catch (const std::exception&) {
    }
    ArmReply();
    WriteByte(command);
}

void TRS232Service::CheckReady() {
    BeginRequest(false);
    timeoutTimer_.SetEnabled(false);
    retryCount_ = 1;
    SendCommand(CmdReady);
}

void TRS232Service::CheckReadyOnQuietLine() {
    BeginRequest(false);
    replyState_ = ReplyState::rsQuietLine;
    quietLimitTimer_.SetEnabled(true);
    DiscardWhileQuieting();
}

void TRS232Service::DiscardWhileQuieting() {
    try {
        comm_->PurgeRead();
    } catch (const std::exception&) {
    }
    quietTimer_.SetEnabled(false);
    quietTimer_.SetEnabled(true);
}

void TRS232Service::HandleQuietLine() {
    // A byte already taken in by the port but not yet handed over counts as one that came.
    std::int32_t waiting = 0;
    try {
        waiting = comm_->InQueCount();
    } catch (const std::exception&) {
    }
    if (waiting > 0) {
        DiscardWhileQuieting();
        return;
    }
    StopQuieting();
    replyState_ = ReplyState::rsIdle;
    CheckReady();
}

void TRS232Service::StopQuieting() {
    quietTimer_.SetEnabled(false);
    quietLimitTimer_.SetEnabled(false);
}

void TRS232Service::ReadPositions() {
    BeginRequest(false);
    SendCommand(CmdPositions);
}

void TRS232Service::ReadCalibration() {
    BeginRequest(true);
    retryCount_ = 1;
    SendCommand(CmdCalibration);
}

void TRS232Service::ReadResolution() {
    BeginRequest(true);
    retryCount_ = 1;
    SendCommand(CmdResolution);
}

void TRS232Service::ReadLineCounts() {
    BeginRequest(true);
    retryCount_ = 1;
    SendCommand(CmdLineCounts);
}

void TRS232Service::ReadCorrections() {
    BeginRequest(true);
    retryCount_ = 1;
    SendCommand(CmdCorrections);
}

void TRS232Service::ReadDimensionTypes() {
    BeginRequest(true);
    retryCount_ = 1;
    SendCommand(CmdDimensionTypes);
}

// Not refused while another exchange is pending: that exchange is abandoned. The block always
// fits TxBuffer (at most 255 rows per axis), and the new write starts from its first byte.
void TRS232Service::WriteCorrections(std::uint8_t Count, std::uint32_t Flags,
                                     const TCorrectionTable& X, const TCorrectionTable& Y,
                                     const TCorrectionTable& Z) {
    wire::encodeCorrectionBlock(Count, Flags, X, Y, Z, txBuffer_.data());
    SendCommand(CmdWriteCorrections);
}

void TRS232Service::WriteCalibration(long double X, long double Y, long double Z) {
    BeginRequest(false);
    std::uint8_t* p = txBuffer_.data();
    const long double values[] = {X, Y, Z};
    for (int axis = 0; axis < 3; ++axis, p += 4) {
        if (deviceKind_ == 1)
            wire::EncodeDecimal24(values[axis], p);
        else if (deviceKind_ >= 2 && deviceKind_ <= 4)
            wire::writeMicro(p, values[axis]);
        else
            std::fill_n(p, 4, std::uint8_t{0});
    }
    SendCommand(CmdWriteCalibration);
}

void TRS232Service::WriteResolution(std::uint8_t X, std::uint8_t Y, std::uint8_t Z) {
    BeginRequest(false);
    txBuffer_[0] = X;
    txBuffer_[1] = Y;
    txBuffer_[2] = Z;
    // A box of kinds 2..4 takes four bytes after 0xEC; the fourth must not be a stale one.
    txBuffer_[3] = 0;
    SendCommand(CmdWriteResolution);
}

void TRS232Service::WriteResolutionAndTypes(std::uint8_t X, std::uint8_t Y, std::uint8_t Z,
                                            std::uint8_t Types) {
    BeginRequest(false);
    wire::encodeResolutionFrame({X, Y, Z, Types}, txBuffer_.data());
    SendCommand(CmdWriteResolution);
}

void TRS232Service::WriteLineCounts(std::int32_t X, std::int32_t Y, std::int32_t Z) {
    BeginRequest(false);
    const std::int32_t values[] = {X, Y, Z};
    for (int axis = 0; axis < 3; ++axis) {
        if (deviceKind_ == 1)
            wire::writeInt24(&txBuffer_[static_cast<std::size_t>(3 * axis)], values[axis]);
        else if (deviceKind_ >= 2 && deviceKind_ <= 4)
            wire::writeInt32(&txBuffer_[static_cast<std::size_t>(4 * axis)], values[axis]);
    }
    SendCommand(CmdWriteLineCounts);
}

void TRS232Service::WriteDimensionTypes(std::uint8_t Types) {
    BeginRequest(false);
    txBuffer_[0] = Types;
    SendCommand(CmdWriteDimensionTypes);
}

void TRS232Service::WriteReference(std::uint8_t Selector) {
    BeginRequest(false);
    txBuffer_[0] = Selector;
    SendCommand(CmdWriteReference);
}

void TRS232Service::EndConfiguration() {
    BeginRequest(false);
    SendCommand(CmdEndConfiguration);
}

// ---- the port ----

bool TRS232Service::ReadByte(std::uint8_t& value) {
    try {
        return comm_->ReadChar(value);
    } catch (const std::exception&) {
        try {
            Purge();
        } catch (const std::exception&) {
            // The transfer has failed either way; the caller learns it from the result.
        }
        return false;
    }
}

bool TRS232Service::WriteByte(std::uint8_t value) {
    try {
        return comm_->WriteChar(value);
    } catch (const std::exception&) {
        try {
            Purge();
        } catch (const std::exception&) {
        }
        return false;
    }
}

void TRS232Service::ReportError(std::int32_t code) {
    if (auto handler = OnLinkError) handler(code);
}

void TRS232Service::HandleTimeout() {
    timeoutTimer_.SetEnabled(false);
    timedOut_ = true;
    if (auto handler = OnTimeout) handler();
}

void TRS232Service::HandleLineError(std::int32_t errors) {
    if (auto seen = OnLineError) seen(errors);
    // A reply byte that came with any of these is not the byte the box sent, or bytes were lost
    // (overrun) or one was made up (a break reads as 0x00): the reply is not to be trusted, also
    // when the port reports several conditions at once. Only a framing error is told to the
    // operator, as before.
    constexpr std::int32_t corrupting = serial::ErrorBits::Overflow | serial::ErrorBits::Overrun |
                                        serial::ErrorBits::Parity | serial::ErrorBits::Frame |
                                        serial::ErrorBits::Break;
    // While a link start waits for a quiet line, everything that comes is thrown away anyway.
    if ((errors & corrupting) == 0 || replyState_ == ReplyState::rsQuietLine) return;
    lineOk_ = false;
    if (errors & serial::ErrorBits::Frame) ReportError(1);
}

void TRS232Service::HandlePrinterError() {
    lineOk_ = false;
    ReportError(2);
}
