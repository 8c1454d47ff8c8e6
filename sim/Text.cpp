#include "sim/Text.h"

#include <charconv>

namespace sim::text {

std::vector<std::string_view> split(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = s.find(separator);
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos) return parts;
        s.remove_prefix(at + 1);
    }
}

namespace {

template <class T, class... Format>
bool parseWhole(std::string_view s, T& v, Format... format) {
    if (s.empty()) return false;
    // from_chars takes no '+', which an operator may well type.
    if (s.front() == '+') s.remove_prefix(1);
    T parsed{};
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), parsed, format...);
    if (error != std::errc() || end != s.data() + s.size()) return false;
    v = parsed;
    return true;
}

template <class T>
std::string formatShortest(T v) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return error == std::errc() ? std::string(buffer, end) : std::string("0");
}

}  // namespace

bool parseDouble(std::string_view s, double& v) {
    return parseWhole(s, v, std::chars_format::general);
}

bool parseLongDouble(std::string_view s, long double& v) {
    return parseWhole(s, v, std::chars_format::general);
}

bool parseInt(std::string_view s, std::int64_t& v) {
    return parseWhole(s, v);
}

bool parseHex(std::string_view s, std::uint64_t& v) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
    if (s.empty() || s.front() == '+') return false;
    return parseWhole(s, v, 16);
}

bool parseIntIn(std::string_view s, std::int64_t low, std::int64_t high, std::int64_t& v) {
    std::int64_t parsed = 0;
    if (!parseInt(s, parsed) || parsed < low || parsed > high) return false;
    v = parsed;
    return true;
}

std::string formatDouble(double v) {
    return formatShortest(v);
}
std::string formatLongDouble(long double v) {
    return formatShortest(v);
}

std::string hexByte(std::uint8_t b) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[b >> 4], digits[b & 0x0F]};
}

}  // namespace sim::text
