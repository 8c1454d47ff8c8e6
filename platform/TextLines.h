#pragma once

#include <string_view>

namespace platform {

// The first line of `text`, without its LF or CR LF, taken off the front of `text`: files
// written on either system read the same.
inline std::string_view takeLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

}  // namespace platform
