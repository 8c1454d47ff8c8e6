// The real kvt3 on kvt3-sim, publishing to a real mosquitto on loopback: four programs on four
// boxes seen by one subscriber, the state also from the live view's server, and the broker's
// last will when a program dies.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <regex>

#include "tests/e2e/Session.h"
#include "tests/mqtt/LoopbackBroker.h"

namespace mqtttest {
namespace {

using namespace std::chrono_literals;

// One GET on loopback; the whole answer.
std::string httpGet(std::uint16_t port, const std::string& path) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET " + path +
                                    " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                    "\r\nConnection: close\r\n\r\n";
        if (::write(fd, request.data(), request.size()) > 0) {
            char buffer[4096];
            ssize_t n = 0;
            while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
                answer.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return answer;
}

TEST(Programs, FourBoxesOnOneBrokerEachCurrentAndTheWillWhenOneDies) {
    LoopbackBroker broker;
    Subscriber subscriber(broker.port(), "shop/#");
    std::vector<std::unique_ptr<e2e::Session>> sessions;
    for (int i = 0; i < 4; ++i) {
        auto session = std::make_unique<e2e::Session>();
        ASSERT_NO_FATAL_FAILURE(session->startBox({}));
        std::vector<std::string> args = {"--mqtt", broker.url("shop/m" + std::to_string(i))};
        if (i == 0) args.insert(args.end(), {"--serve", "127.0.0.1:0"});
        session->startProgram(args);
        sessions.push_back(std::move(session));
    }
    for (int i = 0; i < 4; ++i) {
        const std::string prefix = "shop/m" + std::to_string(i);
        EXPECT_GE(subscriber.waitFor(prefix + "/status", "online", 20s), 0) << prefix;
        const int current = subscriber.waitFor(prefix + "/state", "\"current\":true", 20s);
        ASSERT_GE(current, 0) << prefix;
        // The default box has three axes, all moving linear ones.
        const std::string json = subscriber.messages()[static_cast<std::size_t>(current)].payload;
        EXPECT_NE(json.find(R"("axis":"Z")"), std::string::npos) << json;
        EXPECT_EQ(json.find(R"("value":null)"), std::string::npos) << json;
    }
    // The first one's state from its live view, as the broker has it.
    std::smatch url;
    const std::string log = e2e::readFile(sessions[0]->file("kvt3.log"));
    const std::regex pattern(R"(http://127\.0\.0\.1:(\d+)(/[0-9a-f]{32}/))");
    ASSERT_TRUE(std::regex_search(log, url, pattern)) << log;
    const std::string answer =
        httpGet(static_cast<std::uint16_t>(std::stoi(url[1])), url[2].str() + "state.json");
    EXPECT_NE(answer.find("application/json"), std::string::npos) << answer;
    EXPECT_NE(answer.find(R"("current":true)"), std::string::npos) << answer;

    // Killed: no clean end, the broker says offline for it.
    sessions[3]->program().signal(SIGKILL);
    EXPECT_GE(subscriber.waitFor("shop/m3/status", "offline", 10s), 0);
    // Ended cleanly: offline, and the last state says not current.
    const std::size_t before = subscriber.messages().size();
    ASSERT_NO_FATAL_FAILURE(sessions[2]->endProgramThenBox());
    EXPECT_GE(subscriber.waitFor("shop/m2/status", "offline", 5s, before), 0);
    EXPECT_GE(subscriber.waitFor("shop/m2/state", "\"current\":false", 5s, before), 0);
}

}  // namespace
}  // namespace mqtttest
