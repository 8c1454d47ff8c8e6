// One byte there and back on a pseudo-terminal: through the port (write, event thread,
// hand-over to the main thread, read) against a plain blocking loop on the same terminal. The far
// end is an echo thread on the master side. Prints microseconds per round trip for both.
//   serial_roundtrip [round trips] [port|plain]   (default: both)
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <thread>

#include "platform/HandOver.h"
#include "serial/PosixDevice.h"
#include "serial/VaComm.h"
#include "platform/AllocationCount.h"

#ifdef KVT3_BENCH_QT
#include <QCoreApplication>
#include <QEventLoop>

#include "platform/HandOverQt.h"
#endif

// Every allocation of the process is counted, to see that the per-byte path makes none.

namespace {

using Clock = std::chrono::steady_clock;

struct Result {
    double us;         // per round trip
    long allocations;  // during all round trips
};

class EchoPty {
public:
    EchoPty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) std::exit(2);
        termios t{};
        ::tcgetattr(master_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(master_, TCSANOW, &t);
        slave_ = ::ptsname(master_);
        echo_ = std::thread([this] { run(); });
    }
    ~EchoPty() {
        stop_ = true;
        echo_.join();
        ::close(master_);
    }
    const std::string& slave() const { return slave_; }

private:
    void run() {
        std::uint8_t buf[64];
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) (void)!::write(master_, buf, static_cast<std::size_t>(n));
        }
    }
    int master_ = -1;
    std::string slave_;
    std::thread echo_;
    std::atomic<bool> stop_{false};
};

// Round trips through the port; wait() serves the hand-over until a byte came back.
Result throughPort(const std::string& path, platform::HandOver& handOver, int rounds,
                   const std::function<void(const bool&)>& wait) {
    serial::TVaComm comm{std::make_shared<serial::PosixDevice>(&handOver)};
    comm.SetParity(serial::TVaParity::paOdd);
    comm.SetDeviceName(path);
    comm.SetBaudrate(serial::TVaBaudrate::br9600);
    comm.SetParityCheck(true);
    comm.SetDirectWrite(true);
    struct State {
        serial::TVaComm& comm;
        bool back = false;
        std::uint8_t expected = 0;
        int empties = 0;
    } st{comm};
    // One pointer captured, as a handler bound to its object captures it: no allocation when
    // the port copies the handler to call it.
    comm.OnRxChar = [s = &st](std::int32_t n) {
        for (std::int32_t i = 0; i < n; ++i) {
            std::uint8_t b;
            if (s->comm.ReadChar(b) && b == s->expected) s->back = true;
        }
    };
    comm.OnTxEmpty = [s = &st] { ++s->empties; };
    comm.Open();
    const long allocationsBefore = platform::allocationCount();
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        st.expected = static_cast<std::uint8_t>(i & 0x7F);
        st.back = false;
        comm.WriteChar(st.expected);
        wait(st.back);
    }
    const auto us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    const long allocations = platform::allocationCount() - allocationsBefore;
    comm.Close();
    return {us / rounds, allocations};
}

double plainLoop(const std::string& path, int rounds) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) std::exit(3);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &t);
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        std::uint8_t b = static_cast<std::uint8_t>(i & 0x7F);
        if (::write(fd, &b, 1) != 1 || ::read(fd, &b, 1) != 1) std::exit(4);
    }
    const auto us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    ::close(fd);
    return us / rounds;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20000;
    const std::string only = argc > 2 ? argv[2] : "";
    if (rounds <= 0) return 1;
    EchoPty pty;
    std::printf("round trips: %d\n", rounds);
    if (only != "plain") {
        platform::PumpedHandOver pumped;
        const Result port = throughPort(pty.slave(), pumped, rounds, [&](const bool& back) {
            while (!back) pumped.waitAndRun(std::chrono::milliseconds(1000));
        });
        std::printf("port, plain C++ hand-over:     %8.2f us  (%ld allocations in all)\n", port.us,
                    port.allocations);
#ifdef KVT3_BENCH_QT
        QCoreApplication app(argc, argv);
        platform::HandOverQt qt;
        const Result viaQt = throughPort(pty.slave(), qt, rounds, [](const bool& back) {
            while (!back) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        });
        // Qt's queued call allocates its event: the program's hand-over cannot avoid that.
        std::printf("port, Qt event-loop hand-over: %8.2f us  (%ld allocations in all)\n", viaQt.us,
                    viaQt.allocations);
#endif
    }
    if (only != "port")
        std::printf("plain blocking loop:           %8.2f us\n", plainLoop(pty.slave(), rounds));
    return 0;
}
