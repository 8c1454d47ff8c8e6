// kvt3-sim's server on a real pseudo-terminal, in this process: the link, a host that closes and
// reopens its port, pacing, and a box that disappears. Real time, kept short.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "sim/Box.h"
#include "sim/PtyServer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A bare host: the port opened exclusive and raw, bytes with a deadline.
class Host {
public:
    explicit Host(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return;
        ioctl(fd_, TIOCEXCL);
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~Host() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool open() const { return fd_ >= 0; }
    void put(std::uint8_t b) const { ASSERT_EQ(::write(fd_, &b, 1), 1); }
    // One byte within timeoutMs; -1 on time-out, -2 when the line hung up.
    int get(int timeoutMs = 500) const {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return -1;
        std::uint8_t b = 0;
        if (::read(fd_, &b, 1) != 1) return -2;
        return b;
    }

private:
    int fd_ = -1;
};

class PtyServerTest : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("kvt3-pty-" + std::to_string(::getpid()));
    int stop = eventfd(0, EFD_CLOEXEC);
    int push = -1;
    std::unique_ptr<sim::Box> box;
    std::unique_ptr<sim::PtyServer> server;
    std::thread thread;

    PtyServerTest() { fs::create_directories(dir); }
    ~PtyServerTest() override {
        finish();
        ::close(stop);
        if (push >= 0) ::close(push);
        fs::remove_all(dir);
    }

    // With statsOut, --stats goes there.
    void serve(const sim::SimConfig& config, bool paced = false, std::FILE* statsOut = nullptr) {
        box = std::make_unique<sim::Box>(config, sim::monotonicUs());
        sim::ServeOptions options;
        options.dir = dir.string();
        options.paced = paced;
        options.stopFd = stop;
        options.pushFd = push;
        if (statsOut) {
            options.stats = true;
            options.out = statsOut;
        }
        server = std::make_unique<sim::PtyServer>(*box, options);
        server->start();
        thread = std::thread([this] { server->run(); });
    }
    void finish() {
        if (!thread.joinable()) return;
        const std::uint64_t one = 1;
        ASSERT_EQ(::write(stop, &one, sizeof one), 8);
        thread.join();
        server.reset();
    }
    std::string link() const { return (dir / "COM1").string(); }

    static sim::SimConfig box4() {
        sim::SimConfig c;
        sim::changeKind(c.settings, 4);
        c.motion[0].start = 258;
        return c;
    }
};

TEST_F(PtyServerTest, TheLinkPointsToTheTerminalWhileServingOnly) {
    // A link left behind by an earlier run is replaced.
    fs::create_symlink("/dev/null", link());
    serve(box4());
    EXPECT_EQ(fs::read_symlink(link()).string(), server->terminalPath());
    finish();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link())));
}

TEST_F(PtyServerTest, AFileInTheWayIsNotReplaced) {
    std::ofstream(link()) << "mine";
    sim::Box b(box4());
    sim::ServeOptions options;
    options.dir = dir.string();
    sim::PtyServer s(b, options);
    EXPECT_THROW(s.start(), std::runtime_error);
    std::ifstream in(link());
    std::string content;
    in >> content;
    EXPECT_EQ(content, "mine");
}

TEST_F(PtyServerTest, TheLinksDirectoryIsMadeWhenMissingOrNamedWhenItCannotBe) {
    // A file where a directory of the path should be: nobody, root included, can make it.
    std::ofstream(dir / "file") << "in the way";
    struct Case {
        fs::path linkDir;
        bool serves;
    };
    const Case cases[] = {
        {dir / "not" / "yet", true},
        {dir / "file" / "kvt3", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.linkDir);
        sim::Box b(box4());
        sim::ServeOptions options;
        options.dir = c.linkDir.string();
        sim::PtyServer s(b, options);
        if (c.serves) {
            s.start();
            EXPECT_EQ(fs::read_symlink(c.linkDir / "COM1").string(), s.terminalPath());
            continue;
        }
        try {
            s.start();
            ADD_FAILURE() << "started";
        } catch (const std::runtime_error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.linkDir.string()), std::string::npos) << message;
            EXPECT_EQ(message.find(".kvt3-sim."), std::string::npos) << message;
        }
    }
}

