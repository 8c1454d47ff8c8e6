#include "readout/Formats.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace readout {

namespace {

// A finite non-zero value rounded to `precision` significant digits: its digits and the decimal
// exponent of the first one (value = 0.d1d2... x 10^(exponent + 1)).
struct Digits {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

Digits significantDigits(double value, int precision) {
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                                   std::chars_format::scientific, precision - 1);
    Digits d;
    const char* p = buf.data();
    if (*p == '-') {
        d.negative = true;
        ++p;
    }
    for (; p != res.ptr && *p != 'e'; ++p)
        if (*p != '.') d.digits += *p;
    if (p != res.ptr) std::from_chars(p + (p[1] == '+' ? 2 : 1), res.ptr, d.exponent);
    return d;
}

// Rounded to its significant digits, a value at the top of the range may come out above the
// largest double: a text no reader takes back.
bool roundedBeyondRange(const Digits& d) {
    const std::string text = "0." + d.digits + "e" + std::to_string(d.exponent + 1);
    double parsed = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), parsed);
    return res.ec == std::errc::result_out_of_range;
}

// The digits one unit of the last place toward zero: the value cut instead of rounded up.
void truncateLastDigit(Digits& d) {
    for (auto digit = d.digits.rbegin(); digit != d.digits.rend(); ++digit) {
        if (*digit != '0') {
            --*digit;
            break;
        }
        *digit = '9';
    }
}

bool hasNonZeroDigit(const std::string& text) {
    return text.find_first_of("123456789") != std::string::npos;
}

// A leading minus only on a text that shows something other than zero.
std::string withSign(bool negative, std::string text) {
    if (negative && hasNonZeroDigit(text)) text.insert(text.begin(), '-');
    return text;
}

}  // namespace

std::string formatGeneral(double value, int precision) {
    if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
    if (value == 0) return "0";
    Digits d = significantDigits(value, precision);
    if (d.exponent >= std::numeric_limits<double>::max_exponent10 && roundedBeyondRange(d))
        truncateLastDigit(d);
    while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
    std::string text;
    if (std::fabs(value) < 0.00001 || d.exponent >= precision) {
        text = d.digits.substr(0, 1);
        if (d.digits.size() > 1) text += '.' + d.digits.substr(1);
        text += 'E' + std::to_string(d.exponent);
    } else if (d.exponent >= 0) {
        const auto intDigits = static_cast<std::size_t>(d.exponent) + 1;
        if (d.digits.size() < intDigits) d.digits.append(intDigits - d.digits.size(), '0');
        text = d.digits.substr(0, intDigits);
        if (d.digits.size() > intDigits) text += '.' + d.digits.substr(intDigits);
    } else {
        text = "0." + std::string(static_cast<std::size_t>(-d.exponent - 1), '0') + d.digits;
    }
    return withSign(d.negative, text);
}

std::string formatFixed(double value, int decimals, int precision) {
    if (!std::isfinite(value)) return formatGeneral(value, precision);
    if (decimals < 0) decimals = 0;
    if (value != 0) {
        const Digits d = significantDigits(value, precision);
        if (d.exponent + 1 > precision) return formatGeneral(value, precision);
        // When the last significant digit lies left of the last place, the places after it are 0.
        if (d.exponent - precision + 1 > -decimals) {
            std::string intPart = "0";
            std::string fraction;
            if (d.exponent >= 0) {
                const auto intDigits = static_cast<std::size_t>(d.exponent) + 1;
                intPart = d.digits.substr(0, intDigits);
                fraction = d.digits.substr(intDigits);
            } else {
                fraction = std::string(static_cast<std::size_t>(-d.exponent - 1), '0') + d.digits;
            }
            fraction.resize(static_cast<std::size_t>(decimals), '0');
            return withSign(d.negative, decimals > 0 ? intPart + '.' + fraction : intPart);
        }
    }
    // Here the value has at most `precision` integer digits (one more after rounding up).
    std::string text(static_cast<std::size_t>(precision) + 3 + static_cast<std::size_t>(decimals),
                     '\0');
    const auto res = std::to_chars(text.data(), text.data() + text.size(), std::fabs(value),
                                   std::chars_format::fixed, decimals);
    text.resize(static_cast<std::size_t>(res.ptr - text.data()));
    return withSign(std::signbit(value), std::move(text));
}

namespace {
// An angle's whole seconds within one turn: the remainder of a whole number of turns, exact
// however large the value (subtracting trunc(value / 360) * 360 is not, and leaves more than a
// turn); nearbyint rounds halves to even in the default rounding mode.
long long turnSeconds(double degrees) {
    auto t = static_cast<long long>(std::nearbyint(std::fmod(degrees, 360.0) * 3600.0));
    if (t < 0) t += 1296000;
    return t;
}
}  // namespace

std::string formatAxisValue(double value, int decimals, bool angular) {
    if (!angular) return formatFixed(value, decimals, 10);
    if (!std::isfinite(value)) return formatGeneral(value, 10);
    const long long t = turnSeconds(value);
    const auto twoDigits = [](long long v) {
        return std::string(1, char('0' + v / 10)) + char('0' + v % 10);
    };
    return std::to_string(t / 3600) + "'" + twoDigits((t / 60) % 60) + "'" + twoDigits(t % 60);
}

