// The link service against the simulated box: what is configured is read, what is written reads
// back, reference marks, and the box's own corrections.
#include <cmath>

#include "link/WireFormats.h"
#include "sim/Commands.h"
#include "tests/sim/SimLinkFixture.h"

namespace simtest {
namespace {

struct KindCase {
    int kind;
    std::uint8_t readinessKind;  // DeviceKind the host learns
    int axes;
};

const KindCase kindCases[] = {{1, 1, 3}, {2, 2, 1}, {3, 3, 2}, {4, 4, 3}};

sim::SimConfig configuredBox(int kind) {
    sim::SimConfig c = SimLink::stillBox(kind);
    c.applyCorrections = false;
    sim::BoxSettings& s = c.settings;
    sim::setCalibrationValue(s, 0, 0.5L);
    sim::setCalibrationValue(s, 1, 2.25L);
    sim::setCalibrationValue(s, 2, -1.125L);
    s.resolution = {3, 5, 7};
    s.types = 0x05;
    s.lineCounts = {4000, 36000, 1024};
    s.correctionCount = 2;
    s.correctionFlags = 0x170;  // bit 8 is not a switch but is carried
    const long double rows[3][2][2] = {
        {{0, 0}, {1000, 1005}}, {{-500, -498}, {500, 503}}, {{10, 11}, {20, 22}}};
    for (int axis = 0; axis < 3; ++axis)
        for (int row = 0; row < 2; ++row)
            s.corrections[axis][row + 1] = {rows[axis][row][0], rows[axis][row][1]};
    return c;
}

TEST_F(SimLink, EveryReadOfEveryKindGivesWhatTheBoxHolds) {
    for (const KindCase& k : kindCases) {
        SCOPED_TRACE("kind " + std::to_string(k.kind));
        attach(configuredBox(k.kind));
        EXPECT_EQ(service.DeviceKind(), k.readinessKind);
        EXPECT_EQ(service.AxisCount, k.axes);

        run([](TRS232Service& s) { s.ReadCalibration(); });
        ASSERT_TRUE(seen.calibration) << transcript();
        EXPECT_NEAR(static_cast<double>((*seen.calibration)[0]), 0.5, 1e-12);
        EXPECT_NEAR(static_cast<double>((*seen.calibration)[1]), 2.25, 1e-12);
        EXPECT_NEAR(static_cast<double>((*seen.calibration)[2]), -1.125, 1e-12);
        EXPECT_EQ(seen.valid, true);

        run([](TRS232Service& s) { s.ReadResolution(); });
        ASSERT_TRUE(seen.resolution) << transcript();
        EXPECT_EQ(*seen.resolution, (std::array<std::uint8_t, 3>{3, 5, 7}));
        // Kinds 2..4 carry the types inside the resolution frame.
        if (k.kind == 1)
            EXPECT_FALSE(seen.types);
        else
            EXPECT_EQ(seen.types, 0x05);

        run([](TRS232Service& s) { s.ReadDimensionTypes(); });
        EXPECT_EQ(seen.types, 0x05);

        run([](TRS232Service& s) { s.ReadLineCounts(); });
        ASSERT_TRUE(seen.lineCounts) << transcript();
        EXPECT_EQ(*seen.lineCounts, (std::array<std::int32_t, 3>{4000, 36000, 1024}));

        run([](TRS232Service& s) { s.ReadCorrections(); });
        ASSERT_TRUE(seen.correctionCount) << transcript();
        EXPECT_EQ(*seen.correctionCount, 2);
        EXPECT_EQ(seen.correctionFlags, 0x170u);
        EXPECT_EQ(seen.corrections[1][1].Position, -500);
        EXPECT_EQ(seen.corrections[1][2].Corrected, 503);
        EXPECT_EQ(seen.corrections[2][2].Corrected, 22);
        EXPECT_EQ(seen.corrections[0][3].Position, 0);

        run([](TRS232Service& s) { s.ReadPositions(); });
        ASSERT_TRUE(seen.positions) << transcript();
        const std::int32_t expected[3] = {1234, -5, 70000};
        for (int axis = 0; axis < k.axes; ++axis)
            EXPECT_EQ((*seen.positions)[axis], expected[axis]);
        EXPECT_EQ(seen.valid, true);
        EXPECT_EQ(seen.timeouts, 0);
        EXPECT_TRUE(seen.errors.empty());
        service.Close();
    }
}

TEST_F(SimLink, AKindOneBoxSendsTheAxesItsResolutionCodesGiveIt) {
    // The host looks at Z's code first and then at Y's.
    const struct {
        std::array<std::uint8_t, 3> codes;
        int axes;
    } cases[] = {{{5, 3, 2}, 3}, {{5, 3, 0}, 2}, {{5, 0, 0}, 1}, {{5, 0, 4}, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.axes);
        sim::SimConfig config = stillBox(1);
        config.settings.resolution = c.codes;
        attach(config);
        service.AxisCount = static_cast<std::uint8_t>(c.axes);
        wire->clearRecords();
        run([](TRS232Service& s) { s.ReadPositions(); });
        ASSERT_TRUE(seen.positions) << transcript();
        // The host acknowledged every byte but the last, and nothing more came.
        EXPECT_EQ(wire->boxBytes().size(), 4u * c.axes);
        EXPECT_EQ(wire->hostBytes().size(), 4u * c.axes);
        service.Close();
    }
}

TEST_F(SimLink, WhatIsWrittenReadsBack) {
    for (const KindCase& k : kindCases) {
        SCOPED_TRACE("kind " + std::to_string(k.kind));
        attach(stillBox(k.kind));
        run([](TRS232Service& s) { s.WriteCalibration(1.5L, 0.25L, -7.25L); });
        EXPECT_EQ(seen.acknowledge, true) << transcript();
        reopen();
        if (k.kind == 1) {
            run([](TRS232Service& s) { s.WriteResolution(1, 2, 3); });
            EXPECT_EQ(seen.acknowledge, true) << transcript();
            reopen();
            run([](TRS232Service& s) { s.WriteDimensionTypes(0x02); });
        } else {
            run([](TRS232Service& s) { s.WriteResolutionAndTypes(1, 2, 3, 0x02); });
        }
        EXPECT_EQ(seen.acknowledge, true) << transcript();
        reopen();
        run([](TRS232Service& s) { s.WriteLineCounts(2500, 100000, 7); });
        EXPECT_EQ(seen.acknowledge, true) << transcript();
        reopen();
        std::array<TCorrectionTable, 3> tables{};
        for (int row = 1; row <= 3; ++row) {
            tables[0][row] = {row * 100.0L, row * 100.0L + 1};
            tables[1][row] = {-row * 10.0L, row * 2.5L};  // 2.5 and 7.5 round to even
            tables[2][row] = {row * 1.0L, -row * 1.0L};
        }
        run([&](TRS232Service& s) { s.WriteCorrections(3, 0x50, tables[0], tables[1], tables[2]); },
            400);
        EXPECT_EQ(seen.acknowledge, true) << transcript();
        run([](TRS232Service& s) { s.EndConfiguration(); });
        reopen();

        run([](TRS232Service& s) { s.ReadCalibration(); });
        ASSERT_TRUE(seen.calibration) << transcript();
        EXPECT_NEAR(static_cast<double>((*seen.calibration)[0]), 1.5, 1e-12);
        EXPECT_NEAR(static_cast<double>((*seen.calibration)[1]), 0.25, 1e-12);
        EXPECT_NEAR(static_cast<double>((*seen.calibration)[2]), -7.25, 1e-12);
        run([](TRS232Service& s) { s.ReadResolution(); });
        EXPECT_EQ(seen.resolution, (std::array<std::uint8_t, 3>{1, 2, 3}));
        run([](TRS232Service& s) { s.ReadDimensionTypes(); });
        EXPECT_EQ(seen.types, 0x02);
        run([](TRS232Service& s) { s.ReadLineCounts(); });
        EXPECT_EQ(seen.lineCounts, (std::array<std::int32_t, 3>{2500, 100000, 7}));
        run([](TRS232Service& s) { s.ReadCorrections(); }, 400);
        ASSERT_EQ(seen.correctionCount, 3) << transcript();
        EXPECT_EQ(seen.correctionFlags, 0x50u);
        EXPECT_EQ(seen.corrections[0][3].Corrected, 301);
        EXPECT_EQ(seen.corrections[1][1].Corrected, 2);
        EXPECT_EQ(seen.corrections[1][3].Corrected, 8);
        EXPECT_EQ(seen.corrections[2][2].Corrected, -2);
        service.Close();
    }
}

TEST_F(SimLink, AReferenceSearchHoldsTheCountAtZeroUntilTheMarkThenCountsFromIt) {
    struct Case {
        const char* name;
        int endAfterMs;          // the host's 0xE5 this long after the search started
        std::int32_t low, high;  // X read 1000 ms after the search started
    };
    // X ramps at 1000 counts a second from the box's start, 200 ms before the search; the mark
    // comes 500 ms after the command.
    const Case cases[] = {
        {"ended after the mark", 800, 480, 560},
        {"ended before the mark", 200, 1180, 1260},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimConfig config = stillBox(4);
        config.motion[sim::AxisX] = {sim::Motion::Kind::Ramp, 0, 1000, 0, 10, {}, false};
        config.referenceTravelUs = 500000;
        attach(config);
        const std::int64_t started = clock.nowUs();
        run([](TRS232Service& s) { s.WriteReference(0xE1); }, 20);
        EXPECT_EQ(seen.acknowledge, true) << transcript();
        reopen();
        run([](TRS232Service& s) { s.ReadPositions(); }, 50);
        ASSERT_TRUE(seen.positions) << transcript();
        EXPECT_EQ((*seen.positions)[0], 0);
        EXPECT_EQ((*seen.positions)[1], -5);  // the other axes count on

        clock.advanceUs(started + c.endAfterMs * 1000 - clock.nowUs());
        run([](TRS232Service& s) { s.WriteReference(0xE5); }, 20);
        EXPECT_EQ(seen.acknowledge, true) << transcript();
        reopen();
        clock.advanceUs(started + 1000000 - clock.nowUs());
        run([](TRS232Service& s) { s.ReadPositions(); }, 50);
        ASSERT_TRUE(seen.positions) << transcript();
        EXPECT_GE((*seen.positions)[0], c.low);
        EXPECT_LE((*seen.positions)[0], c.high);
        service.Close();
    }
}

TEST_F(SimLink, KindsTwoToFourApplyTheirCalibrationAndSegmentCorrection) {
    struct Case {
        int kind;
        bool apply;
        std::array<std::int32_t, 3> expected;
    };
    // X still at 1000 with calibration 2; Y at 500 through the rows 0->0, 1000->1010 (switched
    // on); Z at 30 through rows that would add 5, switched off.
    const Case cases[] = {
        {4, true, {2000, 505, 30}},
        {4, false, {1000, 500, 30}},
        {1, true, {1000, 500, 30}},  // kind 1 leaves calibration to the host
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + (c.apply ? " applied" : " raw"));
        sim::SimConfig config = stillBox(c.kind);
        config.applyCorrections = c.apply;
        config.motion[sim::AxisX].start = 1000;
        config.motion[sim::AxisY].start = 500;
        config.motion[sim::AxisZ].start = 30;
        sim::setCalibrationValue(config.settings, sim::AxisX, 2.0L);
        config.settings.correctionCount = 2;
        config.settings.correctionFlags = 0x20;
        config.settings.corrections[sim::AxisY][1] = {0, 0};
        config.settings.corrections[sim::AxisY][2] = {1000, 1010};
        config.settings.corrections[sim::AxisZ][1] = {0, 5};
        config.settings.corrections[sim::AxisZ][2] = {100, 105};
        attach(config);
        run([](TRS232Service& s) { s.ReadPositions(); });
        ASSERT_TRUE(seen.positions) << transcript();
        EXPECT_EQ(*seen.positions, c.expected);
        service.Close();
    }
}

}  // namespace
}  // namespace simtest
