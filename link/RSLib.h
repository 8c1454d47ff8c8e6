#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "link/CorrectionTable.h"
#include "platform/Timer.h"
#include "serial/VaComm.h"

// A request made while a reply or an acknowledgement is still awaited.
class EMultipleRequest : public std::runtime_error {
public:
    EMultipleRequest() : std::runtime_error("Nie skończona poprzednia operacja.") {}
};

// What the service awaits from the box.
enum class ReplyState : std::uint8_t {
    rsIdle,
    rsReady,
    rsPositions,
    rsCalibration,
    rsResolution,
    rsLineCounts,
    rsCorrections,
    rsDimensionTypes,
    rsQuietLine,  // a link start waits for the line to fall quiet before its readiness request
    rsAckReference,
    rsAckCalibration,
    rsAckResolution,
    rsAckLineCounts,
    rsAckCorrections,
    rsAckDimensionTypes,
};

// The message text of a link error code, e.g. "(błąd ramki)" for 1; "(błąd inny)" for unknown
// codes; in the operator's language (platform/Translate.h).
std::string ErrorText(std::int32_t code);

// The one object through which the program talks to the readout box: owns the serial port and the
// 5000 ms reply time-out, keeps the state of the one exchange in progress, acknowledges and is
// acknowledged byte by byte, and reports results and numbered errors through its events.
class TRS232Service {
public:
    // How long a reply or an acknowledgement may keep the box's next byte waiting.
    static constexpr int ReplyTimeoutMs = 5000;
    // A link start's line is quiet once nothing has come for this long: the box sends a reply in
    // one go, and a USB adapter passes bytes on at least every 16 ms.
    static constexpr int QuietLineMs = 50;
    // The longest a line may take to fall quiet: the longest reply there is, a whole correction
    // table of 12,294 bytes, takes 14.1 s at 9600 baud.
    static constexpr int QuietLimitMs = 16000;
    // The link error of a line that has not fallen quiet within QuietLimitMs.
    static constexpr std::int32_t LineNeverQuiet = 16;

    // The device is the port's backend (nullptr: the POSIX serial device the port name maps to).
    explicit TRS232Service(platform::Clock& clock = platform::defaultClock(),
                           std::shared_ptr<serial::CommDevice> device = nullptr);
    ~TRS232Service();
    TRS232Service(const TRS232Service&) = delete;
    TRS232Service& operator=(const TRS232Service&) = delete;

    void Open();  // raises the port's EVaCommError when the device cannot be opened
    void Close();
    void Purge();
    std::string GetPortName() const;
    void SetPortName(const std::string& name);

    // Requests. All but WriteCorrections raise EMultipleRequest while an exchange is pending.
    // Writes of the box's configuration sent so far (parameters, tables, their end), whatever
    // their outcome: a box told to take values may hold them, equal or not.
    std::uint32_t ConfigurationWrites() const { return configurationWrites_; }

    void CheckReady();
    // The first request of a link start: CheckReady once the line has been quiet for QuietLineMs.
    // What comes before is thrown away unread: the rest of a reply to whoever had the port
    // before (a program stopped while the box sent it a correction table goes on arriving for
    // seconds), which would otherwise be read as the readiness byte. A line still busy after
    // QuietLimitMs is reported as link error LineNeverQuiet.
    void CheckReadyOnQuietLine();
    void ReadPositions();
    void ReadCalibration();
    void ReadResolution();
    void ReadLineCounts();
    void ReadCorrections();
    void ReadDimensionTypes();
    void WriteCorrections(std::uint8_t Count, std::uint32_t Flags, const TCorrectionTable& X,
                          const TCorrectionTable& Y, const TCorrectionTable& Z);
    void WriteCalibration(long double X, long double Y, long double Z);
    void WriteResolution(std::uint8_t X, std::uint8_t Y, std::uint8_t Z);
    void WriteResolutionAndTypes(std::uint8_t X, std::uint8_t Y, std::uint8_t Z,
                                 std::uint8_t Types);
    void WriteLineCounts(std::int32_t X, std::int32_t Y, std::int32_t Z);
    void WriteDimensionTypes(std::uint8_t Types);
    void WriteReference(std::uint8_t Selector);
    void EndConfiguration();

