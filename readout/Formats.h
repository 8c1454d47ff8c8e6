#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The number texts and conversions of the readout. Every text uses '.' as the decimal separator,
// whatever the user's locale says.
namespace readout {

// The readout text of a position: fixed-point with `decimals` places and at most 10 significant
// digits (exponent form beyond 10 integer digits) for a linear axis; D'MM'SS for an angular one,
// the seconds rounded half to even and the angle wrapped into one turn.
std::string formatAxisValue(double value, int decimals, bool angular);
// The number that text shows, for programs that take the readings: the same rounding, and for an
// angular axis the same turn, in degrees.
double shownAxisValue(double value, int decimals, bool angular);

// Fixed-point with `decimals` places, rounded to at most `precision` significant digits (the
// places beyond them written as 0); exponent form when the integer part has more digits.
std::string formatFixed(double value, int decimals, int precision);

// The shortest text with at most `precision` significant digits and no trailing zeros; exponent
// form (1.5E-6) below 0.00001 or beyond `precision` integer digits.
std::string formatGeneral(double value, int precision = 15);

// A decimal number: optional sign, digits, optional fraction, optional exponent, '.' only.
// Blanks and control characters around it are ignored.
std::optional<double> parseDecimal(std::string_view text);

// An angle typed as degrees'minutes'seconds, or why it was refused. Minutes and seconds are two
// digits or more (an empty field is 0); there is no lower limit on the degrees.
struct AngleEntry {
    enum class Error {
        None,
        NotDigits,  // not a whole number once the first two apostrophes are removed
        MinutesOneDigit,
        SecondsOneDigit,
        DegreesNotInteger,  // the degree field is empty or only a sign
        DegreesExceeded,    // 360 or more
        MinutesExceeded,    // 60 or more
        SecondsExceeded,
    };
    Error error = Error::None;
    double degrees = 0;       // the value, when error is None
    std::string degreeField;  // the text before the first apostrophe
};
AngleEntry parseAngleEntry(std::string_view text);

// Removes leading and trailing blanks and control characters.
std::string_view trimmed(std::string_view text);

// Resolution step and display decimals of a resolution code, for a device kind whose highest
// code is maxCode (0 before the code list of the kind is known).
double stepForCode(int deviceKind, int code, int maxCode);
int decimalsForCode(int deviceKind, int code, int maxCode);

// What the conversion of a count needs to know of one axis.
struct AxisScale {
    bool angular = false;
    std::int32_t lineCount = 1;  // counts per revolution, never 0
    double step = 1.0;
    double calibration = 0.0005;
};

// The position of a count: kind 1 applies the calibration here, kinds 2 to 4 in the box.
double positionFromCount(int deviceKind, std::int32_t count, const AxisScale& axis);

}  // namespace readout
