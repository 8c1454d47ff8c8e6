// The broker's client against a real mosquitto on loopback: what a subscriber sees, how often,
// and what a broker that goes away or refuses us does to the client.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "mqtt/BrokerClient.h"
#include "tests/mqtt/LoopbackBroker.h"

namespace mqtttest {
namespace {

using namespace std::chrono_literals;
using Link = mqtt::BrokerClient::Link;

mqtt::BrokerChoice choiceFor(const LoopbackBroker& broker, const std::string& prefix) {
    std::string why;
    mqtt::BrokerChoice choice;
    choice.on = true;
    choice.address = *mqtt::parseBrokerUrl(broker.url(prefix), why);
    return choice;
}

feed::Reading reading(std::uint64_t number, double x, bool live = true) {
    feed::Reading state;
    state.axes = 2;
    state.live = live;
    state.why = live ? QString() : QStringLiteral("Brak połączenia z urządzeniem");
    state.reading = number;
    state.texts = {QString::number(x, 'f', 3), QStringLiteral("Ref"), QString()};
    state.values = {x, std::nullopt, std::nullopt};
    state.mode = QStringLiteral("absolutne");
    state.timeMs = 1796721600123;
    return state;
}

bool waitForLink(const mqtt::BrokerClient& client, Link link, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (client.status().link != link && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(20ms);
    return client.status().link == link;
}

TEST(BrokerClient, PublishesStatusAndStateRetainedAndSaysOfflineAtTheEnd) {
    LoopbackBroker broker;
    // Garbage someone left retained on our topics is replaced.
    ASSERT_EQ(std::system(("mosquitto_pub -p " + std::to_string(broker.port()) +
                           " -r -t line1/state -m '{garbage'")
                              .c_str()),
              0);
    Subscriber subscriber(broker.port(), "line1/#");
    {
        mqtt::BrokerClient client(choiceFor(broker, "line1"), std::nullopt, nullptr);
        client.offer(reading(1, 12.345));
        ASSERT_GE(subscriber.waitFor("line1/status", "online", 5s), 0);
        const int first = subscriber.waitFor("line1/state", "\"current\":true", 5s);
        ASSERT_GE(first, 0);
        const std::string json = subscriber.messages()[static_cast<std::size_t>(first)].payload;
        for (const char* part : {R"({"axis":"X","text":"12.345","unit":"mm","value":12.345})",
                                 R"({"axis":"Y","text":"Ref","unit":"mm","value":null})",
                                 R"("mode":"absolute")", R"("modeText":"absolutne")",
                                 R"("time":"2026-12-08T09:20:00.123Z")", R"("linkLosses":0)"})
            EXPECT_NE(json.find(part), std::string::npos) << part << " in " << json;
        // Readings that stop: said in the next message, with why.
        client.offer(reading(1, 12.345, false));
        EXPECT_GE(subscriber.waitFor("line1/state", "Brak połączenia z urządzeniem", 5s), 0);
    }
    EXPECT_GE(subscriber.waitFor("line1/status", "offline", 5s), 0);
    // A subscriber that comes later is given both at once.
    Subscriber later(broker.port(), "line1/#");
    EXPECT_GE(later.waitFor("line1/status", "offline", 5s), 0);
    EXPECT_GE(later.waitFor("line1/state", "\"current\":false", 5s), 0);
    for (const Message& m : later.messages()) EXPECT_TRUE(m.retained) << m.topic;
}

TEST(BrokerClient, PacesChangesAndRepeatsAStillReadingOnceASecond) {
    LoopbackBroker broker;
    Subscriber subscriber(broker.port(), "pace/state");
    mqtt::BrokerChoice choice = choiceFor(broker, "pace");
    choice.maxPerSecond = 5;
    mqtt::BrokerClient client(choice, std::nullopt, nullptr);
    ASSERT_TRUE(waitForLink(client, Link::online, 5s));
    // A moving axis read 100 times a second for 2 s: about 5 messages a second, the last
    // reading among them.
    std::uint64_t number = 1;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < 2s) {
        client.offer(reading(number, static_cast<double>(number)));
        ++number;
        std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(300ms);
    const std::size_t moving = subscriber.messages().size();
    EXPECT_GE(moving, 6u);
    EXPECT_LE(moving, 13u);
    EXPECT_NE(
        subscriber.messages().back().payload.find(
            "\"text\":\"" + QString::number(static_cast<double>(number - 1), 'f', 3).toStdString()),
        std::string::npos);
    // Standing still, still read: once a second.
    const auto still = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - still < 3s) {
        client.offer(reading(++number, 7.0));
        std::this_thread::sleep_for(10ms);
    }
    const std::size_t repeats = subscriber.messages().size() - moving;
    EXPECT_GE(repeats, 3u);
    EXPECT_LE(repeats, 5u);
}

TEST(BrokerClient, ABrokerThatGoesAwayIsFoundAgainWithTheCurrentState) {
    LoopbackBroker broker;
    mqtt::BrokerClient client(choiceFor(broker, "back"), std::nullopt, nullptr);
    client.offer(reading(1, 1.0));
    ASSERT_TRUE(waitForLink(client, Link::online, 5s));
    broker.stop();
    EXPECT_TRUE(waitForLink(client, Link::down, 5s));
    std::this_thread::sleep_for(3s);
    client.offer(reading(2, 2.0));
    broker.start();
    const auto back = std::chrono::steady_clock::now();
    Subscriber subscriber(broker.port(), "back/#");
    EXPECT_GE(subscriber.waitFor("back/status", "online", 5s), 0);
    EXPECT_GE(subscriber.waitFor("back/state", "\"text\":\"2.000\"", 5s), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - back, 5s);
}

TEST(BrokerClient, ABrokerThatTakesTheConnectionButNeverAnswersIsLeftAndHoldsNothing) {
    // A listening socket nobody accepts from: the kernel completes the connection, and the
    // CONNECT is never answered.
    const int mute = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(mute, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(mute, 4), 0);
    ::getsockname(mute, reinterpret_cast<sockaddr*>(&address), &size);
    std::string why;
    mqtt::BrokerChoice choice;
    choice.on = true;
    choice.address = *mqtt::parseBrokerUrl(
        "mqtt://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/mute", why);
    auto client = std::make_unique<mqtt::BrokerClient>(choice, std::nullopt, nullptr);
    for (std::uint64_t n = 1; n < 200; ++n) client->offer(reading(n, 1.0));
    EXPECT_TRUE(waitForLink(*client, Link::down, 8s));
    EXPECT_EQ(client->status().reason, "no answer");
    EXPECT_EQ(client->published(), 0u);
    const auto ending = std::chrono::steady_clock::now();
    client.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - ending, 1500ms);
    ::close(mute);
}

// A certificate authority of the test's own and a broker certificate for 127.0.0.1 signed by it;
// `name` is the authority's file.
void makeAuthority(const e2e::TempDir& dir, const std::string& name) {
    const std::string d = dir.path() + "/";
    const std::string quiet = " >/dev/null 2>&1";
    ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=" + name +
                           " -keyout " + d + name + ".key -out " + d + name + ".crt" + quiet)
                              .c_str()),
              0);
}

