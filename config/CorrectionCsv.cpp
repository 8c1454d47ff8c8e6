#include "config/CorrectionCsv.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "config/CellText.h"
#include "config/CsvFields.h"
#include "config/TypedNumbers.h"
#include "link/WireFormats.h"
#include "platform/Files.h"
#include "platform/TextLines.h"
#include "platform/Translate.h"

namespace correctioncsv {

namespace {

using csvfields::blank;
using csvfields::fieldsOf;
using csvfields::foreignCharacter;
using csvfields::quoted;

std::string lineText(int line, const std::string& message) {
    return platform::format(platform::translate("CorrectionCsv", "wiersz %1: %2"),
                            {std::to_string(line), message});
}

// How far a quotient may lie from a whole number and still be one: a double carries the decimal
// text to within some 1e-16 of its size; a true fraction lies at least 0.1 away.
bool nearlyWhole(long double v) {
    return std::fabs(v - std::round(v)) <= 1e-6L + 1e-12L * std::fabs(v);
}

long double powerOfTen(int e) {
    long double p = 1;
    for (int i = 0; i < e; ++i) p *= 10;
    return p;
}

double usableScale(double scale) {
    return scale == 0 || !std::isfinite(scale) ? 1.0 : scale;
}

int usableDecimals(int decimals) {
    return decimals < 0 ? 0 : decimals > 9 ? 9 : decimals;
}

// A box unit as a whole number of the last decimal place shown (0.0005 with 4 places is 5), when
// it is one: every resolution step is.
std::optional<std::int64_t> unitInPlaces(const AxisUnits& axis) {
    const long double places = usableScale(axis.scale) * powerOfTen(usableDecimals(axis.decimals));
    if (!(places >= 0.5L && places <= 1e9L) || !nearlyWhole(places)) return std::nullopt;
    return static_cast<std::int64_t>(std::round(places));
}

}  // namespace

std::string unitsText(long double units, const AxisUnits& axis) {
    const std::optional<std::int64_t> unit = unitInPlaces(axis);
    if (!unit) return correctionCellText(units * usableScale(axis.scale), axis.decimals);
    // What the box would receive of a value that is no whole 32-bit number.
    const std::int64_t value = std::int64_t{wire::roundHalfEvenToInt32(units)} * *unit;
    const int decimals = usableDecimals(axis.decimals);
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (digits.size() <= static_cast<std::size_t>(decimals))
        digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
    if (decimals > 0) digits.insert(digits.size() - static_cast<std::size_t>(decimals), ".");
    return (value < 0 ? "-" : "") + digits;
}

namespace {

// A value in the axis's units as a whole number of box units, or why it is none.
std::optional<long double> unitsOf(const std::string& text, int column, const AxisUnits& axis,
                                   std::string& why) {
    const std::string which =
        column == 1 ? platform::translate("CorrectionCsv", " w kolumnie 1 (położenie)")
                    : platform::translate("CorrectionCsv", " w kolumnie 2");
    const auto reason = [&](const std::string& pattern, const std::string& more = {}) {
        why = platform::format(pattern, {quoted(text), which, more});
    };
    const std::optional<double> value = entries::parseCell(text);
    if (!value) {
        if (const auto character = foreignCharacter(text))
            reason(platform::translate("CorrectionCsv",
                                       "niepoprawna wartość %1%2: znak %3 nie należy do liczby."),
                   *character);
        else
            reason(platform::translate("CorrectionCsv", "niepoprawna wartość %1%2."));
        return std::nullopt;
    }
    const long double units = static_cast<long double>(*value) / usableScale(axis.scale);
    const long double whole = std::round(units);
    if (!(whole >= std::numeric_limits<std::int32_t>::min() &&
          whole <= std::numeric_limits<std::int32_t>::max())) {
        reason(platform::translate("CorrectionCsv", "wartość %1%2 jest poza zakresem urządzenia."));
        return std::nullopt;
    }
    const int decimals = usableDecimals(axis.decimals);
    if (!nearlyWhole(static_cast<long double>(*value) * powerOfTen(decimals))) {
        reason(platform::translate("CorrectionCsv",
                                   "wartość %1%2 ma więcej miejsc po przecinku niż oś (%3)."),
               std::to_string(decimals));
        return std::nullopt;
    }
    if (!nearlyWhole(units)) {
        reason(platform::translate("CorrectionCsv",
                                   "wartość %1%2 nie jest wielokrotnością kroku osi (%3)."),
               unitsText(1, axis));
        return std::nullopt;
    }
    return whole == 0 ? 0.0L : whole;  // no "-0"
}

// Why a line has not two values, with what the file likely meant: one value is two run
// together by a separator this reader does not take; more than two in a comma-separated file
// are decimal commas taken for separators.
std::string countReason(std::size_t used, char separator) {
    if (used == 1)
        return platform::translate("CorrectionCsv",
                                   "oczekiwano dwóch wartości (położenie i wartość po korekcji), "
                                   "a jest jedna: wartości rozdziela się średnikiem, przecinkiem "
                                   "albo tabulatorem.");
    std::string why = platform::format(
        platform::translate("CorrectionCsv",
                            "oczekiwano dwóch wartości (położenie i wartość po korekcji), a jest "
                            "ich %1."),
        {std::to_string(used)});
    if (separator == ',')
        why += platform::translate(
            "CorrectionCsv", " Przy przecinku dziesiętnym wartości rozdziela się średnikiem.");
    return why;
}

}  // namespace

ReadResult parseCsv(std::string_view text, AxisUnits axis) {
    if (text.size() > maxFileBytes)
        return {std::nullopt,
                platform::format(platform::translate("CorrectionCsv",
                                                     "Plik CSV jest za duży (ponad %1 bajtów)."),
                                 {std::to_string(maxFileBytes)})};
    csvfields::dropByteOrderMark(text);
    const char separator = csvfields::separatorOf(text);

    Table table;
    bool headerPossible = true;
    // The line taken for the columns' names, for a file that has nothing else.
    int headerLine = 0;
    std::string headerText;
    int number = 0;
    while (!text.empty()) {
        std::string_view line = platform::takeLine(text);
        ++number;
        std::string why;
        const auto fields = fieldsOf(line, separator, why);
        if (!fields) return {std::nullopt, lineText(number, why)};
        std::size_t used = fields->size();
        while (used > 0 && blank((*fields)[used - 1])) --used;
        if (used == 0) continue;  // an empty line, or one of empty cells
        // The first line with something in it may name the columns, but only when none of its
        // values is a number: a first row with a mistyped value is a row, refused for that value,
        // not a header dropped without a word, which would make the table a row short.
        const bool header =
            headerPossible &&
            std::none_of(fields->begin(), fields->begin() + used,
                         [](const std::string& f) { return entries::parseCell(f).has_value(); });
        headerPossible = false;
        if (header) {
            headerLine = number;
            headerText = quoted(line);
            continue;
        }
        if (used != 2) return {std::nullopt, lineText(number, countReason(used, separator))};
        if (table.rows == maxRows)
            return {std::nullopt,
                    lineText(number,
                             platform::format(platform::translate(
                                                  "CorrectionCsv",
                                                  "więcej niż %1 wierszy: tyle mieści urządzenie."),
                                              {std::to_string(maxRows)}))};
        const auto position = unitsOf((*fields)[0], 1, axis, why);
        const auto corrected = position ? unitsOf((*fields)[1], 2, axis, why) : std::nullopt;
        if (!corrected) return {std::nullopt, lineText(number, why)};
        if (table.rows > 0 && *position < table.values[table.rows].Position)
            return {std::nullopt,
                    lineText(number, platform::translate("CorrectionCsv",
                                                         "wartości położenia powinny rosnąć."))};
        table.values[++table.rows] = {*position, *corrected};
    }
    if (table.rows == 0 && headerLine > 0)
        return {std::nullopt,
                platform::format(platform::translate("CorrectionCsv",
                                                     "Plik CSV nie zawiera żadnego wiersza "
                                                     "wartości, tylko nagłówek (wiersz %1: %2)."),
                                 {std::to_string(headerLine), headerText})};
    if (table.rows == 0)
        return {
            std::nullopt,
            platform::translate("CorrectionCsv", "Plik CSV nie zawiera żadnego wiersza wartości.")};
    return {table, {}};
}

std::string csvText(const TCorrectionTable& table, int rows, char letter, AxisUnits axis) {
    std::string text = std::string(1, letter) + ";" + letter + "'\r\n";
    for (int row = 1; row <= rows && row <= maxRows; ++row)
        text += unitsText(table[row].Position, axis) + ";" + unitsText(table[row].Corrected, axis) +
                "\r\n";
    return text;
}

ReadResult loadCsvFile(const std::string& path, AxisUnits axis) {
    // One byte more than may be read tells a file that is too large.
    int error = 0;
    const std::optional<std::string> text =
        platform::readRegularFile(path, maxFileBytes + 1, &error);
    if (!text)
        return {std::nullopt,
                platform::format(
                    platform::translate("CorrectionCsv", "Nie można odczytać pliku CSV: %1."),
                    {platform::fileErrorText(error)})};
    return parseCsv(*text, axis);
}

bool saveCsvFile(const std::string& path, const TCorrectionTable& table, int rows, char letter,
                 AxisUnits axis, int* error) {
    return platform::replaceFile(path, csvText(table, rows, letter, axis), error);
}

}  // namespace correctioncsv
