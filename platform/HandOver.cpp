#include "platform/HandOver.h"

#include <atomic>
#include <utility>

namespace platform {

namespace {
std::atomic<HandOver*> g_default{nullptr};
}

HandOver* defaultHandOver() {
    return g_default.load();
}
void setDefaultHandOver(HandOver* handOver) {
    g_default.store(handOver);
}

bool HandOverChannel::call() {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return false;
        state_ = State::posted;
    }
    handOver_.post(shared_from_this());
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return state_ == State::idle || closed_; });
    return !closed_;
}

bool HandOverChannel::ring() {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return false;
        if (state_ == State::running) rungWhileRunning_ = true;
        if (state_ != State::idle) return true;
        state_ = State::posted;
    }
    handOver_.post(shared_from_this());
    return true;
}

void HandOverChannel::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    done_.notify_all();
}

bool HandOverChannel::closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

void HandOverChannel::deliver() {
    {
        std::lock_guard lock(mutex_);
        if (closed_ || state_ != State::posted) return;
        state_ = State::running;
    }
    // The worker stays blocked until the end, even when onMainThread() throws.
    struct Finish {
        HandOverChannel& c;
        ~Finish() {
            bool again = false;
            {
                std::lock_guard lock(c.mutex_);
                again = std::exchange(c.rungWhileRunning_, false) && !c.closed_;
                c.state_ = again ? State::posted : State::idle;
            }
            c.done_.notify_all();  // the channel outlives this: the hand-over holds it
            if (again) c.handOver_.post(c.shared_from_this());
        }
    } finish{*this};
    onMainThread();
}

PumpedHandOver::PumpedHandOver() {
    queue_.reserve(8);
}

void PumpedHandOver::post(std::shared_ptr<HandOverChannel> channel) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(channel));
    }
    posted_.notify_all();
}

// One at a time, so a delivery may itself pump; what is posted meanwhile waits for the next run.
std::size_t PumpedHandOver::runPending() {
    std::size_t n;
    {
        std::lock_guard lock(mutex_);
        n = queue_.size();
    }
    for (std::size_t i = 0; i < n; ++i) {
        std::shared_ptr<HandOverChannel> channel;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return i;
            channel = std::move(queue_.front());
            queue_.erase(queue_.begin());
        }
        channel->deliver();
    }
    return n;
}

std::size_t PumpedHandOver::waitAndRun(std::chrono::milliseconds timeout) {
    waitForPost(timeout);
    return runPending();
}

bool PumpedHandOver::waitForPost(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return posted_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
}

}  // namespace platform
