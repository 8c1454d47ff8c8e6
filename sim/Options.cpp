#include "sim/Options.h"

#include <cmath>
#include <cstdint>
#include <string_view>

#include "sim/Text.h"

namespace sim {

SimConfig demoConfig() {
    SimConfig c;
    BoxSettings& s = c.settings;
    s.kind = 1;
    s.resolution = {2, 2, 2};  // 0.001 a count
    s.types = 0x04;            // Z angular
    s.lineCounts = {4000, 4000, 36000};
    // X swings 50 mm either way in 20 s, Y creeps at 0.5 mm/s, Z turns a degree a second.
    c.motion[AxisX] = {Motion::Kind::Sine, 0, 0, 50000, 20, {}, false};
    c.motion[AxisY] = {Motion::Kind::Ramp, 0, 500, 0, 10, {}, false};
    c.motion[AxisZ] = {Motion::Kind::Ramp, 0, 100, 0, 10, {}, false};
    return c;
}

namespace {

using Edit = std::function<void(BoxSettings&)>;

bool durationUs(std::string_view value, double unitUs, std::int64_t& us) {
    double v = 0;
    if (!text::parseDouble(value, v) || !std::isfinite(v) || v < 0 || v * unitUs > 1e15)
        return false;
    us = static_cast<std::int64_t>(std::llround(v * unitUs));
    return true;
}

bool msOption(std::string_view value, std::int64_t& us) {
    return durationUs(value, 1000, us);
}

// "N" or "N/EVERY": request N, and every EVERY-th after it.
bool triggerOption(std::string_view value, Trigger& t) {
    const auto parts = text::split(value, '/');
    std::int64_t first = 0, every = 0;
    if (parts.size() > 2 || !text::parseIntIn(parts[0], 1, INT64_MAX, first)) return false;
    if (parts.size() == 2 && !text::parseIntIn(parts[1], 1, INT64_MAX, every)) return false;
    t = {first, every};
    return true;
}

// "X,Y,Z" of one kind of number.
template <class T, class Parse>
bool threeValues(std::string_view value, Parse parse, std::array<T, Axes>& out) {
    const auto parts = text::split(value, ',');
    if (parts.size() != Axes) return false;
    for (int axis = 0; axis < Axes; ++axis)
        if (!parse(parts[axis], out[axis])) return false;
    return true;
}

bool axisLetter(std::string_view s, int& axis) {
    if (s.size() != 1) return false;
    const char c = static_cast<char>(s[0] | 0x20);
    if (c < 'x' || c > 'z') return false;
    axis = c - 'x';
    return true;
}

bool byteValue(std::string_view s, std::uint8_t& b) {
    std::int64_t v = 0;
    std::uint64_t hex = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        if (!text::parseHex(s, hex) || hex > 0xFF) return false;
        b = static_cast<std::uint8_t>(hex);
        return true;
    }
    if (!text::parseIntIn(s, 0, 255, v)) return false;
    b = static_cast<std::uint8_t>(v);
    return true;
}

bool hexByteValue(std::string_view s, std::uint8_t& b) {
    std::uint64_t hex = 0;
    if (!text::parseHex(s, hex) || hex > 0xFF) return false;
    b = static_cast<std::uint8_t>(hex);
    return true;
}

// "AXIS:P=C,P=C,...": the correction rows of one axis; the row count becomes the largest.
bool correctionOption(std::string_view value, Edit& edit) {
    const std::size_t colon = value.find(':');
    int axis = 0;
    if (colon == std::string_view::npos || !axisLetter(value.substr(0, colon), axis)) return false;
    std::vector<std::pair<std::int32_t, std::int32_t>> rows;
    for (std::string_view row : text::split(value.substr(colon + 1), ',')) {
        const auto pair = text::split(row, '=');
        std::int64_t p = 0, c = 0;
        if (pair.size() != 2 || !text::parseIntIn(pair[0], INT32_MIN, INT32_MAX, p) ||
            !text::parseIntIn(pair[1], INT32_MIN, INT32_MAX, c) || rows.size() == 255)
            return false;
        rows.emplace_back(static_cast<std::int32_t>(p), static_cast<std::int32_t>(c));
    }
    edit = [axis, rows](BoxSettings& s) {
        TCorrectionTable& table = s.corrections[static_cast<std::size_t>(axis)];
        table = TCorrectionTable{};
        for (std::size_t i = 0; i < rows.size(); ++i) {
            table[static_cast<int>(i) + 1].Position = rows[i].first;
            table[static_cast<int>(i) + 1].Corrected = rows[i].second;
        }
        if (rows.size() > s.correctionCount)
            s.correctionCount = static_cast<std::uint8_t>(rows.size());
    };
    return true;
}

struct Option {
    const char* name;
    bool takesValue;
    std::function<bool(std::string_view, ProgramOptions&)> apply;
};

// A settings option: parses its value now, changes the settings later.
template <class Parse>
Option settingsOption(const char* name, Parse parse) {
    return {name, true, [parse](std::string_view value, ProgramOptions& o) {
                Edit edit;
                if (!parse(value, edit)) return false;
                o.settingsEdits.push_back(std::move(edit));
                return true;
            }};
}

const std::vector<Option>& optionTable() {
    static const std::vector<Option> table = {
        // Line and port.
        {"dir", true, [](auto v, auto& o) { return !v.empty() && (o.serve.dir = v, true); }},
        {"port", true,
         [](auto v, auto& o) {
             return !v.empty() && v.find('/') == std::string_view::npos && (o.serve.port = v, true);
         }},
        {"no-pacing", false,
         [](auto, auto& o) {
             o.serve.paced = false;
             return true;
         }},
        {"trace", false,
         [](auto, auto& o) {
             o.serve.trace = true;
             return true;
         }},
        {"stats", false,
         [](auto, auto& o) {
             o.serve.stats = true;
             return true;
         }},
        {"help", false,
         [](auto, auto& o) {
             o.help = true;
             return true;
         }},
        {"version", false,
         [](auto, auto& o) {
             o.version = true;
             return true;
         }},
        {"state", true, [](auto v, auto& o) { return !v.empty() && (o.stateFile = v, true); }},
        {"turnaround", true,
         [](auto v, auto& o) { return durationUs(v, 1, o.config.turnaroundUs); }},
        {"host-timeout", true, [](auto v, auto& o) { return msOption(v, o.config.hostTimeoutUs); }},
        // What the box stores.
        settingsOption("kind",
                       [](std::string_view v, Edit& e) {
                           std::int64_t kind = 0;
                           if (!text::parseIntIn(v, 1, 4, kind)) return false;
                           e = [kind](BoxSettings& s) { changeKind(s, static_cast<int>(kind)); };
                           return true;
                       }),
        settingsOption("readiness",
                       [](std::string_view v, Edit& e) {
                           std::uint8_t b = 0;
                           if (!hexByteValue(v, b)) return false;
                           e = [b](BoxSettings& s) { s.readiness = b; };
                           return true;
                       }),
        settingsOption("resolution",
                       [](std::string_view v, Edit& e) {
                           std::array<std::uint8_t, Axes> codes{};
                           if (!threeValues(v, byteValue, codes)) return false;
                           e = [codes](BoxSettings& s) { s.resolution = codes; };
                           return true;
                       }),
        settingsOption("calibration",
                       [](std::string_view v, Edit& e) {
                           std::array<long double, Axes> values{};
                           const auto parse = [](std::string_view t, long double& x) {
                               return text::parseLongDouble(t, x) && std::isfinite(x);
                           };
                           if (!threeValues(v, parse, values)) return false;
                           e = [values](BoxSettings& s) {
                               for (int axis = 0; axis < Axes; ++axis)
                                   setCalibrationValue(s, axis, values[axis]);
                           };
                           return true;
                       }),
        settingsOption("lines",
                       [](std::string_view v, Edit& e) {
                           std::array<std::int32_t, Axes> counts{};
                           const auto parse = [](std::string_view t, std::int32_t& x) {
                               std::int64_t n = 0;
                               if (!text::parseIntIn(t, INT32_MIN, INT32_MAX, n)) return false;
                               x = static_cast<std::int32_t>(n);
                               return true;
                           };
                           if (!threeValues(v, parse, counts)) return false;
                           e = [counts](BoxSettings& s) { s.lineCounts = counts; };
                           return true;
                       }),
        settingsOption("types",
                       [](std::string_view v, Edit& e) {
                           std::uint8_t b = 0;
                           if (!byteValue(v, b)) return false;
                           e = [b](BoxSettings& s) { s.types = b; };
                           return true;
                       }),
        settingsOption("correction", correctionOption),
        settingsOption("correction-flags",
                       [](std::string_view v, Edit& e) {
                           std::uint64_t flags = 0;
                           if (!text::parseHex(v, flags) || flags > UINT32_MAX) return false;
                           e = [flags](BoxSettings& s) {
                               s.correctionFlags = static_cast<std::uint32_t>(flags);
                           };
                           return true;
                       }),
        // How the box moves.
        {"motion", true,
         [](std::string_view v, ProgramOptions& o) {
             const std::size_t eq = v.find('=');
             int axis = 0;
             return eq != std::string_view::npos && axisLetter(v.substr(0, eq), axis) &&
                    parseMotion(std::string(v.substr(eq + 1)), o.config.motion[axis]);
         }},
        {"reference-travel", true,
         [](auto v, auto& o) { return msOption(v, o.config.referenceTravelUs); }},
        {"raw-counts", false,
         [](auto, auto& o) {
             o.config.applyCorrections = false;
             return true;
         }},
        {"seed", true,
         [](std::string_view v, ProgramOptions& o) {
             std::int64_t seed = 0;
             if (!text::parseIntIn(v, 1, UINT32_MAX, seed)) return false;
             o.config.seed = static_cast<std::uint32_t>(seed);
             return true;
         }},
        // Faults.
        {"silent-after", true,
         [](std::string_view v, ProgramOptions& o) {
             std::int64_t answered = 0;
             if (!text::parseIntIn(v, 0, INT64_MAX - 1, answered)) return false;
             o.config.faults.silent = {answered + 1, 0};
             return true;
         }},
        {"silent", true, [](auto v, auto& o) { return triggerOption(v, o.config.faults.silent); }},
        {"silent-after-reference", false,
         [](auto, auto& o) {
             o.config.faults.silentAfterReference = true;
             return true;
         }},
        {"silent-for", true,
         [](auto v, auto& o) { return msOption(v, o.config.faults.silentForUs); }},
        {"byte-delay", true,
         [](auto v, auto& o) { return msOption(v, o.config.faults.byteDelayUs); }},
        {"late", true, [](auto v, auto& o) { return triggerOption(v, o.config.faults.late); }},
        {"late-by", true, [](auto v, auto& o) { return msOption(v, o.config.faults.lateByUs); }},
        {"garbage", true,
         [](auto v, auto& o) { return triggerOption(v, o.config.faults.garbage); }},
        {"garbage-bytes", true,
         [](std::string_view v, ProgramOptions& o) {
             std::int64_t n = 0;
             if (!text::parseIntIn(v, 1, 12293, n)) return false;
             o.config.faults.garbageBytes = static_cast<int>(n);
             return true;
         }},
        {"refuse", true,
         [](std::string_view v, ProgramOptions& o) {
             std::int64_t k = 0;
             if (!text::parseIntIn(v, 0, 12293, k)) return false;
             o.config.faults.refuseByte = static_cast<int>(k);
             return true;
         }},
        {"bad-ack", true,
         [](std::string_view v, ProgramOptions& o) {
             const auto parts = text::split(v, ':');
             std::int64_t k = 0;
             std::uint8_t value = 0x55;
             if (parts.size() > 2 || !text::parseIntIn(parts[0], 0, 12293, k)) return false;
             if (parts.size() == 2 &&
                 (!hexByteValue(parts[1], value) || value == 0xE0 || value == 0xEA))
                 return false;
             o.config.faults.badAckByte = static_cast<int>(k);
             o.config.faults.badAckValue = value;
             return true;
         }},
        {"disconnect", true,
         [](auto v, auto& o) { return triggerOption(v, o.config.faults.disconnect); }},
        {"disconnect-for", true,
         [](std::string_view v, ProgramOptions& o) {
             return msOption(v, o.config.faults.disconnectForUs) &&
                    o.config.faults.disconnectForUs > 0;
         }},
    };
    return table;
}

}  // namespace

