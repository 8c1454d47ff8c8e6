// The live view's own handling of what a browser sends: the method, the path and the Host header
// of a request (split from the input at NUL bytes), judged against a fixed token and machine
// names; and the --serve value and the settings line, read from the same input. A request is
// served only under the token and from this machine; whatever reads as a choice writes and reads
// back as itself.

#include <string>
#include <string_view>
#include <vector>

#include "fuzz/Check.h"
#include "web/RequestRules.h"
#include "web/ServeChoice.h"

namespace {

constexpr std::string_view token = "0123456789abcdef0123456789abcdef";

std::string_view part(std::string_view& text) {
    const auto end = text.find('\0');
    const std::string_view out = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> names{"localhost", "127.0.0.1", "::1", "kvt"};
    web::RequestHead head;
    head.method = part(text);
    head.path = part(text);
    head.host = part(text);
    head.upgrade = !text.empty() && text.front() == 'U';
    const web::Verdict verdict = web::judge(head, {token, &names, 8080});
    if (verdict.status == 200) {
        FUZZ_CHECK(head.method == "GET" && !head.upgrade, "served a %zu-byte method",
                   head.method.size());
        FUZZ_CHECK(head.path.substr(1, token.size()) == token, "served without the token");
        FUZZ_CHECK(web::hostAllowed(head.host, names, 8080), "served to another host");
        FUZZ_CHECK(verdict.resource != web::Resource::None, "served nothing");
    } else {
        FUZZ_CHECK(verdict.resource == web::Resource::None, "a refusal with a resource");
    }

    if (const auto address = web::parseServeArgument(head.method)) {
        web::ServeChoice choice;
        choice.on = true;
        choice.address = address->address;
        choice.port = address->port;
        choice.token = std::string(token);
        const auto back = web::parseServeLine(web::serveLine(choice));
        FUZZ_CHECK(back && back->address == choice.address && back->port == choice.port &&
                       back->token == choice.token && back->on,
                   "--serve value does not keep");
    }
    if (const auto choice = web::parseServeLine(head.path)) {
        const auto back = web::parseServeLine(web::serveLine(*choice));
        FUZZ_CHECK(back && back->on == choice->on && back->address == choice->address &&
                       back->port == choice->port && back->token == choice->token,
                   "settings line does not keep");
        FUZZ_CHECK(choice->token.empty() || web::isToken(choice->token), "a token that is none");
    }
    return 0;
}
