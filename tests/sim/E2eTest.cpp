// kvt3-sim and the reference client as separate processes on a pseudo-terminal.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

pid_t spawn(const std::vector<std::string>& args, int stdoutFd = -1) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

int waitFor(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string readAll(int fd) {
    std::string s;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        s.append(buffer, static_cast<std::size_t>(n));
    return s;
}

TEST(EndToEnd, TheReferenceClientReadsMovingPositionsFromTheSimulator) {
    const fs::path dir = fs::temp_directory_path() / ("kvt3-e2e-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string link = (dir / "COM1").string();

    const pid_t sim = spawn({KVT3_SIM_BIN, "--dir", dir.string()});
    ASSERT_GT(sim, 0);
    for (int i = 0; i < 500 && !fs::exists(link); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(link)) << "kvt3-sim made no link";

    // Twice: the second client opens the port the first one closed, as the program does on
    // every retry.
    for (const char* seconds : {"1.5", "0.5"}) {
        SCOPED_TRACE(seconds);
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        const pid_t client =
            spawn({KVT3_REFCLIENT_BIN, "--port", link, "--seconds", seconds}, out[1]);
        ::close(out[1]);
        ASSERT_GT(client, 0);
        const std::string report = readAll(out[0]);
        ::close(out[0]);
        EXPECT_EQ(waitFor(client), 0) << report;

        // The demo box: kind 1 with three axes, all moving.
        EXPECT_NE(report.find("kind 1, 3 axes"), std::string::npos) << report;
        EXPECT_NE(report.find(", moving"), std::string::npos) << report;
        const std::size_t at = report.find("total: ");
        ASSERT_NE(at, std::string::npos) << report;
        // The line allows 36 a second; even a busy machine manages a good part of that.
        EXPECT_GE(std::strtol(report.c_str() + at + 7, nullptr, 10), 5) << report;
        EXPECT_NE(report.find(" 0 timeouts"), std::string::npos) << report;
    }

    kill(sim, SIGTERM);
    EXPECT_EQ(waitFor(sim), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "the link outlived kvt3-sim";
    fs::remove_all(dir);
}

}  // namespace
