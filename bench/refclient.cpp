// kvt3-refclient: the smallest host that reads positions, as a yardstick for the program.
//
// It opens the port as the program does (exclusive, raw, 9600 8O1, parity marks), asks for the
// device kind, works out the axes, and then reads positions in a loop with the byte-by-byte
// acknowledgements, blocking on the line with nothing else to do. It prints the readings per
// second, every second and at the end.
//
//   kvt3-refclient [--port COM1] [--seconds 5] [--axes N] [--quiet]
//
// Exit status: 0 when at least one reading came, 1 when none did, 2 on a usage or open error.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

std::int64_t nowUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// COMn is the entry of that name in the working directory when there is one, else /dev/ttyS(n-1);
// a name with a '/' is a path.
std::string devicePath(const std::string& port) {
    if (port.find('/') != std::string::npos) return port;
    if (access(port.c_str(), F_OK) == 0) return "./" + port;
    if (port.size() == 4 && port.compare(0, 3, "COM") == 0 && port[3] >= '1' && port[3] <= '9')
        return "/dev/ttyS" + std::string(1, static_cast<char>(port[3] - 1));
    return port;
}

int openPort(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    termios t{};
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0 || tcgetattr(fd, &t) != 0) {
        const int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    // Raw first, then the line: a pseudo-terminal drops PARENB, and glibc reports EINVAL when
    // that is all a tcsetattr would change, as it is when the port is opened a second time.
    cfmakeraw(&t);
    bool ok = tcsetattr(fd, TCSANOW, &t) == 0;
    t.c_cflag |= CS8 | PARENB | PARODD | CREAD | CLOCAL;
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS);
    t.c_iflag |= INPCK | PARMRK;
    t.c_iflag &= ~static_cast<tcflag_t>(IGNPAR | ISTRIP | IXON | IXOFF);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    ok = ok && tcsetattr(fd, TCSANOW, &t) == 0;
    if (!ok) {
        const int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    tcflush(fd, TCIOFLUSH);
    return fd;
}

// The line with parity marks taken apart: FF FF is the data byte FF, FF 00 x the byte x received
// with a line error.
class Line {
public:
    explicit Line(int fd) : fd_(fd) {}

    // One data byte within timeoutMs; false on time-out or a dead line.
    bool get(std::uint8_t& b, int timeoutMs) {
        const std::int64_t deadline = nowUs() + timeoutMs * 1000LL;
        for (;;) {
            std::uint8_t raw = 0;
            if (!raw_(raw, deadline)) return false;
            if (raw != 0xFF) return b = raw, true;
            std::uint8_t next = 0;
            if (!raw_(next, deadline)) return false;
            if (next == 0xFF) return b = 0xFF, true;
            std::uint8_t marked = 0;
            if (!raw_(marked, deadline)) return false;
            ++lineErrors;
            return b = marked, true;
        }
    }

    bool put(std::uint8_t b) { return write(fd_, &b, 1) == 1; }
    void flush() {
        tcflush(fd_, TCIOFLUSH);
        count_ = pos_ = 0;
    }

    long lineErrors = 0;

private:
    bool raw_(std::uint8_t& b, std::int64_t deadlineUs) {
        while (pos_ == count_) {
            const std::int64_t left = deadlineUs - nowUs();
            if (left <= 0) return false;
            pollfd p{fd_, POLLIN, 0};
            const int r = poll(&p, 1, static_cast<int>((left + 999) / 1000));
            if (r < 0 && errno != EINTR) return false;
            if (r <= 0) continue;
            if (p.revents & (POLLHUP | POLLERR | POLLNVAL) && !(p.revents & POLLIN)) return false;
            const ssize_t n = read(fd_, buffer_, sizeof buffer_);
            if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
            if (n > 0) count_ = static_cast<std::size_t>(n), pos_ = 0;
        }
        b = buffer_[pos_++];
        return true;
    }

    int fd_;
    std::uint8_t buffer_[256];
    std::size_t count_ = 0, pos_ = 0;
};

// The reply timeout of the program's readout cycle.
constexpr int ReplyTimeoutMs = 1200;

int kindFromReadiness(std::uint8_t b) {
    if (b >= 0x10 && b <= 0x3F) return b / 16 + 1;
    return b == 0xE0 ? 1 : 0;
}

