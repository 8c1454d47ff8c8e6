// The real kvt3 (offscreen) against a kvt3-sim box that falls silent for a while, shorter than
// the request and its two repeats: the program's watchdog closes, reopens and repeats, and the
// readings go on by themselves, without the operator.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <string>
#include <vector>

#include "tests/e2e/Processes.h"
#include "tests/e2e/SimTrace.h"

namespace {

using namespace std::chrono_literals;

constexpr int answeredBeforeSilence = 40;
// Shorter than two watchdog periods plus a repeat delay (2500 ms) by a margin a loaded machine
// keeps, longer than one (1300 ms) by as much: the first repeat goes unanswered, the second not.
constexpr int silenceMs = 2000;

std::string tail(const std::string& text) {
    return text.substr(text.size() > 600 ? text.size() - 600 : 0);
}

TEST(Recovery, ReadingsResumeByThemselvesAfterTheBoxFallsSilentForLessThanTheRepeats) {
    e2e::TempDir dir;
    e2e::Process sim(KVT3_SIM_PATH,
                     {"--trace", "--stats", "--silent-after", std::to_string(answeredBeforeSilence),
                      "--silent-for", std::to_string(silenceMs)},
                     dir.path(), dir.file("sim.log"));
    ASSERT_TRUE(e2e::waitForPath(dir.file("COM1"), 5s)) << e2e::readFile(dir.file("sim.log"));

    e2e::Process kvt3(KVT3_PATH, {}, dir.path(), dir.file("kvt3.log"),
                      {"QT_QPA_PLATFORM=offscreen"});
    // The box falls silent after about a second and a half of readings; the second repeat comes
    // some 2.6 s later; then a few seconds of readings. Generous, as the machine may be loaded.
    const auto silenceSeen = [&] {
        return e2e::timeOfNote(e2e::readFile(dir.file("sim.log")), "silent for") >= 0;
    };
    for (int i = 0; i < 150 && !silenceSeen(); ++i) {
        int status = 0;
        ASSERT_FALSE(kvt3.waitFor(100ms, status)) << "kvt3 ended by itself";
    }
    ASSERT_TRUE(silenceSeen()) << tail(e2e::readFile(dir.file("sim.log")));
    int status = 0;
    EXPECT_FALSE(kvt3.waitFor(6s, status)) << "kvt3 ended by itself";

    kvt3.signal(SIGTERM);
    ASSERT_TRUE(kvt3.waitFor(5s, status)) << "kvt3 did not end on SIGTERM";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "status " << status << "\n"
        << e2e::readFile(dir.file("kvt3.log"));
    sim.signal(SIGTERM);
    ASSERT_TRUE(sim.waitFor(5s, status));

    const std::string log = e2e::readFile(dir.file("sim.log"));
    const double silentFrom = e2e::timeOfNote(log, "silent for");
    // The host repeated its request while the box was silent, after closing and reopening its
    // port (the box cannot see that on a pseudo-terminal; its own side stays open).
    EXPECT_GE(e2e::countNotesAfter(log, "silent: E1 not answered", silentFrom), 1) << tail(log);

    const std::vector<e2e::TraceRequest> requests = e2e::requestsFromTrace(log);
    std::vector<e2e::TraceRequest> after;
    for (const e2e::TraceRequest& r : requests)
        if (r.number > answeredBeforeSilence + 1) after.push_back(r);
    ASSERT_GT(after.size(), 20u) << "readings did not resume\n" << tail(log);
    // The first request the box took again was a repeat of the position request, made by the
    // watchdog before the wait dialog (request and two repeats, about 3.8 s).
    EXPECT_EQ(after.front().command, 0xE1);
    EXPECT_GE(after.front().time - silentFrom, silenceMs / 1000.0);
    EXPECT_LT(after.front().time - silentFrom, 3.7);
    // From there on, only complete position readings, each acknowledged byte by byte.
    for (std::size_t i = 0; i + 1 < after.size(); ++i) {
        ASSERT_EQ(after[i].command, 0xE1) << "request " << after[i].number;
        EXPECT_EQ(after[i].hostBytes, e2e::threeAxisAcknowledgements)
            << "request " << after[i].number;
    }
    EXPECT_EQ(e2e::countNotesAfter(log, "silent", after.front().time), 0);
    EXPECT_GT(e2e::totalReadingsPerSecond(log), 0) << tail(log);
}

}  // namespace
