#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/Processes.h"

namespace e2e {

// kvt3-sim and then kvt3 (offscreen) in a fresh directory, the box's trace in sim.log and the
// program's output in kvt3.log there. The steps report through GoogleTest: call them under
// ASSERT_NO_FATAL_FAILURE.
class Session {
public:
    // Starts the box and waits for its link (COM1 unless the box is told another name).
    void startBox(const std::vector<std::string>& simArgs, const std::string& link = "COM1");
    // Offscreen unless the environment names another platform.
    void startProgram(const std::vector<std::string>& args = {},
                      const std::vector<std::string>& environment = {"QT_QPA_PLATFORM=offscreen"});
    // Runs the program to its end (offscreen), its output in kvt3.log; its exit status, or -1
    // when it did not end in time (it is then killed).
    int runProgram(const std::vector<std::string>& args, std::chrono::milliseconds timeout);
    // Runs another kvt3 to its end while the first may still run, its output in `log`; its exit
    // status, or -1 as runProgram.
    int runAnotherProgram(const std::vector<std::string>& args, const std::string& log,
                          std::chrono::milliseconds timeout);
    // Checks the program is still running after the given time.
    void keepRunning(std::chrono::milliseconds time);
    // SIGTERM to the program, which must end with status 0, then to the box.
    void endProgramThenBox();
    // SIGTERM to the box, which must end.
    void endBox();
    // A signal to the box: SIGSTOP and SIGCONT hold it and let it go on; SIGKILL ends it at once,
    // as a power cut would, and its link goes as an unplugged adapter's node does.
    void signalBox(int signalNumber);

    Process& program() { return *kvt3_; }
    std::string boxLog() const;
    const std::string& directory() const { return dir_.path(); }
    std::string file(const std::string& name) const { return dir_.file(name); }

private:
    TempDir dir_;
    std::unique_ptr<Process> sim_;
    std::unique_ptr<Process> kvt3_;
    std::string link_;
};

// The end of a long text, for failure messages.
std::string tailOf(const std::string& text, std::size_t length = 600);

}  // namespace e2e
