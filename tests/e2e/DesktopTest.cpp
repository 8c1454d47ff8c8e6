// The installed program's ways in, against kvt3-sim in real time: the command line, a port
// named on it, the per-user working directory of a start from the menu, and the line trace.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/Session.h"
#include "tests/e2e/SimTrace.h"

namespace {

using namespace std::chrono_literals;

struct Outcome {
    int status = -1;
    std::string output;
};

// kvt3 with a display it cannot reach: were a window tried, Qt would abort.
Outcome runNoWindow(const std::vector<std::string>& args) {
    e2e::TempDir dir;
    e2e::Process p(KVT3_PATH, args, dir.path(), dir.file("out.txt"),
                   {"QT_QPA_PLATFORM=xcb", "DISPLAY=:97"});
    Outcome run;
    EXPECT_TRUE(p.waitFor(10s, run.status)) << "kvt3 did not end";
    run.output = e2e::readFile(dir.file("out.txt"));
    return run;
}

TEST(CommandLine, AnswersAndMistakesEndBeforeAnyWindow) {
    struct Case {
        std::vector<std::string> args;
        int exitStatus;
        std::string outputStart;
    };
    const Case cases[] = {
        {{"--version"}, 0, "kvt3 2."},
        {{"--help"}, 0, "Usage: kvt3 [OPTION]..."},
        {{"--bogus"}, 2, "kvt3: unknown option '--bogus'\nTry 'kvt3 --help'"},
        {{"-session", "10d3c2e1a5000170737", "--version"}, 0, "kvt3 2."},
        {{"--port", "COM9"}, 2, "kvt3: option '--port' takes COMn=DEVICE"},
        {{"--trace"}, 2, "kvt3: option '--trace' needs a value"},
        {{"--trace", "/nonexistent-dir/t.txt"}, 1, "kvt3: cannot write the trace"},
    };
    for (const Case& c : cases) {
        const Outcome run = runNoWindow(c.args);
        ASSERT_TRUE(WIFEXITED(run.status)) << c.args[0] << " status " << run.status;
        EXPECT_EQ(WEXITSTATUS(run.status), c.exitStatus) << c.args[0] << "\n" << run.output;
        EXPECT_TRUE(run.output.starts_with(c.outputStart)) << c.args[0] << "\n" << run.output;
    }
}

// A start that cannot go on leaves the trace of the last run as it was.
TEST(CommandLine, AFailedStartKeepsTheOldTrace) {
    e2e::TempDir dir;
    { std::ofstream(dir.file("t.txt")) << "the last run\n"; }
    e2e::Process p(KVT3_PATH, {"--trace", "t.txt", "--dir", "/proc/nope/kvt3"}, dir.path(),
                   dir.file("out.txt"), {"QT_QPA_PLATFORM=xcb", "DISPLAY=:97"});
    int status = 0;
    ASSERT_TRUE(p.waitFor(10s, status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(e2e::readFile(dir.file("t.txt")), "the last run\n");
}

// From the menu nobody reads standard error: the program waits on a message box saying why.
TEST(CommandLine, AStartFromTheMenuThatCannotGoOnShowsWhy) {
    e2e::TempDir dir;
    e2e::Process p(KVT3_PATH, {"--desktop", "--dir", "/proc/nope/kvt3"}, dir.path(),
                   dir.file("out.txt"), {"QT_QPA_PLATFORM=offscreen"});
    int status = 0;
    EXPECT_FALSE(p.waitFor(1500ms, status)) << "ended unseen, status " << status;
    EXPECT_TRUE(
        e2e::readFile(dir.file("out.txt")).starts_with("kvt3: cannot work in /proc/nope/kvt3: "))
        << e2e::readFile(dir.file("out.txt"));
}

// One event of kvt3's line trace: "<µs> <what> <rest>".
struct Event {
    std::string what, rest;
};

std::vector<Event> traceEvents(const std::string& text) {
    std::vector<Event> events;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.starts_with("#")) continue;
        std::istringstream words(line);
        long long us = 0;
        Event e;
        words >> us >> e.what;
        std::getline(words >> std::ws, e.rest);
        events.push_back(e);
    }
    return events;
}

std::uint8_t hexByte(const std::string& text) {
    return static_cast<std::uint8_t>(std::stoul(text.substr(0, 2), nullptr, 16));
}

TEST(DesktopProgram, PortFromTheCommandLineAndTheLineTrace) {
    e2e::Session session;
    // The box's link is not COM1: without --port the program would find nothing there.
    ASSERT_NO_FATAL_FAILURE(session.startBox({"--trace", "--stats", "--port", "box"}, "box"));
    session.startProgram({"--port", "COM1=./box", "--trace", "line.txt"});
    ASSERT_NO_FATAL_FAILURE(session.keepRunning(3s));
    ASSERT_NO_FATAL_FAILURE(session.endProgramThenBox());

    const std::vector<e2e::TraceRequest> boxSaw = e2e::requestsFromTrace(session.boxLog());
    ASSERT_GT(boxSaw.size(), 10u) << e2e::tailOf(session.boxLog());

    const std::vector<Event> events = traceEvents(e2e::readFile(session.file("line.txt")));
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().what, "open");
    EXPECT_EQ(events.front().rest, "COM1 " + session.directory() + "/box");
    EXPECT_EQ(events.back().what, "close");

