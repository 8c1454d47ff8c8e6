#pragma once

#include <optional>
#include <string>
#include <string_view>

// How the operator reads and types positions: linear axes in millimetres or inches, angular ones
// in degrees'minutes'seconds or decimal degrees, a linear axis as a diameter. Positions stay in
// the box's units (millimetres, degrees) everywhere in the program; only the texts shown and the
// numbers typed are in the operator's unit, so switching back and forth never moves a reading.
namespace workshop {

enum class LengthUnit { mm, inch };
enum class AngleFormat { dms, decimal };

constexpr double mmPerInch = 25.4;

struct Display {
    LengthUnit length = LengthUnit::mm;
    AngleFormat angle = AngleFormat::dms;

    bool operator==(const Display&) const = default;
};

// One axis as the box has it and as the operator chose to see it.
struct AxisView {
    bool angular = false;
    int decimals = 3;       // the box's places in millimetres
    bool diameter = false;  // linear only: shown as twice the position
};

// Places shown: one more in inches than in millimetres (0.001 mm steps read to 0.0001").
int shownDecimals(const AxisView& axis, const Display& display);

// What one unit of the box (mm, degree) is in the unit shown (inch, diameter).
double shownPerBox(const AxisView& axis, const Display& display);

// A reading (box units) as the figures show it; an angle wrapped into one turn.
std::string readingText(double value, const AxisView& axis, const Display& display);

// A distance to go (box units) as the figures show it: signed, an angle the shorter way round.
std::string distanceText(double value, const AxisView& axis, const Display& display);

// A number typed in the unit shown, in box units: a decimal point or comma; nothing when it is
// no number. Angles: decimal degrees, or D'MM'SS as the offset entry takes it.
std::optional<double> typedValue(std::string_view text, const AxisView& axis,
                                 const Display& display);

// A value (box units) as the operator types it back: in the unit shown, with its places.
std::string editText(double value, const AxisView& axis, const Display& display);

// The offset that halves the relative reading position - offset: the centre between the edge
// cleared and the one touched now reads 0.
double halvingOffset(double position, double offset);

// How far the reading is from the target, so that driving the axis to 0 reaches it; an angle
// the shorter way round, in (-180, 180].
double distanceToGo(double reading, double target, bool angular);

// Within the operator's tolerance (box units) of zero, as the figures show it: a distance that
// rounds to 0.000 is near zero even with no tolerance.
bool nearZero(double distance, double tolerance, const AxisView& axis, const Display& display);

// The unit's name as files and captions write it: "mm", "in" or "°".
std::string unitName(const AxisView& axis, const Display& display);

}  // namespace workshop
