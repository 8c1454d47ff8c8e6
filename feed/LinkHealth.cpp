#include "feed/LinkHealth.h"

#include <algorithm>

namespace feed {

std::array<std::uint64_t, LinkHealth::eventCount>& LinkHealth::bucket(std::int64_t second) {
    const auto slot = static_cast<std::size_t>(second % static_cast<std::int64_t>(seconds));
    if (bucketSecond_[slot] != second) {
        buckets_[slot] = {};
        bucketSecond_[slot] = second;
    }
    return buckets_[slot];
}

void LinkHealth::count(Event event, std::int64_t nowMs) {
    ++total_[event];
    // Seconds counted from the start, one past it, so that a bucket never used (second 0) is
    // never taken for one that was.
    ++bucket((std::max)(nowMs - startMs_, std::int64_t{0}) / 1000 + 1)[event];
}

LinkHealth::Counts LinkHealth::counts(std::int64_t nowMs) const {
    Counts result;
    result.sinceStart = total_;
    result.runningMs = (std::max)(nowMs - startMs_, std::int64_t{0});
    const std::int64_t current = result.runningMs / 1000 + 1;
    // The last minute: the current second and the 59 before it, each bucket only if it holds one
    // of them.
    for (std::size_t slot = 0; slot < seconds; ++slot) {
        const std::int64_t second = bucketSecond_[slot];
        if (second == 0 || second > current || current - second >= std::int64_t{seconds}) continue;
        for (std::size_t e = 0; e < eventCount; ++e) result.lastMinute[e] += buckets_[slot][e];
    }
    const double running = static_cast<double>(result.runningMs) / 1000.0;
    if (running > 0) {
        result.ratePerSecond = static_cast<double>(total_[readings]) / running;
        result.rateLastMinute = static_cast<double>(result.lastMinute[readings]) /
                                (std::min)(running, static_cast<double>(seconds));
    }
    return result;
}

}  // namespace feed
