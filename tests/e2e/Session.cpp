#include "tests/e2e/Session.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <unistd.h>

#include <csignal>

namespace e2e {

using namespace std::chrono_literals;

void Session::startBox(const std::vector<std::string>& simArgs, const std::string& link) {
    link_ = link;
    sim_ = std::make_unique<Process>(KVT3_SIM_PATH, simArgs, dir_.path(), file("sim.log"));
    ASSERT_TRUE(waitForPath(file(link), 5s)) << boxLog();
}

void Session::startProgram(const std::vector<std::string>& args,
                           const std::vector<std::string>& environment) {
    kvt3_ = std::make_unique<Process>(KVT3_PATH, args, dir_.path(), file("kvt3.log"), environment);
}

int Session::runProgram(const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
    startProgram(args);
    int status = 0;
    if (!kvt3_->waitFor(timeout, status)) {
        kvt3_->signal(SIGKILL);
        kvt3_->waitFor(5s, status);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Session::runAnotherProgram(const std::vector<std::string>& args, const std::string& log,
                               std::chrono::milliseconds timeout) {
    // Killed when it outlives the timeout.
    Process other(KVT3_PATH, args, dir_.path(), file(log), {"QT_QPA_PLATFORM=offscreen"});
    int status = 0;
    return other.waitFor(timeout, status) && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Session::keepRunning(std::chrono::milliseconds time) {
    int status = 0;
    ASSERT_FALSE(kvt3_->waitFor(time, status)) << "kvt3 ended by itself";
}

void Session::endProgramThenBox() {
    int status = 0;
    kvt3_->signal(SIGTERM);
    ASSERT_TRUE(kvt3_->waitFor(5s, status)) << "kvt3 did not end on SIGTERM";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << "\n"
                                                               << readFile(file("kvt3.log"));
    endBox();
}

void Session::endBox() {
    int status = 0;
    sim_->signal(SIGTERM);
    ASSERT_TRUE(sim_->waitFor(5s, status)) << "kvt3-sim did not end on SIGTERM";
}

void Session::signalBox(int signalNumber) {
    ASSERT_TRUE(sim_ && sim_->running()) << "no box";
    sim_->signal(signalNumber);
    if (signalNumber != SIGKILL) return;
    int status = 0;
    ASSERT_TRUE(sim_->waitFor(5s, status));
    // The killed box's pseudo-terminal number goes back to the system, and the next box started
    // by any test running beside this one may get it: a program following the link left behind
    // would open that box and hold it. The link goes, as the device node of an adapter pulled
    // out does.
    ::unlink(file(link_).c_str());
}

std::string Session::boxLog() const {
    return readFile(file("sim.log"));
}

std::string tailOf(const std::string& text, std::size_t length) {
    return text.substr(text.size() > length ? text.size() - length : 0);
}

}  // namespace e2e
