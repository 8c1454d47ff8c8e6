#include "sim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include "sim/Text.h"

namespace sim {

namespace {

// A hung-up line is looked at again this much later, instead of polling it in a tight loop.
constexpr std::int64_t HangupBackoffUs = 20000;
// Paced bytes: the thread wakes this much early and waits the rest out awake.
constexpr std::int64_t SpinUs = 80;
// How often the host's exclusive flag is cleared.
constexpr std::int64_t HousekeepingUs = 200000;

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

std::int64_t monotonicUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

PtyServer::PtyServer(Box& box, ServeOptions options)
    : box_(box),
      options_(std::move(options)),
      pacer_(options_.paced ? ByteUs9600 : 0),
      startUs_(monotonicUs()) {
    answer_.reserve(16);
    if (options_.stats) {
        stats_.emplace(startUs_);
        box_.OnFault = [this](std::int64_t us, Fault fault, std::int64_t request,
                              std::uint8_t command) {
            print(stats_->fault(us, fault, request, command));
        };
    }
    box_.OnDisconnect = [this](std::int64_t forUs) { pendingDisconnectUs_ = forUs; };
    if (options_.trace) {
        box_.OnNote = [this](std::int64_t us, const std::string& text) {
            char head[32];
            std::snprintf(head, sizeof head, "%11.6f box      ",
                          static_cast<double>(us - startUs_) / 1e6);
            print(head + text);
        };
    }
}

PtyServer::~PtyServer() {
    unlink();
    closeTerminal();
    if (timer_ >= 0) ::close(timer_);
    box_.OnDisconnect = nullptr;
    box_.OnNote = nullptr;
    box_.OnFault = nullptr;
}

std::string PtyServer::linkPath() const {
    return options_.dir + "/" + options_.port;
}

void PtyServer::print(const std::string& line) {
    std::fprintf(options_.out, "%s\n", line.c_str());
    std::fflush(options_.out);
}

void PtyServer::start() {
    // Wake-ups to the microsecond: the default slack of 50 us would eat the pacing's accuracy.
    prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);
    timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    if (timer_ < 0) throw systemError("timerfd_create");
    makeDirectory();
    openTerminal();
    link(terminalPath_);
    housekeepingAtUs_ = nowUs() + HousekeepingUs;
    statsAtUs_ = startUs_ + 1000000;
}

void PtyServer::openTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) throw systemError("posix_openpt");
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        const auto error = systemError("pseudo-terminal");
        closeTerminal();
        throw error;
    }
    terminalPath_ = name;
    // Our own descriptor of the host's side: while it is open, the host closing its port does not
    // hang the line up, and through it the host's exclusive flag can be cleared (below).
    ownSide_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (ownSide_ < 0) {
        const auto error = systemError(std::string("open ") + name);
        closeTerminal();
        throw error;
    }
    termios t{};
    if (tcgetattr(ownSide_, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(ownSide_, TCSANOW, &t);
    }
    pacer_.reset();
}

void PtyServer::closeTerminal() {
    if (ownSide_ >= 0) ::close(ownSide_);
    if (master_ >= 0) ::close(master_);
    ownSide_ = master_ = -1;
    toBox_.clear();
    toHost_.clear();
}

void PtyServer::makeDirectory() const {
    // The folder the host will work in may not exist before the host's first start (the
    // desktop's per-user directory): it is made here, as mkdir -p makes it.
    std::error_code error;
    std::filesystem::create_directories(options_.dir, error);
    if (error)
        throw std::runtime_error("cannot make the directory " + options_.dir + ": " +
                                 error.message());
}

void PtyServer::link(const std::string& target) {
    const std::string path = linkPath();
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
        throw std::runtime_error(path + " exists and is not a link; not replaced");
    // A link left by an earlier run is replaced in one step, so the host never finds none.
    const std::string temporary = path + ".kvt3-sim." + std::to_string(getpid());
    ::unlink(temporary.c_str());
    // Failures name the directory and the link the operator asked for, not the temporary name.
    const std::string failure =
        "cannot link " + options_.port + " in the directory " + options_.dir;
    if (symlink(target.c_str(), temporary.c_str()) != 0) throw systemError(failure);
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        const auto error = systemError(failure);
        ::unlink(temporary.c_str());
        throw error;
    }
    linkTarget_ = target;
}