double shownAxisValue(double value, int decimals, bool angular) {
    if (!std::isfinite(value)) return value;
    if (angular) return static_cast<double>(turnSeconds(value)) / 3600.0;
    // Read back from the text itself: never a digit more or less than the window shows.
    return parseDecimal(formatAxisValue(value, decimals, false)).value_or(value);
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<double> parseDecimal(std::string_view text) {
    text = trimmed(text);
    std::string_view body = text;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
    // Only digits, one '.', and an exponent with digits: no "inf", "nan" or hexadecimal.
    std::size_t i = 0, mantissaDigits = 0;
    const auto digitsRun = [&] {
        std::size_t n = 0;
        while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++n;
        return n;
    };
    mantissaDigits += digitsRun();
    if (i < body.size() && body[i] == '.') {
        ++i;
        mantissaDigits += digitsRun();
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        ++i;
        if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
        if (digitsRun() == 0) return std::nullopt;
    }
    if (i != body.size()) return std::nullopt;

    std::string plain(body);
    if (!text.empty() && text.front() == '-') plain.insert(plain.begin(), '-');
    double value = 0;
    const auto res = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (res.ec != std::errc() || res.ptr != plain.data() + plain.size()) return std::nullopt;
    return value;
}

namespace {

// Optional sign and decimal digits, within the 32-bit range.
std::optional<long long> parseWholeNumber(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::string_view digits = text;
    if (digits.front() == '+' || digits.front() == '-') digits.remove_prefix(1);
    if (digits.empty()) return std::nullopt;
    long long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 2147483648LL) return std::nullopt;
    }
    if (text.front() == '-') value = -value;
    if (value < -2147483648LL || value > 2147483647LL) return std::nullopt;
    return value;
}

}  // namespace

AngleEntry parseAngleEntry(std::string_view text) {
    using Error = AngleEntry::Error;
    AngleEntry entry;
    const auto first = text.find('\'');
    const auto second = first == std::string_view::npos ? first : text.find('\'', first + 1);

    std::string joined(text);
    if (second != std::string_view::npos) joined.erase(second, 1);
    if (first != std::string_view::npos) joined.erase(first, 1);
    if (!parseWholeNumber(joined)) return {Error::NotDigits, 0, {}};

    entry.degreeField = std::string(text.substr(0, first));
    std::string_view minuteField, secondField;
    if (first != std::string_view::npos) {
        minuteField = second == std::string_view::npos ? text.substr(first + 1)
                                                       : text.substr(first + 1, second - first - 1);
        if (second != std::string_view::npos) secondField = text.substr(second + 1);
    }
    if (minuteField.size() == 1) return {Error::MinutesOneDigit, 0, entry.degreeField};
    if (secondField.size() == 1) return {Error::SecondsOneDigit, 0, entry.degreeField};

    const auto degrees = parseWholeNumber(entry.degreeField);
    if (!degrees) return {Error::DegreesNotInteger, 0, entry.degreeField};
    // Two or more characters of a field that passed the whole-number check are digits.
    const long long minutes = minuteField.empty() ? 0 : parseWholeNumber(minuteField).value_or(0);
    const long long seconds = secondField.empty() ? 0 : parseWholeNumber(secondField).value_or(0);
    if (*degrees >= 360) return {Error::DegreesExceeded, 0, entry.degreeField};
    if (minutes >= 60) return {Error::MinutesExceeded, 0, entry.degreeField};
    if (seconds >= 60) return {Error::SecondsExceeded, 0, entry.degreeField};

    // "-0'30'00" is negative although its degree number is 0.
    const bool negative =
        *degrees < 0 || (!entry.degreeField.empty() && entry.degreeField[0] == '-');
    const double fraction = double(minutes) / 60 + double(seconds) / 3600;
    entry.degrees = negative ? double(*degrees) - fraction : double(*degrees) + fraction;
    return entry;
}

namespace {

struct CodeRow {
    int code;
    double step;
    int decimals;
};

constexpr CodeRow kind1Rows[] = {{1, 0.0005, 4}, {2, 0.001, 3}, {3, 0.005, 3},
                                 {4, 0.01, 2},   {5, 0.05, 2},  {6, 0.1, 1}};
constexpr CodeRow kind1MaxRow = {0, 0.0001, 4};

constexpr CodeRow kind234Rows[] = {{0, 0.0001, 4}, {1, 0.0001, 4}, {2, 0.0001, 4}, {3, 0.001, 3},
                                   {4, 0.001, 3},  {5, 0.001, 3},  {6, 0.01, 2},   {7, 0.01, 2},
                                   {8, 0.1, 1},    {9, 1.0, 1}};
constexpr CodeRow kind234MaxRow = {0, 0.00001, 5};

constexpr CodeRow unknownCode = {0, 0.0, 6};

CodeRow rowForCode(int deviceKind, int code, int maxCode) {
    const auto lookUp = [&](const auto& rows, const CodeRow& maxRow) {
        for (const CodeRow& row : rows)
            if (row.code == code) return row;
        return code == maxCode ? maxRow : unknownCode;
    };
    if (deviceKind == 1) return lookUp(kind1Rows, kind1MaxRow);
    if (deviceKind >= 2 && deviceKind <= 4) return lookUp(kind234Rows, kind234MaxRow);
    return unknownCode;
}

}  // namespace

double stepForCode(int deviceKind, int code, int maxCode) {
    return rowForCode(deviceKind, code, maxCode).step;
}

int decimalsForCode(int deviceKind, int code, int maxCode) {
    return rowForCode(deviceKind, code, maxCode).decimals;
}

double positionFromCount(int deviceKind, std::int32_t count, const AxisScale& axis) {
    const double n = count;
    const double lines = axis.lineCount == 0 ? 1.0 : double(axis.lineCount);
    if (deviceKind == 1)
        return axis.angular ? n * axis.calibration * 360.0 / lines
                            : n * axis.calibration * axis.step;
    if (deviceKind >= 2 && deviceKind <= 4) return axis.angular ? n * 360.0 / lines : n * axis.step;
    return 0.0;
}

}  // namespace readout
