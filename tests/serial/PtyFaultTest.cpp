// Faults on a real pseudo-terminal: the device going away, closing while the event thread waits
// for the main thread, and many openings and closings under traffic.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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
    int opening = 0;
    int delivered = 0, stale = 0;
    auto check = [&](int seenIn) {
        if (!comm->Active() || seenIn != opening) ++stale;
        ++delivered;
    };
    std::atomic<bool> stop{false};
    const int master = pty.master();
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    std::thread far([&] {
        std::uint8_t out[16] = {0x11, 0xFF, 0x22, 0x00, 0x33};
        std::uint8_t in[256];
        while (!stop) {
            (void)!::write(master, out, sizeof out);
            while (::read(master, in, sizeof in) > 0) {
            }
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 1000; ++i) {
        ++opening;
        const int now = opening;
        comm->OnRxChar = [&, now](std::int32_t n) {
            check(now);
            std::uint8_t buf[512];
            comm->ReadBuf(buf, std::min<std::int32_t>(n, 512));
        };
        comm->OnTxEmpty = [&, now] { check(now); };
        comm->Open();
        comm->WriteChar(static_cast<std::uint8_t>(i));
        handOver.waitAndRun(i % 10 == 0 ? 2ms : 0ms);
        if (i % 3 == 0) comm->PurgeRead();
        comm->Close();
        handOver.runPending();
    }
    stop = true;
    far.join();
    EXPECT_EQ(stale, 0);
    EXPECT_GT(delivered, 0);
}

}  // namespace
