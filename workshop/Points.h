#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "workshop/Units.h"

// Target points: a name and a position per axis, in the box's units (mm, degrees); an axis left
// free has no value and keeps its ordinary reading. Kept in a CSV file of their own, imported and
// exported as CSV by the rules of the correction tables' files (config/CsvFields.h).
namespace workshop {

constexpr int maxPoints = 999;
constexpr std::size_t maxNameLength = 40;
constexpr std::size_t maxPointsFileBytes = 256 * 1024;

struct Point {
    std::string name;
    std::array<std::optional<double>, 3> at;  // X, Y, Z
    bool operator==(const Point&) const = default;
};
using Points = std::vector<Point>;

// What the program shows now, which a file's values must be in.
struct Shown {
    Display display;
    std::array<AxisView, 3> axes;
    // Whether the box's configuration is known; before, an axis may be either kind.
    bool kindsKnown = true;
};

// The points, or why the file was refused: a Polish sentence, naming the line where one is at
// fault.
struct PointsRead {
    std::optional<Points> points;
    std::string error;
};

// A header "name;X [mm];Y [mm];Z [mm]" first: the name column, then one column per axis the file
// gives, in any order, each with its unit ("mm", "in" or "°", "Ø" after it for a diameter).
// Refused: no header, an axis other than X, Y or Z or one given twice, a unit other than the one
// shown now (the operator switches and imports again) or of the other kind than the box's axis,
// a value that is no number, more than maxPoints points, none at all, a file larger than
// maxPointsFileBytes. An empty cell leaves the axis free.
PointsRead parsePoints(std::string_view text, const Shown& shown);

// The points in the unit shown (diameters where shown as such), ';'-separated with a decimal
// point and CR LF, as parsePoints reads them back: twelve significant digits, so that a file
// written in inches and read back stands within a millionth of a millimetre of the positions.
std::string pointsText(const Points& points, const Shown& shown);

// The program's own file holds the box's units (mm, decimal degrees), whatever is shown; the kinds
// of `axes` name the angular columns.
Shown boxUnits(const std::array<AxisView, 3>& axes);

}  // namespace workshop
