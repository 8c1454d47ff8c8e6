#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "serial/VaPrst.h"

namespace serial {

// Every error the port raises itself. Messages of failed system calls end "(errno), strerror".
class EVaCommError : public std::runtime_error {
public:
    explicit EVaCommError(const std::string& message, int systemError = 0)
        : std::runtime_error(message), systemError_(systemError) {}
    // The system's error number of a failed opening of the device; 0 for anything else.
    int SystemError() const { return systemError_; }

private:
    int systemError_;
};

// Whether `failure` is an opening refused because another program holds the device: it is
// locked, or opened for exclusive use.
bool PortInUse(const std::exception& failure);

enum class TVaBaudrate {
    brUser,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum class TVaParity { paNone, paOdd, paEven, paMark, paSpace };
enum class TVaDatabits { db4, db5, db6, db7, db8 };
enum class TVaStopbits { sb1, sb15, sb2 };
enum class TThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

enum class TVaCommEvent {
    ceBreak,
    ceCts,
    ceDsr,
    ceError,
    ceRing,
    ceRlsd,
    ceRxChar,
    ceTxEmpty,
    ceRxFlag,
    cePErr,
    ceRx80Full,
    ceEvent1,
    ceEvent2
};

// A set of TVaCommEvent, one bit per member in declaration order.
class TVaCommEvents {
public:
    TVaCommEvents() = default;
    TVaCommEvents(std::initializer_list<TVaCommEvent> members);
    bool contains(TVaCommEvent e) const { return (bits_ >> static_cast<int>(e)) & 1u; }
    void add(TVaCommEvent e) { bits_ |= std::uint16_t(1u << static_cast<int>(e)); }
    void remove(TVaCommEvent e) { bits_ &= std::uint16_t(~(1u << static_cast<int>(e))); }
    bool operator==(const TVaCommEvents&) const = default;
    // OR of the device event bits of the members (ceRxChar 0x01, ceTxEmpty 0x04, ceError 0x80,
    // ...).
    std::uint32_t deviceMask() const;

private:
    std::uint16_t bits_ = 0;
};

enum class TVaCommOption { coErrorChar, coNullStrip };
struct TVaCommOptions {
    bool coErrorChar = false;
    bool coNullStrip = false;
    bool operator==(const TVaCommOptions&) const = default;
};

// Device event bits, as the notifications and the hand-over carry them.
namespace EventBits {
constexpr std::uint32_t RxChar = 0x01, RxFlag = 0x02, TxEmpty = 0x04, Cts = 0x08, Dsr = 0x10,
                        Rlsd = 0x20, Break = 0x40, Error = 0x80, Ring = 0x100, PErr = 0x200,
                        Rx80Full = 0x400, Event1 = 0x800, Event2 = 0x1000;
// Not a line event: the device hung up or failed (an adapter unplugged, the far end of a
// pseudo-terminal closed). Reported once per opening, whatever the mask; nothing more comes until
// the port is closed and opened again.
constexpr std::uint32_t Gone = 0x10000;
}  // namespace EventBits
// Line error bits reported through OnError.
namespace ErrorBits {
constexpr std::int32_t Overflow = 0x0001, Overrun = 0x0002, Parity = 0x0004, Frame = 0x0008,
                       Break = 0x0010, TxFull = 0x0100;
}

struct ReplyScript;
class CommDevice;  // the platform device behind the port (POSIX terminal or in-memory line)
struct LineSettings;

using TNotifyEvent = std::function<void()>;
using TVaCommErrorEvent = std::function<void(std::int32_t errors)>;
using TVaCommRxCharEvent = std::function<void(std::int32_t count)>;

// The serial port: name and line settings, open/close, an event thread that hands received-data,
// transmit-empty and line-error events to the main thread, byte reads and writes, purges.
// Every operation and notification belongs to the main thread.
class TVaCustomComm {
public:
    // Without a device the port drives the POSIX serial device its name maps to. Its event thread
    // reaches the main thread through platform::defaultHandOver() (main() sets the Qt one).
    // The buffered write mode (DirectWrite False, the default) starts a write thread, which needs
    // that hand-over with any device; opening without one raises EVaCommError.
    explicit TVaCustomComm(std::shared_ptr<CommDevice> device = nullptr);
    virtual ~TVaCustomComm();
    TVaCustomComm(const TVaCustomComm&) = delete;
    TVaCustomComm& operator=(const TVaCustomComm&) = delete;

    void Open();
    void Close();
    bool Active() const;

