#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Which request the live view answers, and how. Everything a browser may ask for lies under the
// secret: /<token>/ is the page, /<token>/view.js and /<token>/view.css what it is made of, and
// /<token>/events the readings pushed to it; /<token>/state.json the same state once, as JSON,
// for a program. Nothing else is served, nothing on disk.
namespace web {

enum class Resource { None, Page, Script, Style, Events, State };

struct RequestHead {
    std::string_view method;
    std::string_view path;  // the target's path, as sent (no query)
    std::string_view host;  // the Host header; empty when absent
    bool upgrade = false;   // asks to switch protocols
};

struct Gate {
    std::string_view token;
    const std::vector<std::string>* names =
        nullptr;  // the machine's addresses and names, lower case
    std::uint16_t port = 0;
};

struct Verdict {
    int status = 404;
    Resource resource = Resource::None;
};

// Another method: 405. A protocol switch (we push over plain HTTP): 400. A Host that is not this
// machine (a page of somewhere else, turned on us by DNS rebinding): 403. A path without the token:
// 403, and nothing about what exists. A path under the token that is none of ours: 404.
Verdict judge(const RequestHead& head, const Gate& gate);

// Whether a Host header ("name", "name:port", "[v6]", "[v6]:port") names this machine on the
// port listened on. A missing port means the default one, 80.
bool hostAllowed(std::string_view host, const std::vector<std::string>& names, std::uint16_t port);

// Compares in time that does not depend on where the texts first differ.
bool sameSecret(std::string_view a, std::string_view b);

}  // namespace web
