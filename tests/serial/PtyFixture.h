#pragma once

// A pseudo-terminal for the port to open, in a temporary working directory where COM7 links to
// its slave side; the test plays the far end on the master side. Events reach the test's main
// thread through a PumpedHandOver that the test pumps.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/HandOver.h"
#include "serial/PosixDevice.h"
#include "serial/VaComm.h"

namespace serial::testing {

// A driver that holds each write for a few checks of its queue, as a real UART does while the
// characters leave at the line's rate.
class SlowDrainDevice : public PosixDevice {
public:
    using PosixDevice::PosixDevice;
    std::atomic<int> pending{0};
    std::atomic<int> looks{0};            // how often the driver's output queue was asked for
    std::atomic<bool> cannotTell{false};  // the query fails, as a hung-up terminal's does

protected:
    bool outputQueued(int& queued) override {
        ++looks;
        if (cannotTell) return false;
        int left = pending.load();
        while (left > 0 && !pending.compare_exchange_weak(left, left - 1)) {
        }
        queued = left;
        return true;
    }
};

class Pty {
public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) == 0) slave_ = name;
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master_ >= 0 && !slave_.empty(); }
    const std::string& slavePath() const { return slave_; }
    int master() const { return master_; }
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    void send(const std::vector<std::uint8_t>& bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // What the host wrote, waiting up to timeoutMs for at least n bytes.
    std::vector<std::uint8_t> receive(std::size_t n, int timeoutMs = 2000) {
        std::vector<std::uint8_t> got;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < n && std::chrono::steady_clock::now() < until) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            std::uint8_t buf[256];
            const ssize_t r = ::read(master_, buf, sizeof buf);
            if (r > 0) got.insert(got.end(), buf, buf + r);
        }
        return got;
    }

private:
    int master_ = -1;
    std::string slave_;
};

// Runs each test in a fresh temporary directory with COM7 -> the pseudo-terminal's slave.
class PtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        oldDir_ = std::filesystem::current_path();
        char tmpl[] = "/tmp/kvt3-serial-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        std::filesystem::current_path(dir_);
        std::filesystem::create_symlink(pty.slavePath(), dir_ / "COM7");
    }
    void TearDown() override {
        std::filesystem::current_path(oldDir_);
        std::filesystem::remove_all(dir_);
    }

    // A port set up as the link sets its own; device is the last one made. Its events come
    // through the pumped hand-over unless another is given.
    std::unique_ptr<TVaComm> makePort(platform::HandOver* over = nullptr) {
        device = std::make_shared<PosixDevice>(over != nullptr ? over : &handOver);
        auto comm = std::make_unique<TVaComm>(device);
        comm->SetParity(TVaParity::paOdd);
        comm->SetDeviceName("COM7");
        comm->SetBaudrate(TVaBaudrate::br9600);
        comm->SetParityCheck(true);
        comm->SetDirectWrite(true);
        return comm;
    }

    // Serves the main thread's events for up to ms: the pumped hand-over here.
    virtual void serve(std::chrono::milliseconds ms) { handOver.waitAndRun(ms); }

    // Serves the main thread until done() holds or timeoutMs of real time passed.
    bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 2000) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            serve(std::min(left, std::chrono::milliseconds(20)));
        }
        return true;
    }
    // Serves the main thread for a while, for things that must NOT happen.
    void pumpFor(int ms) {
        pumpUntil([] { return false; }, ms);
    }

    // The far end goes away (unplugged) after some bytes: the port takes the bytes, tells the
    // main thread once that the device is gone, after them, does not spin a core over it, and
    // reads, purges and closes without fault.
    void checkUnplugging(TVaComm& comm) {
        std::vector<std::uint8_t> got;
        int goneTold = 0;
        std::size_t bytesWhenTold = 0;
        comm.OnRxChar = [&](std::int32_t n) {
            for (std::int32_t i = 0; i < n; ++i) {
                std::uint8_t b;
                if (comm.ReadChar(b)) got.push_back(b);
            }
        };
        comm.OnGone = [&] {
            ++goneTold;
            bytesWhenTold = got.size();
        };
        comm.Open();
        pty.send({1, 2, 3});
        ASSERT_TRUE(pumpUntil([&] { return got.size() == 3; }));
        pty.closeMaster();
        ASSERT_TRUE(pumpUntil([&] { return goneTold > 0; }));
        EXPECT_TRUE(device->gone());
        EXPECT_EQ(bytesWhenTold, 3u) << "bytes received before the hang-up come first";

        const std::int64_t cpuBefore = processCpuUs();
        pumpFor(300);
        EXPECT_LT(processCpuUs() - cpuBefore, 100000) << "something spins after the hang-up";

        EXPECT_EQ(goneTold, 1);
        std::uint8_t b;
        EXPECT_FALSE(comm.ReadChar(b));
        EXPECT_EQ(comm.InQueCount(), 0);
        EXPECT_NO_THROW(comm.PurgeRead());
        comm.Close();
        EXPECT_FALSE(comm.Active());
    }

    // Openings and closings one after the other while the far end keeps sending (line errors
    // among the bytes) and reading; every seventh opening is closed and opened again from inside
    // its own event. Nothing of one opening may reach the handlers of another or a closed port.
    void checkOpeningsUnderTraffic(TVaComm& comm, int rounds) {
        int opening = 0, delivered = 0, stale = 0;
        auto check = [&](int seenIn) {
            if (!comm.Active() || seenIn != opening) ++stale;
            ++delivered;
        };
        std::function<void()> bindHandlers = [&] {
            const int now = opening;
            comm.OnRxChar = [&, now](std::int32_t n) {
                check(now);
                std::uint8_t buf[512];
                comm.ReadBuf(buf, std::min<std::int32_t>(n, 512));
                if (now % 7 != 0) return;
                comm.Close();
                ++opening;
                bindHandlers();
                comm.Open();
                comm.WriteChar(0x55);
            };
            comm.OnTxEmpty = [&, now] { check(now); };
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
        for (int i = 0; i < rounds; ++i) {
            ++opening;
            bindHandlers();
            comm.Open();
            comm.WriteChar(static_cast<std::uint8_t>(i));
            serve(std::chrono::milliseconds(i % 10 == 0 ? 2 : 0));
            if (i % 3 == 0) comm.PurgeRead();
            comm.Close();
            serve(std::chrono::milliseconds(0));
        }
        stop = true;
        far.join();
        comm.OnRxChar = nullptr;
        comm.OnTxEmpty = nullptr;
        EXPECT_EQ(stale, 0);
        EXPECT_GT(delivered, 0);
    }

    static std::int64_t processCpuUs() {
        timespec ts{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return std::int64_t{ts.tv_sec} * 1000000 + ts.tv_nsec / 1000;
    }

    Pty pty;
    platform::PumpedHandOver handOver;
    std::shared_ptr<PosixDevice> device;
    std::filesystem::path dir_, oldDir_;
};

}  // namespace serial::testing
