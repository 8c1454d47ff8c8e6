#include "serial/VaComm.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <mutex>

#include "platform/ExceptionDisplay.h"
#include "serial/CommDevice.h"
#include "serial/CommErrors.h"
#include "serial/WriteThread.h"

namespace serial {

namespace {

// Device event bit of each TVaCommEvent, in declaration order.
constexpr std::array<std::uint32_t, 13> kEventBits = {
    EventBits::Break,    EventBits::Cts,    EventBits::Dsr,     EventBits::Error,  EventBits::Ring,
    EventBits::Rlsd,     EventBits::RxChar, EventBits::TxEmpty, EventBits::RxFlag, EventBits::PErr,
    EventBits::Rx80Full, EventBits::Event1, EventBits::Event2};

constexpr std::array<std::int32_t, 16> kBaudRates = {0,     110,    300,    600,   1200,  2400,
                                                     4800,  9600,   14400,  19200, 38400, 56000,
                                                     57600, 115200, 128000, 256000};

// Runs a handler whose exceptions go to the application's exception display instead of the caller.
template <typename F>
void shownOnFailure(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        platform::showException(e.what());
    } catch (...) {
        platform::showException("Unknown exception");
    }
}

}  // namespace

bool PortInUse(const std::exception& failure) {
    // The device's lock held elsewhere reports EBUSY (PosixDevice::open), and so does a device
    // another program opened for exclusive use.
    const auto* error = dynamic_cast<const EVaCommError*>(&failure);
    return error && error->SystemError() == EBUSY;
}

TVaCommEvents::TVaCommEvents(std::initializer_list<TVaCommEvent> members) {
    for (auto e : members) add(e);
}

std::uint32_t TVaCommEvents::deviceMask() const {
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < kEventBits.size(); ++i)
        if ((bits_ >> i) & 1u) mask |= kEventBits[i];
    return mask;
}

struct TVaCustomComm::Impl {
    std::shared_ptr<CommDevice> device;
    bool active = false;
    bool destroying = false;
    std::uint32_t eventMask = 0;  // what the device watches
    // Reads, status queries, purges and the stopping of threads; direct writes and the write
    // queue. Taken in that order when both are needed.
    std::mutex readLock;
    std::mutex writeLock;
    std::unique_ptr<WriteThread> writer;
    // Counts the closings, so that a delivery can tell that a handler closed (and perhaps
    // reopened) the port under it.
    std::uint64_t closings = 0;
};

TVaCustomComm::TVaCustomComm(std::shared_ptr<CommDevice> device) : impl_(std::make_unique<Impl>()) {
    impl_->device = device ? std::move(device) : makeDefaultDevice();
    buffers_.OnChange = [this] {
        if (Active()) throw EVaCommError(kCantWhileOpen);
    };
    flowControl_.OnChange = [this] { ApplyDCB(); };
    eventChars_.OnChange = [this] { ApplyDCB(); };
}

TVaCustomComm::~TVaCustomComm() {
    impl_->destroying = true;
    try {
        Close();
    } catch (...) {
        // Nothing can be reported from a destructor; the device is closed either way.
    }
}

bool TVaCustomComm::Active() const {
    return impl_->active;
}

std::string TVaCustomComm::FormattedDeviceName() const {
    std::string name = deviceName_;
    auto at = name.find("%d");
    if (at != std::string::npos) name.replace(at, 2, std::to_string(portNum_));
    return name;
}

// ---- opening and closing ----

void TVaCustomComm::Open() {
    if (Active()) throw EVaCommError(kCantWhileOpen);
    OpenDevice();
    try {
        ApplyDCB();
        if (int err = impl_->device->setQueueSizes(buffers_.ReadSize(), buffers_.WriteSize()))
            throw EVaCommError(systemMessage("Error initializing buffers", err));
        if (int err = impl_->device->setTimeouts())
            throw EVaCommError(systemMessage("Error setting timeouts", err));
        std::uint32_t mask = monitorEvents_.deviceMask();
        // Without direct writes the write thread reports an empty queue itself.
        if (!directWrite_) mask &= ~EventBits::TxEmpty;
        impl_->eventMask = mask;
        if (int err = impl_->device->setEventMask(mask))
            throw EVaCommError(systemMessage(" Error setting EventMask", err));
        StartThreads();
    } catch (...) {
        stopThreads();
        impl_->device->close();
        impl_->active = false;
        throw;
    }
    if (auto handler = OnOpen) shownOnFailure(handler);
}

