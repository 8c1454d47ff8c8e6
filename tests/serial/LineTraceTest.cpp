// The line trace: what a port on a traced device writes to the trace file, one event a line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "serial/LineTrace.h"
#include "serial/MemoryDevice.h"
#include "serial/VaComm.h"
#include "tests/serial/PtyFixture.h"

using namespace serial;
using serial::testing::PtyTest;

namespace {

struct TracedPort : ::testing::Test {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("kvt3-trace-" + std::to_string(::getpid()) + ".txt"))
                           .string();
    std::shared_ptr<MemoryDevice> line = std::make_shared<MemoryDevice>();
    std::shared_ptr<LineTrace> trace = std::make_shared<LineTrace>(path);
    TVaComm comm{std::make_shared<TracingDevice>(line, trace)};

    void SetUp() override {
        comm.SetDeviceName("/dev/ttyKVT");
        comm.SetDirectWrite(true);
        comm.OnRxChar = [this](std::int32_t n) {
            for (std::int32_t i = 0; i < n; ++i) {
                std::uint8_t b = 0;
                comm.ReadChar(b);
            }
        };
    }
    void TearDown() override { std::filesystem::remove(path); }

    // The events as written, without their times; the times must count up.
    std::vector<std::string> events() {
        std::ifstream in(path);
        std::vector<std::string> out;
        std::string text;
        long long last = -1;
        std::getline(in, text);
        EXPECT_TRUE(text.starts_with("# kvt3 line trace, started ")) << text;
        while (std::getline(in, text)) {
            const auto first = text.find_first_not_of(' ');
            const auto space = text.find(' ', first);
            long long us = -1;
            std::from_chars(text.data() + first, text.data() + space, us);
            EXPECT_GE(us, last) << text;
            last = us;
            out.push_back(text.substr(space + 1));
        }
        return out;
    }
};

TEST_F(TracedPort, EveryByteErrorOpenAndCloseAsItHappens) {
    line->failOpen(ENOENT);
    EXPECT_THROW(comm.Open(), EVaCommError);
    line->failOpen(0);
    comm.Open();
    trace->request(0xE1, "positions");
    comm.WriteChar(0xE1);
    line->receive({0x00, 0xFF});
    line->receive(0x12, ErrorBits::Parity);
    comm.WriteChar(0xE0);
    comm.PurgeRead();
    // Already in the file while the port is still open: nothing waits for a buffer to fill.
    const std::vector<std::string> whileOpen = events();
    comm.Close();
    const std::vector<std::string> expected = {
        "open /dev/ttyKVT failed (2) No such file or directory",
        "open /dev/ttyKVT",
        "request E1 positions",
        "tx E1",
        "rx 00",
        "rx FF",
        "error parity (0x0004)",
        "rx 12",
        "tx E0",
        "purge input",
        "close",
    };
    EXPECT_EQ(events(), expected);
    EXPECT_EQ(whileOpen, std::vector<std::string>(expected.begin(), expected.end() - 1));
}

TEST_F(TracedPort, FailedTransfersAreRecorded) {
    comm.Open();
    line->failWrites(true);
    EXPECT_THROW(comm.WriteChar(0x55), EVaCommError);
    line->failWrites(false);
    line->receive(0x01, ErrorBits::Frame | ErrorBits::Overrun);
    comm.Close();
    const std::vector<std::string> got = events();
    ASSERT_EQ(got.size(), 5u);
    EXPECT_TRUE(got[1].starts_with("write failed (")) << got[1];
    EXPECT_EQ(got[2], "error overrun framing (0x000A)");
    EXPECT_EQ(got[3], "rx 01");
}

TEST_F(TracedPort, BytesAPurgeThrowsAwayAreTracedBeforeIt) {
    comm.Open();
    comm.OnRxChar = nullptr;  // nobody reads: the bytes wait in the port
    line->receive({0x55, 0xAA});
    comm.PurgeWrite();  // the output alone leaves them waiting
    comm.PurgeRead();
    std::vector<std::uint8_t> many(300);
    for (std::size_t i = 0; i < many.size(); ++i) many[i] = static_cast<std::uint8_t>(i);
    line->receive(many);
    comm.PurgeRead();
    comm.PurgeRead();  // nothing left
    EXPECT_EQ(comm.InQueCount(), 0);
    comm.Close();

    const std::vector<std::string> got = events();
    std::vector<std::string> expected = {"open /dev/ttyKVT", "purge output", "rx 55 discarded",
                                         "rx AA discarded", "purge input"};
    for (std::size_t i = 0; i < many.size(); ++i) {
        static constexpr char hex[] = "0123456789ABCDEF";
        expected.push_back(std::string("rx ") + hex[(i >> 4) & 0xF] + hex[i & 0xF] + " discarded");
    }
    expected.insert(expected.end(), {"purge input", "purge input", "close"});
    EXPECT_EQ(got, expected);
}

