// The receiving side of PosixDevice: reading and decoding the terminal's bytes, the input queue,
// the error bits, and the armed reply as its bytes come (the I/O thread itself is in PosixIo.cpp).
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "serial/PosixDevice.h"
#include "serial/PosixIo.h"

namespace serial {

bool PosixDevice::gone() const {
    std::lock_guard lock(mutex_);
    return gone_;
}

bool PosixDevice::readCounters(LineCounterDelta* delta) {
    serial_icounter_struct ic{};
    // Pseudo-terminals and some adapters keep no counters (EINVAL).
    if (::ioctl(fd_, TIOCGICOUNT, &ic) != 0) return false;
    const std::array<std::uint32_t, 5> now = {
        static_cast<std::uint32_t>(ic.parity), static_cast<std::uint32_t>(ic.frame),
        static_cast<std::uint32_t>(ic.overrun), static_cast<std::uint32_t>(ic.buf_overrun),
        static_cast<std::uint32_t>(ic.brk)};
    if (delta != nullptr)
        *delta = {now[0] - counters_[0], now[1] - counters_[1], now[2] - counters_[2],
                  now[3] - counters_[3], now[4] - counters_[4]};
    counters_ = now;
    return true;
}

// Reads once from the terminal (when mayRead and nothing read is left undecoded) and decodes into
// the input queue. With holdMarked a byte that carries a line error stops the decoding and waits
// in heldByte_ until its error has been handed over. Returns the events found (RxChar, Error).
std::uint32_t PosixDevice::pullLocked(bool holdMarked, bool mayRead) {
    if (holding_ || fd_ < 0) return 0;
    if (rawPos_ == rawLen_) {
        if (!mayRead || gone_) return 0;
        const ssize_t n = ::read(fd_, raw_.data(), raw_.size());
        if (n <= 0) {
            // 0: nothing waiting (reads return at once); an error other than these: the device
            // went away.
            if (n < 0 && errno != EAGAIN && errno != EINTR) gone_ = true;
            return 0;
        }
        rawPos_ = 0;
        rawLen_ = static_cast<std::size_t>(n);
    }
    std::uint32_t found = 0;
    // Bytes taken from this read so far (a read that ended earlier counts none).
    std::int32_t fromThisRead = mayRead && rawPos_ == 0 ? 0 : 1;
    while (rawPos_ < rawLen_) {
        ParmrkDecoder::Decoded d[2];
        const std::size_t k = decoder_.feed(raw_[rawPos_++], d);
        for (std::size_t i = 0; i < k; ++i) {
            const bool marked = d[i].kind == ParmrkDecoder::Kind::marked;
            // A byte behind a reply's last, damaged or not, says the reply is not the box's: it
            // is not held back for its error, so the reader sees it waiting with the reply.
            const bool behind = script_.settling || script_.draining;
            if (marked) {
                LineCounterDelta delta;
                const bool counted = haveCounters_ && readCounters(&delta);
                errors_ |= markErrors(counted ? &delta : nullptr);
                found |= EventBits::Error;
                if (!behind) stopScriptLocked();
                if (holdMarked && !behind) {
                    holding_ = true;
                    heldByte_ = d[i].byte;
                    return found;
                }
            }
            if (input_.push(d[i].byte)) {
                found |= EventBits::RxChar;
                if (!marked || behind) scriptTakesLocked(fromThisRead++ > 0);
            } else {
                errors_ |= ErrorBits::Overflow;
                found |= EventBits::Error;
            }
        }
    }
    return found;
}

std::uint32_t PosixDevice::releaseHeldLocked() {
    if (!holding_) return 0;
    holding_ = false;
    if (!input_.push(heldByte_)) {
        errors_ |= ErrorBits::Overflow;
        return EventBits::Error;
    }
    return EventBits::RxChar;
}

int PosixDevice::read(void* buffer, std::int32_t count, std::int32_t& done) {
    std::lock_guard lock(mutex_);
    // Without watching nobody else takes the bytes from the terminal.
    if (!io_) pullLocked(false, true);
    done = static_cast<std::int32_t>(
        input_.pop(static_cast<std::uint8_t*>(buffer),
                   std::min(static_cast<std::size_t>(count), readableLocked())));
    if (readSinceArm_ <= ReplyScript::MaxAnswered) readSinceArm_ += done;
    return 0;
}

std::int32_t PosixDevice::inQueue() {
    std::lock_guard lock(mutex_);
    if (!io_) pullLocked(false, true);
    return static_cast<std::int32_t>(readableLocked());
}

int PosixDevice::status(std::int32_t& errors, std::int32_t& inQue, std::int32_t& outQue) {
    std::lock_guard lock(mutex_);
    if (!io_) pullLocked(false, true);
    errors = std::exchange(errors_, 0);
    inQue = static_cast<std::int32_t>(readableLocked());
    int queued = 0;
    outQue = !gone_ && outputQueued(queued) ? queued : 0;
    return 0;
}

int PosixDevice::purge(bool input, bool output) {
    bool resume = false;
    {
        std::lock_guard lock(mutex_);
        // A device that went away has nothing left to flush.
        if (!gone_) {
            const int which = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
            if (::tcflush(fd_, which) != 0) return errno;
        }
        if (input) resume = discardInputLocked();
    }
    if (resume) io_->wake();
    return 0;
}

// Everything received and not yet read, with the line errors that came with it and the reply it
// was armed for: nothing of it may reach a reader after this. True when the I/O thread waits to
// be told it may read again.
bool PosixDevice::discardInputLocked() {
    const bool wasHolding = holding_;
    script_ = Script{};
    readSinceArm_ = 0;
    input_.clear();
    rawPos_ = rawLen_ = 0;
    decoder_.reset();
    holding_ = false;
    errors_ = 0;
    pending_ &= ~(EventBits::RxChar | EventBits::Error);
    return wasHolding && io_;
}

bool PosixDevice::outputQueued(int& queued) {
    return ::ioctl(fd_, TIOCOUTQ, &queued) == 0;
}

PosixDevice::Drain PosixDevice::drainState(bool hangup, int& queued) {
    queued = 0;
    if (hangup || !outputQueued(queued)) return Drain::unknown;
    return queued > 0 ? Drain::sending : Drain::empty;
}

int PosixDevice::txPollMs(int queued) const {
    const std::int64_t ms =
        std::int64_t{queued} * charTimeUs_.load(std::memory_order_relaxed) / 1000;
    return static_cast<int>(std::clamp<std::int64_t>(ms, 1, 100));
}

}  // namespace serial