void TVaCustomComm::OpenDevice() {
    const std::string name = FormattedDeviceName();
    if (int err = impl_->device->open(name))
        throw EVaCommError(systemMessage("Unable to open specified device " + name, err), err);
    impl_->active = true;
}

void TVaCustomComm::StartThreads() {
    if (impl_->eventMask != 0) {
        // A device that reports more than it was asked for is not believed.
        int err = impl_->device->startWatching(
            [this](std::uint32_t mask) { handleMask(mask & (impl_->eventMask | EventBits::Gone)); },
            eventPriority_);
        if (err) throw EVaCommError(systemMessage("Error starting the event thread", err));
    }
    if (!directWrite_) {
        impl_->writer = std::make_unique<WriteThread>(
            *impl_->device, buffers_.WriteSize(), buffers_.ReadTimeout,
            monitorEvents_.deviceMask() & (EventBits::TxEmpty | EventBits::Error),
            [this](std::uint32_t mask) { handleMask(mask); });
        impl_->writer->start(writePriority_);
    }
}

void TVaCustomComm::stopThreads() {
    impl_->device->stopWatching();
    if (impl_->writer) {
        impl_->writer->stop();
        impl_->writer.reset();
    }
}

void TVaCustomComm::Close() {
    if (!Active()) return;
    {
        std::lock_guard lock(impl_->readLock);
        stopThreads();
    }
    impl_->device->close();
    impl_->active = false;
    ++impl_->closings;
    if (impl_->destroying) return;
    if (auto handler = OnClose) handler();
}

// ---- reading and writing ----

std::int32_t TVaCustomComm::ReadBuf(void* buffer, std::int32_t count) {
    if (!Active() || count <= 0) return 0;
    std::lock_guard lock(impl_->readLock);
    std::int32_t done = 0;
    if (int err = impl_->device->read(buffer, count, done))
        throw EVaCommError(systemMessage("Read error", err));
    return done;
}

std::int32_t TVaCustomComm::WriteBuf(const void* buffer, std::int32_t count) {
    if (!Active() || count <= 0) return 0;
    if (!directWrite_) {
        if (!impl_->writer->append(buffer, count, buffers_.WriteTimeout))
            throw EVaCommError(kOutputBufferFull);
        return count;
    }
    std::lock_guard lock(impl_->writeLock);
    std::int32_t done = 0;
    // Nobody to tell: the device need not watch the byte leave (a byte-by-byte exchange would
    // ask the driver after every one).
    impl_->device->setTxEmptyWanted(static_cast<bool>(OnTxEmpty));
    // A direct write waits at most the read limit, as the port always has.
    if (int err = impl_->device->write(buffer, count, buffers_.ReadTimeout, done))
        throw EVaCommError(systemMessage("Write error", err));
    return done;
}

bool TVaCustomComm::ReadChar(std::uint8_t& ch) {
    return ReadBuf(&ch, 1) == 1;
}

bool TVaCustomComm::WriteChar(std::uint8_t ch) {
    return WriteBuf(&ch, 1) == 1;
}

void TVaCustomComm::ArmReplyScript(const ReplyScript& script) {
    if (!Active()) return;
    std::lock_guard lock(impl_->readLock);
    impl_->device->armReplyScript(script);
}

bool TVaCustomComm::TakeAnswered(std::uint8_t& answer) {
    return Active() && impl_->device->takeAnswered(answer);
}

bool TVaCustomComm::ReplyDisturbed() {
    return Active() && impl_->device->replyDisturbed();
}