// The same over a pseudo-terminal, where the event thread fills the input the purge reads.
TEST_F(PtyTest, TracedPurgeOfWhatTheEventThreadReceived) {
    const std::string path = (dir_ / "trace.txt").string();
    device = std::make_shared<PosixDevice>(&handOver);
    TVaComm comm(std::make_shared<TracingDevice>(device, std::make_shared<LineTrace>(path)));
    comm.SetDeviceName("COM7");
    comm.SetBaudrate(TVaBaudrate::br9600);
    comm.Open();
    pty.send({0x55, 0xAA, 0x01});
    ASSERT_TRUE(pumpUntil([&] { return comm.InQueCount() == 3; }));
    comm.PurgeRead();
    EXPECT_EQ(comm.InQueCount(), 0);
    comm.Close();
    std::ifstream in(path);
    std::vector<std::string> events;
    for (std::string text; std::getline(in, text);)
        if (!text.starts_with("#")) events.push_back(text.substr(text.find_first_not_of(' ')));
    ASSERT_EQ(events.size(), 6u);
    for (std::size_t i = 0; i < events.size(); ++i) events[i].erase(0, events[i].find(' ') + 1);
    // COM7 is the working directory's link: it is named as it is.
    EXPECT_EQ(events, (std::vector<std::string>{"open COM7", "rx 55 discarded", "rx AA discarded",
                                                "rx 01 discarded", "purge input", "close"}));
}

TEST(LineTraceFile, EveryEventOneLineWhateverThePathsLength) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("kvt3-trace-long-" + std::to_string(::getpid()) + ".txt"))
                                 .string();
    struct Case {
        std::size_t length;
        bool whole;  // PATH_MAX and less: the path in full
    };
    for (const Case c : {Case{200, true}, Case{4095, true}, Case{10000, false}}) {
        const std::string device = "/dev/" + std::string(c.length - 5, 'x');
        {
            LineTrace trace(path);
            trace.opened("COM1", device, EACCES);
            trace.closed();
        }
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string text; std::getline(in, text);) lines.push_back(text);
        ASSERT_EQ(lines.size(), 3u) << c.length;
        EXPECT_EQ(lines[1].find(device + " failed (13) ") != std::string::npos, c.whole)
            << c.length;
        EXPECT_TRUE(lines[2].ends_with(" close")) << c.length;
    }
    std::filesystem::remove(path);
}

TEST(LineTraceFile, UnwritablePlaceRaises) {
    EXPECT_THROW(LineTrace("/nonexistent-dir/trace.txt"), std::system_error);
}

}  // namespace

namespace {

// A reply the port answers itself reaches the program at its end; the trace still tells each byte
// and each answer with the time it was on the line. So it does when the box pauses and the
// program answers the rest itself.
TEST_F(PtyTest, TracedReplyAnsweredByThePortKeepsTheLinesTimes) {
    for (const int pauseMs : {3, 20}) {
        SCOPED_TRACE(pauseMs);
        const std::string path = (dir_ / ("trace" + std::to_string(pauseMs) + ".txt")).string();
        device = std::make_shared<PosixDevice>(&handOver);
        TVaComm comm(std::make_shared<TracingDevice>(device, std::make_shared<LineTrace>(path)));
        comm.SetDeviceName("COM7");
        comm.SetBaudrate(TVaBaudrate::br9600);
        comm.SetDirectWrite(true);
        ReplyScript reply;
        reply.length = 3;
        reply.answered = true;
        reply.answers[0] = 0xA1;
        reply.answers[1] = 0xA2;
        int read = 0;
        comm.OnRxChar = [&](std::int32_t n) {
            for (std::int32_t i = 0; i < n; ++i) {
                std::uint8_t b = 0, answer = 0;
                if (!comm.ReadChar(b) || ++read == 3) continue;
                if (!comm.TakeAnswered(answer))
                    comm.WriteChar(reply.answers[static_cast<std::size_t>(read - 1)]);
            }
        };
        comm.Open();
        comm.ArmReplyScript(reply);
        for (const std::uint8_t b : {std::uint8_t{0x10}, std::uint8_t{0x11}}) {
            pty.send({b});
            ASSERT_TRUE(pumpUntil([&] { return !pty.receive(1, 1).empty(); }));
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
        pty.send({0x12});
        ASSERT_TRUE(pumpUntil([&] { return read == 3; }));
        comm.Close();
        std::ifstream in(path);
        std::vector<std::pair<long long, std::string>> events;
        for (std::string text; std::getline(in, text);) {
            const auto first = text.find_first_not_of(' ');
            const auto space = text.find(' ', first);
            if (text.starts_with("#") ||
                (text.compare(space + 1, 3, "rx ") != 0 && text.compare(space + 1, 3, "tx ") != 0))
                continue;
            events.emplace_back(std::stoll(text.substr(first, space - first)),
                                text.substr(space + 1));
        }
        ASSERT_EQ(events.size(), 5u);
        const std::vector<std::string> expected = {"rx 10", "tx A1", "rx 11", "tx A2", "rx 12"};
        for (std::size_t i = 0; i < events.size(); ++i) EXPECT_EQ(events[i].second, expected[i]);
        // In the line's order, each byte the pause after the answer before it, whenever the
        // program took it.
        for (std::size_t i = 1; i < events.size(); ++i)
            EXPECT_GE(events[i].first, events[i - 1].first) << events[i].second;
        EXPECT_GE(events[2].first - events[1].first, pauseMs * 750);
        EXPECT_GE(events[4].first - events[3].first, pauseMs * 750);
    }
}

}  // namespace
