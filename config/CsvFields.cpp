#include "config/CsvFields.h"

#include <cstdint>
#include <cstdio>

#include "platform/Translate.h"

namespace csvfields {

namespace {
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
}

void dropByteOrderMark(std::string_view& text) {
    if (text.starts_with(byteOrderMark)) text.remove_prefix(byteOrderMark.size());
}

char separatorOf(std::string_view text) {
    return text.find(';') != std::string_view::npos    ? ';'
           : text.find('\t') != std::string_view::npos ? '\t'
                                                       : ',';
}


// What the file holds that the program did not write: printable ASCII only, cut short, so that
// no byte of it can spoil the message; any other character, of however many bytes, is one '?'.
std::string quoted(std::string_view text) {
    std::string out = "\u201E";
    for (char c : text.substr(0, 30)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte < 0xC0) continue;  // the rest of a character already shown
        out += (c >= ' ' && c <= '~') ? c : '?';
    }
    return out + "\u201D";
}

// The first character outside ASCII in a value, as "U+2212": a minus sign or a no-break space
// from a word processor looks like the character a number takes, and only its name tells them
// apart. Nothing when there is none or its bytes are no UTF-8.
std::optional<std::string> foreignCharacter(std::string_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80) continue;
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0 || at + static_cast<std::size_t>(length) > text.size()) return {};
        std::uint32_t code = lead & (0x7Fu >> length);
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[at + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) return {};
            code = code << 6 | (next & 0x3Fu);
        }
        char name[16];
        std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
        return name;
    }
    return {};
}

bool blank(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) > ' ') return false;
    return true;
}

// One line's fields. A quoted field runs to its closing quote ("" stands for one quote) and may
// hold the separator; only blanks may stand between it and the next separator.
std::optional<std::vector<std::string>> fieldsOf(std::string_view line, char separator,
                                                 std::string& why) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (true) {
        std::string field;
        std::size_t start = at;
        while (start < line.size() && line[start] == ' ') ++start;
        if (start < line.size() && line[start] == '"') {
            at = start + 1;
            while (true) {
                if (at >= line.size()) {
                    why = platform::translate("CorrectionCsv", "niezamknięty cudzysłów.");
                    return std::nullopt;
                }
                if (line[at] == '"') {
                    if (at + 1 < line.size() && line[at + 1] == '"') {
                        field += '"';
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                field += line[at++];
            }
            while (at < line.size() && line[at] == ' ') ++at;
            if (at < line.size() && line[at] != separator) {
                why = platform::translate("CorrectionCsv", "tekst po zamykającym cudzysłowie.");
                return std::nullopt;
            }
        } else {
            const std::size_t end = line.find(separator, at);
            field = line.substr(at, end == std::string_view::npos ? end : end - at);
            at = end == std::string_view::npos ? line.size() : end;
        }
        fields.push_back(std::move(field));
        if (at >= line.size()) return fields;
        ++at;  // the separator
    }
}

}  // namespace csvfields
