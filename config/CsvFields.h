#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The rules every CSV file of the program is read by (correction tables, point lists): as
// spreadsheets and measuring software write them, in any locale.
namespace csvfields {

// A UTF-8 byte order mark at the start is taken off.
void dropByteOrderMark(std::string_view& text);

// A decimal comma needs another separator: a file that has a ';' separates by it, one that has
// none but tabs (a spreadsheet's tab-separated text) by the tab, any other by ','.
char separatorOf(std::string_view text);

// One line's fields. A quoted field runs to its closing quote ("" stands for one quote) and may
// hold the separator; only blanks may stand between it and the next separator. Nothing, and
// `why` says what is wrong, for an unclosed quote or text after the closing one.
std::optional<std::vector<std::string>> fieldsOf(std::string_view line, char separator,
                                                 std::string& why);

// Whether a field has nothing but blanks.
bool blank(std::string_view s);

// What the file holds that the program did not write: printable ASCII only, cut short, in
// quotation marks, so that no byte of it can spoil the message.
std::string quoted(std::string_view text);

// The first character outside ASCII in a value, as "U+2212"; nothing when there is none or its
// bytes are no UTF-8.
std::optional<std::string> foreignCharacter(std::string_view text);

}  // namespace csvfields
