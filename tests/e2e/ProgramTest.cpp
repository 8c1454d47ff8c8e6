// The real kvt3 (offscreen) against kvt3-sim on a pseudo-terminal, in real time: the program
// connects by itself, reads the box's configuration and then reads positions over and over. On
// an X server that goes away it still keeps the run's settings.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/Session.h"
#include "tests/e2e/SimTrace.h"

namespace {

using namespace std::chrono_literals;

struct BoxCase {
    const char* name;
    std::vector<std::string> simOptions;
    std::vector<std::uint8_t> configuration;     // the requests before the first position reading
    std::vector<std::uint8_t> acknowledgements;  // the host's answer to one position reply
};

void PrintTo(const BoxCase& box, std::ostream* out) {
    *out << box.name;
}

class Program : public ::testing::TestWithParam<BoxCase> {};

TEST_P(Program, ConnectsReadsConfigurationThenPositionsAndEndsCleanlyOnSigterm) {
    const BoxCase& box = GetParam();
    e2e::Session session;
    std::vector<std::string> simArgs = {"--trace", "--stats"};
    simArgs.insert(simArgs.end(), box.simOptions.begin(), box.simOptions.end());
    ASSERT_NO_FATAL_FAILURE(session.startBox(simArgs));
    session.startProgram();
    ASSERT_NO_FATAL_FAILURE(session.keepRunning(3s));
    ASSERT_NO_FATAL_FAILURE(session.endProgramThenBox());

    const std::string log = session.boxLog();
    EXPECT_GT(e2e::totalReadingsPerSecond(log), 0) << e2e::tailOf(log);

    const std::vector<e2e::TraceRequest> requests = e2e::requestsFromTrace(log);
    ASSERT_GT(requests.size(), box.configuration.size() + 2);
    for (std::size_t i = 0; i < box.configuration.size(); ++i) {
        EXPECT_EQ(requests[i].command, box.configuration[i]) << "request " << i + 1;
    }
    // Every position reading that the next request followed was acknowledged byte by byte.
    int readings = 0;
    for (std::size_t i = box.configuration.size(); i + 1 < requests.size(); ++i) {
        ASSERT_EQ(requests[i].command, 0xE1) << "request " << i + 1;
        EXPECT_EQ(requests[i].hostBytes, box.acknowledgements) << "request " << i + 1;
        ++readings;
    }
    EXPECT_GT(readings, 10);

    // Closing wrote the settings file.
    EXPECT_TRUE(std::filesystem::exists(session.file("params.kv3")));
}

using e2e::threeAxisAcknowledgements;
using e2e::twoAxisAcknowledgements;

INSTANTIATE_TEST_SUITE_P(
    Boxes, Program,
    ::testing::Values(
        BoxCase{"kind1", {}, {0xE9, 0xE5, 0xE6, 0xE8, 0xE7}, threeAxisAcknowledgements},
        BoxCase{"kind3", {"--kind", "3"}, {0xE9, 0xE5, 0xE6, 0xE7, 0xE4}, twoAxisAcknowledgements}),
    [](const ::testing::TestParamInfo<BoxCase>& p) { return std::string(p.param.name); });

// Polls `done` until it holds or the time is up; whether it held.
template <typename Done>
bool within(std::chrono::milliseconds timeout, Done done) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// The display number an X server started with "-displayfd 1" wrote among its output, once it
// listens; empty while it has not.
std::string displayNumber(const std::string& output) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const bool digits =
            std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (digits && !line.empty()) return line;
    }
    return {};
}

// The X server under the window goes away (the session ended): Qt ends the program at once
// through exit(), the window never closes, and still the run's settings are written.
TEST(ProgramOnX11, TheDisplayGoingAwayStillWritesTheSettings) {
    const char* const xvfbPath = "/usr/bin/Xvfb";
    if (::access(xvfbPath, X_OK) != 0) GTEST_SKIP() << "no Xvfb to show the window on";
    e2e::Session session;
    // Port COM2 and relative mode, kept; offsets that the link start sets to 0: the file left
    // as it was would still hold them.
    std::ofstream(session.file("params.kv3"), std::ios::binary) << "2\r\n7.5\r\n-1\r\n2\r\n0\r\n";
    ASSERT_NO_FATAL_FAILURE(session.startBox({"--trace", "--port", "COM2"}, "COM2"));
    e2e::Process xvfb(xvfbPath, {"-displayfd", "1", "-nolisten", "tcp"}, session.directory(),
                      session.file("xvfb.log"));
    std::string display;
    ASSERT_TRUE(within(10s, [&] {
        display = displayNumber(e2e::readFile(session.file("xvfb.log")));
        return !display.empty();
    })) << e2e::readFile(session.file("xvfb.log"));

    session.startProgram({}, {"QT_QPA_PLATFORM=xcb", "DISPLAY=:" + display});
    // Reading positions: the window is shown, the settings read and the link started.
    ASSERT_TRUE(within(15s,
                       [&] {
                           const auto requests = e2e::requestsFromTrace(session.boxLog());
                           return std::any_of(
                               requests.begin(), requests.end(),
                               [](const e2e::TraceRequest& r) { return r.command == 0xE1; });
                       }))
        << e2e::readFile(session.file("kvt3.log")) << e2e::tailOf(session.boxLog());

    xvfb.signal(SIGKILL);
    int status = 0;
    ASSERT_TRUE(session.program().waitFor(10s, status)) << "kvt3 outlived its display";
    EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(e2e::readFile(session.file("params.kv3")), "2\r\n0\r\n0\r\n0\r\n0\r\n")
        << e2e::readFile(session.file("kvt3.log"));
    ASSERT_NO_FATAL_FAILURE(session.endBox());
}

}  // namespace
