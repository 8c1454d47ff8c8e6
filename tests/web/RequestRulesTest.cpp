#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/RequestHead.h"
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

TEST(RequestHead, ReadsWhatAHeadSaysAboutItsConnectionAndRefusesWhatIsOverALimit) {
    const web::HeadLimits limits{200, 4};
    const std::string fields = "A: 1\r\nB: 2\r\nC: 3\r\n";
    struct HeadCase {
        std::string input;
        int status;
        const char* path;
        bool close, upgrade, body;
    };
    const HeadCase cases[] = {
        {"GET /t/?x=1 HTTP/1.1\r\nHost: kvt:80\r\n\r\n", 0, "/t/", false, false, false},
        {"GET /t/ HTTP/1.1\r\nHost: kvt\r\nConnection: keep-alive, Close\r\n\r\n", 0, "/t/", true,
         false, false},
        // HTTP/1.0 ends with its answer, keep-alive asked or not; bare line feeds are read.
        {"GET /t/ HTTP/1.0\nConnection: keep-alive\n\n", 0, "/t/", true, false, false},
        {"\r\nGET / HTTP/1.1\r\nUpgrade: websocket\r\nContent-Length: 5\r\n\r\nhello", 0, "/",
         false, true, true},
        {"GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 0, "/", false, false, true},
        {"GET / HTTP/1.1\r\nContent-Length: 0\r\n" + fields + "\r\n", 0, "/", false, false, false},
        // Not yet whole.
        {"GET / HTTP/1.1\r\nHost: kvt", -1, "", false, false, false},
        {"GET / HT", -1, "", false, false, false},
        // Malformed: what one reader could take otherwise than another.
        {"GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400, "", false, false, false},
        {"GET / HTTP/1.1\r\nHost : a\r\n\r\n", 400, "", false, false, false},
        {"GET / HTTP/1.1\r\nX: 1\r\n folded\r\n\r\n", 400, "", false, false, false},
        {"GET http://kvt/ HTTP/1.1\r\n\r\n", 400, "", false, false, false},
        {"GET / HTTP/2.0\r\n\r\n", 400, "", false, false, false},
        {"GET  / HTTP/1.1\r\n\r\n", 400, "", false, false, false},
        {"\x16\x03\x01\x02\x05\x01\xfc\x03\x03\n", 400, "", false, false, false},
        // Over a limit: more fields, or more bytes without the end of the head.
        {"GET / HTTP/1.1\r\nD: 4\r\nE: 5\r\n" + fields + "\r\n", 431, "", false, false, false},
        {"GET / HTTP/1.1\r\nX: " + std::string(300, 'a') + "\r\n\r\n", 431, "", false, false,
         false},
        {"GET /" + std::string(300, 'a'), 431, "", false, false, false},
    };
    for (const HeadCase& c : cases) {
        const web::ParsedHead head = web::parseHead(c.input, limits);
        EXPECT_EQ(head.status, c.status) << c.input;
        if (head.status != 0) continue;
        EXPECT_EQ(head.path, c.path) << c.input;
        EXPECT_EQ(head.close, c.close) << c.input;
        EXPECT_EQ(head.upgrade, c.upgrade) << c.input;
        EXPECT_EQ(head.body, c.body) << c.input;
        // What follows the head is the next request's, or a body, never taken as the head.
        EXPECT_EQ(c.input.substr(head.length).find("\r\n\r\n"), std::string::npos) << c.input;
    }
    EXPECT_FALSE(web::hasRequestLine("GET / HTTP/1.1"));
    EXPECT_TRUE(web::hasRequestLine("GET / HTTP/1.1\r\n"));
}

}  // namespace
