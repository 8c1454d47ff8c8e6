// The settings file on the disk: what is read as settings, and that a write never leaves it
// half done, whatever fails and wherever the process is stopped.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "readout/SettingsFile.h"

namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
protected:
    SettingsFile() {
        std::string pattern = (fs::temp_directory_path() / "kvt3-settings-XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~SettingsFile() override {
        std::error_code ignored;
        if (!dir_.empty()) fs::remove_all(dir_, ignored);
    }
    void SetUp() override { ASSERT_FALSE(dir_.empty()); }

    std::string path(const char* name = "params.kv3") const { return dir_ + "/" + name; }
    static void put(const std::string& file, const std::string& content) {
        std::ofstream(file, std::ios::binary) << content;
    }
    static std::string contentOf(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    // Every entry of the directory but the settings file and what the test put there.
    std::vector<std::string> strayFiles(const std::vector<std::string>& expected = {}) const {
        std::vector<std::string> stray;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const std::string name = entry.path().filename().string();
            if (name == "params.kv3") continue;
            if (std::find(expected.begin(), expected.end(), name) != expected.end()) continue;
            stray.push_back(name);
        }
        return stray;
    }

    std::string dir_;
};

const std::string oldText = "3\r\n1.5\r\n0\r\n0\r\n1\r\n";
const std::string newText = "2\r\n-12.5\r\n0\r\n1.5E-6\r\n0\r\n";