void PtyServer::unlink() {
    if (linkTarget_.empty()) return;
    const std::string path = linkPath();
    char target[256];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == linkTarget_)
        ::unlink(path.c_str());
    linkTarget_.clear();
}

void PtyServer::traceByte(std::int64_t us, const char* direction, std::uint8_t byte) {
    char line[48];
    std::snprintf(line, sizeof line, "%11.6f %s %s", static_cast<double>(us - startUs_) / 1e6,
                  direction, text::hexByte(byte).c_str());
    print(line);
}

void PtyServer::readHost() {
    std::uint8_t buffer[256];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    const std::int64_t now = nowUs();
    if (n <= 0) {
        // EIO: nobody has the host's side open (cannot last while ours is). Look again later.
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) hangupUntilUs_ = now + HangupBackoffUs;
        return;
    }
    for (ssize_t i = 0; i < n; ++i) {
        if (options_.trace) traceByte(now, "host>box", buffer[i]);
        toBox_.push_back({pacer_.hostByteArrives(now), now, buffer[i]});
    }
    // The host sets the line exclusive; with our descriptor holding the terminal the flag would
    // outlast the host's close and refuse its reopening (EBUSY to anyone but root). The host's
    // own lock still keeps a second host out.
    ioctl(ownSide_, TIOCNXCL);
}

void PtyServer::deliverToBox(std::int64_t now) {
    while (!toBox_.empty() && toBox_.front().arrivesUs <= now) {
        const ToBox b = toBox_.front();
        toBox_.pop_front();
        answer_.clear();
        const HostByteRole role = box_.hostByte(b.byte, b.arrivesUs, answer_);
        if (stats_ && role == HostByteRole::Acknowledge)
            stats_->turnaround(b.readUs - lastWriteUs_);
        pacer_.schedule(answer_, b.arrivesUs, [this](std::int64_t arrivesUs, const Emission& e) {
            toHost_.push_back({arrivesUs, e});
        });
        if (pendingDisconnectUs_ > 0) {
            const std::int64_t forUs = pendingDisconnectUs_;
            pendingDisconnectUs_ = 0;
            // Gone like an unplugged adapter: the host's port hangs up, and the link stays but
            // leads nowhere, as the host's link to an adapter's by-id name does once the adapter
            // has gone; the host finds its port's name and cannot open it. Not the old
            // terminal's path: its number may go to another terminal meanwhile.
            const std::string gone = terminalPath_ + ".gone";
            closeTerminal();
            link(gone);
            reconnectAtUs_ = now + forUs;
            return;
        }
    }
}

void PtyServer::writeDue(std::int64_t now) {
    std::uint8_t buffer[256];
    std::size_t n = 0;
    while (!toHost_.empty() && toHost_.front().arrivesUs <= now && n < sizeof buffer) {
        const ToHost& h = toHost_.front();
        buffer[n++] = h.emission.byte;
        if (stats_) {
            if (h.emission.completesReading) stats_->reading();
            if (options_.paced) stats_->lateness(now - h.arrivesUs);
        }
        toHost_.pop_front();
    }
    if (n == 0) return;
    const ssize_t written = ::write(master_, buffer, n);
    lastWriteUs_ = nowUs();
    if (options_.trace) {
        for (std::size_t i = 0; i < n; ++i) traceByte(lastWriteUs_, "box>host", buffer[i]);
        // Nobody reads the line (or it is full): the bytes are lost, as on a real line.
        if (written != static_cast<ssize_t>(n))
            print("             box      " + std::to_string(n - std::max<ssize_t>(written, 0)) +
                  " bytes lost: " + std::strerror(errno));
    }
}

void PtyServer::housekeeping(std::int64_t now) {
    if (now >= housekeepingAtUs_) {
        housekeepingAtUs_ = now + HousekeepingUs;
        // The host may have closed its port without a word since it set the flag.
        if (ownSide_ >= 0) ioctl(ownSide_, TIOCNXCL);
    }
    if (reconnectAtUs_ >= 0 && now >= reconnectAtUs_) {
        reconnectAtUs_ = -1;
        try {
            openTerminal();
            link(terminalPath_);
            if (options_.trace) print("             box      connected again on " + terminalPath_);
        } catch (const std::exception& e) {
            print(std::string("kvt3-sim: reconnect failed: ") + e.what());
            reconnectAtUs_ = now + 1000000;
        }
    }
    if (stats_ && now >= statsAtUs_) {
        statsAtUs_ += 1000000;
        print(stats_->period(now));
    }
}

