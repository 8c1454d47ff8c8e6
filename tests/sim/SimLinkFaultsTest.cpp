// Each fault of the simulated box, as the link service sees it.
#include <algorithm>

#include "sim/Commands.h"
#include "tests/sim/SimLinkFixture.h"

namespace simtest {
namespace {

using serial::ErrorBits::Frame;
using serial::ErrorBits::Parity;

long countOf(const std::vector<std::uint8_t>& bytes, std::uint8_t b) {
    return std::count(bytes.begin(), bytes.end(), b);
}

TEST_F(SimLink, ASilentBoxLetsTheReplyTimeOut) {
    struct Case {
        const char* name;
        std::int64_t answered;  // requests answered before the silence
        std::int64_t forMs;     // 0: for good
        bool answersAfterwards;
    };
    const Case cases[] = {
        {"from the start", 0, 0, false},
        {"after two requests", 2, 0, false},
        {"for three seconds", 1, 3000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimConfig config = stillBox(4);
        config.faults.silent = {c.answered + 1, 0};
        config.faults.silentForUs = c.forMs * 1000;
        attach(config, true, false);
        for (int i = 0; i < c.answered; ++i) {
            run([](TRS232Service& s) { s.ReadDimensionTypes(); });
            EXPECT_TRUE(seen.types) << transcript();
        }
        run([](TRS232Service& s) { s.ReadDimensionTypes(); }, 4999);
        EXPECT_EQ(seen.timeouts, 0);
        clock.advance(1);
        EXPECT_EQ(seen.timeouts, 1);
        EXPECT_FALSE(seen.types);

        clock.advance(c.forMs);
        reopen();
        run([](TRS232Service& s) { s.ReadDimensionTypes(); });
        EXPECT_EQ(seen.types.has_value(), c.answersAfterwards) << transcript();
        service.Close();
    }
}

TEST_F(SimLink, ALateReplyArrivesAfterTheTimeOutAndIsStillTaken) {
    sim::SimConfig config = stillBox(4);
    config.faults.late = {2, 0};  // request 1 was the readiness request
    config.faults.lateByUs = 6000000;
    attach(config);
    run([](TRS232Service& s) { s.ReadLineCounts(); }, 5100);
    EXPECT_EQ(seen.timeouts, 1);
    EXPECT_FALSE(seen.lineCounts);
    clock.advance(1000);
    EXPECT_EQ(seen.lateReplies, 1);
    EXPECT_EQ(seen.lineCounts, (std::array<std::int32_t, 3>{4000, 4000, 4000})) << transcript();
}

TEST_F(SimLink, APositionReplyLaterThanTheWatchdogComesAfterIt) {
    sim::SimConfig config = stillBox(4);
    config.faults.late = {3, 0};
    attach(config);
    run([](TRS232Service& s) { s.ReadPositions(); }, 100);
    EXPECT_TRUE(seen.positions);
    // The host's watchdog gives up at 1200 ms; the reply starts 1500 ms after the request.
    run([](TRS232Service& s) { s.ReadPositions(); }, 1200);
    EXPECT_FALSE(seen.positions);
    clock.advance(400);
    EXPECT_TRUE(seen.positions) << transcript();
    EXPECT_EQ(seen.timeouts, 0);  // ReadPositions starts no time-out
}

TEST_F(SimLink, EveryReplyByteDelayed) {
    sim::SimConfig config = stillBox(4);
    config.faults.byteDelayUs = 10000;
    attach(config);
    // Twelve bytes, each 10 ms more than the line takes.
    run([](TRS232Service& s) { s.ReadCalibration(); }, 120);
    EXPECT_FALSE(seen.calibration);
    clock.advance(20);
    EXPECT_TRUE(seen.calibration) << transcript();
}

TEST_F(SimLink, RefusedBytesOfAWriteAreSentAgainAndTheWriteCompletes) {
    struct Case {
        const char* name;
        int refused;         // 0: the command byte
        long commandsSent;   // 0xED bytes the host wrote
        long refusedParams;  // times the refused parameter byte went out
    };
    // Line counts 258, 0, 0 (kind 4): parameter byte 2 is 0x01, byte 1 0x02.
    const Case cases[] = {
        {"command byte", 0, 2, 1},
        {"parameter byte 2", 2, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimConfig config = stillBox(4);
        config.faults.refuseByte = c.refused;
        attach(config);
        run([](TRS232Service& s) { s.WriteLineCounts(258, 0, 0); });
        EXPECT_EQ(seen.acknowledge, true) << transcript();
        EXPECT_TRUE(seen.errors.empty());
        const auto host = wire->hostBytes();
        EXPECT_EQ(countOf(host, sim::cmd::WriteLineCounts), c.commandsSent);
        EXPECT_EQ(countOf(host, 0x01), c.refusedParams);
        EXPECT_EQ(countOf(wire->boxBytes(), sim::cmd::Resend), 1);
        EXPECT_EQ(wire->box().settings().lineCounts, (std::array<std::int32_t, 3>{258, 0, 0}));
        service.Close();
    }
}

TEST_F(SimLink, AnAcknowledgementThatIsNeitherAcceptNorResendStopsTheWrite) {
    for (int byte : {0, 1, 12}) {
        SCOPED_TRACE(byte);
        sim::SimConfig config = stillBox(4);
        config.faults.badAckByte = byte;
        attach(config);
        run([](TRS232Service& s) { s.WriteLineCounts(1, 2, 3); });
        EXPECT_EQ(seen.errors, std::vector<std::int32_t>{11}) << transcript();
        EXPECT_FALSE(seen.acknowledge);
        // The box dropped the write: it still holds what it had.
        EXPECT_EQ(wire->box().settings().lineCounts,
                  (std::array<std::int32_t, 3>{4000, 4000, 4000}));
        service.Close();
    }
}

TEST_F(SimLink, AReadinessByteOfKindZeroIsNotAccepted) {
    sim::SimConfig config = stillBox(4);
    config.settings.readiness = 0x0F;
    attach(config, true, false);
    run([](TRS232Service& s) { s.CheckReady(); });
    EXPECT_EQ(seen.acknowledge, false);
    EXPECT_EQ(service.DeviceKind(), 0);
}

TEST_F(SimLink, LineErrorsOnReplyBytes) {
    struct Case {
        const char* name;
        std::uint8_t command;
        int index;
        std::int32_t errors;
        int times;
        long requests;  // command bytes the host sent
        bool valid;
        std::vector<std::int32_t> codes;
    };
    const Case cases[] = {
        {"one parity error in a calibration reply",
         sim::cmd::ReadCalibration,
         5,
         Parity,
         1,
         2,
         true,
         {}},
        {"parity errors in two calibration replies",
         sim::cmd::ReadCalibration,
         0,
         Parity,
         2,
         2,
         false,
         {}},
        {"framing error in a position reply", sim::cmd::ReadPositions, 6, Frame, 1, 1, false, {1}},
        {"parity error in a line-count reply",
         sim::cmd::ReadLineCounts,
         11,
         Parity,
         1,
         2,
         true,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        attach(stillBox(4));
        wire->injectLineError(c.command, c.index, c.errors, c.times);
        run([&](TRS232Service& s) {
            if (c.command == sim::cmd::ReadCalibration) s.ReadCalibration();
            if (c.command == sim::cmd::ReadPositions) s.ReadPositions();
            if (c.command == sim::cmd::ReadLineCounts) s.ReadLineCounts();
        });
        EXPECT_EQ(seen.valid, c.valid) << transcript();
        EXPECT_EQ(seen.errors, c.codes);
        EXPECT_EQ(countOf(wire->hostBytes(), c.command), c.requests);
        service.Close();
    }
}

TEST_F(SimLink, GarbageInsteadOfAPositionReply) {
    sim::SimConfig config = stillBox(4);
    config.faults.garbage = {2, 0};
    config.faults.garbageBytes = 5;
    attach(config);
    wire->clearRecords();
    run([](TRS232Service& s) { s.ReadPositions(); }, 5100);
    // Five bytes came, each acknowledged, then nothing: the gap after the first byte times out.
    EXPECT_FALSE(seen.positions);
    EXPECT_EQ(seen.timeouts, 1);
    EXPECT_EQ(wire->boxBytes().size(), 5u);
    EXPECT_EQ(wire->hostBytes().size(), 6u);
    // The box took the acknowledgements for what they are: nothing.
    reopen();
    run([](TRS232Service& s) { s.ReadPositions(); });
    EXPECT_EQ(seen.positions, (std::array<std::int32_t, 3>{1234, -5, 70000})) << transcript();
}

TEST_F(SimLink, ADisconnectedBoxComesBackIdle) {
    sim::SimConfig config = stillBox(4);
    config.faults.disconnect = {3, 0};
    config.faults.disconnectForUs = 2000000;
    attach(config);
    run([](TRS232Service& s) { s.ReadLineCounts(); });
    EXPECT_TRUE(seen.lineCounts);
    run([](TRS232Service& s) { s.ReadCalibration(); }, 5000);
    EXPECT_EQ(seen.timeouts, 1);
    EXPECT_FALSE(seen.calibration);
    reopen();
    run([](TRS232Service& s) { s.ReadCalibration(); });
    EXPECT_TRUE(seen.calibration) << transcript();
}

TEST_F(SimLink, UnpacedLineAnswersWithinTheSameMillisecond) {
    attach(stillBox(4), false);
    run([](TRS232Service& s) { s.ReadPositions(); }, 1);
    EXPECT_TRUE(seen.positions) << transcript();
}

}  // namespace
}  // namespace simtest
