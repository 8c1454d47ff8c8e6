#include "web/RequestRules.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace web {

namespace {

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool portMatches(std::string_view text, std::uint16_t port) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() &&
           value == port;
}

}  // namespace

bool sameSecret(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char differ = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        differ = static_cast<unsigned char>(differ | (a[i] ^ b[i]));
    return differ == 0;
}

bool hostAllowed(std::string_view host, const std::vector<std::string>& names, std::uint16_t port) {
    std::string_view name;
    std::string_view portText;
    if (host.starts_with('[')) {
        const auto close = host.find(']');
        if (close == std::string_view::npos) return false;
        name = host.substr(1, close - 1);
        const std::string_view rest = host.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return false;
            portText = rest.substr(1);
        }
    } else {
        const auto colon = host.find(':');
        name = host.substr(0, colon);
        if (colon != std::string_view::npos) portText = host.substr(colon + 1);
    }
    if (name.empty()) return false;
    if (portText.empty() ? port != 80 : !portMatches(portText, port)) return false;
    // A name may end with the root's dot ("kvt.local."): the same machine.
    if (name.size() > 1 && name.back() == '.') name.remove_suffix(1);
    const std::string wanted = lowered(name);
    return std::find(names.begin(), names.end(), wanted) != names.end();
}

Verdict judge(const RequestHead& head, const Gate& gate) {
    if (head.method != "GET") return {405, Resource::None};
    if (head.upgrade) return {400, Resource::None};
    if (!gate.names || !hostAllowed(head.host, *gate.names, gate.port))
        return {403, Resource::None};
    // "/" + token + "/" and what follows it.
    const std::size_t prefix = gate.token.size() + 2;
    if (gate.token.empty() || head.path.size() < prefix || head.path[0] != '/' ||
        !sameSecret(head.path.substr(1, gate.token.size()), gate.token) ||
        head.path[prefix - 1] != '/')
        return {403, Resource::None};
    const std::string_view rest = head.path.substr(prefix);
    if (rest.empty()) return {200, Resource::Page};
    if (rest == "view.js") return {200, Resource::Script};
    if (rest == "view.css") return {200, Resource::Style};
    if (rest == "events") return {200, Resource::Events};
    if (rest == "state.json") return {200, Resource::State};
    return {404, Resource::None};
}

}  // namespace web