TEST_F(PtyServerTest, TheHostMayCloseAndReopenItsPortAsOftenAsItLikes) {
    serve(box4());
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        Host host(link());
        ASSERT_TRUE(host.open()) << std::strerror(errno);
        host.put(0xE9);
        EXPECT_EQ(host.get(), 0x30);
        // The host's exclusive flag does not outlive its use of the line (a plain user could not
        // open the port again otherwise).
        int exclusive = -1;
        const int probe = ::open(link().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(probe, 0);
        ASSERT_EQ(ioctl(probe, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0);
        ::close(probe);
    }
}

TEST_F(PtyServerTest, APacedReadingTakesTheLineTimeOfItsTwentyFourBytes) {
    serve(box4(), true);
    Host host(link());
    ASSERT_TRUE(host.open());
    const auto start = std::chrono::steady_clock::now();
    host.put(0xE1);
    Bytes reply;
    for (int k = 0; k < 12; ++k) {
        const int b = host.get();
        ASSERT_GE(b, 0) << "byte " << k;
        reply.push_back(static_cast<std::uint8_t>(b));
        if (k < 11) host.put(k == 3 ? 0xE2 : k == 7 ? 0xE3 : 0xE0);
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(reply, (Bytes{0x02, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // Command, twelve reply bytes and eleven acknowledgements, 1.146 ms each.
    EXPECT_GE(took, std::chrono::microseconds(24 * sim::ByteUs9600));
}

TEST_F(PtyServerTest, ADisconnectedBoxHangsUpAndComesBackUnderTheSameLink) {
    sim::SimConfig config = box4();
    config.faults.disconnect = {2, 0};
    config.faults.disconnectForUs = 300000;
    serve(config);
    {
        Host host(link());
        ASSERT_TRUE(host.open());
        host.put(0xE9);
        EXPECT_EQ(host.get(), 0x30);
        host.put(0xE9);
        // The line hangs up: a read fails (or nothing comes).
        EXPECT_LT(host.get(), 0);
    }
    // Meanwhile the port keeps its name and cannot be opened, as an unplugged adapter's.
    std::error_code ec;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link(), ec)));
    EXPECT_LT(::open(link().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC), 0);
    EXPECT_EQ(errno, ENOENT);
    // Back within a second, on a new terminal; the box answers again.
    for (int i = 0; i < 100 && !fs::exists(link()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Host again(link());
    ASSERT_TRUE(again.open());
    again.put(0xE9);
    EXPECT_EQ(again.get(), 0x30);
}

TEST_F(PtyServerTest, TheStatisticsTellEachFaultAndCountThemAtTheEnd) {
    sim::SimConfig config = box4();
    config.faults.late = {2, 2};
    config.faults.lateByUs = 1000;
    config.faults.garbage = {3, 0};
    config.faults.garbageBytes = 1;
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    serve(config, false, out);
    {
        Host host(link());
        ASSERT_TRUE(host.open());
        // A whole reading first, then three readiness requests.
        host.put(0xE1);
        for (int k = 0; k < 12; ++k) {
            ASSERT_GE(host.get(), 0) << "byte " << k;
            if (k < 11) host.put(k == 3 ? 0xE2 : k == 7 ? 0xE3 : 0xE0);
        }
        for (int request = 2; request <= 4; ++request) {
            host.put(0xE9);
            EXPECT_GE(host.get(), 0) << request;
        }
    }
    finish();
    std::string text(4096, '\0');
    std::rewind(out);
    text.resize(std::fread(text.data(), 1, text.size(), out));
    std::fclose(out);
    const std::size_t late2 =
        text.find("fault: late at request 2 (E9 CheckReady) after 1 readings, ");
    const std::size_t garbage3 =
        text.find("fault: garbage at request 3 (E9 CheckReady) after 1 readings, ");
    const std::size_t late4 =
        text.find("fault: late at request 4 (E9 CheckReady) after 1 readings, ");
    const std::size_t total = text.find("total: ");
    ASSERT_NE(late2, std::string::npos) << text;
    EXPECT_LT(late2, garbage3) << text;
    EXPECT_LT(garbage3, late4) << text;
    EXPECT_LT(late4, total) << text;
    EXPECT_NE(text.find("; faults made: 2 late, 1 garbage", total), std::string::npos) << text;
}

// A whole position reading: three axes' counts, four bytes each, lowest first.
std::vector<std::int32_t> readCounts(const Host& host) {
    host.put(0xE1);
    Bytes reply;
    for (int k = 0; k < 12; ++k) {
        const int b = host.get();
        if (b < 0) return {};
        reply.push_back(static_cast<std::uint8_t>(b));
        if (k < 11) host.put(k == 3 ? 0xE2 : k == 7 ? 0xE3 : 0xE0);
    }
    std::vector<std::int32_t> counts;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i) v |= std::uint32_t{reply[axis * 4 + i]} << (8 * i);
        counts.push_back(static_cast<std::int32_t>(v));
    }
    return counts;
}

TEST_F(PtyServerTest, EachSignalOnThePushDescriptorMovesEveryAxisOnOnce) {
    // Blocked before the server's thread starts, so only the descriptor takes the signal.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGUSR1);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &set, nullptr), 0);
    push = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    ASSERT_GE(push, 0);
    sim::SimConfig config = box4();
    config.motion[2].start = -5;
    serve(config);
    Host host(link());
    ASSERT_TRUE(host.open());
    ASSERT_EQ(readCounts(host), (std::vector<std::int32_t>{258, 0, -5}));
    for (int n = 1; n <= 2; ++n) {
        ASSERT_EQ(::kill(::getpid(), SIGUSR1), 0);
        const std::vector<std::int32_t> moved{258 + n * 1000, n * 1000, -5 + n * 1000};
        std::vector<std::int32_t> counts;
        for (int i = 0; i < 100 && (counts = readCounts(host)) != moved; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(counts, moved) << "after signal " << n;
    }
}

}  // namespace
