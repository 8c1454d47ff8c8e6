#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "serial/ByteRing.h"
#include "serial/VaComm.h"

namespace serial {

class CommDevice;

// The buffered write mode: WriteBuf appends to a queue of fixed capacity, this thread writes the
// queue to the device and reports an emptied queue (transmit empty) and a failed write (error,
// with ErrorBits::TxFull) through the blocking hand-over to the main thread.
class WriteThread {
public:
    using Sink = std::function<void(std::uint32_t mask)>;

    // reportMask: which of EventBits::TxEmpty and EventBits::Error to hand over.
    WriteThread(CommDevice& device, std::int32_t capacity, std::int32_t deviceWaitMs,
                std::uint32_t reportMask, Sink sink);
    ~WriteThread();
    WriteThread(const WriteThread&) = delete;
    WriteThread& operator=(const WriteThread&) = delete;

    // Throws EVaCommError when no hand-over to the main thread is available.
    void start(TThreadPriority priority);
    // Releases the thread from a pending hand-over and joins it. Never waits for the main thread.
    void stop();
    void setPriority(TThreadPriority priority);

    // Appends all count bytes, waiting up to timeoutMs for room; false when there was none.
    bool append(const void* data, std::int32_t count, std::int32_t timeoutMs);
    void clear();
    std::int32_t takeErrors();

private:
    class Channel;
    void run(TThreadPriority priority);

    CommDevice& device_;
    const std::int32_t deviceWaitMs_;
    const std::uint32_t reportMask_;
    std::shared_ptr<Channel> channel_;
    std::thread thread_;
    std::atomic<pid_t> tid_{0};
    std::atomic<bool> stop_{false};

    std::mutex mutex_;  // the queue and the error bits
    std::condition_variable changed_;
    ByteRing queue_;
    std::int32_t errors_ = 0;
};

}  // namespace serial