    std::int32_t ReadBuf(void* buffer, std::int32_t count);
    std::int32_t WriteBuf(const void* buffer, std::int32_t count);
    bool ReadChar(std::uint8_t& ch);
    bool WriteChar(std::uint8_t ch);
    // A reply the device may answer byte by byte on its own (see CommDevice::armReplyScript);
    // discards what was received and not read. Nothing when closed.
    void ArmReplyScript(const ReplyScript& script);
    // After ReadChar of a byte of an armed reply: whether its answer has gone out already.
    bool TakeAnswered(std::uint8_t& answer);
    // Whether the armed reply brought a byte the box cannot have sent in step (see CommDevice).
    bool ReplyDisturbed();
    // When the byte read last came off the line (steady clock, µs); false when unknown.
    bool LastByteArrived(std::int64_t& arrivedUs);
    void PurgeRead();
    void PurgeWrite();
    void GetStatus(std::int32_t& errors, std::int32_t& inQue, std::int32_t& outQue);
    std::int32_t InQueCount();

    // Properties. Setters follow the port's rules: some are refused while open (EVaCommError
    // "Can't perform this operation while port is open"), line settings apply at once.
    TVaBaudrate Baudrate() const { return baudrate_; }
    void SetBaudrate(TVaBaudrate v);
    std::int32_t UserBaudrate() const { return userBaudrate_; }
    void SetUserBaudrate(std::int32_t v);
    TVaParity Parity() const { return parity_; }
    void SetParity(TVaParity v);
    bool ParityCheck() const { return parityCheck_; }
    void SetParityCheck(bool v);
    TVaDatabits Databits() const { return databits_; }
    void SetDatabits(TVaDatabits v);
    TVaStopbits Stopbits() const { return stopbits_; }
    void SetStopbits(TVaStopbits v);
    TVaCommOptions Options() const { return options_; }
    void SetOptions(TVaCommOptions v);
    std::int32_t PortNum() const { return portNum_; }
    void SetPortNum(std::int32_t v);
    const std::string& DeviceName() const { return deviceName_; }
    void SetDeviceName(const std::string& v);
    TVaCommEvents MonitorEvents() const { return monitorEvents_; }
    void SetMonitorEvents(TVaCommEvents v);
    TThreadPriority EventPriority() const { return eventPriority_; }
    void SetEventPriority(TThreadPriority v);
    TThreadPriority WritePriority() const { return writePriority_; }
    void SetWritePriority(TThreadPriority v);
    bool DirectWrite() const { return directWrite_; }
    void SetDirectWrite(bool v);
    bool UpdateDCB() const { return updateDCB_; }
    void SetUpdateDCB(bool v);
    bool AutoOpen = false;  // kept for completeness; the program creates the port in code

    TVaBuffers& Buffers() { return buffers_; }
    void SetBuffers(const TVaBuffers& v);
    TVaFlowControl& FlowControl() { return flowControl_; }
    TVaEventChars& EventChars() { return eventChars_; }

    // The device name with PortNum put into its placeholder ("COM%d" with 3 gives "COM3").
    std::string FormattedDeviceName() const;

    // Notifications, all delivered on the main thread.
    TNotifyEvent OnOpen, OnClose, OnCts, OnDsr, OnRlsd, OnRing, OnBreak, OnRxFlag, OnTxEmpty,
        OnPErr, OnRx80Full, OnEvent1, OnEvent2;
    TVaCommErrorEvent OnError;
    TVaCommRxCharEvent OnRxChar;
    // The device went away under the open port (EventBits::Gone); the port stays open until
    // closed, but nothing more will be received.
    TNotifyEvent OnGone;

protected:
    virtual void OpenDevice();
    virtual void StartThreads();
    virtual void DoRxChar();
    virtual void DoEvents(std::uint32_t mask);

private:
    void ApplyDCB();
    LineSettings lineSettings() const;
    void requireClosed() const;
    template <typename T>
    void setLineField(T& field, T value);
    void stopThreads();
    void handleMask(std::uint32_t mask);

    struct Impl;
    std::unique_ptr<Impl> impl_;

    TVaBaudrate baudrate_ = TVaBaudrate::br1200;
    std::int32_t userBaudrate_ = 0;
    TVaParity parity_ = TVaParity::paNone;
    bool parityCheck_ = false;
    TVaDatabits databits_ = TVaDatabits::db8;
    TVaStopbits stopbits_ = TVaStopbits::sb1;
    TVaCommOptions options_{};
    std::int32_t portNum_ = 0;
    std::string deviceName_ = "COM%d";
    TVaCommEvents monitorEvents_{TVaCommEvent::ceError, TVaCommEvent::ceRxChar,
                                 TVaCommEvent::ceTxEmpty};
    TThreadPriority eventPriority_ = TThreadPriority::tpNormal;
    TThreadPriority writePriority_ = TThreadPriority::tpHighest;
    bool directWrite_ = false;
    bool updateDCB_ = true;
    TVaBuffers buffers_;
    TVaFlowControl flowControl_;
    TVaEventChars eventChars_;
};

// The published form of the port; no behaviour of its own.
class TVaComm : public TVaCustomComm {
public:
    using TVaCustomComm::TVaCustomComm;
};

}  // namespace serial
