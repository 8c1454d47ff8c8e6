#include "serial/MemoryDevice.h"

#include <cerrno>
#include <utility>

#include "platform/Clock.h"

namespace serial {

MemoryDevice::MemoryDevice() : self_(std::make_shared<MemoryDevice*>(this)) {}

MemoryDevice::~MemoryDevice() = default;

// ---- the far end ----

void MemoryDevice::receive(const std::vector<std::uint8_t>& bytes) {
    if (!open_) return;
    bool added = false;
    for (std::uint8_t b : bytes) {
        if (dropNext_ > 0) {
            --dropNext_;
            continue;
        }
        input_.push_back(b);
        added = true;
    }
    if (added) notify(EventBits::RxChar);
}

void MemoryDevice::receive(std::uint8_t byte, std::int32_t lineErrors) {
    if (!open_) return;
    if (dropNext_ > 0) {
        --dropNext_;
        return;
    }
    if (lineErrors != 0) {
        // The error goes first, so the reply the byte belongs to is already marked when the
        // byte is read.
        errors_ |= lineErrors;
        notify(EventBits::Error);
        if (!open_) return;  // a handler closed the line
    }
    input_.push_back(byte);
    notify(EventBits::RxChar);
}

void MemoryDevice::leaveInDriver(const std::vector<std::uint8_t>& bytes) {
    leftInDriver_.insert(leftInDriver_.end(), bytes.begin(), bytes.end());
}

void MemoryDevice::reportTxEmpty() {
    if (open_) notify(EventBits::TxEmpty);
}

void MemoryDevice::setAutoTxEmpty(platform::Clock* clock, std::int64_t delayUs) {
    autoTxClock_ = clock;
    autoTxDelayUs_ = delayUs;
}

void MemoryDevice::failOpen(int errnoValue) {
    failOpen_ = errnoValue;
}
void MemoryDevice::failReads(bool on) {
    failReads_ = on;
}
void MemoryDevice::failWrites(bool on) {
    failWrites_ = on;
}
void MemoryDevice::dropNext(int n) {
    dropNext_ = n;
}

std::vector<std::uint8_t> MemoryDevice::takeWritten() {
    return std::exchange(written_, {});
}

void MemoryDevice::notify(std::uint32_t mask) {
    mask &= eventMask_;
    if (mask == 0) return;
    if (auto sink = sink_) sink(mask);
}

// ---- the host side ----

int MemoryDevice::open(const std::string& name) {
    if (open_) return EBUSY;
    if (failOpen_ != 0) return failOpen_;
    open_ = true;
    ++openCount_;
    openedName_ = name;
    input_.assign(leftInDriver_.begin(), leftInDriver_.end());
    leftInDriver_.clear();
    errors_ = 0;
    eventMask_ = 0;
    return 0;
}

void MemoryDevice::close() {
    stopWatching();
    open_ = false;
    input_.clear();
    errors_ = 0;
}

int MemoryDevice::applySettings(const LineSettings& settings) {
    return settings.byteSize < 4 || settings.byteSize > 8 ? EINVAL : 0;
}

int MemoryDevice::setQueueSizes(std::int32_t inputSize, std::int32_t outputSize) {
    return inputSize > 0 && outputSize > 0 ? 0 : EINVAL;
}

int MemoryDevice::setTimeouts() {
    return 0;
}

int MemoryDevice::setEventMask(std::uint32_t mask) {
    eventMask_ = mask;
    return 0;
}

int MemoryDevice::startWatching(EventSink sink, TThreadPriority) {
    sink_ = std::move(sink);
    // Bytes already waiting are reported as a real device's first wait would.
    if (!input_.empty()) notify(EventBits::RxChar);
    return 0;
}

void MemoryDevice::stopWatching() {
    sink_ = nullptr;
}

int MemoryDevice::read(void* buffer, std::int32_t count, std::int32_t& done) {
    done = 0;
    if (failReads_) return EIO;
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (done < count && !input_.empty()) {
        out[done++] = input_.front();
        input_.pop_front();
    }
    return 0;
}

int MemoryDevice::write(const void* buffer, std::int32_t count, std::int32_t, std::int32_t& done) {
    done = 0;
    if (failWrites_) return EIO;
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    for (; done < count; ++done) {
        written_.push_back(in[done]);
        if (auto peer = OnHostWrite) peer(in[done]);
    }
    if (autoTxClock_ != nullptr && count > 0) {
        std::weak_ptr<MemoryDevice*> self = self_;
        const int opening = openCount_;
        autoTxClock_->callAfterUs(autoTxDelayUs_, [self, opening] {
            auto alive = self.lock();
            if (alive && (*alive)->openCount_ == opening) (*alive)->reportTxEmpty();
        });
    }
    return 0;
}

int MemoryDevice::purge(bool input, bool) {
    if (input) input_.clear();
    return 0;
}

std::int32_t MemoryDevice::inQueue() {
    return static_cast<std::int32_t>(input_.size());
}

int MemoryDevice::status(std::int32_t& errors, std::int32_t& inQue, std::int32_t& outQue) {
    errors = std::exchange(errors_, 0);
    inQue = inQueue();
    outQue = 0;
    return 0;
}

}  // namespace serial