std::int64_t PtyServer::nextWakeUs() const {
    std::int64_t next = housekeepingAtUs_;
    if (!toBox_.empty()) next = std::min(next, toBox_.front().arrivesUs);
    if (!toHost_.empty()) next = std::min(next, toHost_.front().arrivesUs);
    if (reconnectAtUs_ >= 0) next = std::min(next, reconnectAtUs_);
    if (hangupUntilUs_ > 0) next = std::min(next, hangupUntilUs_);
    if (stats_) next = std::min(next, statsAtUs_);
    return next;
}

void PtyServer::armTimer(std::int64_t atUs) {
    itimerspec wake{};
    // CLOCK_MONOTONIC in microseconds is our clock; 0 would disarm, so wake at least at 1 ns.
    const std::int64_t at = std::max<std::int64_t>(atUs, 0);
    wake.it_value.tv_sec = static_cast<time_t>(at / 1000000);
    wake.it_value.tv_nsec = static_cast<long>(at % 1000000) * 1000 + 1;
    timerfd_settime(timer_, TFD_TIMER_ABSTIME, &wake, nullptr);
}

void PtyServer::spinUntil(std::int64_t atUs) {
    // The last few tens of microseconds are waited out awake: a sleeping thread wakes up to
    // 50 us late, and that would show in every paced byte. The line is still watched meanwhile.
    while (nowUs() < atUs) {
        if (master_ < 0 || hangupUntilUs_ != 0) continue;
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, 0) == 1 && (p.revents & POLLIN)) readHost();
    }
}

void PtyServer::run() {
    const std::int64_t spinUs = options_.paced ? SpinUs : 0;
    for (;;) {
        const std::int64_t now = nowUs();
        if (hangupUntilUs_ > 0 && now >= hangupUntilUs_) hangupUntilUs_ = 0;
        deliverToBox(now);
        if (master_ >= 0) writeDue(now);
        housekeeping(now);
        const std::int64_t next = nextWakeUs();
        if (next - nowUs() <= spinUs) {
            spinUntil(next);
            continue;
        }
        armTimer(next - spinUs);

        pollfd fds[4];
        nfds_t count = 0;
        fds[count++] = {timer_, POLLIN, 0};
        const nfds_t stopIndex = count;
        if (options_.stopFd >= 0) fds[count++] = {options_.stopFd, POLLIN, 0};
        const nfds_t pushIndex = count;
        if (options_.pushFd >= 0) fds[count++] = {options_.pushFd, POLLIN, 0};
        const nfds_t masterIndex = count;
        const bool watchMaster = master_ >= 0 && hangupUntilUs_ == 0;
        if (watchMaster) fds[count++] = {master_, POLLIN, 0};
        if (poll(fds, count, -1) < 0) {
            if (errno == EINTR) continue;
            throw systemError("poll");
        }
        if (options_.stopFd >= 0 && fds[stopIndex].revents) break;
        if (options_.pushFd >= 0 && (fds[pushIndex].revents & POLLIN)) {
            signalfd_siginfo signals[8];
            const ssize_t r = ::read(options_.pushFd, signals, sizeof signals);
            for (ssize_t k = 0; r > 0 && k < r / static_cast<ssize_t>(sizeof signals[0]); ++k)
                box_.push(PushCounts);
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t expirations = 0;
            [[maybe_unused]] ssize_t r = ::read(timer_, &expirations, sizeof expirations);
        }
        if (watchMaster) {
            const short revents = fds[masterIndex].revents;
            if (revents & POLLIN)
                readHost();
            else if (revents & (POLLHUP | POLLERR))
                hangupUntilUs_ = nowUs() + HangupBackoffUs;
        }
    }
    if (stats_) print(stats_->total(nowUs()));
}

}  // namespace sim
