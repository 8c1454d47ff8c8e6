// Replies: lengths by device kind and axis count, the host's acknowledgements of a position
// reply, decoding into the events, and the readiness byte.

#include "link/WireFormats.h"
#include "tests/link/LinkFixture.h"

namespace linktest {
namespace {

const Bytes threeAxes = {0x01, 0x00, 0x00, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80};

TEST_F(Link, PositionRepliesAreAcknowledgedByteByByteExceptTheLast) {
    struct Case {
        std::uint8_t axisCount;
        int axesSent;
        Bytes acks;
        std::string event;
    };
    const std::vector<Case> cases = {
        {3,
         3,
         {0xE0, 0xE0, 0xE0, 0xE2, 0xE0, 0xE0, 0xE0, 0xE3, 0xE0, 0xE0, 0xE0},
         "positions 1 -2 -2147483648 1"},
        {2, 2, {0xE0, 0xE0, 0xE0, 0xE2, 0xE0, 0xE0, 0xE0}, "positions 1 -2 1"},
        {1, 1, {0xE0, 0xE0, 0xE0}, "positions 1 1"},
        // Only one to three counters exist: other counts are read as the nearest of those.
        {0, 1, {0xE0, 0xE0, 0xE0}, "positions 1 1"},
        {200,
         3,
         {0xE0, 0xE0, 0xE0, 0xE2, 0xE0, 0xE0, 0xE0, 0xE3, 0xE0, 0xE0, 0xE0},
         "positions 1 -2 -2147483648 1"},
    };
    for (bool burst : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << +c.axisCount << (burst ? " burst" : " bytewise"));
            const int axes = c.axesSent;
            service.OnPositions = [&, axes](std::int32_t x, std::int32_t y, std::int32_t z,
                                            bool valid) {
                if (axes == 1) note("positions %d %d", x, valid);
                if (axes == 2) note("positions %d %d %d", x, y, valid);
                if (axes == 3) note("positions %d %d %d %d", x, y, z, valid);
            };
            service.Open();
            service.AxisCount = c.axisCount;
            const Bytes reply(threeAxes.begin(), threeAxes.begin() + 4 * axes);
            if (burst)
                sendLater(reply);
            else
                answerBytewise(reply);
            service.ReadPositions();
            clock.advance(100);
            Bytes expected = {0xE1};
            expected.insert(expected.end(), c.acks.begin(), c.acks.end());
            EXPECT_EQ(written(), expected);
            EXPECT_EQ(events, std::vector<std::string>{c.event});
            EXPECT_EQ(service.State(), ReplyState::rsIdle);
            EXPECT_FALSE(service.TimeoutRunning());
            service.Close();
            events.clear();
        }
    }
}

TEST_F(Link, ReadRepliesByDeviceKind) {
    struct Case {
        const char* name;
        int kind;
        Request request;
        Bytes reply;
        std::vector<std::string> events;
    };
    const Bytes calibKind1 = {0x60, 0xE3, 0x16, 0x06, 0x60, 0xE3,
                              0x96, 0x06, 0x00, 0x00, 0x00, 0xFF};
    const Bytes calibMicro = {0x60, 0xE3, 0x16, 0x00, 0xFF, 0xFF,
                              0xFF, 0xFF, 0x40, 0x42, 0x0F, 0x00};
    const Bytes int24s = {0xE8, 0x03, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80};
    const Bytes int32s = {0xE8, 0x03, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80};
    const auto readCalibration = [](TRS232Service& s) { s.ReadCalibration(); };
    const auto readResolution = [](TRS232Service& s) { s.ReadResolution(); };
    const auto readLineCounts = [](TRS232Service& s) { s.ReadLineCounts(); };
    const std::vector<Case> cases = {
        {"calibration kind 1", 1, readCalibration, calibKind1, {"calibration 1 1.5 -1.5 0"}},
        {"calibration kind 2", 2, readCalibration, calibMicro, {"calibration 1 1.5 -1e-06 1"}},
        {"calibration kind 0", 0, readCalibration, calibMicro, {}},
        {"resolution kind 1", 1, readResolution, {0x05, 0x00, 0x07}, {"resolution 5 0 7 1"}},
        {"resolution kind 3",
         3,
         readResolution,
         {0x53, 0x02, 0x0A, 0x99},
         {"types 5 1", "resolution 3 5 2 1"}},
        {"resolution kind 0", 0, readResolution, {0x53, 0x02, 0x0A}, {}},
        {"line counts kind 1", 1, readLineCounts, int24s, {"lines 1000 -1 -8388608 1"}},
        {"line counts kind 4", 4, readLineCounts, int32s, {"lines 1000 -1 -2147483648 1"}},
        {"line counts kind 0", 0, readLineCounts, int24s, {"lines 0 0 0 1"}},
        {"dimension types", 1, [](auto& s) { s.ReadDimensionTypes(); }, {0x06}, {"types 6 1"}},
    };
    // A stray byte behind a reply (a doubled byte, line noise) means one was taken in among the
    // reply's own: the values are not the box's, and the reply is asked for once more.
    for (bool stray : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << (stray ? " with a stray byte" : ""));
            openAs(c.kind);
            Bytes burst = c.reply;
            if (stray) burst.push_back(0x77);
            sendLater(burst);
            c.request(service);
            clock.advance(100);
            EXPECT_EQ(written().size(), stray ? 2u : 1u);
            EXPECT_EQ(events, stray ? std::vector<std::string>{} : c.events);
            EXPECT_EQ(service.TimeoutRunning(), stray);
            service.Close();
        }
    }
}

