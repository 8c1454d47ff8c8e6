#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/RequestRules.h"
#include "web/ServeChoice.h"

namespace {

const std::string token = "0123456789abcdef0123456789abcdef";
const std::vector<std::string> names{"localhost", "127.0.0.1", "::1", "192.168.1.20", "kvt"};

struct Case {
    const char* method;
    std::string path;
    const char* host;
    int status;
    web::Resource resource;
};

TEST(RequestRules, ServesOnlyGetUnderTheTokenFromThisMachine) {
    using R = web::Resource;
    const std::string t = "/" + token + "/";
    const Case cases[] = {
        {"GET", t, "127.0.0.1:8080", 200, R::Page},
        {"GET", t + "view.js", "kvt:8080", 200, R::Script},
        {"GET", t + "view.css", "KVT.:8080", 200, R::Style},
        {"GET", t + "events", "[::1]:8080", 200, R::Events},
        {"GET", t + "state.json", "localhost:8080", 200, R::State},
        {"GET", "/state.json", "localhost:8080", 403, R::None},
        {"GET", t + "../etc/passwd", "localhost:8080", 404, R::None},
        {"GET", t + "events/", "localhost:8080", 404, R::None},
        {"POST", t, "localhost:8080", 405, R::None},
        {"HEAD", t, "localhost:8080", 405, R::None},
        {"get", t, "localhost:8080", 405, R::None},
        // Without the token nothing tells what exists.
        {"GET", "/", "localhost:8080", 403, R::None},
        {"GET", "/view.js", "localhost:8080", 403, R::None},
        {"GET", "/" + token, "localhost:8080", 403, R::None},
        {"GET", "/" + token.substr(0, 31) + "0/", "localhost:8080", 403, R::None},
        {"GET", "/" + token + "x/", "localhost:8080", 403, R::None},
        {"GET", "//" + token + "/", "localhost:8080", 403, R::None},
        // DNS rebinding: a name of somewhere else, another port, none at all.
        {"GET", t, "evil.example:8080", 403, R::None},
        {"GET", t, "localhost.evil.example:8080", 403, R::None},
        {"GET", t, "127.0.0.1:8081", 403, R::None},
        {"GET", t, "127.0.0.1", 403, R::None},
        {"GET", t, "127.0.0.1:", 403, R::None},
        {"GET", t, "127.0.0.1:08080x", 403, R::None},
        {"GET", t, "", 403, R::None},
        {"GET", t, "[::1", 403, R::None},
        {"GET", t, "::1:8080", 403, R::None},
    };
    for (const Case& c : cases) {
        const web::Verdict v = web::judge({c.method, c.path, c.host, false}, {token, &names, 8080});
        EXPECT_EQ(v.status, c.status) << c.method << " " << c.path << " Host " << c.host;
        EXPECT_EQ(v.resource, c.resource) << c.method << " " << c.path << " Host " << c.host;
    }
    // A protocol switch is refused even where the same GET is served.
    EXPECT_EQ(web::judge({"GET", t + "events", "kvt:8080", true}, {token, &names, 8080}).status,
              400);
    // The default port is implied only when it is the one listened on.
    EXPECT_EQ(web::judge({"GET", t, "kvt", false}, {token, &names, 80}).status, 200);
}

TEST(ServeChoice, SettingsLineAndCommandLine) {
    const auto line = web::parseServeLine("1 192.168.1.20 8080 " + token);
    ASSERT_TRUE(line);
    EXPECT_TRUE(line->on);
    EXPECT_EQ(line->address, "192.168.1.20");
    EXPECT_EQ(line->port, 8080);
    EXPECT_EQ(web::serveLine(*line), "1 192.168.1.20 8080 " + token);
    const auto all = web::parseServeLine("0 * 0 -");
    ASSERT_TRUE(all);
    EXPECT_EQ(all->address, "");
    EXPECT_EQ(all->token, "");
    EXPECT_EQ(web::serveLine(*all), "0 * 0 -");
    for (const char* bad : {"", "0.0", "1", "2 * 80 -", "1 * 65536 -", "1 * 80", "1  80 -",
                            "1 <script> 80 -", "1 * 80 - extra", "1 * -1 -"})
        EXPECT_FALSE(web::parseServeLine(bad)) << bad;

    struct Arg {
        const char* text;
        bool ok;
        const char* address;
        int port;
    };
    for (const Arg& a :
         {Arg{"8080", true, "", 8080}, Arg{"127.0.0.1:0", true, "127.0.0.1", 0},
          Arg{"[::1]:80", true, "::1", 80}, Arg{"::1:80", false, "", 0},
          Arg{"host:80", false, "", 0}, Arg{"127.0.0.1:", false, "", 0}, Arg{"70000", false, "", 0},
          Arg{"[127.0.0.1]:80", false, "", 0}, Arg{"", false, "", 0}}) {
        const auto parsed = web::parseServeArgument(a.text);
        ASSERT_EQ(parsed.has_value(), a.ok) << a.text;
        if (!parsed) continue;
        EXPECT_EQ(parsed->address, a.address) << a.text;
        EXPECT_EQ(parsed->port, a.port) << a.text;
    }
}

TEST(ServeChoice, TokensAreSecretsOfTheirOwn) {
    const std::string a = web::newToken();
    const std::string b = web::newToken();
    EXPECT_TRUE(web::isToken(a));
    EXPECT_NE(a, b);
}

}  // namespace
