// PosixDevice watched from the main thread's own loop (the program's): the loop reads the terminal
// when it is readable and delivers at once, with what one read brought in one delivery. The order
// is the event thread's: received bytes before the transmit-empty that follows them, a line error
// before the byte it belongs to, and nothing delivered while a handler is still running.
#include <poll.h>

#include <algorithm>

#include "serial/PosixDevice.h"
#include "serial/PosixWatch.h"

namespace serial {

// After a write, the output queue: transmit empty once it has drained, else a look again about
// when the queued characters will have left; nothing when it can no longer be seen to drain.
std::uint32_t PosixDevice::drainEventLocked(Loop& loop, bool hangup) {
    if (loop.txRequested) {
        loop.txRequested = false;
        loop.txWatch = true;
    }
    if (!loop.txWatch) return 0;
    int queued = 0;
    const Drain drain = drainState(hangup, queued);
    if (drain != Drain::sending) {
        loop.txWatch = false;
        if (loop.wakeArmed) {
            loop.wakeArmed = false;
            loop.watch->cancelWake();
        }
        return drain == Drain::empty ? EventBits::TxEmpty : 0;
    }
    // A little later than the characters take to leave: an answer that follows them looks at
    // the queue on its way in, and a byte-by-byte exchange then needs no wake-up of its own for
    // the queue. With nothing coming back, transmit empty comes a couple of milliseconds late.
    constexpr int slackMs = 2;
    loop.wakeArmed = true;
    loop.watch->wakeAfterMs(txPollMs(queued) + slackMs);
    return 0;
}

// A byte-by-byte exchange: the handler answered a byte and expects the next within a couple of
// character times. Waiting for it here, on this descriptor alone, spares the program's loop a
// full turn for every byte; the loop gets its turn back when the exchange pauses, after a few
// character times without a byte, or after a reply's worth of bytes at the most.
void PosixDevice::serveLoop(bool readable) {
    constexpr int mostBytesInARow = 16;
    for (int round = 0; serveLoopOnce(readable) && round < mostBytesInARow; ++round) {
        if (!awaitDueInput()) return;
        readable = true;
    }
}

bool PosixDevice::awaitDueInput() {
    const std::shared_ptr<Loop> loop = loop_;
    if (!loop || loop->stopped || gone_) return false;
    // Three characters: the answer going out, the box's byte coming back, and as much again
    // for the box to turn round; at least two milliseconds.
    const auto charUs = std::int64_t{charTimeUs_.load(std::memory_order_relaxed)};
    const int waitMs = static_cast<int>(std::clamp<std::int64_t>(3 * charUs / 1000 + 2, 2, 20));
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, waitMs) == 1 && (p.revents & POLLIN) != 0;
}

// One delivery of what the terminal has; true when its handler expects the next byte soon.
bool PosixDevice::serveLoopOnce(bool readable) {
    const std::shared_ptr<Loop> loop = loop_;
    if (!loop || loop->stopped) return false;
    if (!readable) loop->wakeArmed = false;
    if (loop->delivering) {
        // A handler runs a nested loop: the terminal waits until the handler has returned, as it
        // waits for the event thread's hand-over. What the handler writes is looked after then.
        loop->watch->setReadable(false);
        loop->deferred = true;
        return false;
    }
    const bool hold = (eventMask_ & EventBits::Error) != 0;
    std::uint32_t mask = 0;
    bool gone = false;
    {
        std::lock_guard lock(mutex_);
        mask = pullLocked(hold, readable);
        // Readable with nothing to read: a hang-up, after which the terminal answers 0 (or EIO,
        // which pullLocked marks) for ever. Bytes that came before it have been delivered.
        if (readable && mask == 0 && !gone_ && rawPos_ == rawLen_ && !holding_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) gone_ = true;
        }
        gone = gone_;
        mask |= drainEventLocked(*loop, gone);
    }
    if (gone) {
        // Nothing more will come; the loop would only be woken again and again.
        loop->watch->setReadable(false);
        loop->watch->cancelWake();
        loop->wakeArmed = false;
    }
    mask &= eventMask_;
    if (mask == 0) return false;
    struct Delivering {
        Loop& loop;
        explicit Delivering(Loop& l) : loop(l) { loop.delivering = true; }
        ~Delivering() { loop.delivering = false; }
    } delivering{*loop};
    loop->inputDue = false;
    while (mask != 0) {
        loop->sink(mask);
        // Closed (and maybe opened again) from inside the handler: this watching is over.
        if (loop->stopped) return false;
        std::lock_guard lock(mutex_);
        // The error of a held byte has been delivered: now the byte, and what was read after it.
        mask = releaseHeldLocked();
        if (mask != 0) mask |= pullLocked(hold, false);
        mask |= drainEventLocked(*loop, gone_);
        mask &= eventMask_;
    }
    if (loop->deferred) {
        loop->deferred = false;
        if (!gone_) loop->watch->setReadable(true);
        // The loop was turned meanwhile (a nested one): it takes the terminal from here.
        return false;
    }
    return loop->inputDue && !gone_;
}

}  // namespace serial