TEST_F(SettingsFile, OnlyARegularFileIsReadAndOfItOnlyItsStart) {
    const std::string limit(readout::maxSettingsBytes, 'x');
    // Settings followed by more than is read: the settings are what counts.
    const std::string longer = oldText + std::string(readout::maxSettingsBytes, '#') + "\r\n";
    put(path("small"), oldText);
    put(path("empty"), "");
    put(path("limit"), limit);
    put(path("large"), limit + "x");
    put(path("longer"), longer);
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    fs::create_directory(path("directory"));
    fs::create_symlink(path("small"), path("link"));
    fs::create_symlink("/dev/zero", path("device"));
    fs::create_symlink(path("missing"), path("dangling"));

    const struct {
        const char* name;
        std::optional<std::string> content;
    } cases[] = {
        {"small", oldText},
        {"empty", ""},
        {"limit", limit},
        {"link", oldText},
        {"large", limit},
        {"longer", longer.substr(0, readout::maxSettingsBytes)},
        {"pipe", std::nullopt},
        {"device", std::nullopt},
        {"directory", std::nullopt},
        {"missing", std::nullopt},
        {"dangling", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readout::readSettingsFile(path(c.name)), c.content) << c.name;
}

TEST_F(SettingsFile, AWriteReplacesTheFileAndLeavesItToItsOwnerAlone) {
    // No file yet: it is created for its owner alone, as a file readable by others becomes.
    for (const mode_t before : {0u, 0644u, 0640u}) {
        if (before) ::chmod(path().c_str(), before);
        ASSERT_TRUE(readout::writeSettingsFile(path(), before ? newText : oldText));
        EXPECT_EQ(contentOf(path()), before ? newText : oldText);
        struct stat st {};
        ASSERT_EQ(::stat(path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u) << std::oct << before;
    }
    EXPECT_EQ(strayFiles(), std::vector<std::string>{});

    // Through a link the file it leads to is replaced; the link stays.
    fs::remove(path());
    put(path("kept"), oldText);
    fs::create_symlink(path("kept"), path());
    ASSERT_TRUE(readout::writeSettingsFile(path(), newText));
    EXPECT_TRUE(fs::is_symlink(path()));
    EXPECT_EQ(contentOf(path("kept")), newText);
    EXPECT_EQ(strayFiles({"kept"}), std::vector<std::string>{});
}

// Runs `body` in a child process and returns its exit status (-1 when it did not exit).
template <typename Body>
int inChild(Body body) {
    // What is buffered would otherwise be written twice.
    std::cout.flush();
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// The settings as written by an operator's own process (not root) in a directory of the
// operator's: the directory or the file may have been made read-only.
TEST_F(SettingsFile, AnOperatorsWriteRespectsAReadOnlyFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
    constexpr uid_t nobody = 65534;
    constexpr gid_t nogroup = 65534;
    const struct {
        const char* name;
        mode_t directory, file;
        bool written;
        mode_t after;
        rlim_t sizeLimit = RLIM_INFINITY;
    } cases[] = {
        {"both writable", 0755, 0644, true, 0600},
        // Made read-only to keep a port and mode: it stays as it is.
        {"file read-only", 0755, 0444, false, 0444},
        // No new file can be made beside it, but the file itself may be written.
        {"directory read-only", 0555, 0644, true, 0600},
        {"both read-only", 0555, 0444, false, 0444},
        // ... and the write in place fails part way: the old text comes back whole.
        {"directory read-only, write cut short", 0555, 0644, false, 0644, oldText.size()},
    };
    for (const auto& c : cases) {
        ::chmod(dir_.c_str(), 0755);
        put(path(), oldText);
        ASSERT_EQ(::chmod(path().c_str(), c.file), 0);
        ASSERT_EQ(::chown(path().c_str(), nobody, nogroup), 0);
        ASSERT_EQ(::chown(dir_.c_str(), nobody, nogroup), 0);
        ASSERT_EQ(::chmod(dir_.c_str(), c.directory), 0);
        const int status = inChild([&] {
            if (::setgid(nogroup) != 0 || ::setuid(nobody) != 0) return 2;
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{c.sizeLimit, c.sizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
            return readout::writeSettingsFile(path(), newText) ? 1 : 0;
        });
        ::chmod(dir_.c_str(), 0755);
        EXPECT_EQ(status, c.written ? 1 : 0) << c.name;
        EXPECT_EQ(contentOf(path()), c.written ? newText : oldText) << c.name;
        struct stat st {};
        ASSERT_EQ(::stat(path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.after) << c.name;
        EXPECT_EQ(strayFiles(), std::vector<std::string>{}) << c.name;
    }
}

// Run with sudo, the program leaves the operator's file the operator's: one only its owner may
// read would otherwise be lost to the next run.
TEST_F(SettingsFile, AWriteByRootKeepsTheOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "changing the owner needs root";
    put(path(), oldText);
    ASSERT_EQ(::chmod(path().c_str(), 0600), 0);
    ASSERT_EQ(::chown(path().c_str(), 65534, 65534), 0);
    ASSERT_TRUE(readout::writeSettingsFile(path(), newText));
    struct stat st {};
    ASSERT_EQ(::stat(path().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(contentOf(path()), newText);
}

// A process ended through exit() while the write is owed (the display went away under the
// window) writes the settings as they are at that moment; a settled or dropped one does not.
TEST_F(SettingsFile, AWriteStillOwedIsMadeAtExit) {
    enum class Then { exit, settle, drop };
    const struct {
        const char* name;
        Then then;
        std::string content;
    } cases[] = {
        {"owed", Then::exit, newText},
        {"settled", Then::settle, oldText},
        {"dropped", Then::drop, oldText},
    };
    for (const auto& c : cases) {
        put(path(), oldText);
        const int status = inChild([&]() -> int {
            std::string current = "changed before the end";
            std::optional<readout::OwedSettingsWrite> owed(std::in_place);
            // Owed again, the first path and text are forgotten.
            owed->owe(path("elsewhere"), [] { return oldText; });
            owed->owe(path(), [&current] { return current; });
            current = newText;
            if (c.then == Then::settle) owed->settle();
            if (c.then == Then::drop) owed.reset();
            // Ends here, as Qt ends the program: what is on the stack stays.
            std::exit(0);
        });
        EXPECT_EQ(status, 0) << c.name;
        EXPECT_EQ(contentOf(path()), c.content) << c.name;
        EXPECT_EQ(strayFiles(), std::vector<std::string>{}) << c.name;
    }
}

TEST_F(SettingsFile, WhatIsNoRegularFileIsLeftAlone) {
    ASSERT_EQ(::mkfifo(path().c_str(), 0600), 0);
    // In a child with an alarm clock: a write that opened the pipe would wait for a reader.
    const int status = inChild([&] {
        ::alarm(2);
        return readout::writeSettingsFile(path(), newText) ? 1 : 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::is_fifo(path()));
    EXPECT_EQ(strayFiles(), std::vector<std::string>{});
}

TEST_F(SettingsFile, AFailedWriteLeavesTheOldFileWhole) {
    put(path(), oldText);
    // A file size limit smaller than the new text: the write fails part way.
    const int status = inChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8, 8};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
        return readout::writeSettingsFile(path(), newText) ? 1 : 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(contentOf(path()), oldText);
    EXPECT_EQ(strayFiles(), std::vector<std::string>{});
}

// A process that writes the settings over and over is killed at random moments: the file always
// holds one of the two texts, whole.
TEST_F(SettingsFile, KilledAtAnyMomentOfAWriteTheFileIsOldOrNew) {
    put(path(), oldText);
    // How long one write takes here, so that the kills fall all over it.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(readout::writeSettingsFile(path(), oldText));
    const auto oneWrite = std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count();
    std::mt19937 random(20261207);
    std::uniform_int_distribution<long> delayUs(0, std::clamp(3 * long(oneWrite), 200L, 10000L));

    int sawOld = 0, sawNew = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    int round = 0;
    for (; round < 300 && std::chrono::steady_clock::now() < deadline; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (long i = 0;; ++i) readout::writeSettingsFile(path(), i % 2 ? oldText : newText);
        }
        ::usleep(static_cast<useconds_t>(delayUs(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string content = contentOf(path());
        if (content == oldText) {
            ++sawOld;
        } else if (content == newText) {
            ++sawNew;
        } else {
            FAIL() << "round " << round << ": the file holds \"" << content << "\"";
        }
    }
    EXPECT_GE(round, 50) << "too few rounds to tell";
    // Both texts were seen: the kills did fall while the file was being replaced.
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
    // The unfinished new files of the killed processes go with the next write.
    ASSERT_TRUE(readout::writeSettingsFile(path(), newText));
    EXPECT_EQ(strayFiles(), std::vector<std::string>{});
    std::cout << "[          ] " << round << " rounds, one write " << oneWrite << " us, old "
              << sawOld << ", new " << sawNew << "\n";
}

}  // namespace
