#include "config/Entries.h"

#include "config/TypedNumbers.h"

namespace entries {

std::optional<double> parseReal(const QString& text) {
    return parseReal(text.toStdString());
}

std::optional<double> parseCalibration(const QString& text) {
    return parseCalibration(text.toStdString());
}

std::optional<std::int32_t> parseWholeNumber(const QString& text) {
    return parseWholeNumber(text.toStdString());
}

}  // namespace entries

std::optional<double> ParseCellValue(const QString& text) {
    return entries::parseCell(text.toStdString());
}
