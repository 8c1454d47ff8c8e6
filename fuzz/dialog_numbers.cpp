// The dialogs' typed numbers and correction cell texts. Text mode (first byte even): the rest of
// the input is read without harm by every parser; a whole number reads as the same real; an
// accepted real is finite. Cell mode (first byte odd): the decimals (2 bytes, -2 to 1000), the
// kind of value (1 byte: infinity, minus infinity, NaN, box units times a resolution step, or
// mantissa times a power of two), then the value's parts (box units: 4 bytes and the step's
// index; mantissa 8 bytes and exponent 2 bytes): the cell text reads back as the value to its
// places and 8 significant digits.

#include <cmath>
#include <cstdint>
#include <string>

#include "config/CellText.h"
#include "config/TypedNumbers.h"
#include "fuzz/Check.h"

namespace {

void checkTyped(const std::string& text) {
    for (const auto& real :
         {entries::parseReal(text), entries::parseCalibration(text), entries::parseCell(text)}) {
        if (real) FUZZ_CHECK(std::isfinite(*real), "'%s' read as %g", text.c_str(), *real);
    }
    if (const auto whole = entries::parseWholeNumber(text)) {
        const auto real = entries::parseReal(text);
        FUZZ_CHECK(real && *real == *whole, "'%s' whole %d, real %g", text.c_str(), *whole,
                   real ? *real : 0.0);
    }
}

void checkCell(long double value, int decimals) {
    const std::string text = correctionCellText(value, decimals);
    if (std::isnan(value)) {
        FUZZ_CHECK(text == "NAN", "NaN shown as '%s'", text.c_str());
        return;
    }
    if (std::isinf(value)) {
        FUZZ_CHECK(text == (value < 0 ? "-INF" : "INF"), "%Lg shown as '%s'", value, text.c_str());
        return;
    }
    // Beyond the range of a double (long doubles reach further both ways) the text is right but
    // no cell can take it back.
    if (std::fabs(value) > 1e300L || (value != 0 && std::fabs(value) < 1e-300L)) return;
    const auto back = entries::parseCell(text);
    FUZZ_CHECK(back.has_value(), "%.20Lg with %d places shown as '%s'", value, decimals,
               text.c_str());
    // Negative decimals read as none; reading the text back as a double adds its own rounding.
    const int places = decimals < 0 ? 0 : decimals;
    const long double tolerance = 0.5L * std::pow(10.0L, static_cast<long double>(-places)) +
                                  (5e-8L + 1e-15L) * std::fabs(value) + 1e-300L;
    FUZZ_CHECK(std::fabs(static_cast<long double>(*back) - value) <= tolerance,
               "%.20Lg with %d places shown as '%s'", value, decimals, text.c_str());
    FUZZ_CHECK(text.front() != '-' || *back < 0, "%.20Lg shown as '%s'", value, text.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    if (input.take<std::uint8_t>() % 2 == 0) {
        checkTyped(input.rest());
        return 0;
    }
    const int decimals = input.take<std::uint16_t>() % 1003 - 2;
    long double value = 0;
    switch (input.take<std::uint8_t>() % 5) {
        case 0:
            value = INFINITY;
            break;
        case 1:
            value = -INFINITY;
            break;
        case 2:
            value = NAN;
            break;
        case 3: {
            // Box units times a resolution step, as the grids show them.
            static constexpr long double steps[] = {0.0001L, 0.001L, 0.01L, 0.1L, 1.0L, 0.00001L};
            const auto units = input.take<std::int32_t>();
            value = static_cast<long double>(units) * steps[input.take<std::uint8_t>() % 6];
            break;
        }
        default: {
            const auto mantissa = input.take<std::int64_t>();
            value = std::ldexp(static_cast<long double>(mantissa), input.take<std::int16_t>());
            break;
        }
    }
    checkCell(value, decimals);
    return 0;
}
