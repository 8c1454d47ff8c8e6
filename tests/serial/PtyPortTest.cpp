// The port on a real pseudo-terminal, through the POSIX device and its event thread.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <numeric>

#include "PtyFixture.h"

using namespace serial;
using serial::testing::PtyTest;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string openError(TVaComm& comm) {
    try {
        comm.Open();
    } catch (const EVaCommError& e) {
        return e.what();
    }
    return "opened";
}

TEST_F(PtyTest, OpensThroughTheComLinkAndReportsABurstInCountsThatAddUp) {
    auto comm = makePort();
    comm->SetDeviceName("COM%d");
    comm->SetPortNum(7);
    std::vector<std::int32_t> counts;
    Bytes got;
    comm->OnRxChar = [&](std::int32_t n) {
        counts.push_back(n);
        for (std::int32_t i = 0; i < n; ++i) {
            std::uint8_t b;
            if (comm->ReadChar(b)) got.push_back(b);
        }
    };
    comm->Open();
    ASSERT_TRUE(comm->Active());
    Bytes burst(17);
    std::iota(burst.begin(), burst.end(), std::uint8_t{0xE0});
    burst[3] = 0xFF;  // arrives doubled by the terminal's marking, and is one byte again
    pty.send(burst);
    ASSERT_TRUE(pumpUntil([&] { return got.size() >= 17; }));
    EXPECT_EQ(got, burst);
    EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), 0), 17);
    for (auto n : counts) EXPECT_GT(n, 0);
    std::uint8_t b;
    EXPECT_FALSE(comm->ReadChar(b));  // nothing left: false, no exception
    comm->Close();
    EXPECT_FALSE(comm->Active());
}

TEST_F(PtyTest, TheLineIsRawWithParityMarking) {
    auto comm = makePort();
    comm->Open();
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.master(), &t), 0);  // a pty shares its settings between sides
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (INPCK | PARMRK | ISTRIP | IGNPAR | IXON | IXOFF | ICRNL),
              tcflag_t(INPCK | PARMRK));
    // (A pseudo-terminal keeps no parity setting of its own: PARENB is not asked after here.)
    EXPECT_EQ(t.c_cflag & (CSIZE | PARODD | CSTOPB | CRTSCTS | CREAD | CLOCAL),
              tcflag_t(CS8 | PARODD | CREAD | CLOCAL));
    EXPECT_EQ(::cfgetospeed(&t), speed_t(B9600));
    comm->SetUserBaudrate(250000);  // a rate the terminal interface has no name for
    EXPECT_TRUE(comm->Active());
}

// Another program used the terminal before and left its own settings: every flag the line
// depends on is set by the opening, none is inherited.
TEST_F(PtyTest, FlagsLeftByAnotherProgramAreCleared) {
    // The slave side as the other program had it, kept open to read the settings back on it.
    const int slave = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(slave, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(slave, &t), 0);
    t.c_iflag |= IGNPAR | IXON | IXOFF | IXANY | ISTRIP | ICRNL | INLCR | IGNCR | IGNBRK | BRKINT |
                 IMAXBEL | IUTF8;
    t.c_oflag |= OPOST | ONLCR;
    t.c_lflag |= ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    t.c_cflag |= CRTSCTS | HUPCL | CSTOPB;
    t.c_cc[VMIN] = 4;
    t.c_cc[VTIME] = 7;
    ASSERT_EQ(::tcsetattr(slave, TCSANOW, &t), 0);
    ASSERT_EQ(::tcgetattr(slave, &t), 0);
    ASSERT_NE(t.c_iflag & IXANY, 0u);  // the terminal keeps what is to be cleared
    ASSERT_NE(t.c_cflag & CRTSCTS, 0u);

    auto comm = makePort();
    comm->Open();
    termios after{};
    ASSERT_EQ(::tcgetattr(slave, &after), 0);
    ::close(slave);
    EXPECT_EQ(after.c_iflag, tcflag_t(INPCK | PARMRK));
    EXPECT_EQ(after.c_oflag, 0u);
    EXPECT_EQ(after.c_lflag, 0u);
    // (A pseudo-terminal keeps no parity setting: PARENB is not asked after.)
    EXPECT_EQ(after.c_cflag & (CSIZE | CSTOPB | CRTSCTS | HUPCL | CREAD | CLOCAL),
              tcflag_t(CS8 | CREAD | CLOCAL));
    EXPECT_EQ(after.c_cc[VMIN], 0);
    EXPECT_EQ(after.c_cc[VTIME], 0);
}

