#include "platform/HandOverQt.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <stdexcept>

namespace platform {

namespace {
int makeBell() {
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) throw std::runtime_error("eventfd failed for the main-thread hand-over");
    return fd;
}
}  // namespace

HandOverQt::HandOverQt() : bell_(makeBell()), notifier_(bell_, QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { answer(); });
}

HandOverQt::~HandOverQt() {
    notifier_.setEnabled(false);
    ::close(bell_);
}

void HandOverQt::post(std::shared_ptr<HandOverChannel> channel) {
    queue_.post(std::move(channel));
    ring();
}

void HandOverQt::ring() {
    const std::uint64_t one = 1;
    // EAGAIN means the counter is full of unanswered rings already: the main thread will look.
    while (::write(bell_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void HandOverQt::answer() {
    std::uint64_t rings = 0;
    while (::read(bell_, &rings, sizeof rings) < 0 && errno == EINTR) {
    }
    // Everything queued up to now; a delivery may run a nested loop that answers again, and what
    // it posts meanwhile waits for the next ring.
    const auto start = std::chrono::steady_clock::now();
    deliveries_ += queue_.runPending();
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
    longestUs_ = std::max<std::int64_t>(longestUs_, took);
}

}  // namespace platform
