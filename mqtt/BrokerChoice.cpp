#include "mqtt/BrokerChoice.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>

#include "platform/TextLines.h"

namespace mqtt {

namespace {

std::optional<std::uint16_t> portNumber(std::string_view text) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

bool validPrefix(std::string_view prefix) {
    // Wildcards and empty levels would publish where no subscriber of PREFIX/# looks.
    if (prefix.empty() || prefix.front() == '/' || prefix.back() == '/') return false;
    if (prefix.find("//") != std::string_view::npos) return false;
    for (char c : prefix)
        if (c == '+' || c == '#' || static_cast<unsigned char>(c) < 0x20) return false;
    return prefix.size() <= 200;
}

}  // namespace

std::optional<BrokerAddress> parseBrokerUrl(std::string_view url, std::string& why) {
    BrokerAddress address;
    if (url.starts_with("mqtt://")) {
        url.remove_prefix(7);
    } else if (url.starts_with("mqtts://")) {
        url.remove_prefix(8);
        address.tls = true;
    } else {
        why = "the address must start with mqtt:// or mqtts://";
        return std::nullopt;
    }
    const std::size_t slash = url.find('/');
    if (slash == std::string_view::npos || !validPrefix(url.substr(slash + 1))) {
        why = "the address needs a topic prefix after the host, without + # or empty levels";
        return std::nullopt;
    }
    address.prefix = std::string(url.substr(slash + 1));
    std::string_view host = url.substr(0, slash);
    std::string_view port;
    if (host.starts_with('[')) {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos) {
            why = "an IPv6 address needs its closing ]";
            return std::nullopt;
        }
        if (close + 1 < host.size()) {
            if (host[close + 1] != ':') {
                why = "unexpected text after the IPv6 address";
                return std::nullopt;
            }
            port = host.substr(close + 2);
        }
        host = host.substr(1, close - 1);
    } else if (const std::size_t colon = host.rfind(':'); colon != std::string_view::npos) {
        port = host.substr(colon + 1);
        host = host.substr(0, colon);
    }
    if (host.empty() || host.find_first_of("@ ") != std::string_view::npos) {
        // A user name in the URL would put a secret on the command line: refused.
        why = "the address needs a host (a user name and password belong in the login file)";
        return std::nullopt;
    }
    address.host = std::string(host);
    address.port = address.tls ? 8883 : 1883;
    if (!port.empty() || url.substr(0, slash).ends_with(':')) {
        const auto number = portNumber(port);
        if (!number) {
            why = "the port must be a number from 1 to 65535";
            return std::nullopt;
        }
        address.port = *number;
    }
    return address;
}

std::string brokerUrl(const BrokerAddress& a) {
    const bool v6 = a.host.find(':') != std::string::npos;
    return std::string(a.tls ? "mqtts://" : "mqtt://") + (v6 ? "[" + a.host + "]" : a.host) + ":" +
           std::to_string(a.port) + "/" + a.prefix;
}

BrokerChoice parseChoice(std::string_view text) {
    BrokerChoice choice;
    bool on = false;
    bool address = false;
    while (!text.empty()) {
        const std::string_view line = platform::takeLine(text);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, eq);
        const std::string_view value = line.substr(eq + 1);
        std::string why;
        if (key == "on") {
            on = value == "1";
        } else if (key == "url") {
            if (auto parsed = parseBrokerUrl(value, why)) {
                choice.address = *parsed;
                address = true;
            }
        } else if (key == "ca") {
            choice.caFile = std::string(value);
        } else if (key == "login") {
            choice.loginFile = std::string(value);
        } else if (key == "rate") {
            int rate = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), rate);
            if (ec == std::errc() && end == value.data() + value.size() && rate >= 1 && rate <= 50)
                choice.maxPerSecond = rate;
        }
    }
    choice.on = on && address;
    return choice;
}

std::string choiceText(const BrokerChoice& c) {
    std::string text = std::string("on=") + (c.on ? "1" : "0") + "\n";
    if (!c.address.host.empty()) text += "url=" + brokerUrl(c.address) + "\n";
    if (!c.caFile.empty()) text += "ca=" + c.caFile + "\n";
    if (!c.loginFile.empty()) text += "login=" + c.loginFile + "\n";
    text += "rate=" + std::to_string(c.maxPerSecond) + "\n";
    return text;
}

std::optional<Login> readLoginFile(const std::string& path, std::string& why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        why = "cannot read the login file";
        return std::nullopt;
    }
    struct stat st {};
    std::string content;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
              (st.st_mode & (S_IRWXG | S_IRWXO)) == 0;
    if (!ok) {
        why = "the login file must be a file of yours that no one else may read (chmod 600)";
    } else {
        char buffer[1024];
        ssize_t n = 0;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0 && content.size() < 4096)
            content.append(buffer, static_cast<std::size_t>(n));
        if (n < 0) {
            ok = false;
            why = "cannot read the login file";
        }
    }
    ::close(fd);
    if (!ok) return std::nullopt;
    std::string_view rest = content;
    Login login;
    login.user = std::string(platform::takeLine(rest));
    login.password = std::string(platform::takeLine(rest));
    if (login.user.empty()) {
        why = "the login file's first line, the user name, is empty";
        return std::nullopt;
    }
    return login;
}

bool writeLoginFile(const std::string& path, const Login& login) {
    const std::string temporary = path + ".new";
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const std::string text = login.user + "\n" + login.password + "\n";
    const bool written =
        ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
        ::fsync(fd) == 0;
    ::close(fd);
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace mqtt