TEST_F(PtyTest, UnreadBytesAreCountedAgainAndNoCallForNothing) {
    auto comm = makePort();
    std::vector<std::int32_t> counts;
    comm->OnRxChar = [&](std::int32_t n) { counts.push_back(n); };  // reads nothing
    comm->Open();
    pty.send({1, 2, 3});
    ASSERT_TRUE(pumpUntil([&] { return comm->InQueCount() == 3 && !counts.empty(); }));
    pty.send({4});
    ASSERT_TRUE(pumpUntil([&] { return counts.back() == 4; }));
    for (auto n : counts) EXPECT_GT(n, 0);
    std::uint8_t block[8];
    EXPECT_EQ(comm->ReadBuf(block, 8), 4);
    EXPECT_EQ(Bytes(block, block + 4), (Bytes{1, 2, 3, 4}));
}

TEST_F(PtyTest, PurgeReadDropsWhatWasReceived) {
    auto comm = makePort();
    comm->OnRxChar = [](std::int32_t) {};
    comm->Open();
    pty.send({1, 2, 3});
    ASSERT_TRUE(pumpUntil([&] { return comm->InQueCount() == 3; }));
    comm->PurgeRead();
    comm->PurgeWrite();
    EXPECT_EQ(comm->InQueCount(), 0);
    pty.send({9});
    ASSERT_TRUE(pumpUntil([&] { return comm->InQueCount() == 1; }));
    std::uint8_t b = 0;
    EXPECT_TRUE(comm->ReadChar(b));
    EXPECT_EQ(b, 9);
}

TEST_F(PtyTest, TransmitEmptyFollowsAWrite) {
    auto comm = makePort();
    int empties = 0;
    comm->OnTxEmpty = [&] { ++empties; };
    comm->Open();
    pumpFor(20);
    EXPECT_EQ(empties, 0);  // nothing written, nothing to report
    EXPECT_TRUE(comm->WriteChar(0xE1));
    const std::uint8_t block[] = {0xE0, 0xFF, 0x00};
    EXPECT_EQ(comm->WriteBuf(block, 3), 3);
    ASSERT_TRUE(pumpUntil([&] { return empties > 0; }));
    EXPECT_EQ(pty.receive(4), (Bytes{0xE1, 0xE0, 0xFF, 0x00}));
}

// The line may be reconfigured while the event thread waits for the queue to drain: the wait
// follows the character time, which the main thread changes meanwhile.
TEST_F(PtyTest, TransmitEmptyWaitsForTheDriverQueueWhileTheLineIsReconfigured) {
    auto slow = std::make_shared<serial::testing::SlowDrainDevice>(&handOver);
    TVaComm comm(slow);
    comm.SetParity(TVaParity::paOdd);
    comm.SetDeviceName("COM7");
    comm.SetParityCheck(true);
    comm.SetDirectWrite(true);
    int empties = 0;
    comm.OnTxEmpty = [&] { ++empties; };
    comm.Open();
    const TVaBaudrate rates[] = {TVaBaudrate::br115200, TVaBaudrate::br57600};
    for (int i = 0; i < 20; ++i) {
        slow->pending = 3;
        ASSERT_TRUE(comm.WriteChar(0xE0));
        comm.SetBaudrate(rates[i % 2]);  // while the thread computes its next look at the queue
        ASSERT_TRUE(pumpUntil([&] { return empties == i + 1; })) << i;
        EXPECT_EQ(slow->pending.load(), 0) << "reported empty before the queue drained";
    }
    comm.Close();
    EXPECT_EQ(pty.receive(20).size(), 20u);
}

