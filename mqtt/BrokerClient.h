#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "feed/Reading.h"
#include "mqtt/BrokerChoice.h"

struct mosquitto;

// The connection to the broker, on a thread of its own: every call into libmosquitto, the
// connecting, the reconnecting with backoff and the pacing of the messages happen there. The
// window's thread only leaves the newest state with it (a copy of a few short texts and a write to
// an eventfd), so a broker that is down, slow or refusing never holds the readout.
//
// PREFIX/status is "online", retained, while connected; "offline" is the will the broker sends
// when the connection breaks, and is published at a clean end. PREFIX/state is the state as JSON,
// retained: on a change at most maxPerSecond times a second, at least once a second while
// current, at once when the readings stop being current.
namespace mqtt {

class BrokerClient {
public:
    enum class Link { connecting, online, down, refused };
    struct Status {
        Link link = Link::connecting;
        int refusal = 0;     // the broker's CONNACK code when refused
        std::string reason;  // the system's words for why the connection failed, when down
        int attempts = 0;    // connection attempts since the last success
    };

    // Connects as `login` (if any) and starts publishing. `statusChanged` is called on the
    // client's thread after each change of status.
    // `after`, when valid, is the end of the client this one replaces: the connection waits for
    // it, so that its "offline" can never follow this one's "online".
    BrokerClient(const BrokerChoice& choice, std::optional<Login> login,
                 std::function<void()> statusChanged, std::shared_future<void> after = {});
    // Publishes "offline", disconnects and ends the thread: at most about a second with a broker
    // that does not answer.
    ~BrokerClient();
    BrokerClient(const BrokerClient&) = delete;
    BrokerClient& operator=(const BrokerClient&) = delete;

    // Any thread, cheap: the newest state replaces one not yet published.
    void offer(const feed::Reading& state);
    Status status() const;
    // State messages published since the start (for tests and benches).
    std::uint64_t published() const { return published_.load(); }

private:
    void run();
    void wake();
    // One pass: connect when due, move bytes, publish what is due. Returns how long to wait.
    int step(std::int64_t nowMs);
    void publishState(std::int64_t nowMs, const feed::Reading& state);
    void setStatus(Link link, int refusal, std::string reason);
    void connectionLost(std::int64_t nowMs, std::string reason);
    void finish();
    static void onConnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int mid);

    const BrokerChoice choice_;
    const std::optional<Login> login_;
    const std::function<void()> statusChanged_;
    const std::string stateTopic_;
    const std::string statusTopic_;
    const std::shared_future<void> after_;
    mosquitto* mosq_ = nullptr;
    int wakeFd_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> published_{0};

    mutable std::mutex mutex_;  // guards newest_, hasNewest_, status_
    feed::Reading newest_;
    bool hasNewest_ = false;
    Status status_;

    // The client's thread only.
    feed::Freshness freshness_;
    std::optional<feed::Reading> last_;  // the last state published
    std::int64_t lastPublishMs_ = 0;
    bool socketOpen_ = false;  // a connection made or under way
    bool connected_ = false;   // CONNACK accepted
    bool resend_ = false;      // the next state goes out whatever it says
    bool refused_ = false;     // the broker refused this attempt's connection
    std::int64_t connectStartMs_ = 0;
    std::int64_t nextAttemptMs_ = 0;
    int backoffMs_ = 0;
    int offlineMid_ = -1;
    bool offlineAcked_ = false;

    std::thread thread_;
};

}  // namespace mqtt
