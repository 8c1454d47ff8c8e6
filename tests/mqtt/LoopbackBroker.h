#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/e2e/Processes.h"

struct mosquitto;
struct mosquitto_message;

namespace mqtttest {

// A real mosquitto on 127.0.0.1, on a port of its own, in a temporary directory. Stopped and
// started again on the same port, as a broker restarted by the shop's IT.
class LoopbackBroker {
public:
    // `config` lines are added to the listener's (e.g. a password file).
    explicit LoopbackBroker(std::vector<std::string> config = {});
    void start();
    void stop();
    std::uint16_t port() const { return port_; }
    std::string url(const std::string& prefix) const;
    const e2e::TempDir& dir() const { return dir_; }

private:
    e2e::TempDir dir_;
    std::uint16_t port_ = 0;
    std::unique_ptr<e2e::Process> process_;
};

struct Message {
    std::string topic;
    std::string payload;
    bool retained = false;
    std::chrono::steady_clock::time_point at;
};

// A subscriber to a topic filter on the broker, collecting what it receives.
class Subscriber {
public:
    Subscriber(std::uint16_t port, const std::string& filter);
    ~Subscriber();
    // Waits until a message on `topic` whose payload contains `part` has come after the
    // first `from` messages; its index, or -1 after the timeout.
    int waitFor(const std::string& topic, const std::string& part,
                std::chrono::milliseconds timeout, std::size_t from = 0);
    std::vector<Message> messages() const;

private:
    static void onMessage(mosquitto*, void*, const mosquitto_message*);
    mosquitto* mosq_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Message> messages_;
};

}  // namespace mqtttest
