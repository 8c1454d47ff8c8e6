#include "serial/PosixDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>

#include "serial/PosixIo.h"
#include "serial/ThreadPriority.h"

namespace serial {

int setArbitraryRate(int fd, int rate);  // PosixBaud.cpp

namespace {

struct RateCode {
    std::int32_t rate;
    speed_t code;
};
constexpr RateCode kRates[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};

const RateCode* findRate(std::int32_t rate) {
    for (const auto& r : kRates)
        if (r.rate == rate) return &r;
    return nullptr;
}

// Lowers or raises DTR and RTS. Pseudo-terminals have no modem lines and refuse: no matter.
void setModemLines(int fd, bool dtr, bool rts) {
    int set = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
    int clear = (dtr ? 0 : TIOCM_DTR) | (rts ? 0 : TIOCM_RTS);
    if (set) (void)ioctl(fd, TIOCMBIS, &set);
    if (clear) (void)ioctl(fd, TIOCMBIC, &clear);
}

// USB adapters otherwise hold each received byte back for up to 16 ms. Best effort.
void requestLowLatency(int fd) {
    serial_struct ss{};
    if (ioctl(fd, TIOCGSERIAL, &ss) != 0) return;
    ss.flags |= ASYNC_LOW_LATENCY;
    (void)ioctl(fd, TIOCSSERIAL, &ss);
}

// Raw 8-bit line with everything the port depends on set here, nothing kept from whoever used the
// terminal before: no input translation, stripping or ignoring of bad bytes (IGNPAR would drop
// them instead of marking them), no software or hardware handshake (IXOFF would put 0x13 on the
// wire), receiver on, modem lines ignored, no output or local processing, reads that return at
// once. Only the speed is kept.
void setRawLine(termios& t) {
    t.c_iflag = 0;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag =
        (t.c_cflag & static_cast<tcflag_t>(CBAUD | CBAUDEX | CIBAUD)) | CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

int failWith(int fd, int err) {
    ::close(fd);
    return err;
}

}  // namespace

bool isStandardRate(std::int32_t rate) {
    return findRate(rate) != nullptr;
}

PosixDevice::PosixDevice(platform::HandOver* handOver) : handOver_(handOver) {}

PosixDevice::~PosixDevice() {
    close();
}

platform::HandOver* PosixDevice::handOver() const {
    return handOver_ != nullptr ? handOver_ : platform::defaultHandOver();
}

int PosixDevice::open(const std::string& name) {
    if (fd_ >= 0) return EBUSY;
    const std::string path = portPath(name);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    if (!::isatty(fd)) return failWith(fd, ENOTTY);
    // flock holds against every other opener, root included; TIOCEXCL also against programs
    // that do not lock.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return failWith(fd, errno == EWOULDBLOCK ? EBUSY : errno);
    if (::ioctl(fd, TIOCEXCL) != 0) return failWith(fd, errno);

    termios t;
    if (::tcgetattr(fd, &t) != 0) return failWith(fd, errno);
    // Raw first, the line's own settings after: a pseudo-terminal drops PARENB, and a later
    // tcsetattr that would change nothing else fails with EINVAL.
    setRawLine(t);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) return failWith(fd, errno);
    setModemLines(fd, false, false);
    requestLowLatency(fd);

    std::lock_guard lock(mutex_);
    fd_ = fd;
    input_.clear();
    errors_ = 0;
    decoder_.setMarking(false);
    rawPos_ = rawLen_ = 0;
    holding_ = gone_ = false;
    haveCounters_ = readCounters(nullptr);
    charTimeUs_ = 0;
    cadenceUs_ = 0;  // another box, maybe
    eventMask_ = 0;
    return 0;
}

void PosixDevice::close() {
    stopWatching();
    std::lock_guard lock(mutex_);
    if (fd_ < 0) return;
    (void)::ioctl(fd_, TIOCNXCL);
    ::close(fd_);  // also releases the flock
    fd_ = -1;
}

int PosixDevice::applySettings(const LineSettings& s) {
    termios t;
    if (::tcgetattr(fd_, &t) != 0) return errno;
    setRawLine(t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    switch (s.byteSize) {
        case 5:
            t.c_cflag |= CS5;
            break;
        case 6:
            t.c_cflag |= CS6;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        case 8:
            t.c_cflag |= CS8;
            break;
        default:
            return EINVAL;
    }
    switch (s.parity) {
        case TVaParity::paNone:
            break;
        case TVaParity::paOdd:
            t.c_cflag |= PARENB | PARODD;
            break;
        case TVaParity::paEven:
            t.c_cflag |= PARENB;
            break;
        case TVaParity::paMark:
            t.c_cflag |= PARENB | PARODD | CMSPAR;
            break;
        case TVaParity::paSpace:
            t.c_cflag |= PARENB | CMSPAR;
            break;
    }
    if (s.stopbits != TVaStopbits::sb1) t.c_cflag |= CSTOPB;
    if (s.outCtsFlow || s.controlRts == TVaControlRts::rtsHandshake) t.c_cflag |= CRTSCTS;
    // Parity checking marks bytes received with a parity or framing error, and breaks, so they
    // can be reported; FF data bytes then arrive doubled.
    if (s.parityCheck) t.c_iflag |= INPCK | PARMRK;
    if (s.xonXoffOut) t.c_iflag |= IXON;
    if (s.xonXoffIn) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);

    if (s.baudRate <= 0) return EINVAL;
    const RateCode* rate = findRate(s.baudRate);
    const speed_t code = rate != nullptr ? rate->code : B38400;
    ::cfsetispeed(&t, code);
    ::cfsetospeed(&t, code);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) return errno;
    if (rate == nullptr) {
        if (int err = setArbitraryRate(fd_, s.baudRate)) return err;
    }
    setModemLines(fd_, s.controlDtr == TVaControlDtr::dtrEnabled,
                  s.controlRts == TVaControlRts::rtsEnabled);

