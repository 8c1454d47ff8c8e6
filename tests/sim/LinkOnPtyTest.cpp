// The real link service and port on a pseudo-terminal with kvt3-sim's box at the far end, paced at
// the line's speed: the port answers a position reply's bytes as they come, whatever the box's
// pace, and the thread that takes the events is never held waiting for the box. Real time, short.
#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "link/RSLib.h"
#include "platform/HandOver.h"
#include "platform/ManualClock.h"
#include "serial/PosixDevice.h"
#include "sim/Box.h"
#include "sim/LinePacer.h"
#include "sim/PtyServer.h"
#include "sim/Settings.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::array<std::int32_t, 3> kCounts = {0x01020304, -5, 70000};

class LinkOnPty : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("kvt3-linkpty-" + std::to_string(::getpid()));
    int stop = eventfd(0, EFD_CLOEXEC);
    std::unique_ptr<sim::Box> box;
    std::unique_ptr<sim::PtyServer> server;
    std::thread thread;
    platform::PumpedHandOver handOver;
    platform::ManualClock clock;  // no time-out is wanted here: it never moves
    std::unique_ptr<TRS232Service> service;

    LinkOnPty() { fs::create_directories(dir); }
    ~LinkOnPty() override {
        service.reset();
        const std::uint64_t one = 1;
        if (thread.joinable() && ::write(stop, &one, sizeof one) == 8) thread.join();
        ::close(stop);
        fs::remove_all(dir);
    }

    // A still box of kind 4 whose every reply byte comes byteDelayUs later than the line allows.
    void serve(std::int64_t byteDelayUs) {
        sim::SimConfig c;
        sim::changeKind(c.settings, 4);
        for (std::size_t i = 0; i < 3; ++i) c.motion[i].start = kCounts[i];
        c.faults.byteDelayUs = byteDelayUs;
        box = std::make_unique<sim::Box>(c, sim::monotonicUs());
        sim::ServeOptions options;
        options.dir = dir.string();
        options.stopFd = stop;
        server = std::make_unique<sim::PtyServer>(*box, options);
        server->start();
        thread = std::thread([this] { server->run(); });
        service = std::make_unique<TRS232Service>(clock,
                                                  std::make_shared<serial::PosixDevice>(&handOver));
        service->SetPortName((dir / "COM1").string());
        service->Open();
    }

    struct Readings {
        int valid = 0, wrong = 0, deliveries = 0;
        Clock::duration longestDelivery{};
    };
    // Reads one after another, each from the event of the one before, as the cycle does.
    Readings read(int count) {
        Readings r;
        int left = count;
        service->OnPositions = [&](std::int32_t x, std::int32_t y, std::int32_t z, bool valid) {
            if (valid && std::array<std::int32_t, 3>{x, y, z} == kCounts)
                ++r.valid;
            else
                ++r.wrong;
            if (--left > 0) service->ReadPositions();
        };
        service->ReadPositions();
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (left > 0 && Clock::now() < deadline) {
            if (!handOver.waitForPost(std::chrono::milliseconds(100))) continue;
            const auto start = Clock::now();
            r.deliveries += static_cast<int>(handOver.runPending());
            r.longestDelivery = std::max(r.longestDelivery, Clock::now() - start);
        }
        return r;
    }
};

TEST_F(LinkOnPty, EveryReplyIsAnsweredAsItComesAndTakenInOneGo) {
    struct Case {
        const char* box;
        std::int64_t byteDelayUs;
        int readings;
        int mostDeliveries;  // over all the readings
    };
    // One delivery a reply; a few more now and then when the machine is too busy to run the box
    // in time (byte by byte, a reply would take twelve). A box slower than a few characters a
    // byte leaves the rest of the reply to the events, byte by byte, as before.
    const Case cases[] = {
        {"as fast as the line", 0, 20, 20 * 6},
        {"two characters late with every byte", 2 * sim::ByteUs9600, 20, 20 * 6},
        {"pausing longer than the port waits", 12000, 6, 6 * 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        serve(c.byteDelayUs);
        const Readings r = read(c.readings);
        // A doubled or missing answer would shift every later reply or stall the box.
        EXPECT_EQ(r.valid, c.readings);
        EXPECT_EQ(r.wrong, 0);
        EXPECT_LE(r.deliveries, c.mostDeliveries);
        if (c.byteDelayUs > 10000) {
            EXPECT_GT(r.deliveries, c.readings * 6);
        }
        // Nothing in a delivery waits for the line: a reply's bytes are all there when it runs.
        EXPECT_LT(r.longestDelivery, std::chrono::milliseconds(20));
        service.reset();
        const std::uint64_t one = 1;
        ASSERT_EQ(::write(stop, &one, sizeof one), 8);
        thread.join();
        server.reset();
        std::uint64_t count;
        ASSERT_EQ(::read(stop, &count, sizeof count), 8);
    }
}

}  // namespace