bool TVaCustomComm::LastByteArrived(std::int64_t& arrivedUs) {
    std::int64_t answeredUs = 0;
    return Active() && impl_->device->lastReadTimes(arrivedUs, answeredUs);
}

void TVaCustomComm::PurgeRead() {
    if (!Active()) return;
    std::lock_guard lock(impl_->readLock);
    if (int err = impl_->device->purge(true, false))
        throw EVaCommError(systemMessage("Error clearing buffers", err));
}

void TVaCustomComm::PurgeWrite() {
    if (!Active()) return;
    std::lock_guard lock(impl_->readLock);
    if (impl_->writer) impl_->writer->clear();
    if (int err = impl_->device->purge(false, true))
        throw EVaCommError(systemMessage("Error clearing buffers", err));
}

void TVaCustomComm::GetStatus(std::int32_t& errors, std::int32_t& inQue, std::int32_t& outQue) {
    errors = inQue = outQue = 0;
    if (!Active()) return;
    std::lock_guard lock(impl_->readLock);
    if (int err = impl_->device->status(errors, inQue, outQue))
        throw EVaCommError(systemMessage("Error retrieving statistics", err));
    if (impl_->writer) errors |= impl_->writer->takeErrors();
}

// Counts without fetching the error bits: taking them here would swallow the error of a byte
// that arrives together with others, before DoEvents could report it.
std::int32_t TVaCustomComm::InQueCount() {
    return Active() ? impl_->device->inQueue() : 0;
}

// ---- events ----

void TVaCustomComm::handleMask(std::uint32_t mask) {
    const std::uint64_t opening = impl_->closings;
    shownOnFailure([&] {
        if (mask & EventBits::RxChar) {
            DoRxChar();
            mask &= ~EventBits::RxChar;
        }
        // What is left of the mask belongs to the opening the handler closed: a transmit-empty
        // of it must not confirm a byte written after a reopen.
        if (mask != 0 && impl_->closings == opening) DoEvents(mask);
    });
}

void TVaCustomComm::DoRxChar() {
    const std::int32_t count = InQueCount();
    if (count <= 0) return;
    if (auto handler = OnRxChar) handler(count);
}

void TVaCustomComm::DoEvents(std::uint32_t mask) {
    const std::uint64_t watched = impl_->closings;
    if (mask & EventBits::Error) {
        std::int32_t errors = 0, inQue = 0, outQue = 0;
        GetStatus(errors, inQue, outQue);
        if (errors != 0) {
            const std::uint64_t opening = impl_->closings;
            if (auto handler = OnError) shownOnFailure([&] { handler(errors); });
            if (impl_->closings != opening) return;
        }
    }
    const std::pair<std::uint32_t, TNotifyEvent*> order[] = {
        {EventBits::RxFlag, &OnRxFlag},     {EventBits::Cts, &OnCts},
        {EventBits::Dsr, &OnDsr},           {EventBits::Ring, &OnRing},
        {EventBits::Rlsd, &OnRlsd},         {EventBits::TxEmpty, &OnTxEmpty},
        {EventBits::Break, &OnBreak},       {EventBits::PErr, &OnPErr},
        {EventBits::Rx80Full, &OnRx80Full}, {EventBits::Event1, &OnEvent1},
        {EventBits::Event2, &OnEvent2}};
    for (const auto& [bit, event] : order) {
        if (!(mask & bit)) continue;
        if (auto handler = *event) handler();
    }
    // Last: whatever came before the device went away has been handed over first. A handler
    // above that closed the port has let go of the device that went.
    if ((mask & EventBits::Gone) && impl_->closings == watched)
        if (auto handler = OnGone) handler();
}

// ---- properties ----

void TVaCustomComm::ApplyDCB() {
    if (!Active() || !updateDCB_) return;
    if (int err = impl_->device->applySettings(lineSettings()))
        throw EVaCommError(systemMessage("Error writing dcb", err));
}

