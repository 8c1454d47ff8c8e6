// What the box stores and how it puts it on the wire; its counters' motion; line timing.
#include <gtest/gtest.h>

#include <vector>

#include "sim/Correction.h"
#include "sim/LinePacer.h"
#include "sim/Motion.h"
#include "sim/Settings.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Settings, ReadinessByteAndAxesFollowTheKind) {
    struct Case {
        int kind;
        std::array<std::uint8_t, 3> codes;
        std::optional<std::uint8_t> chosen;
        std::uint8_t readiness;
        int axes;
    };
    const Case cases[] = {
        {1, {2, 2, 2}, {}, 0xE0, 3}, {1, {2, 2, 0}, {}, 0xE0, 2}, {1, {2, 0, 0}, {}, 0xE0, 1},
        {1, {2, 0, 5}, {}, 0xE0, 1}, {1, {0, 3, 3}, {}, 0xE0, 3}, {2, {0, 0, 0}, {}, 0x10, 1},
        {3, {2, 0, 0}, {}, 0x20, 2}, {4, {0, 0, 0}, {}, 0x30, 3}, {4, {2, 2, 2}, 0x0F, 0x0F, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        sim::BoxSettings s;
        sim::changeKind(s, c.kind);
        s.resolution = c.codes;
        s.readiness = c.chosen;
        EXPECT_EQ(sim::readinessByte(s), c.readiness);
        EXPECT_EQ(sim::axisCount(s), c.axes);
    }
}

