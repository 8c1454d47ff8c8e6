#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Whether the program serves its live view to browsers, where, and the secret a browser must
// name. Kept as one line of the settings file:
//
//   1 192.168.1.20 8080 5f0c...(32 hex digits)
//
// on ("1") or off ("0"), the address to listen on ("*" for all of the machine's), the port, the
// token. Off by default; a file without the line has never had the view turned on.
namespace web {

struct ServeChoice {
    bool on = false;
    std::string address;  // empty: all of the machine's addresses
    std::uint16_t port = 8080;
    std::string token;  // 32 lowercase hex digits; empty until first needed
};

// Nothing when the line is not one of ours (an older file's end, a hand-edited mistake): the view
// then stays off and a token is made when it is first turned on.
std::optional<ServeChoice> parseServeLine(std::string_view line);
std::string serveLine(const ServeChoice& choice);

// The value of --serve: "[ADDRESS:]PORT"; an IPv6 address in brackets ("[::1]:8080"). Nothing
// when it is not one.
struct ServeAddress {
    std::string address;  // empty: all addresses
    std::uint16_t port = 0;
};
std::optional<ServeAddress> parseServeArgument(std::string_view text);

// A new secret of 128 random bits from the kernel, as 32 lowercase hex digits.
std::string newToken();
bool isToken(std::string_view text);

}  // namespace web
