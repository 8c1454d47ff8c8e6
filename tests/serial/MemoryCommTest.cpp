// The port over the in-memory line: the notifications, their order and the byte operations.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "serial/MemoryDevice.h"
#include "serial/VaComm.h"

using namespace serial;

namespace {

struct MemoryPort : ::testing::Test {
    std::shared_ptr<MemoryDevice> line = std::make_shared<MemoryDevice>();
    TVaComm comm{line};
    std::vector<std::string> log;

    void SetUp() override {
        comm.SetDeviceName("COM2");
        comm.SetDirectWrite(true);
        comm.SetParityCheck(true);
        comm.SetParity(TVaParity::paOdd);
        comm.OnError = [this](std::int32_t e) { log.push_back("error " + std::to_string(e)); };
        comm.OnTxEmpty = [this] { log.push_back("txempty"); };
    }
    // A link-like reader: reads every byte it is told of.
    void readEverything() {
        comm.OnRxChar = [this](std::int32_t n) {
            log.push_back("rx " + std::to_string(n));
            for (std::int32_t i = 0; i < n; ++i) {
                std::uint8_t b = 0;
                if (comm.ReadChar(b)) log.push_back("byte " + std::to_string(b));
            }
        };
    }
};

TEST_F(MemoryPort, OpensTheFormattedNameAndClosesAgain) {
    comm.SetDeviceName("COM%d");
    comm.SetPortNum(4);
    int opened = 0, closed = 0;
    comm.OnOpen = [&] { ++opened; };
    comm.OnClose = [&] { ++closed; };
    comm.Open();
    EXPECT_TRUE(comm.Active());
    EXPECT_EQ(line->openedName(), "COM4");
    comm.Close();
    comm.Close();
    EXPECT_FALSE(comm.Active());
    EXPECT_FALSE(line->isOpen());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(closed, 1);
}

TEST_F(MemoryPort, ReportsReceivedBytesAndReadsThem) {
    readEverything();
    comm.Open();
    line->receive({0x10, 0x20, 0x30});
    line->receive(0xFF);
    EXPECT_EQ(log, (std::vector<std::string>{"rx 3", "byte 16", "byte 32", "byte 48", "rx 1",
                                             "byte 255"}));
}

TEST_F(MemoryPort, LineErrorIsReportedBeforeItsByte) {
    readEverything();
    comm.Open();
    line->receive(0x41, ErrorBits::Parity);
    line->receive(0x42, ErrorBits::Frame);
    EXPECT_EQ(log, (std::vector<std::string>{"error 4", "rx 1", "byte 65", "error 8", "rx 1",
                                             "byte 66"}));
}

TEST_F(MemoryPort, WritesReachTheFarEndAndTransmitEmptyFollows) {
    comm.Open();
    std::vector<std::uint8_t> seen;
    line->OnHostWrite = [&](std::uint8_t b) { seen.push_back(b); };
    EXPECT_TRUE(comm.WriteChar(0xE1));
    const std::uint8_t block[] = {1, 2, 3};
    EXPECT_EQ(comm.WriteBuf(block, 3), 3);
    EXPECT_EQ(seen, (std::vector<std::uint8_t>{0xE1, 1, 2, 3}));
    EXPECT_TRUE(log.empty());  // nothing is delivered from inside a write
    line->reportTxEmpty();
    EXPECT_EQ(log, (std::vector<std::string>{"txempty"}));
}

TEST_F(MemoryPort, ClosedPortReadsAndWritesNothing) {
    std::uint8_t b = 0;
    EXPECT_FALSE(comm.ReadChar(b));
    EXPECT_FALSE(comm.WriteChar(1));
    EXPECT_EQ(comm.InQueCount(), 0);
    comm.PurgeRead();
    comm.PurgeWrite();
    EXPECT_TRUE(line->written().empty());
    EXPECT_EQ(line->openCount(), 0);
}

}  // namespace
