#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "web/ServeChoice.h"

// The settings file params.kv3: five CR LF lines - the port number, the offsets of X, Y and Z in
// general form, and "1" for absolute mode - and, once the live view has been turned on, a sixth
// with its choice (web/ServeChoice.h). No header, version or checksum.
namespace readout {

struct Settings {
    std::optional<int> port;  // 1 to 4; unset when line 1 names none of them
    std::array<double, 3> offsets{};
    bool absolute = false;
    // The live view's line as it stands, and what it says; unset when the file has none or, for
    // `serve`, when it is not one. A line that is not one is written back as it stood.
    std::optional<std::string> sixthLine;
    std::optional<web::ServeChoice> serve;
};

// A line beyond the end of the file reads as "0.0"; a bad number as 0; lines past the fifth
// and the sixth are ignored.
Settings parseSettings(std::string_view content);

// Line 1 is the fourth character of the port name (empty when the name is shorter).
// The sixth line (without its line end) only when there is one to keep.
std::string settingsText(const std::string& portName, const std::array<double, 3>& offsets,
                         bool absolute, const std::string* sixthLine = nullptr);

// How much of the file is read: five short lines take some tens of bytes, and what follows them
// is ignored anyway.
constexpr std::size_t maxSettingsBytes = 4096;

// The start of the settings file at `path` (its first maxSettingsBytes), as
// platform::readRegularFile reads it: nothing when it is missing, no regular file or unreadable.
std::optional<std::string> readSettingsFile(const std::string& path);

// Puts `text` in place of the settings file at `path`, whole or not at all (platform::replaceFile);
// a file made read-only keeps its port and mode. The file is its owner's alone (0600 or less):
// it holds the live view's access key. Returns whether the new content is in place.
bool writeSettingsFile(const std::string& path, std::string_view text);

// A write of the settings that is still owed when the process ends through exit() without the
// window having closed: Qt ends the program that way when the connection to the display breaks.
// The owed write is then made from the exit handler, on the exiting thread, with the text `text`
// gives at that moment; `text` must read only values that live until then. The owner settles it
// when it writes the file itself, and at the latest when it goes.
class OwedSettingsWrite {
public:
    OwedSettingsWrite() = default;
    ~OwedSettingsWrite();
    OwedSettingsWrite(const OwedSettingsWrite&) = delete;
    OwedSettingsWrite& operator=(const OwedSettingsWrite&) = delete;

    void owe(std::string path, std::function<std::string()> text);
    void settle();

private:
    // The exit handler: makes the writes still owed.
    static void atExit();

    std::string path_;
    std::function<std::string()> text_;
};

}  // namespace readout
