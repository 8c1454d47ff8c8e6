#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "serial/CommDevice.h"

namespace serial {

// A service technician's record of the line: every byte each way, every line error, every open
// and close and the request each exchange belongs to, one event a line, each line written to the
// file as it happens (a crash or a pulled plug loses nothing already seen):
//
//   # kvt3 line trace, started 2026-12-07 10:31:02; times in µs since then
//           12 open COM1 /dev/ttyUSB0
//          230 request E9 ready
//          241 tx E9
//         2604 rx E0
//        48113 error parity (0x0004)
//        60211 rx 55 discarded
//        60215 purge input output
//      1204410 close
//
// "tx" is host to box, "rx" box to host. Writing a line takes no lock but its own and allocates
// nothing.
class LineTrace {
public:
    // Creates or empties the file; throws std::system_error when it cannot.
    explicit LineTrace(const std::string& path);
    ~LineTrace();
    LineTrace(const LineTrace&) = delete;
    LineTrace& operator=(const LineTrace&) = delete;

    void opened(const std::string& name, const std::string& path, int error);
    void closed();
    // atUs: when the bytes went or came, on the steady clock in microseconds (0: now).
    void sent(const std::uint8_t* data, std::int32_t count, std::int64_t atUs = 0);
    void received(const std::uint8_t* data, std::int32_t count, std::int64_t atUs = 0);
    // Received bytes a purge threw away unread: "rx 55 discarded".
    void discarded(const std::uint8_t* data, std::int32_t count);
    void lineErrors(std::int32_t errorBits);
    void failed(const char* operation, int error);
    void purged(bool input, bool output);
    // The exchange the bytes that follow belong to: "request E1 positions".
    void request(std::uint8_t command, std::string_view name);

private:
    // Writes "<µs> <text>\n" in one write.
    void line(std::string_view text, std::int64_t atUs = 0);
    void bytes(const char* direction, const std::uint8_t* data, std::int32_t count,
               std::string_view after = {}, std::int64_t atUs = 0);

    int fd_ = -1;
    std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
};

// A device that passes everything to the one it wraps and records it in the trace. The program
// puts it in only when a trace was asked for, so without one the line costs nothing more.
class TracingDevice : public CommDevice {
public:
    TracingDevice(std::shared_ptr<CommDevice> inner, std::shared_ptr<LineTrace> trace);

    int open(const std::string& name) override;
    void close() override;
    int applySettings(const LineSettings& settings) override;
    int setQueueSizes(std::int32_t inputSize, std::int32_t outputSize) override;
    int setTimeouts() override;
    int setEventMask(std::uint32_t mask) override;
    void setTxEmptyWanted(bool wanted) override;
    void armReplyScript(const ReplyScript& script) override;
    bool takeAnswered(std::uint8_t& answer) override;
    bool replyDisturbed() override;
    bool lastReadTimes(std::int64_t& arrivedUs, std::int64_t& answeredUs) override;
    int startWatching(EventSink sink, TThreadPriority priority) override;
    void stopWatching() override;
    void setWatchPriority(TThreadPriority priority) override;
    int read(void* buffer, std::int32_t count, std::int32_t& done) override;
    int write(const void* buffer, std::int32_t count, std::int32_t timeoutMs,
              std::int32_t& done) override;
    int purge(bool input, bool output) override;
    std::int32_t inQueue() override;
    int status(std::int32_t& errors, std::int32_t& inQue, std::int32_t& outQue) override;
    platform::HandOver* handOver() const override;

private:
    int checked(const char* operation, int error);
    void traceDiscarded();

    std::shared_ptr<CommDevice> inner_;
    std::shared_ptr<LineTrace> trace_;
    bool open_ = false;
};

}  // namespace serial
