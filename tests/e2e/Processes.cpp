#include "tests/e2e/Processes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e {

namespace {
constexpr auto pollStep = std::chrono::milliseconds(20);
}

Process::Process(const std::string& program, const std::vector<std::string>& args,
                 const std::string& directory, const std::string& stderrFile,
                 const std::vector<std::string>& environment) {
    std::vector<std::string> argvStrings{program};
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvStrings) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        if (::chdir(directory.c_str()) != 0) ::_exit(126);
        const int err = ::open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err < 0) ::_exit(126);
        ::dup2(err, STDERR_FILENO);
        ::dup2(err, STDOUT_FILENO);
        for (const std::string& e : environment) ::putenv(const_cast<char*>(e.c_str()));
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
}

Process::~Process() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
}

void Process::signal(int signalNumber) const {
    if (pid_ > 0) ::kill(pid_, signalNumber);
}

bool Process::waitFor(std::chrono::milliseconds timeout, int& status) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0) {
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return true;
        }
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(pollStep);
    }
    return false;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvt3-e2e-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool waitForPath(const std::string& path, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::error_code ignored;
        if (std::filesystem::is_symlink(path, ignored) || std::filesystem::exists(path, ignored))
            return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(pollStep);
    }
}

}  // namespace e2e