Bytes twice(const Bytes& bytes) {
    Bytes both = bytes;
    both.insert(both.end(), bytes.begin(), bytes.end());
    return both;
}

// The box sends nothing unasked: whatever waits when a request goes out (the rest of an answer
// given up, a noise byte) is discarded, and the reply is read from its own first byte.
TEST_F(Link, BytesWaitingWhenARequestGoesOutAreNotTakenAsItsReply) {
    struct Case {
        const char* name;
        Bytes waiting;
    };
    const std::vector<Case> cases = {
        {"noise byte", {0x55}},
        {"half a reply", {0x07, 0x00, 0x00, 0x00, 0x09, 0x00}},
        {"two whole replies", twice(threeAxes)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        service.Open();
        device->receive(c.waiting);
        events.clear();  // whatever the idle link made of them
        answerBytewise(threeAxes);
        service.ReadPositions();
        clock.advance(100);
        EXPECT_EQ(events, std::vector<std::string>{"positions 1 -2 -2147483648 1"});
        EXPECT_EQ(device->inQueue(), 0);
        service.Close();
        written();
    }
}

// A position reply that ends with bytes still waiting (a byte came twice) is not delivered as
// valid, and the next reading is the box's again.
TEST_F(Link, APositionReplyWithAByteTooManyIsInvalidAndTheNextOneIsInStep) {
    service.Open();
    Bytes doubled = threeAxes;
    doubled.insert(doubled.begin() + 5, doubled[5]);
    sendLater(doubled);
    service.ReadPositions();
    clock.advance(100);
    answerBytewise(threeAxes);
    service.ReadPositions();
    clock.advance(100);
    EXPECT_EQ(events,
              (std::vector<std::string>{"positions 1 -2 255 0", "positions 1 -2 -2147483648 1"}));
}

TEST_F(Link, CorrectionRepliesOfNoneToAllRows) {
    struct Case {
        int n;
        std::string event;
    };
    // Row r of axis a holds Position = 1000 a + r and Corrected = -(1000 a + r).
    const std::vector<Case> cases = {
        {0, "corrections 0 ffffff8f 0 0 0 0 1"},
        {1, "corrections 1 ffffff8f -1 1001 -2001 0 1"},
        {255, "corrections 255 ffffff8f -1 1001 -2255 0 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        openAs(2);
        Bytes reply(static_cast<std::size_t>(wire::correctionBlockSize(c.n)));
        reply[0] = static_cast<std::uint8_t>(c.n);
        wire::writeInt32(&reply[1], -113);
        for (int axis = 0; axis < 3; ++axis) {
            for (int row = 1; row <= c.n; ++row) {
                std::uint8_t* p = &reply[static_cast<std::size_t>(5 + 8 * (axis * c.n + row - 1))];
                wire::writeInt32(p, 1000 * axis + row);
                wire::writeInt32(p + 4, -(1000 * axis + row));
            }
        }
        sendLater(reply);
        service.ReadCorrections();
        clock.advance(100);
        EXPECT_EQ(events, std::vector<std::string>{c.event});
        EXPECT_EQ(service.State(), ReplyState::rsIdle);
        service.Close();
    }
}

TEST_F(Link, ReadinessByteNamesTheDeviceKind) {
    struct Case {
        std::uint8_t readiness;
        int kind;
    };
    const std::vector<Case> cases = {{0x0F, 0}, {0x10, 2}, {0x2A, 3}, {0x3F, 4},
                                     {0x40, 0}, {0xE0, 1}, {0xE1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(+c.readiness);
        service.Open();
        const long long requestedAt = ms();
        sendLater({c.readiness});
        service.CheckReady();
        clock.advance(100);
        EXPECT_EQ(service.DeviceKind(), c.kind);
        // The readiness byte leaves the request's time-out running: it expires 5 s after it.
        clock.advance(4900);
        EXPECT_EQ(events,
                  (std::vector<std::string>{c.kind != 0 ? "ack 1" : "ack 0",
                                            "timeout at " + std::to_string(requestedAt + 5000)}));
        events.clear();
        service.Close();
    }
}

}  // namespace
}  // namespace linktest
