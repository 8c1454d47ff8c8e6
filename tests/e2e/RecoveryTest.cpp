// The real kvt3 (offscreen) against a kvt3-sim box that falls silent for a while, shorter than
// the request and its two repeats: the program's watchdog closes, reopens and repeats, and the
// readings go on by themselves, without the operator.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/Session.h"
#include "tests/e2e/SimTrace.h"

namespace {

using namespace std::chrono_literals;

constexpr int answeredBeforeSilence = 40;
// Shorter than two watchdog periods plus two repeat delays (2600 ms) by a margin a loaded machine
// keeps, longer than one (1300 ms) by as much: the first repeat goes unanswered, the second not.
constexpr int silenceMs = 2000;

TEST(Recovery, ReadingsResumeByThemselvesAfterTheBoxFallsSilentForLessThanTheRepeats) {
    e2e::Session session;
    ASSERT_NO_FATAL_FAILURE(session.startBox({"--trace", "--stats", "--silent-after",
                                              std::to_string(answeredBeforeSilence), "--silent-for",
                                              std::to_string(silenceMs)}));
    session.startProgram();
    // The box falls silent after about a second and a half of readings; the second repeat comes
    // some 2.6 s later; then a few seconds of readings. Generous, as the machine may be loaded.
    const auto silenceSeen = [&] { return e2e::timeOfNote(session.boxLog(), "silent for") >= 0; };
    for (int i = 0; i < 150 && !silenceSeen(); ++i)
        ASSERT_NO_FATAL_FAILURE(session.keepRunning(100ms));
    ASSERT_TRUE(silenceSeen()) << e2e::tailOf(session.boxLog());
    ASSERT_NO_FATAL_FAILURE(session.keepRunning(6s));
    ASSERT_NO_FATAL_FAILURE(session.endProgramThenBox());

    const std::string log = session.boxLog();
    const double silentFrom = e2e::timeOfNote(log, "silent for");
    // The host repeated its request while the box was silent, after closing and reopening its
    // port (the box cannot see that on a pseudo-terminal; its own side stays open).
    EXPECT_GE(e2e::countNotesAfter(log, "silent: E1 not answered", silentFrom), 1)
        << e2e::tailOf(log);

    const std::vector<e2e::TraceRequest> requests = e2e::requestsFromTrace(log);
    std::vector<e2e::TraceRequest> after;
    for (const e2e::TraceRequest& r : requests)
        if (r.number > answeredBeforeSilence + 1) after.push_back(r);
    ASSERT_GT(after.size(), 20u) << "readings did not resume\n" << e2e::tailOf(log);
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
    EXPECT_GT(e2e::totalReadingsPerSecond(log), 0) << e2e::tailOf(log);
}

}  // namespace
