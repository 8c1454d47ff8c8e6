#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/Axis.h"
#include "link/CorrectionTable.h"

// The box's configuration in a file: what the last link start read, kept as a backup, to be
// written back to the box or compared with it. An INI-like text with one value a line, in the
// box's own units (docs/config-file.md).
namespace boxconfig {

// The format this program writes; files of a newer one are refused.
constexpr int formatVersion = 1;
// The largest file read: three full correction tables take some 25 KB.
constexpr std::size_t maxFileBytes = 64 * 1024;

// Everything the configuration read gets from the box, per axis X, Y, Z, as the box holds it.
struct BoxConfig {
    int deviceKind = 0;  // 1 to 4
    std::array<int, 3> resolutionCodes{};
    // Counts per revolution as the box reports them (a 0 stays 0).
    std::array<std::int32_t, 3> lineCounts{};
    // The calibration factor in millionths: the box holds no finer fraction.
    std::array<std::int32_t, 3> calibrationMillionths{};
    // Bit 0 X, bit 1 Y, bit 2 Z set for an angular axis; the other bits as read.
    std::uint8_t dimensionTypes = 0;
    // Kinds 2 to 4 only: the segment correction tables, rows 1 to correctionRows in box units
    // (whole numbers), the rest 0.
    std::uint8_t correctionRows = 0;
    // Bits 4, 5, 6 switch the correction of X, Y, Z on; the other bits as read.
    std::uint32_t correctionFlags = 0;
    std::array<TCorrectionTable, 3> corrections{};

    bool operator==(const BoxConfig&) const = default;
};

// Kinds 2 to 4 keep correction tables; kind 1 has none.
constexpr bool hasCorrections(int deviceKind) {
    return deviceKind >= 2 && deviceKind <= 4;
}
bool angular(const BoxConfig& config, Axis axis);
// A calibration as the file and the dialog write it: "0.500000".
std::string calibrationText(std::int32_t millionths);
// A calibration as the box reports it, in whole millionths as the file keeps it: cut off beyond
// six decimals, a value meant as a whole number of millionths kept as exactly that, saturated.
std::int32_t millionthsOf(long double value);
// Whether a calibration as the box reports it is a whole number of millionths, as a file keeps
// it (a kind 1 box may hold a seventh decimal).
bool calibrationFitsFile(long double value);
// Why calibrations as the box reports them cannot be kept in a file exactly, naming the axis;
// nothing when they can.
std::optional<std::string> calibrationBeyondFile(const std::array<long double, 3>& values);
bool correctionOn(const BoxConfig& config, Axis axis);
// Why a configuration read from the box, with its calibrations as reported, is no backup: a file
// this program could not read back, or that would hold another value. Nothing when it is one.
std::optional<std::string> notKeptInFile(const BoxConfig& box,
                                         const std::array<long double, 3>& calibration);

// A file's configuration, or why it was refused: a sentence in the operator's language naming the
// line ("wiersz 7: ...") or the field that is wrong or missing.
struct ReadResult {
    std::optional<BoxConfig> config;
    std::string error;
};

// The file's text. A table value that is not a whole 32-bit number is written as the box would
// receive it (rounded half to even, saturated). Reading the text gives `config` back, and writing
// what was read gives the same text, byte for byte.
std::string configText(const BoxConfig& config);
// Refuses another format, a newer version, a value the parameters dialog would not write to a
// box of the file's kind, a malformed line, a file cut short (it ends in "[end]") or larger than
// maxFileBytes. Blank lines, comments (# or ;), blanks around "=" and CR LF line ends are allowed.
ReadResult parseConfig(std::string_view text);
// Why the file's configuration cannot go to the box attached: it is of another kind.
std::optional<std::string> kindMismatch(const BoxConfig& config, int connectedKind);

// The file at `path` read and parsed; a file that cannot be read is refused too.
ReadResult loadConfigFile(const std::string& path);
// The text put in place of the file at `path`, whole or not at all (platform::replaceFile);
// `error` says why not (platform::fileErrorText).
bool saveConfigFile(const std::string& path, const BoxConfig& config, int* error = nullptr);

// One line of the comparison of what the box holds with what a file would write: the axis ("X",
// "Y", "Z", or "" for the device as a whole), what the value is, both values as the operator
// reads them, and whether they differ. Every value is listed, unchanged ones too, and every
// field of the configuration has a line: two that differ in anything differ in a line.
struct Difference {
    std::string axis;
    std::string field;
    std::string now;
    std::string fromFile;
    bool changed = false;
};
// `boxCalibration`, when given, holds the box's calibrations as it reported them: one finer than
// a millionth is shown as it is and marked changed, as a restore rewrites it.
std::vector<Difference> compare(const BoxConfig& box, const BoxConfig& file,
                                const std::array<long double, 3>* boxCalibration = nullptr);

// What a restore of `file` must write to a box of its kind that holds `box`, with calibrations
// as `boxCalibration`: what already holds the file's values is not written again, so that the
// box keeps the bytes it holds them in (a kind 1 box may hold 1.5 as 15 tenths).
struct Writes {
    bool calibration = false;  // the calibration frame, within the parameters
    bool parameters = false;   // calibration, resolution, types, line counts
    bool corrections = false;  // the correction tables with their row count and flags
};
Writes writesFor(const BoxConfig& box, const std::array<long double, 3>& boxCalibration,
                 const BoxConfig& file);

}  // namespace boxconfig
