#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The operator's typed numbers in the dialogs' texts: the rules of config/TypedNumbers.h, read
// from the UTF-8 form of the text.
namespace entries {

std::optional<double> parseReal(const QString& text);
std::optional<double> parseCalibration(const QString& text);
std::optional<std::int32_t> parseWholeNumber(const QString& text);

}  // namespace entries

std::optional<double> ParseCellValue(const QString& text);
