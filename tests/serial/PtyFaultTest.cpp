// Faults on a real pseudo-terminal: the device going away, closing while the event thread waits
// for the main thread, and many openings and closings under traffic.
#include <gtest/gtest.h>

#include "PtyFixture.h"

using namespace serial;
using namespace std::chrono_literals;
using serial::testing::PtyTest;

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST_F(PtyTest, DeviceThatVanishesStopsTheWatchingQuietly) {
    auto comm = makePort();
    checkUnplugging(*comm);
}

TEST_F(PtyTest, CloseWhileTheEventThreadWaitsDropsItsEvent) {
    auto comm = makePort();
    int calls = 0;
    comm->OnRxChar = [&](std::int32_t n) {
        ++calls;
        std::uint8_t buf[64];
        comm->ReadBuf(buf, n);
    };
    comm->Open();
    pty.send({1, 2});
    ASSERT_TRUE(handOver.waitForPost(2000ms));  // the thread now waits for the main thread
    comm->Close();                              // must not wait for it in turn
    EXPECT_FALSE(comm->Active());
    handOver.runPending();  // the old event arrives late: dropped
    EXPECT_EQ(calls, 0);

    comm->Open();
    handOver.runPending();
    EXPECT_EQ(calls, 0);  // nor is it delivered to the new opening
    pty.send({3});
    ASSERT_TRUE(pumpUntil([&] { return calls == 1; }));
    pumpFor(20);
    EXPECT_EQ(calls, 1);
}

TEST_F(PtyTest, ThousandOpeningsUnderTraffic) {
    auto comm = makePort();
    checkOpeningsUnderTraffic(*comm, 1000);
}

}  // namespace
