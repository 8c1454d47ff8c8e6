#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sim/Box.h"
#include "sim/LinePacer.h"
#include "sim/Stats.h"

namespace sim {

// Microseconds on CLOCK_MONOTONIC, the clock the server runs on.
std::int64_t monotonicUs();

// How far the box's axes move for each signal on ServeOptions::pushFd, in counts.
constexpr double PushCounts = 1000;

struct ServeOptions {
    // The link to the pseudo-terminal is dir/port, where the host looks for its port.
    std::string dir = ".";
    std::string port = "COM1";
    bool paced = true;
    bool trace = false;
    bool stats = false;
    // Serving ends when this descriptor becomes readable (-1: never).
    int stopFd = -1;
    // A signalfd: each signal it brings moves every axis of the box on by PushCounts (-1: none).
    int pushFd = -1;
    // Where the trace and the statistics go.
    std::FILE* out = stderr;
};

// Serves a Box on a pseudo-terminal linked into the host's working directory. Single-threaded:
// one poll loop takes the host's bytes, hands them to the box when their last bit would have
// arrived, and writes the box's bytes when theirs would, waking at absolute times.
//
// The server holds a descriptor of the terminal's own side open, so the host may close and
// reopen the port as often as it likes without hanging up the line.
class PtyServer {
public:
    PtyServer(Box& box, ServeOptions options);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Makes the link's directory when missing, creates the pseudo-terminal and the link; throws
    // std::runtime_error naming the directory when it cannot.
    void start();
    // Serves until the stop descriptor is readable; prints the totals with --stats.
    void run();

    const std::string& terminalPath() const { return terminalPath_; }
    std::string linkPath() const;
    std::int64_t nowUs() const { return monotonicUs(); }

private:
    struct ToBox {
        std::int64_t arrivesUs;
        std::int64_t readUs;
        std::uint8_t byte;
    };
    struct ToHost {
        std::int64_t arrivesUs;
        Emission emission;
    };

    void openTerminal();
    void closeTerminal();
    // Makes options_.dir with its parents when missing; throws when it cannot.
    void makeDirectory() const;
    // Points the link at target, replacing whatever link is there in one step.
    void link(const std::string& target);
    void unlink();
    void readHost();
    void deliverToBox(std::int64_t nowUs);
    void writeDue(std::int64_t nowUs);
    void housekeeping(std::int64_t nowUs);
    std::int64_t nextWakeUs() const;
    void armTimer(std::int64_t atUs);
    void spinUntil(std::int64_t atUs);
    void traceByte(std::int64_t us, const char* direction, std::uint8_t byte);
    void print(const std::string& line);

    Box& box_;
    ServeOptions options_;
    LinePacer pacer_;
    std::optional<Stats> stats_;
    std::int64_t startUs_;
    int master_ = -1;
    int ownSide_ = -1;
    int timer_ = -1;
    std::string terminalPath_;
    std::string linkTarget_;  // what our link points to, so only our own link is removed
    std::deque<ToBox> toBox_;
    std::deque<ToHost> toHost_;
    std::vector<Emission> answer_;
    std::int64_t lastWriteUs_ = 0;
    std::int64_t hangupUntilUs_ = 0;
    std::int64_t pendingDisconnectUs_ = 0;
    std::int64_t reconnectAtUs_ = -1;
    std::int64_t housekeepingAtUs_ = 0;
    std::int64_t statsAtUs_ = 0;
};

}  // namespace sim
