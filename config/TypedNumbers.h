#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The operator's typed numbers as UTF-8 text, free of Qt (config/Entries.h gives them to the
// dialogs' QString texts). Always read with '.' as the decimal point, whatever the user's locale.
namespace entries {

// A real number with nothing around it but blanks and control characters; no infinities, no
// "nan", nothing beyond the range of a double.
std::optional<double> parseReal(std::string_view text);
// A calibration factor: the first ',' stands for the point.
std::optional<double> parseCalibration(std::string_view text);
// A signed whole number that fits 32 bits.
std::optional<std::int32_t> parseWholeNumber(std::string_view text);
// A correction cell: the first ',' stands for the point and the first blank is a thousands
// separator ("1 000"); empty text is no number.
std::optional<double> parseCell(std::string_view text);

}  // namespace entries
