#include "web/ServeChoice.h"

#include <sys/random.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace web {

namespace {

std::optional<std::uint16_t> portNumber(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    while (!line.empty()) {
        const auto space = line.find(' ');
        out.push_back(line.substr(0, space));
        if (space == std::string_view::npos) break;
        line.remove_prefix(space + 1);
    }
    return out;
}

// An address as a listening socket takes it: digits, hex digits, dots and colons only, so that
// the settings line and the command line can never carry anything else into a URL.
bool plausibleAddress(std::string_view text) {
    if (text.empty() || text.size() > 45) return false;
    for (char c : text) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex && c != '.' && c != ':') return false;
    }
    return true;
}

}  // namespace

bool isToken(std::string_view text) {
    if (text.size() != 32) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

std::string newToken() {
    unsigned char bytes[16];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) continue;
        // Without the kernel's randomness there is no secret worth the name: nothing is served.
        if (n <= 0) throw std::runtime_error("no random numbers from the kernel");
        got += static_cast<std::size_t>(n);
    }
    std::string token;
    token.reserve(32);
    static constexpr char digits[] = "0123456789abcdef";
    for (unsigned char b : bytes) {
        token.push_back(digits[b >> 4]);
        token.push_back(digits[b & 15]);
    }
    return token;
}

std::optional<ServeChoice> parseServeLine(std::string_view line) {
    const auto parts = fields(line);
    if (parts.size() != 4 || (parts[0] != "0" && parts[0] != "1")) return std::nullopt;
    ServeChoice choice;
    choice.on = parts[0] == "1";
    if (parts[1] != "*") {
        if (!plausibleAddress(parts[1])) return std::nullopt;
        choice.address = std::string(parts[1]);
    }
    const auto port = portNumber(parts[2]);
    if (!port) return std::nullopt;
    choice.port = *port;
    // Hex digits typed in capitals by hand are the same token; one that is none is made anew
    // when the view is next turned on.
    std::string token(parts[3]);
    for (char& c : token)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (isToken(token)) choice.token = std::move(token);
    return choice;
}

std::string serveLine(const ServeChoice& choice) {
    return std::string(choice.on ? "1" : "0") + " " +
           (choice.address.empty() ? std::string("*") : choice.address) + " " +
           std::to_string(choice.port) + " " + (choice.token.empty() ? "-" : choice.token);
}

std::optional<ServeAddress> parseServeArgument(std::string_view text) {
    ServeAddress out;
    std::string_view portText = text;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find("]:");
        if (close == std::string_view::npos) return std::nullopt;
        out.address = std::string(text.substr(1, close - 1));
        portText = text.substr(close + 2);
        if (!plausibleAddress(out.address) || out.address.find(':') == std::string::npos)
            return std::nullopt;
    } else if (const auto colon = text.rfind(':'); colon != std::string_view::npos) {
        out.address = std::string(text.substr(0, colon));
        portText = text.substr(colon + 1);
        // An IPv6 address needs its brackets, or its last group would read as the port.
        if (!plausibleAddress(out.address) || out.address.find(':') != std::string::npos)
            return std::nullopt;
    }
    const auto port = portNumber(portText);
    if (!port) return std::nullopt;
    out.port = *port;
    return out;
}

}  // namespace web
