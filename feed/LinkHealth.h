#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The line's health as a service technician asks about it ("is it the cable?"): readings, invalid
// replies, repeated requests, line errors by kind and link losses, since the start and over the
// last minute. Counting costs an addition and, once a second, moving to the next bucket.
namespace feed {

class LinkHealth {
public:
    enum Event : std::size_t {
        readings,  // a valid reply shown
        invalid,   // a reply refused: garbled or spoilt by the line
        retries,   // a request asked again after no answer
        parity,    // line errors, as the port reports them
        framing,
        overrun,
        losses,  // the link lost (box silent or port gone), once per outage
        eventCount
    };

    struct Counts {
        std::array<std::uint64_t, eventCount> sinceStart{};
        std::array<std::uint64_t, eventCount> lastMinute{};
        // Readings per second since the start and over the last minute (or the time since the
        // start, when shorter).
        double ratePerSecond = 0;
        double rateLastMinute = 0;
        std::int64_t runningMs = 0;  // since counting started
    };

    // `nowMs` on a steady clock; the first call starts the count.
    explicit LinkHealth(std::int64_t startMs = 0) : startMs_(startMs) {}

    void count(Event event, std::int64_t nowMs);
    Counts counts(std::int64_t nowMs) const;

private:
    static constexpr std::size_t seconds = 60;
    // The bucket of the second `second`, emptied when it last held an older one.
    std::array<std::uint64_t, eventCount>& bucket(std::int64_t second);

    std::int64_t startMs_;
    std::array<std::uint64_t, eventCount> total_{};
    std::array<std::array<std::uint64_t, eventCount>, seconds> buckets_{};
    std::array<std::int64_t, seconds> bucketSecond_{};
};

}  // namespace feed
