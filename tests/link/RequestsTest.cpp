// Requests and writes: the bytes the host sends, the states and the time-out they start, the
// refusal of a second request, and the acknowledgement engine of the writes.

#include <algorithm>
#include <limits>

#include "tests/link/LinkFixture.h"

namespace linktest {

const std::vector<RequestCase>& requestCases() {
    static const std::vector<RequestCase> cases = {
        {"CheckReady", [](auto& s) { s.CheckReady(); }, 0xE9, ReplyState::rsReady, true, true},
        {"ReadPositions", [](auto& s) { s.ReadPositions(); }, 0xE1, ReplyState::rsPositions, false,
         true},
        {"ReadCalibration", [](auto& s) { s.ReadCalibration(); }, 0xE5, ReplyState::rsCalibration,
         true, true},
        {"ReadResolution", [](auto& s) { s.ReadResolution(); }, 0xE6, ReplyState::rsResolution,
         true, true},
        {"ReadLineCounts", [](auto& s) { s.ReadLineCounts(); }, 0xE7, ReplyState::rsLineCounts,
         true, true},
        {"ReadCorrections", [](auto& s) { s.ReadCorrections(); }, 0xE4, ReplyState::rsCorrections,
         true, true},
        {"ReadDimensionTypes", [](auto& s) { s.ReadDimensionTypes(); }, 0xE8,
         ReplyState::rsDimensionTypes, true, true},
        {"WriteCorrections", [](auto& s) { s.WriteCorrections(0, 0, {}, {}, {}); }, 0xEA,
         ReplyState::rsAckCorrections, true, false},
        {"WriteCalibration", [](auto& s) { s.WriteCalibration(1, 1, 1); }, 0xEB,
         ReplyState::rsAckCalibration, true, true},
        {"WriteResolution", [](auto& s) { s.WriteResolution(1, 1, 1); }, 0xEC,
         ReplyState::rsAckResolution, true, true},
        {"WriteResolutionAndTypes", [](auto& s) { s.WriteResolutionAndTypes(1, 1, 1, 0); }, 0xEC,
         ReplyState::rsAckResolution, true, true},
        {"WriteLineCounts", [](auto& s) { s.WriteLineCounts(1, 1, 1); }, 0xED,
         ReplyState::rsAckLineCounts, true, true},
        {"WriteDimensionTypes", [](auto& s) { s.WriteDimensionTypes(1); }, 0xEE,
         ReplyState::rsAckDimensionTypes, true, true},
        {"WriteReference", [](auto& s) { s.WriteReference(0xE1); }, 0xEF,
         ReplyState::rsAckReference, true, true},
        {"EndConfiguration", [](auto& s) { s.EndConfiguration(); }, 0xF1, ReplyState::rsIdle, false,
         true},
    };
    return cases;
}

namespace {

using serial::TVaCommEvent;

TCorrectionTable table(std::initializer_list<TCorrectionEntry> rows) {
    TCorrectionTable t;
    int i = 1;
    for (const auto& row : rows) t[i++] = row;
    return t;
}

TEST_F(Link, ConstructionConfiguresThePortAndOpensNothing) {
    const serial::TVaComm& comm = service.Comm();
    EXPECT_EQ(comm.Parity(), serial::TVaParity::paOdd);
    EXPECT_EQ(service.GetPortName(), "COM2");
    EXPECT_EQ(comm.Baudrate(), serial::TVaBaudrate::br9600);
    EXPECT_EQ(comm.Databits(), serial::TVaDatabits::db8);
    EXPECT_EQ(comm.Stopbits(), serial::TVaStopbits::sb1);
    EXPECT_EQ(comm.MonitorEvents(),
              (serial::TVaCommEvents{TVaCommEvent::ceError, TVaCommEvent::ceRxChar,
                                     TVaCommEvent::ceTxEmpty}));
    EXPECT_TRUE(comm.ParityCheck());
    EXPECT_EQ(comm.WritePriority(), serial::TThreadPriority::tpTimeCritical);
    EXPECT_TRUE(comm.DirectWrite());
    EXPECT_EQ(service.AxisCount, 3);
    EXPECT_EQ(service.DeviceKind(), 0);
    EXPECT_EQ(service.State(), ReplyState::rsIdle);
    EXPECT_FALSE(service.PortOpen());
    EXPECT_FALSE(service.TimeoutRunning());
    EXPECT_EQ(device->openCount(), 0);
}

TEST_F(Link, BytesLeftInTheDriverFromBeforeTheOpeningAnswerNothing) {
    // The tail of a position reply to a program that ended, then a readiness request of ours.
    device->leaveInDriver({0x00, 0x12});
    service.Open();
    script.push_back({0xE0});
    service.CheckReady();
    clock.advance(10);
    EXPECT_EQ(events, std::vector<std::string>{"ack 1"});
    EXPECT_EQ(service.DeviceKind(), 1);
}

TEST_F(Link, PortNameIsUsedAtTheNextOpeningAndRefusedWhileOpen) {
    service.SetPortName("COM4");
    service.Open();
    EXPECT_EQ(device->openedName(), "COM4");
    EXPECT_THROW(service.SetPortName("COM1"), serial::EVaCommError);
    EXPECT_EQ(service.GetPortName(), "COM4");
}

TEST_F(Link, EveryRequestSendsItsCommandEntersItsStateAndSetsTheTimer) {
    for (const auto& c : requestCases()) {
        SCOPED_TRACE(c.name);
        service.Open();
        c.request(service);
        EXPECT_EQ(written(), Bytes{c.command});
        EXPECT_EQ(service.State(), c.state);
        EXPECT_EQ(service.TimeoutRunning(), c.timerStarted);
        service.Close();
    }
}

TEST_F(Link, ARequestWhileAReplyIsAwaitedIsRefusedAndSendsNothing) {
    for (const auto& c : requestCases()) {
        SCOPED_TRACE(c.name);
        service.Open();
        service.ReadPositions();  // awaits a reply, timer off
        written();
        if (c.refusedWhilePending) {
            try {
                c.request(service);
                ADD_FAILURE() << "not refused";
            } catch (const EMultipleRequest& e) {
                EXPECT_STREQ(e.what(), "Nie skończona poprzednia operacja.");
            }
            EXPECT_EQ(written(), Bytes{});
            EXPECT_EQ(service.State(), ReplyState::rsPositions);
            // The timer was switched before the refusal: on by the five configuration reads,
            // off by everything else.
            const bool configurationRead = c.command >= 0xE4 && c.command <= 0xE8;
            EXPECT_EQ(service.TimeoutRunning(), configurationRead);
        } else {
            c.request(service);
            EXPECT_EQ(written(), Bytes{c.command});
            EXPECT_EQ(service.State(), c.state);
        }
        service.Close();
    }
}

TEST_F(Link, AWriteStartsAFullCountdownEvenWhenTheTimerRuns) {
    // After the readiness byte the time-out of CheckReady runs on; a write sent then still gets
    // its own 5000 ms, while a configuration read keeps the running countdown.
    const auto timeouts = [this] {
        return std::count_if(events.begin(), events.end(),
                             [](const std::string& e) { return e.rfind("timeout", 0) == 0; });
    };
    for (const bool write : {true, false}) {
        SCOPED_TRACE(write ? "write" : "read");
        events.clear();
        script = {Bytes{0x10}};
        service.Open();
        service.CheckReady();
        clock.advance(4000);
        ASSERT_EQ(service.DeviceKind(), 2);
        ASSERT_TRUE(service.TimeoutRunning());
        if (write)
            service.WriteReference(0xE1);
        else
            service.ReadCalibration();
        clock.advance(1500);
        EXPECT_EQ(timeouts(), write ? 0 : 1);
        clock.advance(3600);
        EXPECT_EQ(timeouts(), 1);
        service.Close();
    }
}

TEST_F(Link, ARequestOnAClosedLinkWaitsAndTimesOutWhereItStartedTheTimer) {
    for (const auto& c : requestCases()) {
        SCOPED_TRACE(c.name);
        c.request(service);
        EXPECT_EQ(written(), Bytes{});
        EXPECT_EQ(service.State(), c.state);
        clock.advance(5000);
        EXPECT_EQ(events, c.timerStarted
                              ? std::vector<std::string>{"timeout at " + std::to_string(ms())}
                              : std::vector<std::string>{});
        events.clear();
        service.Open();  // the only way back to rsIdle
        service.Close();
    }
}

struct WriteCase {
    const char* name;
    int kind;
    Request request;
    Bytes sent;  // command byte, then the parameter bytes as the box accepts each
};

TEST_F(Link, WritesSendTheirParametersByteByByteAsTheBoxAcceptsThem) {
    const std::int32_t big = std::numeric_limits<std::int32_t>::max();
    const std::vector<WriteCase> cases = {
        {"resolution and types",
         2,
         [](auto& s) { s.WriteResolutionAndTypes(3, 5, 2, 0x05); },
         {0xEC, 0x53, 0x02, 0x0A, 0x00}},
        {"resolution, kind 1",
         1,
         [](auto& s) { s.WriteResolution(1, 2, 3); },
         {0xEC, 0x01, 0x02, 0x03}},
        {"resolution, kind 0", 0, [](auto& s) { s.WriteResolution(1, 2, 3); }, {0xEC}},
        {"calibration, kind 1",
         1,
         [](auto& s) { s.WriteCalibration(1.5L, -1.5L, 0); },
         {0xEB, 0x60, 0xE3, 0x16, 0x06, 0x60, 0xE3, 0x96, 0x06, 0x00, 0x00, 0x00, 0xFF}},
        {"calibration, kind 3",
         3,
         [](auto& s) { s.WriteCalibration(1.5L, -0.0000015L, 5000.0L); },
         {0xEB, 0x60, 0xE3, 0x16, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
        {"calibration, kind 0",
         0,
         [](auto& s) { s.WriteCalibration(1.5L, 2, 3); },
         {0xEB, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"line counts, kind 1",
         1,
         [](auto& s) { s.WriteLineCounts(1000, 8388607, -1); },
         {0xED, 0xE8, 0x03, 0x00, 0xFF, 0xFF, 0x7F, 0xFF, 0x00, 0x00}},
        {"line counts, kind 4",
         4,
         [big](auto& s) { s.WriteLineCounts(1000, -1, big); },
         {0xED, 0xE8, 0x03, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
        {"line counts, kind 0", 0, [](auto& s) { s.WriteLineCounts(1, 2, 3); }, {0xED}},
        {"dimension types", 1, [](auto& s) { s.WriteDimensionTypes(0x05); }, {0xEE, 0x05}},
        {"reference", 2, [](auto& s) { s.WriteReference(0xE3); }, {0xEF, 0xE3}},
        {"corrections",
         2,
         [](auto& s) {
             s.WriteCorrections(1, 0x70, table({{1.5L, 2.5L}, {9, 9}}), table({{-0.5L, 1e12L}}),
                                table({{3, -4}}));
         },
         {0xEA, 0x01, 0x70, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
          0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
          0xFF, 0x7F, 0x03, 0x00, 0x00, 0x00, 0xFC, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        openAs(c.kind);
        for (std::size_t i = 0; i < c.sent.size(); ++i) script.push_back({0xE0});
        c.request(service);
        clock.advance(1000);
        EXPECT_EQ(written(), c.sent);
        EXPECT_EQ(events, std::vector<std::string>{"ack 1"});
        EXPECT_EQ(service.State(), ReplyState::rsIdle);
        EXPECT_FALSE(service.TimeoutRunning());
        service.Close();
        script.clear();
    }
}

TEST_F(Link, EndConfigurationSendsItsByteAndAwaitsNothing) {
    openAs(2);
    service.EndConfiguration();
    clock.advance(10000);
    EXPECT_EQ(written(), Bytes{0xF1});
    EXPECT_EQ(events, std::vector<std::string>{});
    service.ReadPositions();  // not refused
}

struct AckCase {
    const char* name;
    std::vector<Bytes> answers;  // the box's answer to each byte the host writes
    Bytes sent;
    std::vector<std::string> events;
    ReplyState after;
    bool failWritesAfterCommand = false;
};

TEST_F(Link, AcknowledgementEngine) {
    // WriteLineCounts with kind 1: nine parameter bytes E8 03 00, 02 00 00, 03 00 00.
    const Bytes all = {0xED, 0xE8, 0x03, 0x00, 0x02, 0x00, 0x00, 0x03, 0x00, 0x00};
    const Bytes e0 = {0xE0}, ea = {0xEA};
    const std::vector<AckCase> cases = {
        {"all accepted",
         {e0, e0, e0, e0, e0, e0, e0, e0, e0, e0},
         all,
         {"ack 1"},
         ReplyState::rsIdle},
        {"command refused: the write starts over",
         {ea, e0, e0, e0, e0, e0, e0, e0, e0, e0, e0},
         {0xED, 0xED, 0xE8, 0x03, 0x00, 0x02, 0x00, 0x00, 0x03, 0x00, 0x00},
         {"ack 1"},
         ReplyState::rsIdle},
        {"second parameter byte asked again",
         {e0, e0, ea, e0, e0, e0, e0, e0, e0, e0, e0},
         {0xED, 0xE8, 0x03, 0x03, 0x00, 0x02, 0x00, 0x00, 0x03, 0x00, 0x00},
         {"ack 1"},
         ReplyState::rsIdle},
        {"last byte asked again twice",
         {e0, e0, e0, e0, e0, e0, e0, e0, e0, ea, ea, e0},
         {0xED, 0xE8, 0x03, 0x00, 0x02, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00},
         {"ack 1"},
         ReplyState::rsIdle},
        {"a foreign byte stops the write",
         {e0, e0, {0x55}},
         {0xED, 0xE8, 0x03},
         {"error 11"},
         ReplyState::rsAckLineCounts},
        {"a failed write counts as sent",
         {e0},
         {0xED},
         {"error 12", "error 12"},
         ReplyState::rsAckLineCounts,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        openAs(1);
        script.assign(c.answers.begin(), c.answers.end());
        service.WriteLineCounts(1000, 2, 3);
        if (c.failWritesAfterCommand) {
            device->failWrites(true);
            // No byte reaches the box, so its answers come unasked here.
            sendLater({0xE0}, 2000);
        }
        clock.advance(100);
        device->failWrites(false);
        EXPECT_EQ(written(), c.sent);
        EXPECT_EQ(events, c.events);
        EXPECT_EQ(service.State(), c.after);
        EXPECT_EQ(service.TimeoutRunning(), c.failWritesAfterCommand);
        service.Close();
    }
}

}  // namespace
}  // namespace linktest
