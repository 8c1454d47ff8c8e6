// The offset entries: a linear offset typed as a decimal number, an angular one as
// degrees'minutes'seconds. Any text is read without harm; an accepted number is finite; an
// accepted angle is shown back by the readout as the same angle to the second.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/Check.h"
#include "readout/Formats.h"

namespace {

constexpr long long SecondsPerTurn = 1296000;

// The seconds within one turn a readout text D'MM'SS shows; -1 when the text has another form.
long long shownSeconds(const std::string& text) {
    const auto first = text.find('\'');
    if (first == std::string::npos || first == 0 || text.size() != first + 6 ||
        text[first + 3] != '\'')
        return -1;
    long long degrees = 0;
    for (std::size_t i = 0; i < first; ++i) {
        if (text[i] < '0' || text[i] > '9' || degrees > 360) return -1;
        degrees = degrees * 10 + (text[i] - '0');
    }
    const auto twoDigits = [&](std::size_t at) {
        const char a = text[at], b = text[at + 1];
        if (a < '0' || a > '5' || b < '0' || b > '9') return -1;
        return (a - '0') * 10 + (b - '0');
    };
    const int minutes = twoDigits(first + 1), seconds = twoDigits(first + 4);
    if (minutes < 0 || seconds < 0 || degrees > 360) return -1;
    return degrees * 3600 + minutes * 60 + seconds;
}

void checkDecimal(std::string_view text) {
    const auto value = readout::parseDecimal(text);
    if (value)
        FUZZ_CHECK(std::isfinite(*value), "'%.*s' read as %g", int(text.size()), text.data(),
                   *value);
}

void checkAngle(std::string_view text) {
    const readout::AngleEntry entry = readout::parseAngleEntry(text);
    if (entry.error != readout::AngleEntry::Error::None) return;
    const double degrees = entry.degrees;
    FUZZ_CHECK(std::isfinite(degrees) && degrees < 360 && degrees > -2147483650.0,
               "'%.*s' read as %.17g", int(text.size()), text.data(), degrees);
    // Typed in whole seconds, so the value is within a hair of a whole number of them.
    const double typedSeconds = degrees * 3600;
    const long long whole = std::llround(typedSeconds);
    FUZZ_CHECK(std::fabs(typedSeconds - double(whole)) < 0.01, "'%.*s' read as %.17g",
               int(text.size()), text.data(), degrees);
    const std::string shown = readout::formatAxisValue(degrees, 4, true);
    const long long seconds = shownSeconds(shown);
    FUZZ_CHECK(seconds >= 0, "'%.*s' shown as '%s'", int(text.size()), text.data(), shown.c_str());
    const long long wrapped = ((whole % SecondsPerTurn) + SecondsPerTurn) % SecondsPerTurn;
    FUZZ_CHECK(seconds % SecondsPerTurn == wrapped, "'%.*s' shown as '%s'", int(text.size()),
               text.data(), shown.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkDecimal(text);
    checkAngle(text);
    return 0;
}
