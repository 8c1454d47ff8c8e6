#include "sim/StateFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "sim/Text.h"

namespace sim {

namespace {

const char* const AxisKeys[Axes] = {"correction-x", "correction-y", "correction-z"};

std::string joined(const auto& values) {
    std::string s;
    for (const auto& v : values) s += (s.empty() ? "" : " ") + std::to_string(v);
    return s;
}

// Three blank-separated integers within [low, high].
template <class T>
bool readThree(std::string_view value, std::int64_t low, std::int64_t high,
               std::array<T, Axes>& out) {
    const auto parts = text::split(value, ' ');
    if (parts.size() != Axes) return false;
    std::array<T, Axes> parsed{};
    for (int axis = 0; axis < Axes; ++axis) {
        std::int64_t v = 0;
        if (!text::parseIntIn(parts[axis], low, high, v)) return false;
        parsed[axis] = static_cast<T>(v);
    }
    out = parsed;
    return true;
}

bool readCalibration(std::string_view value, BoxSettings& s) {
    const auto parts = text::split(value, ' ');
    if (parts.size() != Axes) return false;
    for (int axis = 0; axis < Axes; ++axis) {
        std::uint64_t v = 0;
        if (parts[axis].size() != 8 || !text::parseHex(parts[axis], v)) return false;
        // Written in wire order, byte 0 first.
        for (int k = 0; k < 4; ++k)
            s.calibration[axis][k] = static_cast<std::uint8_t>(v >> (8 * (3 - k)));
    }
    return true;
}

bool readRows(std::string_view value, TCorrectionTable& table, int& rows) {
    table = TCorrectionTable{};
    rows = 0;
    if (value.empty()) return true;
    for (std::string_view row : text::split(value, ' ')) {
        const auto pair = text::split(row, '=');
        std::int64_t position = 0, corrected = 0;
        if (pair.size() != 2 || rows == 255 ||
            !text::parseIntIn(pair[0], INT32_MIN, INT32_MAX, position) ||
            !text::parseIntIn(pair[1], INT32_MIN, INT32_MAX, corrected))
            return false;
        ++rows;
        table[rows].Position = static_cast<long double>(position);
        table[rows].Corrected = static_cast<long double>(corrected);
    }
    return true;
}

bool readLine(std::string_view key, std::string_view value, BoxSettings& s) {
    std::int64_t v = 0;
    std::uint64_t hex = 0;
    if (key == "kind") {
        if (!text::parseIntIn(value, 1, 4, v)) return false;
        s.kind = static_cast<int>(v);
    } else if (key == "readiness") {
        if (!text::parseHex(value, hex) || hex > 0xFF) return false;
        s.readiness = static_cast<std::uint8_t>(hex);
    } else if (key == "calibration") {
        return readCalibration(value, s);
    } else if (key == "resolution") {
        return readThree(value, 0, 255, s.resolution);
    } else if (key == "types") {
        if (!text::parseIntIn(value, 0, 255, v)) return false;
        s.types = static_cast<std::uint8_t>(v);
    } else if (key == "lines") {
        return readThree(value, INT32_MIN, INT32_MAX, s.lineCounts);
    } else if (key == "correction-count") {
        if (!text::parseIntIn(value, 0, 255, v)) return false;
        s.correctionCount = static_cast<std::uint8_t>(v);
    } else if (key == "correction-flags") {
        if (!text::parseIntIn(value, 0, UINT32_MAX, v)) return false;
        s.correctionFlags = static_cast<std::uint32_t>(v);
    } else {
        for (int axis = 0; axis < Axes; ++axis) {
            int rows = 0;
            if (key == AxisKeys[axis]) return readRows(value, s.corrections[axis], rows);
        }
        return false;
    }
    return true;
}

}  // namespace

std::string settingsToText(const BoxSettings& s) {
    std::ostringstream out;
    out << "# kvt3-sim: what the simulated box stores\n";
    out << "kind=" << s.kind << "\n";
    if (s.readiness) out << "readiness=" << text::hexByte(*s.readiness) << "\n";
    out << "calibration=";
    for (int axis = 0; axis < Axes; ++axis) {
        if (axis) out << ' ';
        for (std::uint8_t b : s.calibration[axis]) out << text::hexByte(b);
    }
    out << "\nresolution=" << joined(s.resolution) << "\n";
    out << "types=" << int{s.types} << "\n";
    out << "lines=" << joined(s.lineCounts) << "\n";
    out << "correction-count=" << int{s.correctionCount} << "\n";
    out << "correction-flags=" << s.correctionFlags << "\n";
    for (int axis = 0; axis < Axes; ++axis) {
        out << AxisKeys[axis] << "=";
        for (int row = 1; row <= s.correctionCount; ++row) {
            const TCorrectionEntry& e = s.corrections[axis][row];
            out << (row > 1 ? " " : "") << static_cast<long long>(e.Position) << "="
                << static_cast<long long>(e.Corrected);
        }
        out << "\n";
    }
    return out.str();
}

bool settingsFromText(const std::string& textIn, BoxSettings& result, std::string& error) {
    BoxSettings s = result;
    int number = 0;
    for (std::string_view line : text::split(textIn, '\n')) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || !readLine(line.substr(0, eq), line.substr(eq + 1), s)) {
            error = "line " + std::to_string(number) + ": " + std::string(line);
            return false;
        }
    }
    result = s;
    return true;
}

bool loadSettings(const std::string& path, BoxSettings& s, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (!settingsFromText(content.str(), s, error)) {
        error = path + ", " + error;
        return false;
    }
    return true;
}

bool saveSettings(const std::string& path, const BoxSettings& s, std::string& error) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << settingsToText(s);
        out.close();
        if (!out) {
            error = temporary + ": " + std::strerror(errno);
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace sim
