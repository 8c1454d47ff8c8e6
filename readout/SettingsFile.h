#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The settings file params.kv3: five CR LF lines - the port number, the offsets of X, Y and Z in
// general form, and "1" for absolute mode. No header, version or checksum.
namespace readout {

struct Settings {
    std::optional<int> port;  // 1 to 4; unset when line 1 names none of them
    std::array<double, 3> offsets{};
    bool absolute = false;
};

// A line beyond the end of the file reads as "0.0"; a bad number as 0; lines past the fifth
// are ignored.
Settings parseSettings(std::string_view content);

// Line 1 is the fourth character of the port name (empty when the name is shorter).
std::string settingsText(const std::string& portName, const std::array<double, 3>& offsets,
                         bool absolute);

}  // namespace readout
