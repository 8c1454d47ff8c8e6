#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sim/Config.h"
#include "sim/PtyServer.h"

namespace sim {

// The command line of kvt3-sim.
struct ProgramOptions {
    // How the box runs: motion, faults, timing (settings are edited below).
    SimConfig config;
    // Changes to what the box stores, in the order given, applied over the state file.
    std::vector<std::function<void(BoxSettings&)>> settingsEdits;
    std::string stateFile;
    ServeOptions serve;
    bool help = false;
    bool version = false;
};

// The box of the demo: kind 1 with three axes, Z angular, all of them moving slowly.
SimConfig demoConfig();

// Reads the arguments (without the program name) over the demo defaults. Returns false with a
// message on the first argument that cannot be used.
bool parseOptions(const std::vector<std::string>& args, ProgramOptions& options,
                  std::string& error);

// The settings the box starts with: the stored ones (or the defaults) with the edits applied.
// Returns false with a message when the result cannot be a box (e.g. a resolution code above 15
// for kinds 2..4, a line count beyond 24 bits for kind 1).
bool finalSettings(const ProgramOptions& options, BoxSettings& settings, std::string& error);

const char* usageText();
// The answer to --version: name, version and licence.
std::string versionText();

}  // namespace sim
