#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sim/Config.h"

namespace sim {

// Durations in a fixed histogram (5 us bins up to 100 ms), so a long run keeps constant memory.
class DurationHistogram {
public:
    void add(std::int64_t us);
    std::int64_t count() const { return count_; }
    // The upper edge of the bin holding the q-quantile (0 < q <= 1); 0 when empty.
    std::int64_t quantileUs(double q) const;
    void clear();

private:
    static constexpr std::int64_t BinUs = 5;
    static constexpr std::size_t Bins = 20000;  // the last bin takes everything longer
    std::array<std::uint32_t, Bins> bins_{};
    std::int64_t count_ = 0;
};

// What --stats reports: complete position readings per second, the host's turnaround per byte
// (from the box's byte to the host's acknowledgement), how closely paced bytes kept their times,
// and the faults the box made on purpose.
class Stats {
public:
    explicit Stats(std::int64_t startUs) : startUs_(startUs), periodStartUs_(startUs) {}

    void reading() { ++readings_, ++periodReadings_; }
    void turnaround(std::int64_t us) { turnaround_.add(us), periodTurnaround_.add(us); }
    void lateness(std::int64_t us) { lateness_.add(us); }
    // Counts a fault and returns the line that tells at which request (number and command),
    // after how many readings and when it was made.
    std::string fault(std::int64_t nowUs, Fault fault, std::int64_t request,
                      std::uint8_t command);

    // One line for the period since the last call, which starts a new period.
    std::string period(std::int64_t nowUs);
    // One line for the whole run.
    std::string total(std::int64_t nowUs) const;

private:
    static std::string line(const char* what, std::int64_t readings, std::int64_t spanUs,
                            const DurationHistogram& turnaround);

    std::int64_t startUs_;
    std::int64_t periodStartUs_;
    std::int64_t readings_ = 0;
    std::int64_t periodReadings_ = 0;
    DurationHistogram turnaround_;
    DurationHistogram periodTurnaround_;
    DurationHistogram lateness_;
    std::array<std::int64_t, FaultKinds> faults_{};
};

}  // namespace sim
