#include "sim/Stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sim/Commands.h"

namespace sim {

void DurationHistogram::add(std::int64_t us) {
    const auto bin = static_cast<std::size_t>(std::clamp<std::int64_t>(us / BinUs, 0, Bins - 1));
    ++bins_[bin];
    ++count_;
}

std::int64_t DurationHistogram::quantileUs(double q) const {
    if (count_ == 0) return 0;
    const auto rank = std::max<std::int64_t>(
        1, static_cast<std::int64_t>(std::ceil(q * static_cast<double>(count_))));
    std::int64_t seen = 0;
    for (std::size_t bin = 0; bin < Bins; ++bin) {
        seen += bins_[bin];
        if (seen >= rank) return static_cast<std::int64_t>(bin + 1) * BinUs;
    }
    return static_cast<std::int64_t>(Bins) * BinUs;
}

void DurationHistogram::clear() {
    bins_.fill(0);
    count_ = 0;
}

std::string Stats::line(const char* what, std::int64_t readings, std::int64_t spanUs,
                        const DurationHistogram& turnaround) {
    const double seconds = static_cast<double>(std::max<std::int64_t>(spanUs, 1)) / 1e6;
    char text[200];
    std::snprintf(text, sizeof text,
                  "%s: %.1f readings/s (%lld in %.1f s), host turnaround median %.2f ms, "
                  "99%% %.2f ms (%lld bytes)",
                  what, static_cast<double>(readings) / seconds, static_cast<long long>(readings),
                  seconds, static_cast<double>(turnaround.quantileUs(0.5)) / 1000,
                  static_cast<double>(turnaround.quantileUs(0.99)) / 1000,
                  static_cast<long long>(turnaround.count()));
    return text;
}

std::string Stats::period(std::int64_t nowUs) {
    std::string s = line("stats", periodReadings_, nowUs - periodStartUs_, periodTurnaround_);
    periodStartUs_ = nowUs;
    periodReadings_ = 0;
    periodTurnaround_.clear();
    return s;
}

std::string Stats::fault(std::int64_t nowUs, Fault fault, std::int64_t request,
                         std::uint8_t command) {
    ++faults_[static_cast<std::size_t>(fault)];
    char text[160];
    std::snprintf(text, sizeof text,
                  "fault: %s at request %lld (%02X %s) after %lld readings, %.3f s",
                  faultName(fault), static_cast<long long>(request), command, cmd::name(command),
                  static_cast<long long>(readings_), static_cast<double>(nowUs - startUs_) / 1e6);
    return text;
}

std::string Stats::total(std::int64_t nowUs) const {
    std::string s = line("total", readings_, nowUs - startUs_, turnaround_);
    std::string made;
    for (int kind = 0; kind < FaultKinds; ++kind) {
        const std::int64_t n = faults_[static_cast<std::size_t>(kind)];
        if (n > 0)
            made += (made.empty() ? "; faults made: " : ", ") + std::to_string(n) + " " +
                    faultName(static_cast<Fault>(kind));
    }
    s += made;
    if (lateness_.count() > 0) {
        char text[120];
        std::snprintf(text, sizeof text, "; paced bytes late by median %.3f ms, 99%% %.3f ms",
                      static_cast<double>(lateness_.quantileUs(0.5)) / 1000,
                      static_cast<double>(lateness_.quantileUs(0.99)) / 1000);
        s += text;
    }
    return s;
}

}  // namespace sim
