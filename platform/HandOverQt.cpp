#include "platform/HandOverQt.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QTimer>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <utility>

namespace platform {

namespace {
int makeBell() {
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) throw std::runtime_error("eventfd failed for the main-thread hand-over");
    return fd;
}
// The notifier and the timer of one LoopWatch. Deleting a notifier or a timer from inside its own
// signal is not allowed: a watch ended from inside onEvent leaves them to be deleted later.
class Watchers : public QObject {
public:
    Watchers(int fd, std::function<void(bool)> onEvent)
        : notifier_(fd, QSocketNotifier::Read), onEvent_(std::move(onEvent)) {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&notifier_, &QSocketNotifier::activated, this, [this] { run(true); });
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { run(false); });
    }
    QSocketNotifier& notifier() { return notifier_; }
    QTimer& timer() { return timer_; }

    void end() {
        notifier_.setEnabled(false);
        timer_.stop();
        ended_ = true;
        if (running_ == 0) delete this;
    }

private:
    void run(bool readable) {
        if (ended_) return;
        ++running_;
        struct Leave {
            Watchers& w;
            ~Leave() {
                if (--w.running_ == 0 && w.ended_) w.deleteLater();
            }
        } leave{*this};
        onEvent_(readable);
    }

    QSocketNotifier notifier_;
    QTimer timer_;
    std::function<void(bool)> onEvent_;
    int running_ = 0;
    bool ended_ = false;
};

class QtLoopWatch : public LoopWatch {
public:
    QtLoopWatch(int fd, std::function<void(bool)> onEvent)
        : watchers_(new Watchers(fd, std::move(onEvent))) {}
    ~QtLoopWatch() override { watchers_->end(); }
    QtLoopWatch(const QtLoopWatch&) = delete;
    QtLoopWatch& operator=(const QtLoopWatch&) = delete;

    void setReadable(bool on) override { watchers_->notifier().setEnabled(on); }
    void wakeAfterMs(int ms) override { watchers_->timer().start(ms); }
    void cancelWake() override { watchers_->timer().stop(); }

private:
    Watchers* watchers_;
};

}  // namespace

std::unique_ptr<LoopWatch> HandOverQt::watchDescriptor(int fd, std::function<void(bool)> onEvent) {
    return std::make_unique<QtLoopWatch>(fd, std::move(onEvent));
}

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
    queue_.runPending();
}

}  // namespace platform
