#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace e2e {

// A program started in a directory of its own, its standard error going to a file there.
class Process {
public:
    Process(const std::string& program, const std::vector<std::string>& args,
            const std::string& directory, const std::string& stderrFile,
            const std::vector<std::string>& environment = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    void signal(int signalNumber) const;
    // Waits up to the timeout for the process to end. True when it ended; status as waitpid
    // gives it.
    bool waitFor(std::chrono::milliseconds timeout, int& status);
    bool running() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

// A fresh temporary directory, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string readFile(const std::string& path);
bool waitForPath(const std::string& path, std::chrono::milliseconds timeout);

}  // namespace e2e