// Counters of one position reply, acknowledged E0, with E2 after the 4th and E3 after the 8th.
bool readPositions(Line& line, int axes, std::int32_t counts[3]) {
    if (!line.put(0xE1)) return false;
    std::uint8_t reply[12] = {};
    const int length = 4 * axes;
    for (int k = 0; k < length; ++k) {
        if (!line.get(reply[k], ReplyTimeoutMs)) return false;
        if (k + 1 < length && !line.put(k == 3 ? 0xE2 : k == 7 ? 0xE3 : 0xE0)) return false;
    }
    for (int axis = 0; axis < 3; ++axis) {
        std::uint32_t u = 0;
        for (int k = 3; k >= 0; --k) u = u << 8 | reply[4 * axis + k];
        counts[axis] = axis < axes ? static_cast<std::int32_t>(u) : 0;
    }
    return true;
}

int axesOfBox(Line& line, int kind) {
    if (kind >= 2) return kind - 1;
    // Kind 1: the resolution codes tell; the program looks at Z first, then Y.
    std::uint8_t codes[3] = {};
    if (!line.put(0xE6)) return 0;
    for (std::uint8_t& c : codes)
        if (!line.get(c, ReplyTimeoutMs)) return 0;
    if (codes[1] == 0) return 1;
    return codes[2] == 0 ? 2 : 3;
}

}  // namespace

int main(int argc, char** argv) {
    std::string port = "COM1";
    double seconds = 5;
    int axes = 0;
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port" && hasValue) {
            port = argv[++i];
        } else if (arg == "--seconds" && hasValue) {
            seconds = std::atof(argv[++i]);
        } else if (arg == "--axes" && hasValue) {
            axes = std::atoi(argv[++i]);
        } else if (arg == "--quiet") {
            quiet = true;
        } else {
            std::fprintf(stderr,
                         "usage: kvt3-refclient [--port COM1] [--seconds 5] [--axes 1..3] "
                         "[--quiet]\n");
            return 2;
        }
    }
    const std::string path = devicePath(port);
    const int fd = openPort(path);
    if (fd < 0) {
        std::fprintf(stderr, "kvt3-refclient: %s: %s\n", path.c_str(), std::strerror(errno));
        return 2;
    }
    Line line(fd);
    std::uint8_t readiness = 0;
    if (!line.put(0xE9) || !line.get(readiness, ReplyTimeoutMs)) {
        std::fprintf(stderr, "kvt3-refclient: no readiness byte\n");
        return 1;
    }
    const int kind = kindFromReadiness(readiness);
    if (axes < 1 || axes > 3) axes = axesOfBox(line, kind);
    if (kind == 0 || axes == 0) {
        std::fprintf(stderr, "kvt3-refclient: no usable box (readiness %02X)\n", readiness);
        return 1;
    }
    std::printf("kind %d, %d axes\n", kind, axes);

    const std::int64_t start = nowUs();
    const auto end = start + static_cast<std::int64_t>(seconds * 1e6);
    std::int64_t secondStart = start;
    long total = 0, inSecond = 0, timeouts = 0;
    std::int32_t first[3] = {}, last[3] = {};
    bool moved = false;
    while (nowUs() < end) {
        std::int32_t counts[3];
        if (!readPositions(line, axes, counts)) {
            ++timeouts;
            line.flush();
            continue;
        }
        if (total == 0) std::memcpy(first, counts, sizeof first);
        for (int axis = 0; axis < axes; ++axis) moved = moved || counts[axis] != first[axis];
        std::memcpy(last, counts, sizeof last);
        ++total;
        ++inSecond;
        const std::int64_t now = nowUs();
        if (now - secondStart >= 1000000) {
            if (!quiet)
                std::printf("%.1f readings/s\n", static_cast<double>(inSecond) * 1e6 /
                                                     static_cast<double>(now - secondStart));
            secondStart = now;
            inSecond = 0;
        }
    }
    const double elapsed = static_cast<double>(nowUs() - start) / 1e6;
    std::printf("first %d %d %d\nlast %d %d %d\n", first[0], first[1], first[2], last[0], last[1],
                last[2]);
    std::printf(
        "total: %ld readings in %.2f s, %.1f readings/s, %ld timeouts, %ld line errors, %s\n",
        total, elapsed, static_cast<double>(total) / elapsed, timeouts, line.lineErrors,
        moved ? "moving" : "still");
    std::fflush(stdout);
    close(fd);
    return total > 0 ? 0 : 1;
}
