#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Where the readings go: an MQTT broker named as mqtt://HOST[:PORT]/PREFIX (or mqtts:// with TLS,
// its certificate checked against a CA file), how often at most, and where the user name and
// password are kept. Free of Qt: read from the command line and from the choice file.
namespace mqtt {

struct BrokerAddress {
    bool tls = false;
    std::string host;        // a name or an address; IPv6 without its brackets
    std::uint16_t port = 0;  // 1883 for mqtt://, 8883 for mqtts:// when the URL names none
    std::string prefix;      // topics are PREFIX/state and PREFIX/status

    bool operator==(const BrokerAddress&) const = default;
};

// The address in a URL, or why not (English, for the command line) in `why`.
std::optional<BrokerAddress> parseBrokerUrl(std::string_view url, std::string& why);
std::string brokerUrl(const BrokerAddress& address);

constexpr int defaultMaxPerSecond = 10;
// The file the dialog keeps the user name and password in, in the working directory.
constexpr const char* defaultLoginFile = "mqtt-login";
// The choice, kept for the next start, in the working directory.
constexpr const char* choiceFileName = "mqtt.kv3";

struct BrokerChoice {
    bool on = false;
    BrokerAddress address;
    std::string caFile;     // for mqtts://; empty: the system's certificates
    std::string loginFile;  // user and password, readable by its owner only; empty: none
    int maxPerSecond = defaultMaxPerSecond;  // state messages at most, 1 to 50

    bool operator==(const BrokerChoice&) const = default;
};

// The choice file: "key=value" lines (on, url, ca, login, rate). A line it cannot read is left
// out; a file without a valid url reads as off.
BrokerChoice parseChoice(std::string_view text);
std::string choiceText(const BrokerChoice& choice);

struct Login {
    std::string user;
    std::string password;
};

// The login file: the user name on its first line, the password on the second. Refused, with the
// reason in `why`, when anyone but its owner may read or write it, or when it is not a regular
// file: a password others can read is no longer one.
std::optional<Login> readLoginFile(const std::string& path, std::string& why);
// Written readable and writable by its owner only, whole or not at all.
bool writeLoginFile(const std::string& path, const Login& login);

}  // namespace mqtt
