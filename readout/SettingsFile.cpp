#include "readout/SettingsFile.h"

#include <vector>

#include "readout/Formats.h"

namespace readout {

namespace {

constexpr std::string_view missingLine = "0.0";

std::vector<std::string_view> fiveLines(std::string_view content) {
    std::vector<std::string_view> lines;
    while (!content.empty() && lines.size() < 5) {
        const auto end = content.find('\n');
        std::string_view line = content.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        content.remove_prefix(end + 1);
    }
    lines.resize(5, missingLine);
    return lines;
}

}  // namespace

Settings parseSettings(std::string_view content) {
    const auto lines = fiveLines(content);
    Settings settings;
    if (lines[0].size() == 1 && lines[0][0] >= '1' && lines[0][0] <= '4')
        settings.port = lines[0][0] - '0';
    for (std::size_t i = 0; i < 3; ++i)
        settings.offsets[i] = parseDecimal(lines[i + 1]).value_or(0.0);
    settings.absolute = lines[4] == "1";
    return settings;
}

std::string settingsText(const std::string& portName, const std::array<double, 3>& offsets,
                         bool absolute) {
    std::string text = portName.size() >= 4 ? portName.substr(3, 1) : std::string();
    text += "\r\n";
    for (double offset : offsets) text += formatGeneral(offset) + "\r\n";
    text += absolute ? "1\r\n" : "0\r\n";
    return text;
}

}  // namespace readout
