#include "tests/mqtt/LoopbackBroker.h"

#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <thread>

namespace mqtttest {

namespace {

std::uint16_t freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool accepting(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

LoopbackBroker::LoopbackBroker(std::vector<std::string> config) : port_(freePort()) {
    std::ofstream file(dir_.file("mosquitto.conf"));
    file << "listener " << port_ << " 127.0.0.1\n";
    bool authenticated = false;
    for (const std::string& line : config) {
        file << line << "\n";
        authenticated = authenticated || line.starts_with("password_file");
    }
    if (!authenticated) file << "allow_anonymous true\n";
    file << "persistence false\n";
    // Started as root, mosquitto would become the user "mosquitto", who may not read this
    // directory.
    if (::geteuid() == 0) file << "user root\n";
    file.close();
    start();
}

void LoopbackBroker::start() {
    process_ = std::make_unique<e2e::Process>(
        "/usr/sbin/mosquitto", std::vector<std::string>{"-c", dir_.file("mosquitto.conf")},
        dir_.path(), dir_.file("mosquitto.log"));
    for (int i = 0; i < 250 && !accepting(port_); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!accepting(port_)) throw std::runtime_error("mosquitto did not start");
}

void LoopbackBroker::stop() {
    process_.reset();
}

std::string LoopbackBroker::url(const std::string& prefix) const {
    return "mqtt://127.0.0.1:" + std::to_string(port_) + "/" + prefix;
}

Subscriber::Subscriber(std::uint16_t port, const std::string& filter) {
    mosquitto_lib_init();
    mosq_ = mosquitto_new(nullptr, true, this);
    mosquitto_message_callback_set(mosq_, &Subscriber::onMessage);
    if (mosquitto_connect(mosq_, "127.0.0.1", port, 10) != MOSQ_ERR_SUCCESS ||
        mosquitto_subscribe(mosq_, nullptr, filter.c_str(), 1) != MOSQ_ERR_SUCCESS)
        throw std::runtime_error("cannot subscribe");
    mosquitto_loop_start(mosq_);
}

Subscriber::~Subscriber() {
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    mosquitto_destroy(mosq_);
}

void Subscriber::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* s = static_cast<Subscriber*>(self);
    const std::lock_guard lock(s->mutex_);
    s->messages_.push_back({message->topic,
                            std::string(static_cast<const char*>(message->payload),
                                        static_cast<std::size_t>(message->payloadlen)),
                            message->retain, std::chrono::steady_clock::now()});
    s->arrived_.notify_all();
}

int Subscriber::waitFor(const std::string& topic, const std::string& part,
                        std::chrono::milliseconds timeout, std::size_t from) {
    std::unique_lock lock(mutex_);
    int found = -1;
    arrived_.wait_for(lock, timeout, [&] {
        for (std::size_t i = from; i < messages_.size(); ++i)
            if (messages_[i].topic == topic &&
                messages_[i].payload.find(part) != std::string::npos) {
                found = static_cast<int>(i);
                return true;
            }
        return false;
    });
    return found;
}

std::vector<Message> Subscriber::messages() const {
    const std::lock_guard lock(mutex_);
    return messages_;
}

}  // namespace mqtttest
