#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Number texts of the simulator's options and state file. Always '.', whatever the locale.
namespace sim::text {

std::vector<std::string_view> split(std::string_view s, char separator);

// The whole text must be the number; no blanks, no trailing characters.
bool parseDouble(std::string_view s, double& v);
bool parseLongDouble(std::string_view s, long double& v);
bool parseInt(std::string_view s, std::int64_t& v);
// Hexadecimal, with or without a leading "0x".
bool parseHex(std::string_view s, std::uint64_t& v);
// An integer within [low, high].
bool parseIntIn(std::string_view s, std::int64_t low, std::int64_t high, std::int64_t& v);

// The shortest text that parses back to the same value.
std::string formatDouble(double v);
std::string formatLongDouble(long double v);
std::string hexByte(std::uint8_t b);  // "E0"

}  // namespace sim::text
