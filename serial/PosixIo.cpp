// The I/O thread of a PosixDevice and the main thread's side of its deliveries.
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "serial/PosixDevice.h"
#include "serial/PosixIo.h"

namespace serial {

namespace {
std::int64_t nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

// How long an answered byte of a script waits for the next before the main thread takes over:
// the answer going out, the box turning round and its byte coming back take about three
// characters; twice that, and never less than 5 ms (a USB adapter's own latency).
std::int64_t PosixDevice::scriptGapUs() const {
    return std::max<std::int64_t>(6 * std::int64_t{charTimeUs_.load(std::memory_order_relaxed)},
                                  5000);
}

// The answer to the byte just queued, when a script is armed for it. A byte that came with a
// line error is not answered here: the main thread hears of the error first and decides.
void PosixDevice::answerLocked() {
    Script& s = script_;
    if (!s.active) return;
    if (++s.received >= s.reply.length) {
        s.active = false;  // complete: the last byte has no answer
        return;
    }
    const std::uint8_t answer = s.reply.answers[static_cast<std::size_t>(s.received - 1)];
    if (::write(fd_, &answer, 1) != 1) {
        // The main thread answers it itself, waiting for room as its writes do.
        s.active = false;
        return;
    }
    ++s.answered;
    s.deadlineUs = nowUs() + scriptGapUs();
}

void PosixDevice::armReplyScript(const ReplyScript& script) {
    bool resume = false;
    {
        std::lock_guard lock(mutex_);
        resume = discardInputLocked();
        script_ = Script{};
        readSinceArm_ = 0;
        if (io_ && !gone_ && script.length > 0 && script.length <= ReplyScript::MaxLength) {
            script_.reply = script;
            script_.active = true;
        }
    }
    if (resume) io_->wake();
}

bool PosixDevice::takeAnswered(std::uint8_t& answer) {
    std::lock_guard lock(mutex_);
    const std::int32_t n = readSinceArm_;
    if (n < 1 || n > script_.answered) return false;
    answer = script_.reply.answers[static_cast<std::size_t>(n - 1)];
    return true;
}

// The I/O thread. Waits without limit while the line is idle; after a write that someone waits
// to see leave it also checks the driver's output queue, about as often as the queued characters
// take to leave; while a script awaits the next byte of its reply, until the gap is over. While a
// marked byte is held for its error, the terminal is not read (nor watched, or poll would not
// wait): the main thread wakes the thread when it has taken the error.
void PosixDevice::ioLoop(Io& io) {
    const bool hold = (eventMask_ & EventBits::Error) != 0;
    bool txWatch = false;
    int txWaitMs = -1;
    for (;;) {
        bool watchInput = false;
        int timeoutMs = txWatch ? txWaitMs : -1;
        {
            std::lock_guard lock(mutex_);
            watchInput = !holding_ && rawPos_ == rawLen_ && !gone_;
            if (script_.active && script_.answered > 0) {
                const auto leftMs = static_cast<int>(
                    std::clamp<std::int64_t>((script_.deadlineUs - nowUs() + 999) / 1000, 0, 1000));
                timeoutMs = timeoutMs < 0 ? leftMs : std::min(timeoutMs, leftMs);
            }
        }
        pollfd fds[2] = {{io.wakeFd, POLLIN, 0}, {watchInput ? fd_ : -1, POLLIN, 0}};
        const int r = ::poll(fds, 2, timeoutMs);
        if (io.stop) return;
        if (r < 0 && errno != EINTR) return;
        if (r > 0 && (fds[0].revents & POLLIN)) {
            std::uint64_t count;
            (void)!::read(io.wakeFd, &count, sizeof count);
        }
        bool ring = false, gone = false;
        {
            std::lock_guard lock(mutex_);
            std::uint32_t found = 0;
            bool hangup = r > 0 && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
            if (r > 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
                found = pullLocked(hold, true);
                // Bytes that came before the hang-up are delivered before the watching ends.
                if (found & (EventBits::RxChar | EventBits::Error)) hangup = hangup && gone_;
                if (hangup) gone_ = true;
            }
            if (script_.active && (gone_ || (script_.answered > 0 && nowUs() >= script_.deadlineUs)))
                script_.active = false;
            if (io.txRequested.exchange(false)) txWatch = true;
            if (txWatch) {
                int queued = 0;
                const Drain drain = drainState(gone_, queued);
                if (drain == Drain::sending) {
                    txWaitMs = txPollMs(queued);
                } else {
                    txWatch = false;
                    if (drain == Drain::empty) found |= EventBits::TxEmpty;
                }
            }
            pending_ |= found & eventMask_;
            gone = gone_;
            // The bytes of a reply answered here reach the main thread together, at its end.
            ring = pending_ != 0 && (!script_.active || (pending_ & ~EventBits::RxChar) != 0);
        }
        if (ring) io.ring();
        if (gone) return;  // nothing more will come, and poll would not wait any more
    }
}

// On the main thread, for each ring: what has come, in order. A byte held for its error follows
// the error's delivery, with what was read after it; then the I/O thread reads on.
void PosixDevice::deliver(Io& io) {
    const bool hold = (eventMask_ & EventBits::Error) != 0;
    std::uint32_t mask = 0;
    {
        std::lock_guard lock(mutex_);
        mask = std::exchange(pending_, 0);
    }
    while (mask != 0) {
        io.sink(mask);
        // Closed (and maybe opened again) from inside the handler: this watching is over.
        if (io.stopped) return;
        bool resume = false;
        {
            std::lock_guard lock(mutex_);
            mask = releaseHeldLocked();
            if (mask != 0) {
                mask |= pullLocked(hold, false);
                resume = !holding_;
            }
            mask &= eventMask_;
        }
        if (resume) io.wake();
    }
}

}  // namespace serial
