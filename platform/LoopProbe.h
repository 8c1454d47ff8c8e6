#pragma once

#include <QTimer>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class HandOverQt;

// How well the main thread's loop keeps its time while the program runs: a 10 ms precise timer
// and how late each of its firings comes, and the longest time one delivery from the port took
// on the main thread. From settleMs after the start (the window and the link start are not the
// line's doing), written to a file once a second, whole, for a benchmark to read while the
// program runs or after it has ended.
class LoopProbe {
public:
    LoopProbe(std::string path, const HandOverQt& handOver, int settleMs = 3000);

private:
    void tick();
    void write() const;

    std::string path_;
    const HandOverQt& handOver_;
    QTimer tick_, report_, settle_;
    bool measuring_ = false;
    std::chrono::steady_clock::time_point last_;
    std::vector<std::int32_t> lateUs_;
};

}  // namespace platform
