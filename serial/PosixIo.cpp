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

// Until when a reply's last byte is held back for a byte right behind it. A stray byte taken in
// among a reply's own puts the host one byte ahead of the box, whose count of answers still agrees
// with the host's: the box's own last byte then comes after the reply seems complete, as its
// answer to the host's last answer, at most as long after the byte before it as the box takes
// for a byte (a box that answers one byte at a time is always that far behind), or right behind
// it in a reply sent in one go. So: the longest the box took for a byte, in this reply or the
// last good one, and a little more, from the last byte.
std::int64_t PosixDevice::settleUntilUs(std::int64_t now) const {
    std::int64_t pace = paceUs();
    if (pace == 0) pace = charTimeUs_.load(std::memory_order_relaxed);
    return now + pace * 11 / 10 + 200;
}

// A box's turnaround, not a pause of the box's: beyond this a byte's wait says nothing about how
// soon the box answers.
std::int64_t PosixDevice::longestPaceUs() const {
    return 20 * std::int64_t{charTimeUs_.load(std::memory_order_relaxed)} + 16000;
}

// The longest the box took for a byte, in this reply or the last good one, up to a turnaround.
std::int64_t PosixDevice::paceUs() const {
    return std::min(std::max(cadenceUs_, script_.slowestUs), longestPaceUs());
}

// A byte behind the reply's last: the reply is not the box's as it stands, and more of what pushed
// it out may be on its way (the box sends a byte for every answer it had). The reader hears of it
// when the line has been quiet for a few characters, so that the next request, which throws away
// what is waiting, starts on a quiet line.
void PosixDevice::byteBehindLocked(std::int64_t now) {
    Script& s = script_;
    endSettlingLocked();
    if (!s.draining) {
        s.draining = true;
        s.drainEndUs = now + 100000;  // a line that never falls quiet is heard of anyway
    }
    const std::int64_t quietUs =
        std::max({std::int64_t{4} * charTimeUs_.load(std::memory_order_relaxed), std::int64_t{2000},
                  2 * paceUs()});
    s.holdUntilUs = std::min(now + quietUs, s.drainEndUs);
}

void PosixDevice::stopScriptLocked() {
    script_.counting = script_.answering = script_.draining = false;
    endSettlingLocked();
}

// The reply's last byte may be read from now on: the reader hears of it, also when the bytes
// before it were announced (and read) while it was held back.
void PosixDevice::endSettlingLocked() {
    if (!script_.settling) return;
    script_.settling = false;
    if (input_.size() > 0) pending_ |= EventBits::RxChar & eventMask_;
}

// A byte of the armed reply has just been queued (one that came with a line error stops the
// script before this); sameRead: it came in the same read as the byte before it. Answers it while
// the script answers, and holds the last one back.
void PosixDevice::scriptTakesLocked(bool sameRead) {
    Script& s = script_;
    const std::int64_t now = nowUs();
    if (s.settling || s.draining) {
        byteBehindLocked(now);
        return;
    }
    if (!s.counting) return;
    // Answered here as it comes, a byte of the box's is never already there when the byte before
    // it is answered: the box sends it only once that answer has reached it.
    if (s.answering && sameRead && s.received > 0) s.disturbed = true;
    ++s.received;
    // What the box took for this byte: from the host's last byte when the box answers each one,
    // from its own byte before in a reply it sends in one go.
    if (s.reply.answered)
        s.slowestUs = std::max(s.slowestUs, now - s.lastWriteUs);
    else if (s.received > 1)
        s.slowestUs = std::max(s.slowestUs, now - s.lastArrivalUs);
    s.lastArrivalUs = now;
    const auto k = static_cast<std::size_t>(s.received - 1);
    if (k < s.arrivedUs.size()) s.arrivedUs[k] = now;
    if (s.received == 1 && s.reply.lengthPerFirstByte > 0)
        s.length += s.reply.lengthPerFirstByte * input_.back();
    if (s.received >= s.length) {
        s.counting = s.answering = false;
        if (s.disturbed) {
            // Whatever else the box still sends for it comes before the reader hears of it.
            byteBehindLocked(now);
            return;
        }
        s.settling = true;
        s.holdUntilUs = settleUntilUs(now);
        return;
    }
    if (!s.answering) return;
    const std::uint8_t answer = s.reply.answers[static_cast<std::size_t>(s.received - 1)];
    if (::write(fd_, &answer, 1) != 1) {
        // The main thread answers it itself, waiting for room as its writes do.
        s.answering = false;
        return;
    }
    ++s.answered;
    s.lastWriteUs = s.answeredUs[k] = nowUs();
    s.answerUntilUs = s.lastWriteUs + scriptGapUs();
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
        const bool fits = !script.answered || script.length <= ReplyScript::MaxAnswered + 1;
        if (io_ && !gone_ && script.length > 0 && fits) {
            script_.reply = script;
            script_.counting = true;
            script_.answering = script.answered;
            script_.length = script.length;
            script_.lastWriteUs = script_.lastArrivalUs = nowUs();
        }
    }
    if (resume) io_->wake();
}