LineSettings TVaCustomComm::lineSettings() const {
    LineSettings s;
    s.baudRate = baudrate_ == TVaBaudrate::brUser ? userBaudrate_
                                                  : kBaudRates[static_cast<std::size_t>(baudrate_)];
    s.binary = true;
    s.parityCheck = parityCheck_;
    s.outCtsFlow = flowControl_.OutCtsFlow();
    s.outDsrFlow = flowControl_.OutDsrFlow();
    s.controlDtr = flowControl_.ControlDtr();
    s.dsrSensitivity = flowControl_.DsrSensitivity();
    s.txContinueOnXoff = flowControl_.TxContinueOnXoff();
    s.xonXoffOut = flowControl_.XonXoffOut();
    s.xonXoffIn = flowControl_.XonXoffIn();
    s.replaceParityErrors = options_.coErrorChar;
    s.discardNulls = options_.coNullStrip;
    s.controlRts = flowControl_.ControlRts();
    const std::int32_t limit = std::min<std::int32_t>(buffers_.ReadSize() / 4, 1024);
    s.xonLimit = s.xoffLimit = limit;
    s.byteSize = 4 + static_cast<std::int32_t>(databits_);
    s.parity = parity_;
    s.stopbits = stopbits_;
    s.xonChar = eventChars_.XonChar();
    s.xoffChar = eventChars_.XoffChar();
    s.errorChar = eventChars_.ErrorChar();
    s.eofChar = eventChars_.EofChar();
    s.eventChar = eventChars_.EventChar();
    return s;
}

void TVaCustomComm::requireClosed() const {
    if (Active()) throw EVaCommError(kCantWhileOpen);
}

void TVaCustomComm::SetBaudrate(TVaBaudrate v) {
    if (v == baudrate_) return;
    baudrate_ = v;
    if (v != TVaBaudrate::brUser) userBaudrate_ = 0;
    ApplyDCB();
}

void TVaCustomComm::SetUserBaudrate(std::int32_t v) {
    if (v == userBaudrate_) return;
    userBaudrate_ = v;
    baudrate_ = TVaBaudrate::brUser;
    ApplyDCB();
}

template <typename T>
void TVaCustomComm::setLineField(T& field, T value) {
    if (field == value) return;
    field = value;
    ApplyDCB();
}

void TVaCustomComm::SetParity(TVaParity v) {
    setLineField(parity_, v);
}
void TVaCustomComm::SetParityCheck(bool v) {
    setLineField(parityCheck_, v);
}
void TVaCustomComm::SetDatabits(TVaDatabits v) {
    setLineField(databits_, v);
}
void TVaCustomComm::SetStopbits(TVaStopbits v) {
    setLineField(stopbits_, v);
}
void TVaCustomComm::SetOptions(TVaCommOptions v) {
    setLineField(options_, v);
}

void TVaCustomComm::SetPortNum(std::int32_t v) {
    requireClosed();
    portNum_ = v;
}

void TVaCustomComm::SetDeviceName(const std::string& v) {
    requireClosed();
    deviceName_ = v;
}

void TVaCustomComm::SetMonitorEvents(TVaCommEvents v) {
    requireClosed();
    monitorEvents_ = v;
}

void TVaCustomComm::SetDirectWrite(bool v) {
    requireClosed();
    directWrite_ = v;
}

void TVaCustomComm::SetUpdateDCB(bool v) {
    requireClosed();
    updateDCB_ = v;
}

void TVaCustomComm::SetBuffers(const TVaBuffers& v) {
    requireClosed();
    buffers_.Assign(v);
}

void TVaCustomComm::SetEventPriority(TThreadPriority v) {
    if (v == eventPriority_) return;
    eventPriority_ = v;
    if (Active()) impl_->device->setWatchPriority(v);
}

void TVaCustomComm::SetWritePriority(TThreadPriority v) {
    if (v == writePriority_) return;
    writePriority_ = v;
    if (impl_->writer) impl_->writer->setPriority(v);
}

}  // namespace serial
