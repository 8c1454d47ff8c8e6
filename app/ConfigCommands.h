#pragma once

#include <iosfwd>
#include <string>

class TRS232Service;

namespace platform {
class Clock;
}

// The box's configuration from the command line, without the window, for scripts and service
// work. Both run Qt's event loop until the box has answered; the port is the one the settings
// file in the working directory names (COM1 without one).

// Exit statuses beyond 0 (done) and 2 (a wrong command line).
constexpr int configFailed = 1;   // the port, the box or the file could not be used
constexpr int configRefused = 3;  // the file refused or the restore declined: nothing written
// A restore stopped by a signal returns this plus the signal's number, after saying what the box
// may now hold; the program then ends by that signal, as a shell running it in a loop expects.
constexpr int configInterrupted = 128;

// Reads the box's configuration and writes it to `path`.
int saveConfigCommand(TRS232Service& service, const std::string& path, std::ostream& out,
                      std::ostream& err);
// Shows what the file at `path` would change, asks on `in` unless `yes`, writes it to the box,
// reads it back and compares. 0 only when the box holds what the file says. The port is held
// from the first read to the end.
int restoreConfigCommand(TRS232Service& service, platform::Clock& clock, const std::string& path,
                         bool yes, std::istream& in, std::ostream& out, std::ostream& err);

// "COMn" as the settings file in the current directory names it.
std::string settingsPortName();