    const int bits = 1 + s.byteSize + (s.parity == TVaParity::paNone ? 0 : 1) +
                     (s.stopbits == TVaStopbits::sb1 ? 1 : 2);
    std::lock_guard lock(mutex_);
    decoder_.setMarking(s.parityCheck);
    charTimeUs_ = static_cast<std::int32_t>(std::int64_t{bits} * 1000000 / s.baudRate);
    cadenceUs_ = 0;  // learnt again at this speed
    return 0;
}

int PosixDevice::setQueueSizes(std::int32_t inputSize, std::int32_t outputSize) {
    if (inputSize <= 0 || outputSize <= 0) return EINVAL;
    std::lock_guard lock(mutex_);
    // Decoding never makes more bytes than were read, so one read always fits.
    input_.resize(std::max(static_cast<std::size_t>(inputSize), raw_.size()));
    return 0;
}

// Opened non-blocking with VMIN and VTIME 0: reads already return at once with what is there.
int PosixDevice::setTimeouts() {
    return 0;
}

int PosixDevice::setEventMask(std::uint32_t mask) {
    eventMask_ = mask;
    return 0;
}

void PosixDevice::setTxEmptyWanted(bool wanted) {
    txEmptyWanted_ = wanted;
}

int PosixDevice::startWatching(EventSink sink, TThreadPriority priority) {
    stopWatching();
    platform::HandOver* handOver = this->handOver();
    if (handOver == nullptr)
        throw EVaCommError("No hand-over to the main thread for the event thread");
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) return errno;
    auto io = std::make_shared<Io>(*handOver, *this, std::move(sink), wakeFd);
    {
        std::lock_guard lock(mutex_);
        pending_ = 0;
        script_ = Script{};
    }
    // Set before the thread runs: the port's reads and writes look at it to know the thread owns
    // the terminal's input.
    io_ = io;
    try {
        ioThread_ = std::thread([this, w = io.get(), priority] {
            w->tid = ::gettid();
            applyThreadPriority(w->tid, priority);
            // A reply's last byte is held back to the microsecond: the kernel's default slack
            // would let every hold run up to 50 us long.
            (void)::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
            ioLoop(*w);
        });
    } catch (const std::system_error& e) {
        io_.reset();
        return e.code().value();
    }
    return 0;
}

// Never waits for the main thread: the I/O thread only ever rings it. Closing the channel drops a
// delivery not yet begun, the wake ends the thread's poll, and then it is joined, so it touches no
// descriptor after this; a delivery of this watching that is on the stack sees it stopped.
void PosixDevice::stopWatching() {
    if (!io_) return;
    io_->stop = true;
    io_->stopped = true;
    io_->close();
    io_->wake();
    ioThread_.join();
    std::lock_guard lock(mutex_);
    script_ = Script{};
    io_.reset();
}

void PosixDevice::setWatchPriority(TThreadPriority priority) {
    if (io_) applyThreadPriority(io_->tid, priority);
}

int PosixDevice::write(const void* buffer, std::int32_t count, std::int32_t timeoutMs,
                       std::int32_t& done) {
    done = 0;
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (done < count) {
        const ssize_t n = ::write(fd_, p + done, static_cast<std::size_t>(count - done));
        if (n > 0) {
            done += static_cast<std::int32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return errno;
        // The driver's queue is full: wait for room, within the caller's limit.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd pfd{fd_, POLLOUT, 0};
        if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) break;
    }
    if (done > 0 && io_) notedWrite();
    // The I/O thread watches the output queue drain; one wake is enough until it has.
    if (done > 0 && (eventMask_ & EventBits::TxEmpty) && txEmptyWanted_ && io_ &&
        !io_->txRequested.exchange(true))
        io_->wake();
    return 0;
}

std::shared_ptr<CommDevice> makeDefaultDevice() {
    return std::make_shared<PosixDevice>();
}

}  // namespace serial
