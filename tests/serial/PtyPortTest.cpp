// The port on a real pseudo-terminal, through the POSIX device and its event thread.
#include <gtest/gtest.h>

#include <numeric>

#include "PtyFixture.h"

using namespace serial;
using serial::testing::PtyTest;

namespace {

using Bytes = std::vector<std::uint8_t>;

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
    pty.send(burst);
    ASSERT_TRUE(pumpUntil([&] { return got.size() >= 17; }));
    EXPECT_EQ(got, burst);
    EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), 0), 17);
    for (auto n : counts) EXPECT_GT(n, 0);
    comm->Close();
    EXPECT_FALSE(comm->Active());
}

}  // namespace
