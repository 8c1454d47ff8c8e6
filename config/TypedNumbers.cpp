#include "config/TypedNumbers.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace entries {

namespace {

// Blanks and control characters at either end are no part of the number.
std::string_view trimmed(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

// from_chars takes no '+'; the operator may type one.
std::string_view withoutPlus(std::string_view s) {
    if (s.size() > 1 && s[0] == '+' && s[1] != '-') s.remove_prefix(1);
    return s;
}

// ',' and ' ' are single bytes in UTF-8 and never part of another character's bytes.
std::string withFirstCommaAsPoint(std::string_view text) {
    std::string s(text);
    const auto at = s.find(',');
    if (at != std::string::npos) s[at] = '.';
    return s;
}

}  // namespace

std::optional<double> parseReal(std::string_view text) {
    const std::string_view s = withoutPlus(trimmed(text));
    double value = 0;
    const auto [ptr, ec] =
        std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
    if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> parseCalibration(std::string_view text) {
    return parseReal(withFirstCommaAsPoint(text));
}

std::optional<std::int32_t> parseWholeNumber(std::string_view text) {
    const std::string_view s = withoutPlus(trimmed(text));
    std::int32_t value = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || ptr != s.data() + s.size() || s.empty()) return std::nullopt;
    return value;
}

std::optional<double> parseCell(std::string_view text) {
    std::string s = withFirstCommaAsPoint(text);
    const auto blank = s.find(' ');
    if (blank != std::string::npos) s.erase(blank, 1);
    return parseReal(s);
}

}  // namespace entries