TEST(Settings, FramesAsTheKindPutsThemOnTheWire) {
    struct Case {
        const char* name;
        int kind;
        Bytes calibration, resolution, lineCounts;
    };
    // Calibration 1.5, -1.5, 0; codes 3, 5, 2; types 0x05; line counts -1, 4000, 8388607.
    const Case cases[] = {
        {"kind 1",
         1,
         {0x60, 0xE3, 0x16, 0x06, 0x60, 0xE3, 0x96, 0x06, 0x00, 0x00, 0x00, 0xFF},
         {3, 5, 2},
         {0xFF, 0xFF, 0xFF, 0xA0, 0x0F, 0x00, 0xFF, 0xFF, 0x7F}},
        {"kind 3",
         3,
         {0x60, 0xE3, 0x16, 0x00, 0xA0, 0x1C, 0xE9, 0xFF, 0, 0, 0, 0},
         {0x53, 0x02, 0x0A, 0x00},
         {0xFF, 0xFF, 0xFF, 0xFF, 0xA0, 0x0F, 0, 0, 0xFF, 0xFF, 0x7F, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoxSettings s;
        sim::changeKind(s, c.kind);
        sim::setCalibrationValue(s, 0, 1.5L);
        sim::setCalibrationValue(s, 1, -1.5L);
        sim::setCalibrationValue(s, 2, 0);
        s.resolution = {3, 5, 2};
        s.types = 0x05;
        s.lineCounts = {-1, 4000, 8388607};
        Bytes frame(12);
        sim::encodeCalibration(s, frame.data());
        EXPECT_EQ(frame, c.calibration);
        frame.assign(static_cast<std::size_t>(sim::resolutionFrameSize(c.kind)), 0);
        sim::encodeResolution(s, frame.data());
        EXPECT_EQ(frame, c.resolution);
        frame.assign(static_cast<std::size_t>(sim::lineCountsFrameSize(c.kind)), 0);
        sim::encodeLineCounts(s, frame.data());
        EXPECT_EQ(frame, c.lineCounts);

        // What is decoded encodes to the same bytes.
        sim::BoxSettings back;
        sim::changeKind(back, c.kind);
        sim::decodeCalibration(back, c.calibration.data());
        sim::decodeResolution(back, c.resolution.data());
        sim::decodeLineCounts(back, c.lineCounts.data());
        EXPECT_EQ(back.calibration, s.calibration);
        EXPECT_EQ(back.resolution, s.resolution);
        EXPECT_EQ(back.lineCounts, s.lineCounts);
        EXPECT_EQ(back.types, c.kind == 1 ? 0 : 0x05);
    }
}

TEST(Settings, ANewKindKeepsTheCalibrationValues) {
    sim::BoxSettings s;
    sim::setCalibrationValue(s, 0, 0.25L);
    sim::setCalibrationValue(s, 1, -3.5L);
    for (int kind : {2, 4, 1, 3}) {
        sim::changeKind(s, kind);
        EXPECT_NEAR(static_cast<double>(sim::calibrationValue(s, 0)), 0.25, 1e-12);
        EXPECT_NEAR(static_cast<double>(sim::calibrationValue(s, 1)), -3.5, 1e-12);
        EXPECT_NEAR(static_cast<double>(sim::calibrationValue(s, 2)), 1.0, 1e-12);
    }
}

TEST(Motion, ParsedTextsAndTheirCounts) {
    struct Case {
        const char* text;
        bool valid;
        std::vector<std::pair<double, double>> countsAt;  // (t, count)
    };
    const Case cases[] = {
        {"still:12", true, {{0, 12}, {100, 12}}},
        {"still:-3.5", true, {{7, -3.5}}},
        {"ramp:100", true, {{0, 0}, {2.5, 250}}},
        {"ramp:-10:+50", true, {{0, 50}, {1, 40}}},
        {"sine:1000:4", true, {{0, 0}, {1, 1000}, {3, -1000}}},
        {"sine:10:2:100", true, {{0.5, 110}}},
        {"script:0=0,1=100,3=-100", true, {{-1, 0}, {0.5, 50}, {2, 0}, {10, -100}}},
        {"script:0=0,1=10,loop", true, {{0.5, 5}, {1.5, 5}, {2.25, 2.5}}},
        {"script:1=5,1=7", true, {{0.5, 5}, {1.001, 7}, {2, 7}}},  // a step
        {"still", false, {}},
        {"still:1:2", false, {}},
        {"ramp:x", false, {}},
        {"sine:10:0", false, {}},
        {"script:", false, {}},
        {"script:2=1,1=1", false, {}},  // time going back
        {"script:loop", false, {}},
        {"script:0=1,loop,1=2", false, {}},
        {"spin:3", false, {}},
        {"ramp:1e999", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        sim::Motion m;
        ASSERT_EQ(sim::parseMotion(c.text, m), c.valid);
        for (const auto& [t, count] : c.countsAt) EXPECT_NEAR(m.countAt(t), count, 1e-9) << t;
        if (!c.valid) continue;
        // The description reads back as the same motion.
        sim::Motion again;
        ASSERT_TRUE(sim::parseMotion(sim::describeMotion(m), again));
        for (const auto& [t, count] : c.countsAt) EXPECT_NEAR(again.countAt(t), count, 1e-9);
    }
}

TEST(Correction, SegmentsMapPositionsLinearly) {
    TCorrectionTable table;
    table[1] = {0, 0};
    table[2] = {1000, 1010};
    table[3] = {2000, 1990};
    const struct {
        int rows;
        double count, expected;
    } cases[] = {
        {0, 500, 500},  // no rows: unchanged
        {3, 500, 505},   {3, 1000, 1010}, {3, 1500, 1500},
        {3, 2000, 1990}, {3, -100, -100},  // before the first row: its shift (0)
        {3, 2500, 2490},                   // after the last row: its shift (-10)
        {1, 300, 300},                     // one row: its shift everywhere
        {2, 3000, 3010},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(sim::applySegmentCorrection(table, c.rows, c.count), c.expected)
            << c.rows << " rows, count " << c.count;
}

TEST(LinePacer, BytesTakeTheirTimeInEachDirection) {
    sim::LinePacer line(1000);
    // Host bytes written together arrive one after the other.
    EXPECT_EQ(line.hostByteArrives(0), 1000);
    EXPECT_EQ(line.hostByteArrives(0), 2000);
    EXPECT_EQ(line.hostByteArrives(5000), 6000);

    std::vector<sim::Emission> answer(3);
    answer[0].gapUs = 100;  // turnaround
    answer[2].gapUs = 50;   // delayed
    std::vector<std::int64_t> arrivals;
    line.schedule(answer, 6000,
                  [&](std::int64_t at, const sim::Emission&) { arrivals.push_back(at); });
    EXPECT_EQ(arrivals, (std::vector<std::int64_t>{7100, 8100, 9150}));
    // An answer while the line is still busy waits for it.
    arrivals.clear();
    line.schedule(answer, 8500,
                  [&](std::int64_t at, const sim::Emission&) { arrivals.push_back(at); });
    EXPECT_EQ(arrivals, (std::vector<std::int64_t>{10150, 11150, 12200}));

    sim::LinePacer unpaced(0);
    arrivals.clear();
    unpaced.schedule(answer, 10,
                     [&](std::int64_t at, const sim::Emission&) { arrivals.push_back(at); });
    EXPECT_EQ(arrivals, (std::vector<std::int64_t>{110, 110, 160}));
}

TEST(Trigger, PicksTheFirstAndEveryNthAfter) {
    const struct {
        sim::Trigger t;
        std::vector<std::int64_t> picked;  // of requests 1..10
    } cases[] = {
        {{0, 0}, {}},
        {{3, 0}, {3}},
        {{1, 0}, {1}},
        {{2, 3}, {2, 5, 8}},
        {{1, 1}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
    };
    for (const auto& c : cases) {
        std::vector<std::int64_t> picked;
        for (std::int64_t n = 1; n <= 10; ++n)
            if (c.t.picks(n)) picked.push_back(n);
        EXPECT_EQ(picked, c.picked) << c.t.first << "/" << c.t.every;
    }
}

}  // namespace
