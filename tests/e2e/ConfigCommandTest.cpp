// kvt3 --save-config and --restore-config against kvt3-sim keeping its store in a state file:
// what a restore writes must give the box back every byte it held.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/Session.h"

namespace {

using namespace std::chrono_literals;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

struct Box {
    const char* name;
    std::vector<std::string> options;
};

std::vector<std::string> boxArgs(const Box& box, const std::vector<std::string>& faults = {}) {
    std::vector<std::string> args = {"--state", "box.state",    "--calibration",
                                     "0.5,2,3", "--resolution", "3,4,5"};
    args.insert(args.end(), box.options.begin(), box.options.end());
    args.insert(args.end(), faults.begin(), faults.end());
    return args;
}

class ConfigCommand : public ::testing::TestWithParam<Box> {};

TEST_P(ConfigCommand, ARestoreAfterAChangeGivesTheBoxBackEveryByte) {
    e2e::Session s;
    ASSERT_NO_FATAL_FAILURE(s.startBox(boxArgs(GetParam())));
    ASSERT_EQ(s.runProgram({"--save-config", "saved.ini"}, 20s), 0)
        << e2e::readFile(s.file("kvt3.log"));
    const std::string before = e2e::readFile(s.file("box.state"));
    const std::string saved = e2e::readFile(s.file("saved.ini"));

    std::string changed = replaced(saved, "calibration = 0.500000", "calibration = 0.750000");
    changed = replaced(changed, "lines = 4000", "lines = 8000");
    write(s.file("changed.ini"), changed);
    ASSERT_EQ(s.runProgram({"--restore-config", "changed.ini", "--yes"}, 30s), 0)
        << e2e::readFile(s.file("kvt3.log"));
    ASSERT_NE(e2e::readFile(s.file("box.state")), before);

    ASSERT_EQ(s.runProgram({"--restore-config", "saved.ini", "--yes"}, 30s), 0)
        << e2e::readFile(s.file("kvt3.log"));
    EXPECT_EQ(e2e::readFile(s.file("box.state")), before);
    // And what the box now holds saves to the same text.
    ASSERT_EQ(s.runProgram({"--save-config", "again.ini"}, 20s), 0);
    EXPECT_EQ(e2e::readFile(s.file("again.ini")), saved);
    s.endBox();
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ConfigCommand,
    ::testing::Values(
        Box{"kind1", {"--kind", "1"}},
        Box{"kind2",
            {"--kind", "2", "--correction", "x:100=101,200=203", "--correction-flags", "10"}},
        Box{"kind3",
            {"--kind", "3", "--correction", "x:100=101", "--correction", "y:-5=-7,9=9",
             "--correction-flags", "30"}},
        Box{"kind4",
            {"--kind", "4", "--correction", "z:0=0,36000=36004", "--correction-flags", "70"}}),
    [](const ::testing::TestParamInfo<Box>& p) { return std::string(p.param.name); });

const Box kind4{"kind4", {"--kind", "4", "--correction", "x:10=11", "--correction-flags", "10"}};

TEST(ConfigCommandRefusal, AFileThatCannotGoToThisBoxWritesNothing) {
    e2e::Session s;
    ASSERT_NO_FATAL_FAILURE(s.startBox(boxArgs(kind4)));
    ASSERT_EQ(s.runProgram({"--save-config", "saved.ini"}, 20s), 0);
    const std::string before = e2e::readFile(s.file("box.state"));
    const std::string saved = e2e::readFile(s.file("saved.ini"));
    const struct {
        const char* name;
        std::string text;
        const char* said;
    } files[] = {
        {"another kind", replaced(saved, "device = 4", "device = 3"), "rodzaj"},
        {"a newer format", replaced(saved, "format = 1", "format = 2"), "format"},
        {"out of range", replaced(saved, "resolution = 3", "resolution = 99"), "wiersz"},
        {"cut short", saved.substr(0, saved.size() / 2), "[end]"},
        {"no file at all", "", ""},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        if (f.text.empty()) {
            EXPECT_EQ(s.runProgram({"--restore-config", "missing.ini", "--yes"}, 20s), 3);
        } else {
            write(s.file("bad.ini"), f.text);
            EXPECT_EQ(s.runProgram({"--restore-config", "bad.ini", "--yes"}, 20s), 3);
            EXPECT_NE(e2e::readFile(s.file("kvt3.log")).find(f.said), std::string::npos)
                << e2e::readFile(s.file("kvt3.log"));
        }
        EXPECT_NE(e2e::readFile(s.file("kvt3.log")).find("nothing was written"), std::string::npos);
        EXPECT_EQ(e2e::readFile(s.file("box.state")), before);
    }
    // Declined at the question: no answer on standard input is no.
    EXPECT_EQ(s.runProgram({"--restore-config", "saved.ini"}, 20s), 3);
    s.endBox();
}

TEST(ConfigCommandFailure, ARestoreThatFailsPartWaySaysSoAndTheNextOneCompletes) {
    const struct {
        const char* name;
        std::vector<std::string> faults;
    } cases[] = {
        // Every write dropped by the box.
        {"refused acknowledgement", {"--bad-ack", "2"}},
        // Gone at the line counts' write (the first read and the check take 10 requests, the
        // calibration is not written again), back a second later.
        {"disconnect", {"--disconnect", "12", "--disconnect-for", "1000"}},
        // Silent from the correction tables' write on, for 6 s.
        {"silent box", {"--silent", "14", "--silent-for", "6000"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        e2e::Session s;
        ASSERT_NO_FATAL_FAILURE(s.startBox(boxArgs(kind4)));
        ASSERT_EQ(s.runProgram({"--save-config", "saved.ini"}, 20s), 0);
        const std::string saved = e2e::readFile(s.file("saved.ini"));
        const std::string before = e2e::readFile(s.file("box.state"));
        write(s.file("changed.ini"),
              replaced(replaced(saved, "lines = 4000", "lines = 8000"), "1 = 10 11", "1 = 10 12"));
        s.endBox();

        ASSERT_NO_FATAL_FAILURE(s.startBox(boxArgs(kind4, c.faults)));
        EXPECT_EQ(s.runProgram({"--restore-config", "changed.ini", "--yes"}, 40s), 1);
        const std::string log = e2e::readFile(s.file("kvt3.log"));
        EXPECT_EQ(log.find("potwierdzona odczytem"), std::string::npos) << log;
        // Failed part way: after the writes had begun.
        EXPECT_NE(log.find("writing the parameters"), std::string::npos) << log;
        if (std::string(c.name) == "refused acknowledgement") {
            EXPECT_NE(log.find("nie zostały wysłane"), std::string::npos) << log;
            s.endBox();
            ASSERT_NO_FATAL_FAILURE(s.startBox(boxArgs(kind4)));
        } else {
            std::this_thread::sleep_for(2s);
        }
        EXPECT_EQ(s.runProgram({"--restore-config", "saved.ini", "--yes"}, 40s), 0)
            << e2e::readFile(s.file("kvt3.log"));
        EXPECT_EQ(e2e::readFile(s.file("box.state")), before);
        s.endBox();
    }
}

// Waits until the program's output holds `text`.
bool logSays(e2e::Session& s, const std::string& text) {
    for (int i = 0; i < 1000; ++i) {
        if (e2e::readFile(s.file("kvt3.log")).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// A restore whose file changes a line count and a table row: both stages write.
std::string changedFrom(e2e::Session& s) {
    EXPECT_EQ(s.runProgram({"--save-config", "saved.ini"}, 20s), 0);
    const std::string changed =
        replaced(replaced(e2e::readFile(s.file("saved.ini")), "lines = 4000", "lines = 8000"),
                 "1 = 10 11", "1 = 10 12");
    write(s.file("changed.ini"), changed);
    return changed;
}

// A restore holds the port from its first read to its end: another program started between its
// stages is told the port is busy. Ctrl-C then, while the tables are written (the box holds its
// answer 4 s): what the box may now hold is said, and the program ends by the signal, as a shell
// loop running it expects.
TEST(ConfigCommandPort, ARestoreHoldsThePortAndASignalSaysWhatTheBoxMayHold) {
    e2e::Session s;
    ASSERT_NO_FATAL_FAILURE(s.startBox(boxArgs(kind4)));
    changedFrom(s);
    s.endBox();
    ASSERT_NO_FATAL_FAILURE(s.startBox(boxArgs(kind4, {"--late", "14", "--late-by", "4000"})));
    s.startProgram({"--restore-config", "changed.ini", "--yes"});
    ASSERT_TRUE(logSays(s, "writing the correction tables"));
    EXPECT_EQ(s.runAnotherProgram({"--restore-config", "saved.ini", "--yes"}, "other.log", 20s), 1);
    EXPECT_NE(e2e::readFile(s.file("other.log")).find("Port COM1 jest używany przez inny program."),
              std::string::npos);
    s.program().signal(SIGINT);
    int status = 0;
    ASSERT_TRUE(s.program().waitFor(5s, status));
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_NE(e2e::readFile(s.file("kvt3.log")).find("w czasie zapisu tabel korekcji"),
              std::string::npos);
    s.endBox();
}

}  // namespace