    // Events. Unassigned events are skipped; a handler may reassign any of them, and the completion
    // events are raised with the service back at rsIdle, so their handlers may request at once.
    std::function<void(std::int32_t X, std::int32_t Y, std::int32_t Z, bool Valid)> OnPositions;
    std::function<void(bool Valid, long double X, long double Y, long double Z)> OnCalibration;
    std::function<void(std::uint8_t X, std::uint8_t Y, std::uint8_t Z, bool Valid)> OnResolution;
    std::function<void(std::uint8_t Types, bool Valid)> OnDimensionTypes;
    std::function<void(std::int32_t X, std::int32_t Y, std::int32_t Z, bool Valid)> OnLineCounts;
    std::function<void(std::uint8_t Count, std::uint32_t Flags, const TCorrectionTable& X,
                       const TCorrectionTable& Y, const TCorrectionTable& Z, bool Valid)>
        OnCorrections;
    std::function<void()> OnTimeout;
    std::function<void()> OnLateReply;
    std::function<void(std::int32_t Code)> OnLinkError;
    std::function<void(std::uint8_t Value)> OnRawByte;
    std::function<void(bool Accepted)> OnAcknowledge;
    // The port's device went away under the open link (hang-up, I/O error, unplugged adapter):
    // no reply will come until the link is closed and opened again.
    std::function<void()> OnPortGone;
    // Raised as each request's command byte is about to go out; for the line trace.
    std::function<void(std::uint8_t Command)> OnRequest;
    // Every line error the port reports (serial::ErrorBits), whatever the link makes of it; for
    // the link's health counts.
    std::function<void(std::int32_t Errors)> OnLineError;

    serial::TVaComm& Comm() { return *comm_; }
    std::uint8_t DeviceKind() const { return deviceKind_; }
    std::uint8_t AxisCount = 3;

    // For tests and diagnostics.
    ReplyState State() const { return replyState_; }
    bool PortOpen() const { return portOpen_; }
    bool TimeoutRunning() const { return timeoutTimer_.Enabled(); }

private:
    void BeginRequest(bool start);
    void SendCommand(std::uint8_t command);
    std::uint32_t configurationWrites_ = 0;
    bool ReadByte(std::uint8_t& value);
    bool WriteByte(std::uint8_t value);
    void ReportError(std::int32_t code);
    void HandleRxChar(std::int32_t count);
    void ReceiveRawBytes(std::int32_t count);
    void ReceiveReady();
    void ReceiveReply(std::int32_t count);
    void CompleteReply(ReplyState state);
    void HandleWriteAck();
    void SendParameterByte();
    void HandleTimeout();
    void HandleLineError(std::int32_t errors);
    void HandlePrinterError();
    void DiscardWhileQuieting();
    void HandleQuietLine();
    void StopQuieting();
    // Sends the read that brought an invalid reply once more; false when it may not.
    bool AskedAgain();
    // Raises OnLateReply when a time-out was reported; false when its handler moved the service
    // away from the exchange that was being received.
    bool LateReplyKeeps(ReplyState state);

    // Bytes still expected by the reply being received; parameter bytes of the write in progress.
    std::int32_t ReplyLength(ReplyState state) const;
    std::int32_t WriteLength() const;
    std::uint8_t AxesInReply() const;
    void ArmReply();

    static constexpr std::size_t BufferSize = 12294;

    ReplyState replyState_ = ReplyState::rsIdle;
    platform::Timer timeoutTimer_;
    // Restarted by every byte while a link start waits for a quiet line; the limit is not.
    platform::Timer quietTimer_;
    platform::Timer quietLimitTimer_;
    std::array<std::uint8_t, BufferSize> rxBuffer_{};
    std::array<std::uint8_t, BufferSize> txBuffer_{};
    std::int32_t byteCounter_ = 0;
    std::uint8_t lastByte_ = 0;
    std::uint8_t lastCommand_ = 0;
    bool lineOk_ = true;
    bool timedOut_ = false;
    bool portOpen_ = false;
    std::int32_t retryCount_ = 0;
    std::unique_ptr<serial::TVaComm> comm_;
    std::uint8_t deviceKind_ = 0;
    // The decoded correction tables handed to OnCorrections (kept here: no allocation per reply).
    std::array<TCorrectionTable, 3> rxTables_{};
};

// The program's single service, created before any window and destroyed after all of them.
// Null outside the running program (tests build their own services).
TRS232Service* RS232Service();
void SetRS232Service(TRS232Service* service);
