// kvt3-sim: the simulated readout box on a pseudo-terminal.
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "sim/Box.h"
#include "sim/Options.h"
#include "sim/PtyServer.h"
#include "sim/StateFile.h"

namespace {

// SIGINT, SIGTERM and SIGHUP end serving through a descriptor the poll loop watches, so the link
// is always removed on the way out.
int stopDescriptor() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

// SIGUSR1 moves the box's axes on (PushCounts), through a descriptor the poll loop watches too.
int pushDescriptor() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGUSR1);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    return signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    sim::ProgramOptions options;
    options.config = sim::demoConfig();
    std::string error;
    if (!sim::parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "kvt3-sim: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(sim::usageText(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(sim::versionText().c_str(), stdout);
        return 0;
    }
    sim::BoxSettings settings = options.config.settings;
    if (!options.stateFile.empty() && fileExists(options.stateFile) &&
        !sim::loadSettings(options.stateFile, settings, error)) {
        std::fprintf(stderr, "kvt3-sim: %s\n", error.c_str());
        return 2;
    }
    if (!sim::finalSettings(options, settings, error)) {
        std::fprintf(stderr, "kvt3-sim: %s\n", error.c_str());
        return 2;
    }
    options.config.settings = settings;

    options.serve.stopFd = stopDescriptor();
    options.serve.pushFd = pushDescriptor();
    sim::Box box(options.config, sim::monotonicUs());
    if (!options.stateFile.empty()) {
        box.OnSettingsChanged = [&box, &options] {
            std::string saveError;
            if (!sim::saveSettings(options.stateFile, box.settings(), saveError))
                std::fprintf(stderr, "kvt3-sim: %s\n", saveError.c_str());
        };
        // A first run leaves the file behind too, to be edited or kept.
        if (!fileExists(options.stateFile) &&
            !sim::saveSettings(options.stateFile, box.settings(), error))
            std::fprintf(stderr, "kvt3-sim: %s\n", error.c_str());
    }
    try {
        sim::PtyServer server(box, options.serve);
        server.start();
        std::fprintf(stderr, "kvt3-sim: kind %d box with %d axes on %s, linked as %s (%s)\n",
                     settings.kind, sim::axisCount(settings), server.terminalPath().c_str(),
                     server.linkPath().c_str(),
                     options.serve.paced ? "paced at 9600 baud" : "unpaced");
        server.run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kvt3-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