TEST_F(PtyTest, HandlerMayCloseThePortFromInsideAnEvent) {
    auto comm = makePort();
    int empties = 0;
    comm->OnTxEmpty = [&] {
        ++empties;
        comm->Close();  // as the configuration dialogs do after their last byte
    };
    comm->Open();
    comm->WriteChar(0xF1);
    ASSERT_TRUE(pumpUntil([&] { return empties > 0; }));
    EXPECT_FALSE(comm->Active());
    comm->Open();  // and it opens again at once
    EXPECT_TRUE(comm->Active());
}

TEST_F(PtyTest, SecondOpenIsRefused) {
    auto first = makePort();
    first->Open();
    auto second = makePort();
    EXPECT_EQ(openError(*second),
              "Unable to open specified device COM7 (16), Device or resource busy");
    EXPECT_FALSE(second->Active());
    EXPECT_TRUE(first->Active());
    first->Close();
    EXPECT_EQ(openError(*second), "opened");
}

TEST_F(PtyTest, DevicesThatCannotBeOpened) {
    std::filesystem::create_symlink("/nonexistent/tty", "COM3");
    struct Case {
        std::string name, message;
    };
    const Case cases[] = {
        {"COM3", "Unable to open specified device COM3 (2), No such file or directory"},
        {"/nonexistent/ttyUSB0",
         "Unable to open specified device /nonexistent/ttyUSB0 (2), No such file or directory"},
        {"/dev/null",
         "Unable to open specified device /dev/null (25), Inappropriate ioctl for device"},
    };
    for (const auto& c : cases) {
        auto comm = makePort();
        comm->SetDeviceName(c.name);
        EXPECT_EQ(openError(*comm), c.message);
        EXPECT_FALSE(comm->Active());
    }
}

TEST_F(PtyTest, BufferedWritesGoOutThroughTheWriteThread) {
    auto comm = makePort();
    comm->SetDirectWrite(false);
    int empties = 0;
    comm->OnTxEmpty = [&] { ++empties; };
    comm->Open();
    Bytes block(300);
    std::iota(block.begin(), block.end(), std::uint8_t{0});
    EXPECT_EQ(comm->WriteBuf(block.data(), 300), 300);
    EXPECT_EQ(pty.receive(300), block);
    ASSERT_TRUE(pumpUntil([&] { return empties > 0; }));
    comm->Close();

    // A block larger than the whole queue never finds room.
    comm->Buffers().SetWriteSize(8);
    comm->Buffers().WriteTimeout = 0;
    comm->Open();
    try {
        comm->WriteBuf(block.data(), 9);
        ADD_FAILURE() << "written";
    } catch (const EVaCommError& e) {
        EXPECT_STREQ(e.what(), "Output buffer is full. Please check comm status.");
    }
    EXPECT_TRUE(comm->Active());
}

}  // namespace

