#include "workshop/Points.h"

#include <algorithm>
#include <cmath>

#include "config/CsvFields.h"
#include "config/TypedNumbers.h"
#include "platform/TextLines.h"
#include "platform/Translate.h"
#include "readout/Formats.h"

namespace workshop {

namespace {

constexpr std::string_view diameterMark = "\u00D8";
constexpr char letters[] = {'X', 'Y', 'Z'};

std::string lineText(int line, const std::string& message) {
    return platform::format(platform::translate("Points", "wiersz %1: %2"), {std::to_string(line), message});
}

std::string trimmedText(std::string_view text) {
    return std::string(readout::trimmed(text));
}

// One axis column of the header: "X [mm]", "Y [in Ø]", "Z [°]".
struct Column {
    int axis = -1;
    std::string unit;
    bool diameter = false;
};

std::optional<Column> columnOf(std::string_view field, std::string& why) {
    const std::string text = trimmedText(field);
    const auto open = text.find('[');
    const std::string letter = trimmedText(std::string_view(text).substr(0, open));
    Column column;
    if (letter.size() == 1) {
        const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])));
        for (int i = 0; i < 3; ++i)
            if (letters[i] == upper) column.axis = i;
    }
    if (column.axis < 0) {
        why = platform::format(platform::translate("Points", "nieznana oś %1: plik punktów może podawać tylko X, Y i Z."),
                               {csvfields::quoted(letter)});
        return std::nullopt;
    }
    const auto close = text.find(']');
    if (open == std::string::npos || close == std::string::npos || close < open) {
        why = platform::format(platform::translate("Points", "kolumna %1 nie podaje jednostki (np. „X [mm]”)."), {letter});
        return std::nullopt;
    }
    std::string unit = trimmedText(std::string_view(text).substr(open + 1, close - open - 1));
    if (unit.ends_with(diameterMark)) {
        column.diameter = true;
        unit = trimmedText(std::string_view(unit).substr(0, unit.size() - diameterMark.size()));
    }
    if (unit == "inch" || unit == "\"") unit = "in";
    if (unit == "deg") unit = "\u00B0";
    column.unit = unit;
    return column;
}

std::string unitWords(const std::string& unit) {
    if (unit == "mm") return platform::translate("Points", "milimetrach");
    if (unit == "in") return platform::translate("Points", "calach");
    if (unit == "\u00B0") return platform::translate("Points", "stopniach");
    return csvfields::quoted(unit);
}

// Why a column cannot be read into the axis as shown now; empty when it can.
std::string columnMismatch(const Column& column, const Shown& shown) {
    const char letter[] = {letters[column.axis], '\0'};
    const bool angleColumn = column.unit == "\u00B0";
    if (column.unit != "mm" && column.unit != "in" && !angleColumn)
        return platform::format(platform::translate("Points", "kolumna %1: nieznana jednostka %2."),
                                {letter, csvfields::quoted(column.unit)});
    const AxisView& axis = shown.axes[static_cast<std::size_t>(column.axis)];
    if (shown.kindsKnown && angleColumn != axis.angular)
        return platform::format(angleColumn ? platform::translate("Points", "oś %1 jest w pliku kątowa, a w urządzeniu liniowa.")
                                            : platform::translate("Points", "oś %1 jest w pliku liniowa, a w urządzeniu kątowa."),
                                {letter});
    if (!angleColumn) {
        const std::string now = shown.display.length == LengthUnit::inch ? "in" : "mm";
        if (column.unit != now)
            return platform::format(
                platform::translate("Points", "oś %1 jest w pliku w %2, a program pokazuje wartości w %3: przełącz jednostki i "
                   "wczytaj plik ponownie."),
                {letter, unitWords(column.unit), unitWords(now)});
    }
    if (column.diameter && angleColumn)
        return platform::format(platform::translate("Points", "oś kątowa %1 nie może być średnicą."), {letter});
    return {};
}

// One unit of the column in box units.
double boxPerColumn(const Column& column) {
    if (column.unit == "\u00B0") return 1.0;
    return (column.unit == "in" ? mmPerInch : 1.0) / (column.diameter ? 2.0 : 1.0);
}

std::string fieldText(const std::string& text) {
    if (text.find_first_of(";\",\r\n\t") == std::string::npos) return text;
    std::string quotedText = "\"";
    for (char c : text) {
        if (c == '"') quotedText += '"';
        quotedText += c;
    }
    return quotedText + "\"";
}

}  // namespace

