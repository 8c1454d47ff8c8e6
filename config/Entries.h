#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The operator's typed numbers. Always read with '.' as the decimal point, whatever the user's
// locale; a ',' typed in its place is taken for it.
namespace entries {

// A real number with nothing around it but blanks and control characters; no infinities, no
// "nan", nothing beyond the range of a double.
std::optional<double> parseReal(const QString& text);
// A calibration factor: the first ',' stands for the point.
std::optional<double> parseCalibration(const QString& text);
// A signed whole number that fits 32 bits.
std::optional<std::int32_t> parseWholeNumber(const QString& text);

}  // namespace entries

// A correction cell: the first ',' stands for the point and the first blank is a thousands
// separator ("1 000"); empty text is no number.
std::optional<double> ParseCellValue(const QString& text);
