#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "config/ConfigFile.h"

namespace {

boxconfig::BoxConfig kind4() {
    boxconfig::BoxConfig c;
    c.deviceKind = 4;
    c.resolutionCodes = {5, 5, 5};
    c.lineCounts = {4000, 4000, 4000};
    c.calibrationMillionths = {500000, 500000, 500000};
    c.correctionRows = 3;
    c.correctionFlags = 0x10;
    for (auto& table : c.corrections)
        for (int row = 1; row <= 3; ++row) table[row] = {row * 100.0L, row * 100.0L + 1};
    return c;
}

TEST(ConfigCompare, EveryValueIsListedAndOnlyWhatDiffersIsMarked) {
    struct Case {
        const char* name;
        std::function<void(boxconfig::BoxConfig&)> change;
        std::vector<std::string> changed;  // "axis field"
    };
    const Case cases[] = {
        {"nothing", [](auto&) {}, {}},
        {"a calibration", [](auto& c) { c.calibrationMillionths[1] = -123456; }, {"Y kalibracja"}},
        {"an axis made angular", [](auto& c) { c.dimensionTypes = 0x04; }, {"Z rodzaj osi"}},
        {"a switch", [](auto& c) { c.correctionFlags = 0x30; }, {"Y korekcja"}},
        {"a table row", [](auto& c) { c.corrections[2][2].Corrected = 7; }, {"Z tabela korekcji"}},
        {"other flag bits", [](auto& c) { c.correctionFlags |= 0x100; }, {" pozostałe bity flag"}},
    };
    const boxconfig::BoxConfig box = kind4();
    for (const Case& c : cases) {
        boxconfig::BoxConfig file = box;
        c.change(file);
        const auto lines = boxconfig::compare(box, file);
        // Device kind, 6 lines for each axis, other type bits, row count and flags.
        EXPECT_EQ(lines.size(), 1u + 3 * 6 + 3) << c.name;
        std::vector<std::string> changed;
        for (const auto& line : lines)
            if (line.changed) changed.push_back(line.axis + " " + line.field);
        EXPECT_EQ(changed, c.changed) << c.name;
    }
    // The calibration as the operator reads it; a kind without tables lists none.
    boxconfig::BoxConfig file = box;
    file.calibrationMillionths[1] = -123456;
    const auto lines = boxconfig::compare(box, file);
    EXPECT_EQ(lines[1 + 6 + 2].now, "0.500000");
    EXPECT_EQ(lines[1 + 6 + 2].fromFile, "-0.123456");
    boxconfig::BoxConfig one = box;
    one.deviceKind = 1;
    EXPECT_EQ(boxconfig::compare(one, one).size(), 1u + 3 * 4 + 1);
}

}  // namespace
