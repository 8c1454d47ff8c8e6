// The readout texts of any position and any number of decimals. Input: the position (a double,
// 8 bytes) and the decimals (2 bytes, modulo 1001). Linear: the text reads back as the
// value to its places and 10 significant digits. Angular: D'MM'SS within one turn, the value
// wrapped exactly (a whole number of degrees stays whole however large).

#include <cmath>
#include <cstdint>
#include <string>

#include "fuzz/Check.h"
#include "readout/Formats.h"

namespace {

constexpr long long SecondsPerTurn = 1296000;

// A whole-numbered double modulo 360, worked out in integers: |v| = m * 2^e.
long long wholeDegreesInTurn(double v) {
    int exponent = 0;
    const double mantissa = std::frexp(std::fabs(v), &exponent);
    auto m = static_cast<std::uint64_t>(std::ldexp(mantissa, 53));
    int e = exponent - 53;
    if (e < 0) {
        m >>= -e;
        e = 0;
    }
    std::uint64_t r = m % 360;
    for (int i = 0; i < e; ++i) r = r * 2 % 360;
    if (v < 0 && r != 0) r = 360 - r;
    return static_cast<long long>(r);
}

long long shownSeconds(const std::string& text) {
    long long degrees = 0;
    int minutes = 0, seconds = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%lld'%2d'%2d%c", &degrees, &minutes, &seconds, &tail) != 3)
        return -1;
    if (degrees < 0 || degrees > 360 || minutes > 59 || seconds > 59 || minutes < 0 ||
        seconds < 0 || text.find('\'') + 6 != text.size())
        return -1;
    return degrees * 3600 + minutes * 60 + seconds;
}

void checkAngular(double value) {
    const std::string text = readout::formatAxisValue(value, 4, true);
    if (!std::isfinite(value)) {
        FUZZ_CHECK(text == "INF" || text == "-INF" || text == "NAN", "%g shown as '%s'", value,
                   text.c_str());
        return;
    }
    const long long shown = shownSeconds(text);
    FUZZ_CHECK(shown >= 0, "%.17g shown as '%s'", value, text.c_str());
    if (value == std::trunc(value)) {
        FUZZ_CHECK(shown == wholeDegreesInTurn(value) * 3600, "%.17g shown as '%s'", value,
                   text.c_str());
    } else if (std::fabs(value) < 1e9) {
        // Half a second may round either way in the last bit.
        const long long expected = std::llround(value * 3600);
        const long long apart =
            ((shown - expected) % SecondsPerTurn + SecondsPerTurn) % SecondsPerTurn;
        FUZZ_CHECK(apart <= 1 || apart == SecondsPerTurn - 1, "%.17g shown as '%s'", value,
                   text.c_str());
    }
}

void checkLinear(double value, int decimals) {
    const std::string text = readout::formatAxisValue(value, decimals, false);
    if (!std::isfinite(value)) {
        FUZZ_CHECK(text == "INF" || text == "-INF" || text == "NAN", "%g shown as '%s'", value,
                   text.c_str());
        return;
    }
    const auto back = readout::parseDecimal(text);
    FUZZ_CHECK(back.has_value(), "%.17g with %d places shown as '%s'", value, decimals,
               text.c_str());
    // Reading the text back as a double adds its own rounding.
    const double tolerance =
        0.5 * std::pow(10.0, -decimals) + (5e-10 + 1e-15) * std::fabs(value) + 1e-300;
    FUZZ_CHECK(std::fabs(*back - value) <= tolerance, "%.17g with %d places shown as '%s'", value,
               decimals, text.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const auto value = input.take<double>();
    const int decimals = input.take<std::uint16_t>() % 1001;
    checkAngular(value);
    checkLinear(value, decimals);
    return 0;
}