// The main thread wrote (an answer of its own, after the script stopped answering): the box's
// pace is measured from here.
void PosixDevice::notedWrite() {
    std::lock_guard lock(mutex_);
    if (script_.counting) script_.lastWriteUs = nowUs();
}

bool PosixDevice::lastReadTimes(std::int64_t& arrivedUs, std::int64_t& answeredUs) {
    std::lock_guard lock(mutex_);
    const std::int32_t n = readSinceArm_;
    if (n < 1 || n > script_.received || n > static_cast<std::int32_t>(script_.arrivedUs.size()))
        return false;
    const auto k = static_cast<std::size_t>(n - 1);
    arrivedUs = script_.arrivedUs[k];
    answeredUs = n <= script_.answered ? script_.answeredUs[k] : 0;
    return true;
}

bool PosixDevice::replyDisturbed() {
    std::lock_guard lock(mutex_);
    return script_.disturbed;
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
        // Microseconds: a reply's last byte is held back for a few milliseconds, to the
        // microsecond.
        std::int64_t timeoutUs = txWatch ? std::int64_t{txWaitMs} * 1000 : -1;
        {
            std::lock_guard lock(mutex_);
            watchInput = !holding_ && rawPos_ == rawLen_ && !gone_;
            std::int64_t until = -1;
            if (script_.settling || script_.draining)
                until = script_.holdUntilUs;
            else if (script_.answering && script_.answered > 0)
                until = script_.answerUntilUs;
            if (until >= 0) {
                const std::int64_t leftUs = std::clamp<std::int64_t>(until - nowUs(), 0, 1000000);
                timeoutUs = timeoutUs < 0 ? leftUs : std::min(timeoutUs, leftUs);
            }
        }
        pollfd fds[2] = {{io.wakeFd, POLLIN, 0}, {watchInput ? fd_ : -1, POLLIN, 0}};
        const timespec wait{static_cast<time_t>(timeoutUs / 1000000),
                            static_cast<long>(timeoutUs % 1000000 * 1000)};
        const int r = ::ppoll(fds, 2, timeoutUs < 0 ? nullptr : &wait, nullptr);
        if (io.stop) return;
        if (r < 0 && errno != EINTR) {
            // Cannot wait any more: the port is as good as gone, and the main thread hears so.
            bool ring = false;
            {
                std::lock_guard lock(mutex_);
                gone_ = true;
                stopScriptLocked();
                pending_ |= EventBits::Gone;
                ring = true;
            }
            if (ring) io.ring();
            return;
        }
        if (r > 0 && (fds[0].revents & POLLIN)) {
            std::uint64_t count;
            (void)!::read(io.wakeFd, &count, sizeof count);
        }
        bool ring = false, gone = false;
        {
            std::lock_guard lock(mutex_);
            std::uint32_t found = 0;
            bool hangup = r > 0 && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
            if (r > 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) {
                found = pullLocked(hold, true);
                // Bytes that came before the hang-up are delivered before the watching ends.
                if (found & (EventBits::RxChar | EventBits::Error)) hangup = hangup && gone_;
                if (hangup) gone_ = true;
            }
            const std::int64_t now = nowUs();
            if (gone_) stopScriptLocked();
            // The box pauses: the main thread answers the rest of the reply, byte by byte.
            if (script_.answering && script_.answered > 0 && now >= script_.answerUntilUs)
                script_.answering = false;
            if ((script_.settling || script_.draining) && now >= script_.holdUntilUs) {
                // Quiet after the last byte: the box's pace is known for the next reply.
                if (script_.settling && script_.reply.answered &&
                    script_.slowestUs <= longestPaceUs())
                    cadenceUs_ = script_.slowestUs;
                script_.draining = false;
                endSettlingLocked();
            }
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
            // The main thread hears once that nothing more will come, after what came before.
            if (gone) pending_ |= EventBits::Gone;
            // The bytes of a reply answered here reach the main thread together, at its end,
            // and a reply's last byte once it has settled.
            // After a byte behind it, all of it once the line is quiet, line errors too.
            const bool holdBytes = script_.answering || script_.settling || script_.draining;
            ring = pending_ != 0 &&
                   (!holdBytes || (!script_.draining && (pending_ & ~EventBits::RxChar) != 0));
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
