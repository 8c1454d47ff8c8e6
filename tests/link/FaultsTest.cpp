// What goes wrong on the line: silence, late replies, line errors, failing reads, bytes nobody
// asked for, a port that cannot be opened, and the error texts.

#include <functional>
#include <cerrno>

#include "tests/link/LinkFixture.h"

namespace linktest {
namespace {

const Bytes threeAxes = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
const Bytes calibration = {0x60, 0xE3, 0x16, 0x00, 0x60, 0xE3, 0x16, 0x00, 0x60, 0xE3, 0x16, 0x00};

TEST_F(Link, PositionsTimeOutOnlyBetweenBytesAndALateReplyIsStillTaken) {
    service.Open();
    service.ReadPositions();
    clock.advance(60000);  // a silent box: no time-out at all
    EXPECT_EQ(events, std::vector<std::string>{});

    sendLater({0x01}, 0);
    clock.advance(4999);
    EXPECT_EQ(events, std::vector<std::string>{});
    clock.advance(1);
    EXPECT_EQ(events, std::vector<std::string>{"timeout at 65000"});
    EXPECT_THROW(service.ReadPositions(), EMultipleRequest);

    sendLater(Bytes(threeAxes.begin() + 1, threeAxes.end()), 0);
    clock.advance(10000);
    EXPECT_EQ(events, (std::vector<std::string>{"timeout at 65000", "late", "positions 1 2 3 1"}));
    EXPECT_EQ(service.State(), ReplyState::rsIdle);
}

TEST_F(Link, ALateReplyHandlerThatLeavesTheExchangeEndsItsReception) {
    struct Case {
        const char* name;
        std::function<void()> onLate;
        std::vector<std::string> events;
        ReplyState after;
    };
    const std::vector<Case> cases = {
        {"stays", [] {}, {"late", "positions 1 2 3 1"}, ReplyState::rsIdle},
        // Neither a reply delivered on an idle service nor a read error on a closed port.
        {"reopens", [this] { service.Open(); }, {"late"}, ReplyState::rsIdle},
        {"closes", [this] { service.Close(); }, {"late"}, ReplyState::rsPositions},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        service.OnTimeout = nullptr;
        service.OnLateReply = [this, &c] {
            note("late");
            c.onLate();
        };
        service.Open();
        service.ReadPositions();
        sendLater({1, 0, 0, 0});
        clock.advance(5010);  // a time-out after the first bytes, then the rest
        sendLater(Bytes(threeAxes.begin() + 4, threeAxes.end()), 0);
        clock.advance(10);
        EXPECT_EQ(events, c.events);
        EXPECT_EQ(service.State(), c.after);
        events.clear();
        service.Close();
    }
}

TEST_F(Link, ATimedOutExchangeIsRefusedUntilOpen) {
    service.Open();
    service.ReadCalibration();
    clock.advance(5000);
    EXPECT_EQ(events, std::vector<std::string>{"timeout at 5000"});
    EXPECT_THROW(service.ReadCalibration(), EMultipleRequest);
    service.Open();
    EXPECT_NO_THROW(service.ReadCalibration());
}

TEST_F(Link, LineErrorsMarkTheReplyInvalidButDoNotStopIt) {
    struct Case {
        const char* name;
        std::int32_t errors;
        bool printer;
        std::vector<std::string> events;
    };
    const std::vector<Case> cases = {
        {"parity", serial::ErrorBits::Parity, false, {"positions 1 2 3 0"}},
        {"framing", serial::ErrorBits::Frame, false, {"error 1", "positions 1 2 3 0"}},
        {"parity and framing together", 12, false, {"error 1", "positions 1 2 3 0"}},
        {"overrun", serial::ErrorBits::Overrun, false, {"positions 1 2 3 0"}},
        {"overrun with parity", 6, false, {"positions 1 2 3 0"}},
        {"overrun with framing", 10, false, {"error 1", "positions 1 2 3 0"}},
        {"input queue overflow", serial::ErrorBits::Overflow, false, {"positions 1 2 3 0"}},
        {"break", serial::ErrorBits::Break, false, {"positions 1 2 3 0"}},
        {"output queue full only", serial::ErrorBits::TxFull, false, {"positions 1 2 3 1"}},
        {"printer", 0, true, {"error 2", "positions 1 2 3 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        service.Open();
        service.ReadPositions();
        if (c.printer) clock.callAfterUs(500, [this] { service.Comm().OnPErr(); });
        sendMarked(threeAxes, 5, c.errors);
        clock.advance(100);
        EXPECT_EQ(events, c.events);
        events.clear();
        // The next reply starts clean.
        sendLater(threeAxes);
        service.ReadPositions();
        clock.advance(100);
        EXPECT_EQ(events, std::vector<std::string>{"positions 1 2 3 1"});
        events.clear();
        service.Close();
    }
}

TEST_F(Link, ACalibrationWithALineErrorIsRequestedOnceMore) {
    struct Case {
        const char* name;
        std::int32_t firstErrors, secondErrors;
        Bytes sent;
        std::vector<std::string> events;
    };
    const std::string value = " 1.5 1.5 1.5";
    const std::vector<Case> cases = {
        {"clean", 0, 0, {0xE5}, {"calibration 1" + value}},
        {"parity, then clean", 4, 0, {0xE5, 0xE5}, {"calibration 1" + value}},
        {"framing, then clean", 8, 0, {0xE5, 0xE5}, {"error 1", "calibration 1" + value}},
        {"parity twice", 4, 4, {0xE5, 0xE5}, {"calibration 0" + value}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        openAs(2);
        int asked = 0;
        device->OnHostWrite = [&](std::uint8_t) {
            sendMarked(calibration, 7, asked++ == 0 ? c.firstErrors : c.secondErrors);
        };
        service.ReadCalibration();
        clock.advance(100);
        EXPECT_EQ(written(), c.sent);
        EXPECT_EQ(events, c.events);
        EXPECT_EQ(service.State(), ReplyState::rsIdle);
        service.Close();
        useScript();
    }
}

// A link start asks for the readiness once the line has been quiet: the rest of a reply to whoever
// had the port before is thrown away, and a line that never falls quiet is reported.
TEST_F(Link, ALinkStartAsksOnlyOnAQuietLine) {
    for (const long long chatterMs : {0, 7000, TRS232Service::QuietLimitMs + 5000}) {
        service.Open();
        const long long start = ms();
        std::function<void()> chatter = [&] {
            device->receive(Bytes{0x30});  // a kind 4 box's readiness
            if (ms() < start + chatterMs) clock.callAfterUs(1000, chatter);
        };
        clock.callAfterUs(1000, chatter);
        long long askedAt = -1;
        device->OnHostWrite = [&](std::uint8_t) { askedAt = ms() - start, sendLater({0x10}); };
        service.CheckReadyOnQuietLine();
        EXPECT_THROW(service.ReadPositions(), EMultipleRequest);
        clock.advance(TRS232Service::QuietLimitMs + 100);
        const bool quiet = chatterMs < TRS232Service::QuietLimitMs;
        EXPECT_EQ(askedAt, quiet ? std::max(chatterMs, 1LL) + TRS232Service::QuietLineMs : -1);
        EXPECT_EQ(events.at(0), quiet ? "ack 1" : "error 16");
        clock.advance(chatterMs);
        events.clear();
        service.Close();
    }
}

TEST_F(Link, TheCalibrationReRequestTimesOutWhenTheBoxFallsSilent) {
    openAs(2);
    service.ReadCalibration();
    sendMarked(calibration, 0, serial::ErrorBits::Parity);
    clock.advance(10);
    EXPECT_EQ(written(), (Bytes{0xE5, 0xE5}));
    EXPECT_EQ(service.State(), ReplyState::rsCalibration);
    // The re-request went out with the reply's last byte, about 1 ms in: 5000 ms from then.
    clock.advance(4980);
    EXPECT_TRUE(events.empty());
    clock.advance(20);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].rfind("timeout", 0), 0u) << events[0];
    EXPECT_EQ(service.State(), ReplyState::rsCalibration);
}

TEST_F(Link, AFailingReadReportsTheCodeOfTheAwaitedReply) {
    struct Case {
        const char* name;
        Request request;
        std::int32_t code;
        ReplyState stays;
    };
    const std::vector<Case> cases = {
        {"readiness", [](auto& s) { s.CheckReady(); }, 4, ReplyState::rsIdle},
        {"calibration", [](auto& s) { s.ReadCalibration(); }, 5, ReplyState::rsCalibration},
        {"positions", [](auto& s) { s.ReadPositions(); }, 8, ReplyState::rsPositions},
        {"resolution", [](auto& s) { s.ReadResolution(); }, 9, ReplyState::rsResolution},
        {"line counts", [](auto& s) { s.ReadLineCounts(); }, 13, ReplyState::rsLineCounts},
        {"corrections", [](auto& s) { s.ReadCorrections(); }, 14, ReplyState::rsCorrections},
        {"dimension types", [](auto& s) { s.ReadDimensionTypes(); }, 14,
         ReplyState::rsDimensionTypes},
        {"acknowledgement", [](auto& s) { s.WriteReference(0xE1); }, 11,
         ReplyState::rsAckReference},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        service.Open();
        c.request(service);
        device->failReads(true);
        sendLater({0xE0, 0x00});
        clock.advance(10);
        device->failReads(false);
        EXPECT_EQ(events, std::vector<std::string>{"error " + std::to_string(c.code)});
        EXPECT_EQ(service.State(), c.stays);
        EXPECT_EQ(device->inQueue(), 0);  // purged
        if (c.stays != ReplyState::rsIdle) {
            EXPECT_FALSE(service.TimeoutRunning());
            EXPECT_THROW(service.ReadPositions(), EMultipleRequest);
        }
        events.clear();
        service.Close();
    }
}

TEST_F(Link, BytesNobodyAskedFor) {
    for (bool listening : {true, false}) {
        SCOPED_TRACE(listening);
        service.Open();
        if (listening) service.OnRawByte = [this](std::uint8_t b) { note("raw %d", b); };
        sendLater({0x05, 0xE0});
        clock.advance(10);
        const std::vector<std::string> expected =
            listening ? std::vector<std::string>{"raw 5", "raw 224"} : std::vector<std::string>{};
        EXPECT_EQ(events, expected);
        EXPECT_EQ(device->inQueue(), 0);
        service.OnRawByte = nullptr;
        events.clear();
        service.Close();
    }
}

TEST_F(Link, APortThatFailsToOpenOrCloseCanBeOpenedAgain) {
    device->failOpen(ENOENT);
    EXPECT_THROW(service.Open(), serial::EVaCommError);
    EXPECT_FALSE(service.PortOpen());
    device->failOpen(0);
    service.Open();
    EXPECT_TRUE(service.PortOpen());

    service.Comm().OnClose = [] { throw std::runtime_error("close handler"); };
    EXPECT_THROW(service.Close(), std::runtime_error);
    EXPECT_FALSE(service.PortOpen());
    service.Comm().OnClose = nullptr;
    service.Open();
    EXPECT_TRUE(device->isOpen());
    EXPECT_EQ(device->openCount(), 2);
}

TEST_F(Link, CorrectionsWrittenOverAPendingReplyStartAfresh) {
    service.Open();
    service.ReadPositions();
    sendLater({1, 2, 3, 4, 5});
    clock.advance(10);
    written();
    TCorrectionTable full;
    for (int row = 1; row <= 255; ++row) full[row] = {row * 1.0L, -row * 1.0L};
    for (int i = 0; i < 1 + 5 + 24 * 255; ++i) script.push_back({0xE0});
    service.WriteCorrections(255, 0, full, full, full);
    clock.advance(7000);
    const Bytes sent = written();
    ASSERT_EQ(sent.size(), 1u + 5 + 24 * 255);
    EXPECT_EQ(sent[0], 0xEA);
    EXPECT_EQ(sent[1], 255);
    EXPECT_EQ(sent.back(), 0xFF);  // Z row 255, Corrected -255: last byte of FFFFFF01
    EXPECT_EQ(events, std::vector<std::string>{"ack 1"});
}

TEST_F(Link, AcknowledgementsThatAreNoProgressEndInATimeOutOrAnError) {
    struct Case {
        const char* name;
        std::function<void()> answer;  // the box's answer to each host byte
        bool timesOut;                 // else the write stops with code 11
    };
    const std::vector<Case> cases = {
        // Every byte asked for again: the countdown runs from the last acceptance, the command's.
        {"every byte asked again, forever",
         [this] { sendLater({0xEA}); },
         true},
        // A refusal corrupted on the line may read as an acceptance.
        {"an acceptance with a parity error",
         [this] { sendMarked({0xE0}, 0, serial::ErrorBits::Parity); },
         false},
        {"a request to repeat with a parity error",
         [this] { sendMarked({0xEA}, 0, serial::ErrorBits::Parity); },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        openAs(1);
        const long long requestedAt = ms();
        device->OnHostWrite = [&c](std::uint8_t) { c.answer(); };
        // As the dialogs do: a time-out ends the write.
        service.OnTimeout = [this] {
            note("timeout at %lld", ms());
            service.Close();
        };
        service.WriteLineCounts(1000, 2, 3);
        clock.advance(60000);
        EXPECT_EQ(events, std::vector<std::string>{c.timesOut ? "timeout at " +
                                                                     std::to_string(requestedAt + 5000)
                                                               : "error 11"});
        EXPECT_FALSE(service.TimeoutRunning());
        device->OnHostWrite = nullptr;
        service.Close();
        clock.advance(100);
        events.clear();
        recordEvents();
        useScript();
    }
}

TEST_F(Link, AReadinessByteWithALineErrorNamesNoKind) {
    openAs(4);
    device->OnHostWrite = [&](std::uint8_t) { sendMarked({0x20}, 0, serial::ErrorBits::Parity); };
    service.CheckReady();
    clock.advance(100);
    EXPECT_EQ(written(), (Bytes{0xE9, 0xE9}));  // asked for once more
    EXPECT_EQ(events, std::vector<std::string>{"error 4"});
    EXPECT_EQ(service.DeviceKind(), 4);
}

TEST_F(Link, ErrorTexts) {
    const std::vector<std::string> texts = {
        "(błąd inny)",
        "(błąd ramki)",
        "(błąd portu drukarki)",
        "(błąd połączenia)",
        "(błąd czytania gotowości)",
        "(błąd czytania kalibracji)",
        "(błąd czytania znaku)",
        "(błąd czytania liczby błędów)",
        "(błąd czytania pozycji XY)",
        "(błąd czytania rozdzielczości)",
        "(błąd czytania testu)",
        "(błąd czytania akceptacji)",
        "(błąd pisania znaku)",
        "(błąd czytania ilości linii)",
        "(błąd czytania typu wymiarów)",
        "(błąd czytania referencji)",
        "(linia nie milknie)",
        "(błąd inny)",
    };
    for (std::size_t code = 0; code < texts.size(); ++code)
        EXPECT_EQ(ErrorText(static_cast<std::int32_t>(code)), texts[code]) << code;
    EXPECT_EQ(ErrorText(-1), "(błąd inny)");
}

}  // namespace
}  // namespace linktest