    // The requests and what the host sent in each, as the box saw them.
    std::vector<e2e::TraceRequest> traced;
    std::vector<int> received;  // bytes from the box in each exchange
    bool commandNext = false;
    for (const Event& e : events) {
        if (e.what == "request") {
            traced.push_back({0, 0, hexByte(e.rest), {}});
            received.push_back(0);
            commandNext = true;
        } else if (e.what == "tx" && !traced.empty()) {
            if (!commandNext) traced.back().hostBytes.push_back(hexByte(e.rest));
            commandNext = false;
        } else if (e.what == "rx" && !received.empty()) {
            ++received.back();
        }
    }
    ASSERT_GE(traced.size(), boxSaw.size());
    for (std::size_t i = 0; i + 1 < boxSaw.size(); ++i) {
        EXPECT_EQ(traced[i].command, boxSaw[i].command) << "request " << i + 1;
        EXPECT_EQ(traced[i].hostBytes, boxSaw[i].hostBytes) << "request " << i + 1;
    }
    const auto first = std::find_if(events.begin(), events.end(),
                                    [](const Event& e) { return e.what == "request"; });
    ASSERT_NE(first, events.end());
    EXPECT_EQ(first->rest, "E9 ready");
    // A three-axis reading: twelve bytes in, eleven acknowledgements out.
    int readings = 0;
    for (std::size_t i = 5; i + 1 < boxSaw.size(); ++i) {
        ASSERT_EQ(traced[i].command, 0xE1);
        EXPECT_EQ(received[i], 12) << "request " << i + 1;
        EXPECT_EQ(traced[i].hostBytes, e2e::threeAxisAcknowledgements) << "request " << i + 1;
        ++readings;
    }
    EXPECT_GT(readings, 10);
    const auto named = std::count_if(events.begin(), events.end(), [](const Event& e) {
        return e.what == "request" && e.rest == "E1 positions";
    });
    EXPECT_EQ(static_cast<std::size_t>(named), traced.size() - 5);
}

// kvt3 --trace /dev/stdout | head: when the reader is gone only the trace ends.
TEST(DesktopProgram, ATraceReaderThatGoesAwayEndsOnlyTheTrace) {
    e2e::Session session;
    ASSERT_NO_FATAL_FAILURE(session.startBox({"--port", "box"}, "box"));
    const std::string pipe = session.file("trace.pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    session.startProgram({"--port", "COM1=./box", "--trace", "trace.pipe"});
    pollfd in{reader, POLLIN, 0};
    char head[64];
    const bool traced = ::poll(&in, 1, 5000) == 1 && ::read(reader, head, sizeof head) > 0;
    ::close(reader);
    ASSERT_TRUE(traced) << e2e::readFile(session.file("kvt3.log"));
    ASSERT_NO_FATAL_FAILURE(session.keepRunning(2s));
    ASSERT_NO_FATAL_FAILURE(session.endProgramThenBox());
    EXPECT_TRUE(std::filesystem::exists(session.file("params.kv3")));
}

TEST(DesktopProgram, StartedFromTheMenuWorksInThePerUserDirectory) {
    e2e::Session session;
    ASSERT_NO_FATAL_FAILURE(session.startBox({"--port", "box"}, "box"));
    const std::string data = session.file("data");
    e2e::Process program(KVT3_PATH, {"--desktop", "--port", "COM1=" + session.file("box")},
                         session.directory(), session.file("kvt3.log"),
                         {"QT_QPA_PLATFORM=offscreen", "XDG_DATA_HOME=" + data});
    int status = 0;
    ASSERT_FALSE(program.waitFor(2s, status)) << e2e::readFile(session.file("kvt3.log"));
    program.signal(SIGTERM);
    ASSERT_TRUE(program.waitFor(5s, status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ASSERT_NO_FATAL_FAILURE(session.endBox());

    EXPECT_TRUE(std::filesystem::is_directory(data + "/kvt3"));
    EXPECT_TRUE(std::filesystem::exists(data + "/kvt3/params.kv3"));
    EXPECT_FALSE(std::filesystem::exists(session.file("params.kv3")));
}

}  // namespace
