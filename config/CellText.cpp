#include "config/CellText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

constexpr int significantDigits = 8;

// Room for the widest text asked for here: 8 significant digits in scientific form (exponents of a
// long double have up to 4 digits), or at most 9 integer digits and `precision` decimals in fixed.
std::string toChars(long double value, std::chars_format format, int precision) {
    std::string text(static_cast<std::size_t>(precision) + 16, '\0');
    const auto result =
        std::to_chars(text.data(), text.data() + text.size(), value, format, precision);
    text.resize(static_cast<std::size_t>(result.ptr - text.data()));
    return text;
}

// "-0.000" reads as a sign on nothing; a value that rounds to zero is shown without it.
std::string withoutNegativeZero(std::string text) {
    if (text.starts_with('-') && text.find_first_not_of("0.", 1) == std::string::npos) {
        text.erase(0, 1);
    }
    return text;
}

}  // namespace

std::string correctionCellText(long double value, int decimals) {
    if (decimals < 0) decimals = 0;
    if (value == 0) value = 0;  // no "-0"
    // No digits to lay out: the texts the readout shows for these.
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";

    // The value rounded to 8 significant digits: "-d.ddddddde+XX".
    const std::string scientific =
        toChars(value, std::chars_format::scientific, significantDigits - 1);
    const bool negative = scientific.starts_with('-');
    const std::size_t ePos = scientific.find('e');
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < ePos; ++i) {
        if (scientific[i] != '.') digits.push_back(scientific[i]);
    }
    const int exponent = std::atoi(scientific.c_str() + ePos + 1);
    const int integerDigits = exponent + 1;

    if (integerDigits > significantDigits) {
        const std::size_t last = digits.find_last_not_of('0');
        std::string text = negative ? "-" : "";
        text += digits.substr(0, 1);
        if (last != std::string::npos && last > 0) text += "." + digits.substr(1, last);
        return text + "E" + std::to_string(exponent);
    }

    // When the decimals ask for no more than 8 significant digits, one rounding to the decimals
    // does both; otherwise the 8 digits are laid out and padded with zeros.
    if (integerDigits + decimals <= significantDigits) {
        return withoutNegativeZero(toChars(value, std::chars_format::fixed, decimals));
    }
    std::string text = negative ? "-" : "";
    std::string fraction;
    if (integerDigits > 0) {
        text += digits.substr(0, static_cast<std::size_t>(integerDigits));
        fraction = digits.substr(static_cast<std::size_t>(integerDigits));
    } else {
        text += "0";
        fraction = std::string(static_cast<std::size_t>(-integerDigits), '0') + digits;
    }
    fraction.resize(static_cast<std::size_t>(decimals), '0');
    if (decimals > 0) text += "." + fraction;
    return text;
}
