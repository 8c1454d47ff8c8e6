#include "serial/LineTrace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <system_error>

#include "serial/PortNames.h"
#include "serial/VaComm.h"

namespace serial {

namespace {

constexpr std::int32_t kMaxDiscardedTraced = 64 * 1024;
constexpr char kHex[] = "0123456789ABCDEF";

// A fixed buffer a line is put together in, without allocating. Big enough for a device path
// of PATH_MAX; what does not fit is cut, but the last byte is kept for the line's end, so one
// event stays one line.
class LineText {
public:
    LineText& operator<<(std::string_view text) {
        const std::size_t n = std::min(text.size(), room());
        // An empty view may have no storage at all.
        if (n > 0) std::memcpy(buf_ + len_, text.data(), n);
        len_ += n;
        return *this;
    }
    LineText& operator<<(long long value) {
        auto [end, ec] = std::to_chars(buf_ + len_, buf_ + len_ + room(), value);
        if (ec == std::errc()) len_ = static_cast<std::size_t>(end - buf_);
        return *this;
    }
    LineText& hex(std::uint32_t value, int digits) {
        for (int i = digits - 1; i >= 0 && room() > 0; --i)
            buf_[len_++] = kHex[(value >> (4 * i)) & 0xF];
        return *this;
    }
    LineText& endLine() {
        buf_[len_++] = '\n';
        return *this;
    }
    std::string_view view() const { return {buf_, len_}; }

private:
    static constexpr std::size_t kCapacity = 4096 + 256;
    std::size_t room() const { return kCapacity - 1 - len_; }

    char buf_[kCapacity];
    std::size_t len_ = 0;
};

void writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a full disc must not stop the line
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

}  // namespace

LineTrace::LineTrace(const std::string& path) : start_(std::chrono::steady_clock::now()) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), path);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char started[32];
    std::strftime(started, sizeof started, "%Y-%m-%d %H:%M:%S", &local);
    LineText header;
    header << "# kvt3 line trace, started " << started
           << "; times in µs since then; tx host to box, rx box to host";
    header.endLine();
    writeAll(fd_, header.view().data(), header.view().size());
}

LineTrace::~LineTrace() {
    if (fd_ >= 0) ::close(fd_);
}

void LineTrace::line(std::string_view text, std::int64_t atUs) {
    const auto startUs =
        std::chrono::duration_cast<std::chrono::microseconds>(start_.time_since_epoch()).count();
    const auto us = atUs > 0 ? atUs - startUs
                             : std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::steady_clock::now() - start_)
                                   .count();
    char stamp[24];
    auto [end, ec] = std::to_chars(stamp, stamp + sizeof stamp, static_cast<long long>(us));
    const std::size_t width = static_cast<std::size_t>(end - stamp);
    LineText out;
    // Right-aligned in ten columns, so the events line up.
    for (std::size_t i = width; i < 10; ++i) out << " ";
    out << std::string_view(stamp, width) << " " << text;
    out.endLine();
    std::lock_guard lock(mutex_);
    writeAll(fd_, out.view().data(), out.view().size());
}

void LineTrace::opened(const std::string& name, const std::string& path, int error) {
    LineText t;
    t << "open " << name;
    if (path != name) t << " " << path;
    if (error != 0)
        t << " failed (" << static_cast<long long>(error) << ") " << std::strerror(error);
    line(t.view());
}

void LineTrace::closed() {
    line("close");
}

void LineTrace::bytes(const char* direction, const std::uint8_t* data, std::int32_t count,
                      std::string_view after, std::int64_t atUs) {
    for (std::int32_t i = 0; i < count; ++i) {
        LineText t;
        t << direction;
        t.hex(data[i], 2);
        t << after;
        line(t.view(), atUs);
    }
}

void LineTrace::sent(const std::uint8_t* data, std::int32_t count, std::int64_t atUs) {
    bytes("tx ", data, count, {}, atUs);
}

void LineTrace::received(const std::uint8_t* data, std::int32_t count, std::int64_t atUs) {
    bytes("rx ", data, count, {}, atUs);
}

void LineTrace::discarded(const std::uint8_t* data, std::int32_t count) {
    bytes("rx ", data, count, " discarded");
}

void LineTrace::lineErrors(std::int32_t errorBits) {
    static constexpr std::pair<std::int32_t, const char*> kNames[] = {
        {ErrorBits::Overflow, " overflow"}, {ErrorBits::Overrun, " overrun"},
        {ErrorBits::Parity, " parity"},     {ErrorBits::Frame, " framing"},
        {ErrorBits::Break, " break"},       {ErrorBits::TxFull, " output-full"}};
    LineText t;
    t << "error";
    for (const auto& [bit, name] : kNames)
        if (errorBits & bit) t << name;
    t << " (0x";
    t.hex(static_cast<std::uint32_t>(errorBits), 4);
    t << ")";
    line(t.view());
}

void LineTrace::failed(const char* operation, int error) {
    LineText t;
    t << operation << " failed (" << static_cast<long long>(error) << ") " << std::strerror(error);
    line(t.view());
}

