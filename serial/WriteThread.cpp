#include "serial/WriteThread.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <utility>

#include "serial/CommDevice.h"
#include "serial/ThreadPriority.h"

namespace serial {

class WriteThread::Channel : public platform::HandOverChannel {
public:
    Channel(platform::HandOver& handOver, Sink sink)
        : HandOverChannel(handOver), sink_(std::move(sink)) {}
    std::uint32_t mask = 0;  // written by the worker before call(), read on the main thread

protected:
    void onMainThread() override { sink_(mask); }

private:
    Sink sink_;
};

WriteThread::WriteThread(CommDevice& device, std::int32_t capacity, std::int32_t deviceWaitMs,
                         std::uint32_t reportMask, Sink sink)
    : device_(device), deviceWaitMs_(deviceWaitMs), reportMask_(reportMask) {
    queue_.resize(static_cast<std::size_t>(std::max<std::int32_t>(capacity, 1)));
    if (platform::HandOver* handOver = device.handOver())
        channel_ = std::make_shared<Channel>(*handOver, std::move(sink));
}

WriteThread::~WriteThread() {
    stop();
}

void WriteThread::start(TThreadPriority priority) {
    if (!channel_) throw EVaCommError("No hand-over to the main thread for the write thread");
    thread_ = std::thread([this, priority] { run(priority); });
}

void WriteThread::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    channel_->close();
    changed_.notify_all();
    thread_.join();
}

void WriteThread::setPriority(TThreadPriority priority) {
    applyThreadPriority(tid_, priority);
}

bool WriteThread::append(const void* data, std::int32_t count, std::int32_t timeoutMs) {
    const auto n = static_cast<std::size_t>(count);
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                           [&] { return queue_.room() >= n; }))
        return false;
    const auto* in = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < n; ++i) queue_.push(in[i]);
    changed_.notify_all();
    return true;
}

void WriteThread::clear() {
    std::lock_guard lock(mutex_);
    queue_.clear();
    changed_.notify_all();
}

std::int32_t WriteThread::takeErrors() {
    std::lock_guard lock(mutex_);
    return std::exchange(errors_, 0);
}

void WriteThread::run(TThreadPriority priority) {
    tid_ = gettid();
    applyThreadPriority(tid_, priority);
    std::array<std::uint8_t, 256> chunk;
    for (;;) {
        std::size_t n;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stop_ || queue_.size() > 0; });
            if (stop_) return;
            n = queue_.pop(chunk.data(), chunk.size());
            changed_.notify_all();  // room for a waiting append
        }
        std::uint32_t mask = 0;
        for (std::size_t sent = 0; sent < n && !stop_;) {
            std::int32_t done = 0;
            const int err = device_.write(chunk.data() + sent, static_cast<std::int32_t>(n - sent),
                                          deviceWaitMs_, done);
            if (err != 0) {
                std::lock_guard lock(mutex_);
                errors_ |= ErrorBits::TxFull;
                queue_.clear();  // what follows a lost chunk would only garble the line
                changed_.notify_all();
                mask |= EventBits::Error;
                break;
            }
            sent += static_cast<std::size_t>(done);
        }
        {
            std::lock_guard lock(mutex_);
            if (queue_.size() == 0) mask |= EventBits::TxEmpty;
        }
        channel_->mask = mask & reportMask_;
        if (channel_->mask != 0 && !channel_->call()) return;
    }
}

}  // namespace serial
