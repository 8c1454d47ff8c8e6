// The I/O thread of a PosixDevice and the main thread's side of its deliveries.
#include "serial/PosixIo.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "serial/PosixDevice.h"

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

// How long a reply's last byte is held back for a byte right behind it. A stray byte taken in
// among a reply's own leaves the box's last byte to come after the reply seems complete: back to
// back with it on a line at its speed, or about as fast as the box answers on a faster one (a
// pseudo-terminal). So a character at the line's speed and a little more at most, and no longer
// than twice what the box took to send the last byte.
std::int64_t PosixDevice::settleUs(std::int64_t latencyUs) const {
    const std::int64_t most = std::int64_t{charTimeUs_.load(std::memory_order_relaxed)} + 300;
    return std::clamp<std::int64_t>(2 * latencyUs, 30, std::max<std::int64_t>(most, 30));
}

// A byte of the armed reply has just been queued (one that came with a line error stops the
// script before this). Answers it when the script does, and holds the last one back.
void PosixDevice::scriptTakesLocked() {
    Script& s = script_;
    const std::int64_t now = nowUs();
    if (s.settling || s.draining) {
        // A byte behind the reply's last: the reply is not the box's as it stands, and more of
        // what pushed it out may be on its way (the box sends a byte for every answer it had).
        // The reader hears of it when the line has been quiet for a few characters, so the next
        // request, which throws away what is waiting, starts on a quiet line.
        s.settling = false;
        if (!s.draining) {
            s.draining = true;
            s.drainEndUs = now + 100000;  // a line that never falls quiet is heard of anyway
        }
        const std::int64_t quietUs = std::max<std::int64_t>(
            4 * std::int64_t{charTimeUs_.load(std::memory_order_relaxed)}, 2000);
        s.deadlineUs = std::min(now + quietUs, s.drainEndUs);
        return;
    }
    if (!s.active) return;
    if (++s.received == 1 && s.reply.lengthPerFirstByte > 0)
        s.length += s.reply.lengthPerFirstByte * input_.back();
    if (s.received >= s.length) {
        s.active = false;
        s.settling = true;
        s.deadlineUs = now + settleUs(now - s.lastWriteUs);
        return;
    }
    if (!s.reply.answered) return;
    const std::uint8_t answer = s.reply.answers[static_cast<std::size_t>(s.received - 1)];
    if (::write(fd_, &answer, 1) != 1) {
        // The main thread answers it itself, waiting for room as its writes do.
        s.active = false;
        return;
    }
    ++s.answered;
    s.lastWriteUs = nowUs();
    s.deadlineUs = s.lastWriteUs + scriptGapUs();
}

// What a reader may take now: all but a reply's last byte while it is held back.
std::size_t PosixDevice::readableLocked() const {
    return input_.size() - (script_.settling && input_.size() > 0 ? 1 : 0);
}

void PosixDevice::armReplyScript(const ReplyScript& script) {
    bool resume = false;
    {
        std::lock_guard lock(mutex_);
        resume = discardInputLocked();
        script_ = Script{};
        readSinceArm_ = 0;
        const bool fits = !script.answered || script.length <= ReplyScript::MaxAnswered + 1;
        if (io_ && !gone_ && script.length > 0 && fits) {
            script_.reply = script;
            script_.active = true;
            script_.length = script.length;
            script_.lastWriteUs = nowUs();
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
        // Microseconds: a reply's last byte is held back for less than a millisecond.
        std::int64_t timeoutUs = txWatch ? std::int64_t{txWaitMs} * 1000 : -1;
        {
            std::lock_guard lock(mutex_);
            watchInput = !holding_ && rawPos_ == rawLen_ && !gone_;
            if (script_.settling || script_.draining || (script_.active && script_.answered > 0)) {
                const std::int64_t leftUs =
                    std::clamp<std::int64_t>(script_.deadlineUs - nowUs(), 0, 1000000);
                timeoutUs = timeoutUs < 0 ? leftUs : std::min(timeoutUs, leftUs);
            }
        }
        pollfd fds[2] = {{io.wakeFd, POLLIN, 0}, {watchInput ? fd_ : -1, POLLIN, 0}};
        const timespec wait{static_cast<time_t>(timeoutUs / 1000000),
                            static_cast<long>(timeoutUs % 1000000 * 1000)};
        const int r = ::ppoll(fds, 2, timeoutUs < 0 ? nullptr : &wait, nullptr);
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
            const bool due = nowUs() >= script_.deadlineUs;
            if (script_.active && (gone_ || (script_.answered > 0 && due))) script_.active = false;
            if (gone_ || due) script_.settling = script_.draining = false;
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
            // The bytes of a reply answered here reach the main thread together, at its end,
            // and a reply's last byte once it has settled.
            const bool holdBytes =
                (script_.active && script_.reply.answered) || script_.settling || script_.draining;
            ring = pending_ != 0 && (!holdBytes || (pending_ & ~EventBits::RxChar) != 0);
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
