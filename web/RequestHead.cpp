#include "web/RequestHead.h"

#include <algorithm>
#include <cctype>

namespace web {

namespace {

bool isTokenChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 32 && u < 127 &&
           std::string_view("\"(),/:;<=>?@[\\]{}").find(c) == std::string_view::npos;
}

bool isToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isTokenChar);
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool sameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Whether a comma-separated field value lists `word`.
bool lists(std::string_view value, std::string_view word) {
    while (!value.empty()) {
        const auto comma = value.find(',');
        if (sameWord(trimmed(value.substr(0, comma)), word)) return true;
        value.remove_prefix(comma == std::string_view::npos ? value.size() : comma + 1);
    }
    return false;
}

// The next line of `rest` without its end (CRLF or a bare LF); false while it has not ended.
bool nextLine(std::string_view& rest, std::string_view& line) {
    const auto end = rest.find('\n');
    if (end == std::string_view::npos) return false;
    line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    rest.remove_prefix(end + 1);
    return true;
}

bool readRequestLine(std::string_view line, ParsedHead& head) {
    const auto first = line.find(' ');
    const auto last = line.rfind(' ');
    if (first == std::string_view::npos || first == last) return false;
    const std::string_view method = line.substr(0, first);
    const std::string_view target = line.substr(first + 1, last - first - 1);
    const std::string_view version = line.substr(last + 1);
    if (!isToken(method) || target.empty() || target.front() != '/' ||
        target.find_first_of(" \t\r") != std::string_view::npos)
        return false;
    if (version == "HTTP/1.0")
        head.http10 = true;
    else if (version != "HTTP/1.1")
        return false;
    head.method = method;
    head.path = target.substr(0, target.find('?'));
    return true;
}

}  // namespace

bool hasRequestLine(std::string_view input) {
    return input.find('\n') != std::string_view::npos;
}

ParsedHead parseHead(std::string_view input, const HeadLimits& limits) {
    ParsedHead head;
    // What is judged is never more than the limit: a head not whole within it is too large.
    const bool cut = input.size() > limits.bytes;
    std::string_view rest = input.substr(0, limits.bytes);
    std::string_view line;
    // One empty line before a request is tolerated: some clients end a request with an extra one.
    for (int lines = 0; lines < 2 && line.empty(); ++lines) {
        if (!nextLine(rest, line)) {
            head.status = cut ? 431 : -1;
            return head;
        }
    }
    if (!readRequestLine(line, head)) {
        head.status = 400;
        return head;
    }
    bool hostSeen = false;
    std::size_t fields = 0;
    for (;;) {
        if (!nextLine(rest, line)) {
            head.status = cut ? 431 : -1;
            return head;
        }
        if (line.empty()) break;
        if (++fields > limits.fields) {
            head.status = 431;
            return head;
        }
        const auto colon = line.find(':');
        // No folded lines, no space before the colon: what a proxy would read otherwise.
        if (colon == std::string_view::npos || !isToken(line.substr(0, colon))) {
            head.status = 400;
            return head;
        }
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = trimmed(line.substr(colon + 1));
        if (sameWord(name, "host")) {
            // Two Hosts: which one a judge of the request reads is anyone's guess.
            if (hostSeen) {
                head.status = 400;
                return head;
            }
            hostSeen = true;
            head.host = value;
        } else if (sameWord(name, "connection")) {
            head.close = head.close || lists(value, "close");
        } else if (sameWord(name, "upgrade")) {
            head.upgrade = head.upgrade || !value.empty();
        } else if (sameWord(name, "content-length")) {
            head.body = head.body || value != "0";
        } else if (sameWord(name, "transfer-encoding")) {
            head.body = true;
        }
    }
    // HTTP/1.0 keeps a connection only when it asks to; we keep none of it.
    if (head.http10) head.close = true;
    head.status = 0;
    head.length = input.size() - rest.size();
    return head;
}

}  // namespace web
