// What a restore would change, set out for the operator before anything is written.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "config/ConfigFile.h"
#include "platform/Translate.h"

namespace boxconfig {

namespace {

std::string rowsText(const TCorrectionTable& table, int rows) {
    int used = 0;
    for (int row = 1; row <= rows; ++row)
        if (table[row].Position != 0 || table[row].Corrected != 0) ++used;
    return platform::format(platform::translate("ConfigCompare", "%1 z %2 wierszy niezerowych"),
                            {std::to_string(used), std::to_string(rows)});
}

int rowsDiffering(const BoxConfig& a, const BoxConfig& b, std::size_t axis) {
    const int rows = std::max(a.correctionRows, b.correctionRows);
    int differing = 0;
    for (int row = 1; row <= rows; ++row)
        if (!(a.corrections[axis][row] == b.corrections[axis][row])) ++differing;
    return differing;
}

std::string hex(std::uint32_t word, int digits = 8) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, word);
    return text;
}

// A calibration finer than a millionth as the box reported it: the fewest decimals, seven or
// more, that give the value back (a kind 1 box's decimal float has at most seven digits).
std::string reportedText(long double value) {
    char text[48];
    for (int decimals = 7; decimals < 16; ++decimals) {
        std::snprintf(text, sizeof text, "%.*Lf", decimals, value);
        if (std::fabs(std::strtold(text, nullptr) - value) <=
            1e-13L * std::fmax(1.0L, std::fabs(value)))
            break;
    }
    return text;
}

bool tablesDiffer(const BoxConfig& a, const BoxConfig& b) {
    if (a.correctionRows != b.correctionRows || a.correctionFlags != b.correctionFlags) return true;
    for (std::size_t axis = 0; axis < 3; ++axis)
        if (rowsDiffering(a, b, axis) > 0) return true;
    return false;
}

}  // namespace

Writes writesFor(const BoxConfig& box, const std::array<long double, 3>& boxCalibration,
                 const BoxConfig& file) {
    Writes writes;
    for (std::size_t i = 0; i < 3; ++i)
        writes.calibration |= box.calibrationMillionths[i] != file.calibrationMillionths[i] ||
                              !calibrationFitsFile(boxCalibration[i]);
    writes.parameters = writes.calibration || box.resolutionCodes != file.resolutionCodes ||
                        box.lineCounts != file.lineCounts ||
                        box.dimensionTypes != file.dimensionTypes;
    writes.corrections = hasCorrections(file.deviceKind) && tablesDiffer(box, file);
    return writes;
}

std::vector<Difference> compare(const BoxConfig& box, const BoxConfig& file,
                                const std::array<long double, 3>* boxCalibration) {
    std::vector<Difference> out;
    const auto add = [&](std::string axis, std::string field, std::string now,
                         std::string fromFile) {
        const bool changed = now != fromFile;
        out.push_back(
            {std::move(axis), std::move(field), std::move(now), std::move(fromFile), changed});
    };
    add("", platform::translate("ConfigCompare", "rodzaj urządzenia"),
        std::to_string(box.deviceKind), std::to_string(file.deviceKind));
    static const char* const letters[] = {"X", "Y", "Z"};
    const bool corrections = hasCorrections(box.deviceKind) || hasCorrections(file.deviceKind);
    for (std::size_t i = 0; i < 3; ++i) {
        const Axis axis = static_cast<Axis>(i);
        const auto kind = [](const BoxConfig& c, Axis a) {
            return angular(c, a) ? platform::translate("ConfigCompare", "kątowa")
                                 : platform::translate("ConfigCompare", "liniowa");
        };
        add(letters[i], platform::translate("ConfigCompare", "kod rozdzielczości"),
            std::to_string(box.resolutionCodes[i]), std::to_string(file.resolutionCodes[i]));
        add(letters[i], platform::translate("ConfigCompare", "zliczenia (4 × impulsy)"),
            std::to_string(box.lineCounts[i]), std::to_string(file.lineCounts[i]));
        // A seventh decimal the box holds is lost to the file's value: shown, it is a change.
        if (boxCalibration && !calibrationFitsFile((*boxCalibration)[i]))
            out.push_back({letters[i], platform::translate("ConfigCompare", "kalibracja"),
                           reportedText((*boxCalibration)[i]),
                           calibrationText(file.calibrationMillionths[i]), true});
        else
            add(letters[i], platform::translate("ConfigCompare", "kalibracja"),
                calibrationText(box.calibrationMillionths[i]),
                calibrationText(file.calibrationMillionths[i]));
        add(letters[i], platform::translate("ConfigCompare", "rodzaj osi"), kind(box, axis),
            kind(file, axis));
        if (!corrections) continue;
        const auto on = [](const BoxConfig& c, Axis a) {
            return correctionOn(c, a) ? platform::translate("ConfigCompare", "włączona")
                                      : platform::translate("ConfigCompare", "wyłączona");
        };
        add(letters[i], platform::translate("ConfigCompare", "korekcja"), on(box, axis),
            on(file, axis));
        // A table is summed up, not listed: its rows that differ are counted.
        Difference table{letters[i], platform::translate("ConfigCompare", "tabela korekcji"),
                         rowsText(box.corrections[i], box.correctionRows),
                         rowsText(file.corrections[i], file.correctionRows), false};
        const int differing = rowsDiffering(box, file, i);
        table.changed = differing > 0;
        if (differing > 0)
            table.fromFile +=
                platform::format(platform::translate("ConfigCompare", ", różnych wierszy: %1"),
                                 {std::to_string(differing)});
        out.push_back(std::move(table));
    }
    // The bits of the types byte beyond the three axes' go back to the box with it.
    add("", platform::translate("ConfigCompare", "pozostałe bity typów osi"),
        hex(box.dimensionTypes & ~0x07u, 2), hex(file.dimensionTypes & ~0x07u, 2));
    if (corrections) {
        add("", platform::translate("ConfigCompare", "liczba wierszy korekcji"),
            std::to_string(box.correctionRows), std::to_string(file.correctionRows));
        add("", platform::translate("ConfigCompare", "pozostałe bity flag"),
            hex(box.correctionFlags & ~0x70u), hex(file.correctionFlags & ~0x70u));
    }
    return out;
}

}  // namespace boxconfig