Shown boxUnits(const std::array<AxisView, 3>& axes) {
    Shown shown;
    shown.kindsKnown = false;
    for (std::size_t i = 0; i < 3; ++i) shown.axes[i].angular = axes[i].angular;
    return shown;
}

PointsRead parsePoints(std::string_view text, const Shown& shown) {
    if (text.size() > maxPointsFileBytes)
        return {std::nullopt,
                platform::format(platform::translate("Points", "Plik punktów jest za duży (ponad %1 bajtów)."),
                                 {std::to_string(maxPointsFileBytes)})};
    csvfields::dropByteOrderMark(text);
    const char separator = csvfields::separatorOf(text);
    std::vector<Column> columns;
    Points points;
    int number = 0;
    while (!text.empty()) {
        const std::string_view line = platform::takeLine(text);
        ++number;
        std::string why;
        const auto fields = csvfields::fieldsOf(line, separator, why);
        if (!fields) return {std::nullopt, lineText(number, why)};
        std::size_t used = fields->size();
        while (used > 0 && csvfields::blank((*fields)[used - 1])) --used;
        if (used == 0) continue;
        if (columns.empty()) {
            // The header: the name, then the axes with their units.
            if (used < 2)
                return {std::nullopt,
                        lineText(number, platform::translate("Points", "brak nagłówka z osiami i jednostkami, np. "
                                            "„nazwa;X [mm];Y [mm];Z [mm]”."))};
            for (std::size_t f = 1; f < used; ++f) {
                const auto column = columnOf((*fields)[f], why);
                if (!column) return {std::nullopt, lineText(number, why)};
                for (const Column& earlier : columns)
                    if (earlier.axis == column->axis)
                        return {std::nullopt,
                                lineText(number, platform::format(platform::translate("Points", "oś %1 podana dwa razy."),
                                                                  {std::string(1, letters[column->axis])}))};
                why = columnMismatch(*column, shown);
                if (!why.empty()) return {std::nullopt, lineText(number, why)};
                columns.push_back(*column);
            }
            continue;
        }
        if (used > columns.size() + 1)
            return {std::nullopt,
                    lineText(number, platform::format(platform::translate("Points", "więcej wartości (%1) niż kolumn w "
                                                         "nagłówku (%2)."),
                                                      {std::to_string(used - 1),
                                                       std::to_string(columns.size())}))};
        if (static_cast<int>(points.size()) == maxPoints)
            return {std::nullopt,
                    lineText(number, platform::format(platform::translate("Points", "więcej niż %1 punktów."),
                                                      {std::to_string(maxPoints)}))};
        Point point;
        point.name = trimmedText((*fields)[0]).substr(0, maxNameLength);
        if (point.name.empty()) point.name = "P" + std::to_string(points.size() + 1);
        for (std::size_t c = 0; c < columns.size() && c + 1 < used; ++c) {
            const std::string& cell = (*fields)[c + 1];
            if (csvfields::blank(cell)) continue;
            const std::optional<double> value = entries::parseCell(cell);
            if (!value)
                return {std::nullopt,
                        lineText(number, platform::format(platform::translate("Points", "niepoprawna wartość %1 w kolumnie "
                                                             "%2."),
                                                          {csvfields::quoted(cell),
                                                           std::string(1, letters[columns[c].axis])}))};
            point.at[static_cast<std::size_t>(columns[c].axis)] = *value * boxPerColumn(columns[c]);
        }
        points.push_back(std::move(point));
    }
    if (columns.empty()) return {std::nullopt, platform::translate("Points", "Plik punktów jest pusty.")};
    return {std::move(points), {}};
}

std::string pointsText(const Points& points, const Shown& shown) {
    std::string text = "name";
    for (std::size_t i = 0; i < 3; ++i) {
        const AxisView& axis = shown.axes[i];
        text += ';';
        text += letters[i];
        text += " [" + unitName(axis, shown.display) +
                (axis.diameter && !axis.angular ? " " + std::string(diameterMark) : "") + "]";
    }
    text += "\r\n";
    for (const Point& point : points) {
        text += fieldText(point.name);
        for (std::size_t i = 0; i < 3; ++i) {
            text += ';';
            if (point.at[i])
                text += readout::formatGeneral(*point.at[i] * shownPerBox(shown.axes[i], shown.display),
                                               12);
        }
        text += "\r\n";
    }
    return text;
}

}  // namespace workshop
