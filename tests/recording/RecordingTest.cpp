// The recording: its lines from the feed's states, rotation, and what stops it; then the real
// kvt3 recording a moving kvt3-sim.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <future>
#include <regex>
#include <sstream>

#include "recording/Recorder.h"
#include "tests/e2e/Session.h"

namespace {

using namespace std::chrono_literals;

feed::Reading state(std::uint64_t number, bool live, std::optional<double> x,
                    bool angularZ = true) {
    feed::Reading s;
    s.axes = 3;
    s.live = live;
    s.reading = number;
    s.values = {x, 2.5, 90.25};
    s.angular = {false, false, angularZ};
    s.timeMs = 1796721600123 + static_cast<std::int64_t>(number) * 28;
    return s;
}

std::vector<std::string> lines(const std::string& path) {
    std::istringstream in(e2e::readFile(path));
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The line's fields after the time.
std::string rest(const std::string& line) {
    return line.substr(line.find(';') + 1);
}

TEST(Recorder, EveryReadingOnceGapsMarkedColumnsNamedAgainWhenTheyChange) {
    e2e::TempDir dir;
    recording::Recorder recorder;
    ASSERT_EQ(recorder.start(QString::fromStdString(dir.file("r.csv"))), QString());
    const feed::Reading states[] = {
        state(0, false, 1.0),  // before the first reading: nothing
        state(1, true, 1.0),
        state(1, true, 1.0),           // the same reading again (the mode changed): once
        state(2, true, std::nullopt),  // a reference search on X
        state(2, false, 1.0),          // the readings stop...
        state(2, false, 1.0),          // ...once
        state(3, true, -0.125),
        state(4, true, 5.0, false),  // Z linear now
    };
    for (const auto& s : states) recorder.take(s);
    recorder.stop();
    const auto got = lines(dir.file("r.csv"));
    const std::vector<std::string> expected = {
        "time;reading;X [mm];Y [mm];Z [deg];current",
        "1;1;2.5;90.25;1",
        "2;;2.5;90.25;1",
        "2;;;;0",
        "3;-0.125;2.5;90.25;1",
        "time;reading;X [mm];Y [mm];Z [mm];current",
        "4;5;2.5;90.25;1",
    };
    ASSERT_EQ(got.size(), expected.size()) << e2e::readFile(dir.file("r.csv"));
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i].starts_with("time;") ? got[i] : rest(got[i]), expected[i]) << i;
    EXPECT_TRUE(std::regex_match(
        got[1], std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d);.*)")))
        << got[1];
}

TEST(Recorder, RotatesAtItsSizeAndStopsWithTheReasonWhenItCannotGoOn) {
    e2e::TempDir dir;
    const std::string path = dir.file("sub/r.csv");
    std::filesystem::create_directory(dir.file("sub"));
    struct Case {
        const char* name;
        recording::FileLimits limits;
        std::function<void()> spoil;  // what happens to the file or its disk
        bool stops;
    };
    const Case cases[] = {
        {"rotates", {2000, 0}, [] {}, false},
        {"a disk nearly full", {64 << 20, ~0ull}, [] {}, true},
        {"the directory removed",
         {64 << 20, 0},
         [&] { std::filesystem::remove_all(dir.file("sub")); },
         true},
    };
    for (const Case& c : cases) {
        std::filesystem::create_directories(dir.file("sub"));
        recording::Recorder recorder;
        QSignalSpy failed(&recorder, &recording::Recorder::failed);
        ASSERT_EQ(recorder.start(QString::fromStdString(path), c.limits), QString()) << c.name;
        c.spoil();
        for (std::uint64_t n = 1; n <= 100; ++n) recorder.take(state(n, true, 1.0));
        EXPECT_EQ(failed.wait(2500), c.stops) << c.name;
        EXPECT_EQ(recorder.recording(), !c.stops) << c.name;
        if (c.stops) {
            EXPECT_TRUE(failed.at(0).at(0).toString().startsWith("Nagrywanie zatrzymane: "))
                << c.name;
            continue;
        }
        recorder.stop();
        // Two files, each under the size, each with its header, the readings in order across them.
        const auto older = lines(path + ".1");
        const auto newer = lines(path);
        EXPECT_LE(std::filesystem::file_size(path + ".1"), 2000u);
        EXPECT_EQ(older.front(), newer.front());
        EXPECT_EQ(rest(newer.back()), "100;1;2.5;90.25;1");
        EXPECT_EQ(std::stoi(rest(newer[1])), std::stoi(rest(older.back())) + 1);
    }
}

// Recording is started on the window's thread, from the menu's file dialog or the command line: a
// name that is not a plain file (a named pipe nobody reads) must be refused at once, not waited on.
TEST(Recorder, ANamedPipeIsRefusedWithoutWaitingForAReader) {
    e2e::TempDir dir;
    const std::string path = dir.file("pipe.csv");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    auto started = std::async(std::launch::async, [&] {
        recording::Recorder recorder;
        return recorder.start(QString::fromStdString(path));
    });
    const bool answered = started.wait_for(2s) == std::future_status::ready;
    if (!answered) {
        // Lets the start go on so that the test can end.
        const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
        started.wait();
        ::close(reader);
    }
    EXPECT_TRUE(answered) << "start() waited for a reader of the pipe";
    EXPECT_NE(started.get(), QString());
}

TEST(Recorder, TheProgramRecordsEveryReadingOfAMovingBoxInOrder) {
    e2e::Session session;
    ASSERT_NO_FATAL_FAILURE(session.startBox({"--stats"}));
    session.startProgram({"--record", "readings.csv"});
    ASSERT_NO_FATAL_FAILURE(session.keepRunning(4s));
    ASSERT_NO_FATAL_FAILURE(session.endProgramThenBox());
    const auto got = lines(session.file("readings.csv"));
    ASSERT_GT(got.size(), 20u);
    EXPECT_EQ(got[0], "time;reading;X [mm];Y [mm];Z [deg];current");
    for (std::size_t i = 1; i < got.size(); ++i) EXPECT_EQ(std::stoul(rest(got[i])), i) << got[i];
    // The box's own count: every complete reading it gave is there (the last one may have
    // been cut by the end).
    std::smatch total;
    const std::string log = session.boxLog();
    ASSERT_TRUE(
        std::regex_search(log, total, std::regex(R"(total: [0-9.]+ readings/s \(([0-9]+) in)")))
        << e2e::tailOf(log);
    EXPECT_NEAR(static_cast<double>(got.size() - 1), std::stod(total[1]), 1.0);
}

}  // namespace