TEST(BrokerClient, TlsTrustsTheCaFileAndNoOtherCertificate) {
    e2e::TempDir dir;
    const std::string d = dir.path() + "/";
    ASSERT_NO_FATAL_FAILURE(makeAuthority(dir, "shop"));
    ASSERT_NO_FATAL_FAILURE(makeAuthority(dir, "stranger"));
    ASSERT_EQ(std::system(("openssl req -newkey rsa:2048 -nodes -subj /CN=broker -keyout " + d +
                           "broker.key -out " + d +
                           "broker.csr >/dev/null 2>&1 && openssl x509 "
                           "-req -in " +
                           d + "broker.csr -CA " + d + "shop.crt -CAkey " + d +
                           "shop.key -CAcreateserial -days 1 -extfile <(printf "
                           "subjectAltName=IP:127.0.0.1) -out " +
                           d + "broker.crt >/dev/null 2>&1")
                              .insert(0, "bash -c '")
                              .append("'")
                              .c_str()),
              0);
    LoopbackBroker broker({"cafile " + d + "shop.crt", "certfile " + d + "broker.crt",
                           "keyfile " + d + "broker.key"});
    for (const char* authority : {"shop", "stranger"}) {
        mqtt::BrokerChoice choice = choiceFor(broker, "tls");
        choice.address.tls = true;
        choice.caFile = d + authority + ".crt";
        mqtt::BrokerClient client(choice, std::nullopt, nullptr);
        const bool trusted = std::string(authority) == "shop";
        EXPECT_EQ(waitForLink(client, Link::online, trusted ? 5s : 2s), trusted) << authority;
    }
}

TEST(BrokerClient, AWrongPasswordIsToldAsARefusal) {
    LoopbackBroker probe;  // only for a directory to keep the password file in
    const std::string passwords = probe.dir().file("passwords");
    ASSERT_EQ(std::system(("mosquitto_passwd -b -c " + passwords + " reader right").c_str()), 0);
    LoopbackBroker broker({"password_file " + passwords});
    mqtt::BrokerClient wrong(choiceFor(broker, "auth"), mqtt::Login{"reader", "wrong"}, nullptr);
    EXPECT_TRUE(waitForLink(wrong, Link::refused, 5s));
    mqtt::BrokerClient right(choiceFor(broker, "auth"), mqtt::Login{"reader", "right"}, nullptr);
    EXPECT_TRUE(waitForLink(right, Link::online, 5s));
}

}  // namespace
}  // namespace mqtttest
