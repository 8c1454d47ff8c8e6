#include "config/Entries.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace entries {

namespace {

// Blanks and control characters at either end are no part of the number.
std::string trimmed(const QString& text) {
    const std::string s = text.toStdString();
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && static_cast<unsigned char>(s[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(s[end - 1]) <= ' ') --end;
    return s.substr(begin, end - begin);
}

// from_chars takes no '+'; the operator may type one.
const char* skipPlus(const std::string& s) {
    const char* first = s.data();
    if (s.size() > 1 && s[0] == '+' && s[1] != '-') ++first;
    return first;
}

QString withFirstReplaced(QString text, QChar from, QChar to) {
    const auto at = text.indexOf(from);
    if (at >= 0) text[at] = to;
    return text;
}

}  // namespace

std::optional<double> parseReal(const QString& text) {
    const std::string s = trimmed(text);
    const char* first = skipPlus(s);
    const char* last = s.data() + s.size();
    double value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc() || ptr != last || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<double> parseCalibration(const QString& text) {
    return parseReal(withFirstReplaced(text, u',', u'.'));
}

std::optional<std::int32_t> parseWholeNumber(const QString& text) {
    const std::string s = trimmed(text);
    const char* first = skipPlus(s);
    const char* last = s.data() + s.size();
    std::int32_t value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last || first == last) return std::nullopt;
    return value;
}

}  // namespace entries

std::optional<double> ParseCellValue(const QString& text) {
    QString s = entries::withFirstReplaced(text, u',', u'.');
    const auto blank = s.indexOf(u' ');
    if (blank >= 0) s.remove(blank, 1);
    return entries::parseReal(s);
}