bool parseOptions(const std::vector<std::string>& args, ProgramOptions& options,
                  std::string& error) {
    ProgramOptions o = options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0) {
            error = "unexpected argument '" + arg + "' (see --help)";
            return false;
        }
        const std::size_t eq = arg.find('=');
        const std::string name =
            arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
        const Option* found = nullptr;
        for (const Option& option : optionTable())
            if (name == option.name) found = &option;
        if (!found) {
            error = "unknown option --" + name + " (see --help)";
            return false;
        }
        std::string value;
        if (found->takesValue) {
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                error = "--" + name + " needs a value";
                return false;
            }
        } else if (eq != std::string::npos) {
            error = "--" + name + " takes no value";
            return false;
        }
        if (!found->apply(value, o)) {
            error = "--" + name + ": cannot use '" + value + "' (see --help)";
            return false;
        }
    }
    options = std::move(o);
    return true;
}

bool finalSettings(const ProgramOptions& options, BoxSettings& settings, std::string& error) {
    BoxSettings s = settings;
    for (const Edit& edit : options.settingsEdits) edit(s);
    for (int axis = 0; axis < Axes; ++axis) {
        const char letter = "XYZ"[axis];
        if (s.kind != 1 && s.resolution[axis] > 15) {
            error = std::string("resolution code of ") + letter +
                    " above 15: kinds 2 to 4 carry four bits a code";
            return false;
        }
        if (s.kind == 1 && (s.lineCounts[axis] < -8388608 || s.lineCounts[axis] > 8388607)) {
            error = std::string("line count of ") + letter + " beyond the 24 bits of kind 1";
            return false;
        }
    }
    settings = s;
    return true;
}

}  // namespace sim