void LineTrace::purged(bool input, bool output) {
    line(input && output ? "purge input output" : input ? "purge input" : "purge output");
}

void LineTrace::request(std::uint8_t command, std::string_view name) {
    LineText t;
    t << "request ";
    t.hex(command, 2);
    t << " " << name;
    line(t.view());
}

// ---- the device ----

TracingDevice::TracingDevice(std::shared_ptr<CommDevice> inner, std::shared_ptr<LineTrace> trace)
    : inner_(std::move(inner)), trace_(std::move(trace)) {}

int TracingDevice::checked(const char* operation, int error) {
    if (error != 0) trace_->failed(operation, error);
    return error;
}

int TracingDevice::open(const std::string& name) {
    const int error = inner_->open(name);
    trace_->opened(name, portPath(name), error);
    open_ = error == 0;
    return error;
}

void TracingDevice::close() {
    inner_->close();
    if (open_) trace_->closed();
    open_ = false;
}

int TracingDevice::applySettings(const LineSettings& settings) {
    return checked("line settings", inner_->applySettings(settings));
}

int TracingDevice::setQueueSizes(std::int32_t inputSize, std::int32_t outputSize) {
    return checked("queue sizes", inner_->setQueueSizes(inputSize, outputSize));
}

int TracingDevice::setTimeouts() {
    return checked("time-outs", inner_->setTimeouts());
}

int TracingDevice::setEventMask(std::uint32_t mask) {
    return checked("event mask", inner_->setEventMask(mask));
}

void TracingDevice::setTxEmptyWanted(bool wanted) {
    inner_->setTxEmptyWanted(wanted);
}

int TracingDevice::startWatching(EventSink sink, TThreadPriority priority) {
    return checked("event thread", inner_->startWatching(std::move(sink), priority));
}

void TracingDevice::stopWatching() {
    inner_->stopWatching();
}

void TracingDevice::setWatchPriority(TThreadPriority priority) {
    inner_->setWatchPriority(priority);
}

int TracingDevice::read(void* buffer, std::int32_t count, std::int32_t& done) {
    const int error = inner_->read(buffer, count, done);
    // A byte of a reply the port answered itself is read well after it came: traced with the
    // time it came (and its answer, in takeAnswered, with the time that went out).
    std::int64_t arrivedUs = 0, answeredUs = 0;
    if (done == 1) inner_->lastReadTimes(arrivedUs, answeredUs);
    if (done > 0) trace_->received(static_cast<const std::uint8_t*>(buffer), done, arrivedUs);
    return checked("read", error);
}

int TracingDevice::write(const void* buffer, std::int32_t count, std::int32_t timeoutMs,
                         std::int32_t& done) {
    const int error = inner_->write(buffer, count, timeoutMs, done);
    if (done > 0) trace_->sent(static_cast<const std::uint8_t*>(buffer), done);
    if (error == 0 && done < count) trace_->failed("write", ETIMEDOUT);
    return checked("write", error);
}

// What a purge or an armed reply throws away is part of what was on the line: the box answering
// late, the rest of a reply after a fault, noise. Read it first, so the trace shows it.
void TracingDevice::traceDiscarded() {
    std::uint8_t waiting[256];
    std::int32_t total = 0;
    std::int32_t done = 0;
    // Bounded: a line that keeps sending must not hold the purge up.
    while (total < kMaxDiscardedTraced && inner_->read(waiting, sizeof waiting, done) == 0 &&
           done > 0) {
        trace_->discarded(waiting, done);
        total += done;
    }
}

void TracingDevice::armReplyScript(const ReplyScript& script) {
    traceDiscarded();
    inner_->armReplyScript(script);
}

// An answer the device sent on its own is traced when the byte it answers is taken, so the
// trace keeps the order of the line: each byte, then its answer.
bool TracingDevice::takeAnswered(std::uint8_t& answer) {
    if (!inner_->takeAnswered(answer)) return false;
    std::int64_t arrivedUs = 0, answeredUs = 0;
    inner_->lastReadTimes(arrivedUs, answeredUs);
    trace_->sent(&answer, 1, answeredUs);
    return true;
}

bool TracingDevice::lastReadTimes(std::int64_t& arrivedUs, std::int64_t& answeredUs) {
    return inner_->lastReadTimes(arrivedUs, answeredUs);
}

bool TracingDevice::replyDisturbed() {
    return inner_->replyDisturbed();
}

int TracingDevice::purge(bool input, bool output) {
    if (input) traceDiscarded();
    trace_->purged(input, output);
    return checked("purge", inner_->purge(input, output));
}

std::int32_t TracingDevice::inQueue() {
    return inner_->inQueue();
}

int TracingDevice::status(std::int32_t& errors, std::int32_t& inQue, std::int32_t& outQue) {
    const int error = inner_->status(errors, inQue, outQue);
    if (error == 0 && errors != 0) trace_->lineErrors(errors);
    return checked("status", error);
}

platform::HandOver* TracingDevice::handOver() const {
    return inner_->handOver();
}

}  // namespace serial
