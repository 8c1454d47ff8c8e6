#include "workshop/Units.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "readout/Formats.h"

namespace workshop {

namespace {

// Decimal degrees to 1/10000 of a degree: finer than a second of arc.
constexpr int degreeDecimals = 4;
// The figures carry ten significant digits (readout/Formats.h).
constexpr int figuresPrecision = 10;

bool inches(const AxisView& axis, const Display& display) {
    return !axis.angular && display.length == LengthUnit::inch;
}

double wrappedTurn(double degrees) {
    double wrapped = std::fmod(degrees, 360.0);
    if (wrapped < 0) wrapped += 360.0;
    return wrapped;
}

}  // namespace

int shownDecimals(const AxisView& axis, const Display& display) {
    if (axis.angular) return degreeDecimals;
    return std::clamp(axis.decimals, 0, 9) + (inches(axis, display) ? 1 : 0);
}

double shownPerBox(const AxisView& axis, const Display& display) {
    if (axis.angular) return 1.0;
    return (axis.diameter ? 2.0 : 1.0) / (inches(axis, display) ? mmPerInch : 1.0);
}

std::string readingText(double value, const AxisView& axis, const Display& display) {
    if (axis.angular) {
        if (display.angle == AngleFormat::dms) return readout::formatAxisValue(value, 0, true);
        // Rounded first: 359.99999 is a whole turn, shown as 0 as the D'MM'SS form does.
        const double turn = wrappedTurn(value);
        const double rounded = std::round(turn * 1e4) / 1e4;
        return readout::formatFixed(rounded >= 360.0 ? 0.0 : rounded, degreeDecimals,
                                    figuresPrecision);
    }
    return readout::formatFixed(value * shownPerBox(axis, display), shownDecimals(axis, display),
                                figuresPrecision);
}

std::string distanceText(double value, const AxisView& axis, const Display& display) {
    if (!axis.angular) return readingText(value, axis, display);
    const double shorter = distanceToGo(value, 0.0, true);
    if (display.angle == AngleFormat::decimal)
        return readout::formatFixed(shorter, degreeDecimals, figuresPrecision);
    // The D'MM'SS form wraps into a turn: the sign goes in front of the size.
    std::string text = readout::formatAxisValue(std::fabs(shorter), 0, true);
    if (shorter < 0 && text != "0'00'00") text.insert(text.begin(), '-');
    return text;
}

std::optional<double> typedValue(std::string_view text, const AxisView& axis,
                                 const Display& display) {
    std::string typed(readout::trimmed(text));
    if (axis.angular && typed.find('\'') != std::string::npos) {
        const readout::AngleEntry angle = readout::parseAngleEntry(typed);
        if (angle.error != readout::AngleEntry::Error::None) return std::nullopt;
        return angle.degrees;
    }
    // As the dialogs take decimals: the first comma stands for the point.
    if (const auto comma = typed.find(','); comma != std::string::npos) typed[comma] = '.';
    const std::optional<double> value = readout::parseDecimal(typed);
    if (!value || !std::isfinite(*value)) return std::nullopt;
    const double box = *value / shownPerBox(axis, display);
    if (!std::isfinite(box)) return std::nullopt;
    return box;
}

std::string editText(double value, const AxisView& axis, const Display& display) {
    if (axis.angular && display.angle == AngleFormat::decimal)
        return readout::formatFixed(value, degreeDecimals, figuresPrecision);
    return readingText(value, axis, display);
}

double halvingOffset(double position, double offset) {
    return position - (position - offset) / 2;
}

double distanceToGo(double reading, double target, bool angular) {
    const double distance = reading - target;
    if (!angular) return distance;
    double shorter = std::remainder(distance, 360.0);
    if (shorter <= -180.0) shorter += 360.0;
    return shorter;
}

bool nearZero(double distance, double tolerance, const AxisView& axis, const Display& display) {
    if (!std::isfinite(distance)) return false;
    if (std::fabs(distance) <= tolerance) return true;
    // What reads 0 reads 0: the figures must not show zero without the cue.
    const std::string text = distanceText(distance, axis, display);
    return text.find_first_of("123456789") == std::string::npos;
}

std::string unitName(const AxisView& axis, const Display& display) {
    if (axis.angular) return "\u00B0";
    return inches(axis, display) ? "in" : "mm";
}

}  // namespace workshop