namespace {

// A pseudo-terminal makes no line errors, but it can be made to pass marks through: with
// marking switched off on the terminal (from the master side) while the port still decodes,
// FF 00 x arrives as written, exactly as a real port marks a byte received with an error.
TEST_F(PtyTest, MarkedBytesAreReportedBeforeTheyCanBeRead) {
    auto comm = makePort();
    std::vector<std::string> log;
    comm->OnError = [&](std::int32_t e) { log.push_back("error " + std::to_string(e)); };
    comm->OnRxChar = [&](std::int32_t n) {
        for (std::int32_t i = 0; i < n; ++i) {
            std::uint8_t b;
            if (comm->ReadChar(b)) log.push_back("byte " + std::to_string(b));
        }
    };
    comm->Open();
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.master(), &t), 0);
    t.c_iflag &= ~tcflag_t(PARMRK);
    ASSERT_EQ(::tcsetattr(pty.master(), TCSANOW, &t), 0);

    pty.send({0x10, 0xFF, 0x00, 0x41, 0x20, 0xFF, 0x00, 0x00, 0xFF, 0xFF});
    ASSERT_TRUE(pumpUntil([&] { return log.size() >= 7; }));
    pumpFor(20);
    auto at = [&](const std::string& entry) {
        return std::find(log.begin(), log.end(), entry) - log.begin();
    };
    // Without the driver's counters every marked byte counts as a parity error, a marked 00 too
    // (a break or a 00 with a bad parity or stop bit look the same), each before its byte.
    EXPECT_LT(at("error 4"), at("byte 65"));
    const auto secondError = std::find(log.begin() + at("byte 65"), log.end(), "error 4");
    ASSERT_NE(secondError, log.end());
    EXPECT_LT(secondError - log.begin(), at("byte 0"));
    std::vector<std::string> bytes;
    for (const auto& e : log)
        if (e.rfind("byte", 0) == 0) bytes.push_back(e);
    EXPECT_EQ(bytes,
              (std::vector<std::string>{"byte 16", "byte 65", "byte 32", "byte 0", "byte 255"}));
    EXPECT_EQ(log.size(), 7u);
}

// A marked byte waits in the device until its error has reached the main thread. A purge in that
// moment discards it with everything else: handed on afterwards, a byte from before the purge
// would be taken as the first byte of whatever the purge made room for.
TEST_F(PtyTest, AMarkedByteWaitingForItsErrorReportGoesWithAPurge) {
    auto comm = makePort();
    Bytes read;
    int errorsSeen = 0;
    comm->OnError = [&](std::int32_t) { ++errorsSeen; };
    comm->OnRxChar = [&](std::int32_t n) {
        for (std::int32_t i = 0; i < n; ++i) {
            std::uint8_t b;
            if (comm->ReadChar(b)) read.push_back(b);
        }
    };
    comm->Open();
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.master(), &t), 0);
    t.c_iflag &= ~tcflag_t(PARMRK);
    ASSERT_EQ(::tcsetattr(pty.master(), TCSANOW, &t), 0);

    pty.send({0xFF, 0x00, 0x41, 0x42});
    // The event thread now holds 0x41 and waits for the main thread to take its error report.
    ASSERT_TRUE(handOver.waitForPost(std::chrono::milliseconds(2000)));
    comm->PurgeRead();
    handOver.runPending();
    pty.send({0x43});
    ASSERT_TRUE(pumpUntil([&] { return !read.empty(); }));
    pumpFor(20);
    // The error went with its byte: reported after the purge, it would spoil the next reply.
    EXPECT_EQ(read, Bytes{0x43});
    EXPECT_EQ(errorsSeen, 0);
}

}  // namespace

// A reply's last byte is held back for a moment in case a stray byte comes right behind it. The
// bytes before it may have been announced and read meanwhile: the last one is announced when it
// is let go, not left for the reply's time-out to find.
TEST_F(PtyTest, AReplysLastByteHeldBackIsAnnouncedWhenLetGo) {
    auto comm = makePort();
    Bytes read;
    comm->OnRxChar = [&](std::int32_t n) {
        for (std::int32_t i = 0; i < n; ++i) {
            std::uint8_t b;
            if (comm->ReadChar(b)) read.push_back(b);
        }
    };
    comm->Open();
    ReplyScript reply;
    reply.length = 12;
    comm->ArmReplyScript(reply);
    pty.send(Bytes(11, 0x31));
    ASSERT_TRUE(handOver.waitForPost(std::chrono::milliseconds(2000)));
    // A slow last byte is held back as long as the box took for it: the first eleven are read
    // meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pty.send({0x32});
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    handOver.runPending();
    EXPECT_EQ(read.size(), 11u);
    ASSERT_TRUE(pumpUntil([&] { return read.size() == 12; }, 1000)) << read.size() << " read";
    EXPECT_EQ(read.back(), 0x32);
}
