#include "readout/SettingsFile.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/Files.h"
#include "platform/TextLines.h"
#include "readout/Formats.h"

namespace readout {

namespace {

constexpr std::string_view missingLine = "0.0";

// The first six lines; the sixth only when the file has one.
std::vector<std::string_view> sixLines(std::string_view content) {
    std::vector<std::string_view> lines;
    while (!content.empty() && lines.size() < 6) lines.push_back(platform::takeLine(content));
    if (lines.size() < 5) lines.resize(5, missingLine);
    return lines;
}

// The writes owed at exit, and what guards them: the window's thread owes and settles, the
// exiting thread makes them.
struct Owed {
    std::mutex mutex;
    std::vector<OwedSettingsWrite*> writes;
};

Owed& owed() {
    static Owed instance;
    return instance;
}

}  // namespace

std::optional<std::string> readSettingsFile(const std::string& path) {
    return platform::readRegularFile(path, maxSettingsBytes);
}

bool writeSettingsFile(const std::string& path, std::string_view text) {
    // It may hold the live view's access key: only its owner reads it.
    return platform::replaceFile(path, text, nullptr, true);
}

Settings parseSettings(std::string_view content) {
    const auto lines = sixLines(content);
    Settings settings;
    if (lines[0].size() == 1 && lines[0][0] >= '1' && lines[0][0] <= '4')
        settings.port = lines[0][0] - '0';
    for (std::size_t i = 0; i < 3; ++i)
        settings.offsets[i] = parseDecimal(lines[i + 1]).value_or(0.0);
    settings.absolute = lines[4] == "1";
    if (lines.size() > 5) {
        settings.sixthLine = std::string(lines[5]);
        settings.serve = web::parseServeLine(lines[5]);
    }
    return settings;
}

OwedSettingsWrite::~OwedSettingsWrite() {
    settle();
}

void OwedSettingsWrite::owe(std::string path, std::function<std::string()> text) {
    // The list exists before the handler is registered, so that it is destroyed only after the
    // handler has run.
    Owed& all = owed();
    static const bool registered = std::atexit(&OwedSettingsWrite::atExit) == 0;
    if (!registered) return;
    const std::lock_guard lock(all.mutex);
    path_ = std::move(path);
    text_ = std::move(text);
    if (std::find(all.writes.begin(), all.writes.end(), this) == all.writes.end())
        all.writes.push_back(this);
}

void OwedSettingsWrite::settle() {
    Owed& all = owed();
    const std::lock_guard lock(all.mutex);
    std::erase(all.writes, this);
}

void OwedSettingsWrite::atExit() {
    Owed& all = owed();
    const std::lock_guard lock(all.mutex);
    for (OwedSettingsWrite* write : all.writes) {
        // Nothing may escape an exit handler; a failure is as silent as that of any write.
        try {
            writeSettingsFile(write->path_, write->text_());
        } catch (...) {
        }
    }
    all.writes.clear();
}

std::string settingsText(const std::string& portName, const std::array<double, 3>& offsets,
                         bool absolute, const std::string* sixthLine) {
    std::string text = portName.size() >= 4 ? portName.substr(3, 1) : std::string();
    text += "\r\n";
    for (double offset : offsets) text += formatGeneral(offset) + "\r\n";
    text += absolute ? "1\r\n" : "0\r\n";
    if (sixthLine) text += *sixthLine + "\r\n";
    return text;
}

}  // namespace readout
