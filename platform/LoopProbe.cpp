#include "platform/LoopProbe.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/HandOverQt.h"

namespace platform {

namespace {
constexpr int kTickMs = 10;
}

LoopProbe::LoopProbe(std::string path, const HandOverQt& handOver, int settleMs)
    : path_(std::move(path)), handOver_(handOver) {
    tick_.setTimerType(Qt::PreciseTimer);
    tick_.setInterval(kTickMs);
    QObject::connect(&tick_, &QTimer::timeout, [this] { tick(); });
    report_.setInterval(1000);
    QObject::connect(&report_, &QTimer::timeout, [this] { write(); });
    settle_.setSingleShot(true);
    QObject::connect(&settle_, &QTimer::timeout, [this] {
        measuring_ = true;
        handOver_.resetLongestDelivery();
        last_ = std::chrono::steady_clock::now();
        tick_.start();
        report_.start();
    });
    settle_.start(settleMs);
}

void LoopProbe::tick() {
    const auto now = std::chrono::steady_clock::now();
    const auto late = std::chrono::duration_cast<std::chrono::microseconds>(
                          now - last_ - std::chrono::milliseconds(kTickMs))
                          .count();
    last_ = now;
    lateUs_.push_back(static_cast<std::int32_t>(std::max<std::int64_t>(late, 0)));
}

// Replaced whole, so a reader never sees half of it.
void LoopProbe::write() const {
    std::vector<std::int32_t> sorted = lateUs_;
    std::sort(sorted.begin(), sorted.end());
    const auto at = [&sorted](double q) {
        return sorted.empty() ? 0 : sorted[static_cast<std::size_t>(q * double(sorted.size() - 1))];
    };
    const std::string temporary = path_ + ".new";
    std::FILE* f = std::fopen(temporary.c_str(), "w");
    if (f == nullptr) return;
    std::fprintf(f,
                 "ticks %zu\ntimer_late_p50_us %d\ntimer_late_p99_us %d\ntimer_late_max_us %d\n"
                 "deliveries %llu\ndelivery_max_us %lld\n",
                 sorted.size(), at(0.5), at(0.99), sorted.empty() ? 0 : sorted.back(),
                 static_cast<unsigned long long>(handOver_.deliveries()),
                 static_cast<long long>(handOver_.longestDeliveryUs()));
    const bool written = std::fclose(f) == 0;
    if (written) std::rename(temporary.c_str(), path_.c_str());
}

}  // namespace platform
