#include "mqtt/BrokerClient.h"

#include <mosquitto.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "feed/StateJson.h"

namespace mqtt {

namespace {

constexpr int keepAliveSeconds = 10;
// A broker that takes the connection but does not accept it in this time is given up on.
constexpr std::int64_t connectTimeoutMs = 5000;
// Reconnecting backs off from the first to the last: a broker that comes back is found within
// the last, and one that stays away costs a connection attempt that often.
constexpr int firstBackoffMs = 250;
constexpr int lastBackoffMs = 2000;
// A broker that refused us (user, password, client) will not change its mind soon.
constexpr int refusedBackoffMs = 10000;
// At the end: how long "offline" may take to be confirmed.
constexpr std::int64_t finishMs = 1000;

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::once_flag libraryStarted;

std::string errorText(int rc) {
    return rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc);
}

}  // namespace

BrokerClient::BrokerClient(const BrokerChoice& choice, std::optional<Login> login,
                           std::function<void()> statusChanged, std::shared_future<void> after)
    : choice_(choice),
      login_(std::move(login)),
      statusChanged_(std::move(statusChanged)),
      stateTopic_(choice.address.prefix + "/state"),
      statusTopic_(choice.address.prefix + "/status"),
      after_(std::move(after)) {
    std::call_once(libraryStarted, [] { mosquitto_lib_init(); });
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread([this] { run(); });
}

BrokerClient::~BrokerClient() {
    stop_ = true;
    wake();
    thread_.join();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void BrokerClient::wake() {
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0 && ::write(wakeFd_, &one, sizeof one) < 0) {
        // Full counter: the thread is woken anyway.
    }
}

void BrokerClient::offer(const feed::Reading& state) {
    {
        const std::lock_guard lock(mutex_);
        newest_ = state;
        hasNewest_ = true;
    }
    wake();
}

BrokerClient::Status BrokerClient::status() const {
    const std::lock_guard lock(mutex_);
    return status_;
}

void BrokerClient::setStatus(Link link, int refusal, std::string reason) {
    {
        const std::lock_guard lock(mutex_);
        status_.link = link;
        status_.refusal = refusal;
        status_.reason = std::move(reason);
        if (link == Link::online) status_.attempts = 0;
    }
    if (statusChanged_) statusChanged_();
}

void BrokerClient::onConnect(mosquitto*, void* self, int rc) {
    auto* client = static_cast<BrokerClient*>(self);
    if (rc != 0) {
        client->refused_ = true;
        client->setStatus(Link::refused, rc, mosquitto_connack_string(rc));
        return;
    }
    client->connected_ = true;
    client->backoffMs_ = 0;
    client->resend_ = true;
    mosquitto_publish(client->mosq_, nullptr, client->statusTopic_.c_str(), 6, "online", 1, true);
    client->setStatus(Link::online, 0, {});
}

void BrokerClient::onPublish(mosquitto*, void* self, int mid) {
    auto* client = static_cast<BrokerClient*>(self);
    if (mid == client->offlineMid_) client->offlineAcked_ = true;
}

void BrokerClient::run() {
    if (after_.valid()) after_.wait();
    mosq_ = mosquitto_new(nullptr, true, this);
    std::string setupFailure;
    if (!mosq_) {
        setupFailure = std::strerror(errno);
    } else {
        mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_will_set(mosq_, statusTopic_.c_str(), 7, "offline", 1, true);
        if (login_)
            mosquitto_username_pw_set(mosq_, login_->user.c_str(), login_->password.c_str());
        if (choice_.address.tls) {
            const char* caFile = choice_.caFile.empty() ? nullptr : choice_.caFile.c_str();
            const int rc = mosquitto_tls_set(mosq_, caFile, caFile ? nullptr : "/etc/ssl/certs",
                                             nullptr, nullptr, nullptr);
            if (rc != MOSQ_ERR_SUCCESS) setupFailure = choice_.caFile + ": " + errorText(rc);
        }
        mosquitto_connect_callback_set(mosq_, &BrokerClient::onConnect);
        mosquitto_publish_callback_set(mosq_, &BrokerClient::onPublish);
    }
    if (!setupFailure.empty()) setStatus(Link::down, 0, setupFailure);
    while (!stop_) {
        const int waitMs = setupFailure.empty() ? step(steadyMs()) : -1;
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {-1, 0, 0}};
        nfds_t count = 1;
        if (mosq_ && socketOpen_ && mosquitto_socket(mosq_) >= 0) {
            fds[1].fd = mosquitto_socket(mosq_);
            fds[1].events =
                static_cast<short>(POLLIN | (mosquitto_want_write(mosq_) ? POLLOUT : 0));
            count = 2;
        }
        ::poll(fds, count, waitMs);
        if (fds[0].revents & POLLIN) {
            std::uint64_t drained = 0;
            if (::read(wakeFd_, &drained, sizeof drained) < 0) {
                // Nothing to drain: woken by the socket.
            }
        }
    }
    if (mosq_) {
        finish();
        mosquitto_destroy(mosq_);
    }
}

void BrokerClient::connectionLost(std::int64_t nowMs, std::string reason) {
    // The connection this attempt made was refused: said already, and not soon tried again.
    const bool refused = refused_;
    refused_ = false;
    socketOpen_ = false;
    connected_ = false;
    backoffMs_ =
        refused ? refusedBackoffMs : std::clamp(backoffMs_ * 2, firstBackoffMs, lastBackoffMs);
    nextAttemptMs_ = nowMs + backoffMs_;
    if (!refused) setStatus(Link::down, 0, std::move(reason));
}

int BrokerClient::step(std::int64_t nowMs) {
    if (!socketOpen_) {
        if (nowMs < nextAttemptMs_) return static_cast<int>(nextAttemptMs_ - nowMs);
        {
            const std::lock_guard lock(mutex_);
            ++status_.attempts;
        }
        const std::string& host = choice_.address.host;
        // The connection is made without waiting for it: the thread stays free to stop.
        const int rc = nextAttemptMs_ == 0
                           ? mosquitto_connect_async(mosq_, host.c_str(), choice_.address.port,
                                                     keepAliveSeconds)
                           : mosquitto_reconnect_async(mosq_);
        if (nextAttemptMs_ == 0) nextAttemptMs_ = nowMs;
        if (rc != MOSQ_ERR_SUCCESS) {
            connectionLost(nowMs, errorText(rc));
            return backoffMs_;
        }
        socketOpen_ = true;
        connectStartMs_ = nowMs;
    }
    // Whatever the socket has for us and we for it, without waiting; then keep-alive.
    const int rc = mosquitto_loop(mosq_, 0, 1);
    if (rc != MOSQ_ERR_SUCCESS) {
        connectionLost(nowMs, errorText(rc));
        return backoffMs_;
    }
    if (!connected_) {
        if (nowMs - connectStartMs_ > connectTimeoutMs) {
            connectionLost(nowMs, "no answer");
            return backoffMs_;
        }
        return 100;
    }

    feed::Reading latest;
    {
        const std::lock_guard lock(mutex_);
        if (!hasNewest_) return 1000;
        latest = newest_;
    }
    const feed::Reading judged = freshness_.judge(std::move(latest), nowMs);
    const std::int64_t since = nowMs - lastPublishMs_;
    const std::int64_t minInterval = 1000 / std::clamp(choice_.maxPerSecond, 1, 50);
    const bool changed = !last_ || !feed::sameShown(*last_, judged);
    const bool stopped = last_ && last_->live && !judged.live;
    const bool heartbeat = judged.live && since >= 1000;
    if (resend_ || stopped || heartbeat || (changed && since >= minInterval)) {
        // A broker that has not yet taken the last message is sent no queue of them: the newest
        // waits until it has, unless it says the readings stopped.
        if (!mosquitto_want_write(mosq_) || resend_ || stopped) {
            publishState(nowMs, judged);
            return static_cast<int>(judged.live ? std::min<std::int64_t>(1000, minInterval) : 1000);
        }
        return 50;
    }
    std::int64_t waitMs = judged.live ? 1000 - since : 1000;
    if (changed) waitMs = std::min(waitMs, minInterval - since);
    return static_cast<int>(std::clamp<std::int64_t>(waitMs, 1, 1000));
}

void BrokerClient::publishState(std::int64_t nowMs, const feed::Reading& state) {
    const QByteArray payload = feed::stateJson(state);
    const int rc =
        mosquitto_publish(mosq_, nullptr, stateTopic_.c_str(), static_cast<int>(payload.size()),
                          payload.constData(), 0, true);
    if (rc != MOSQ_ERR_SUCCESS) return;
    last_ = state;
    lastPublishMs_ = nowMs;
    resend_ = false;
    ++published_;
    // Out at once rather than at the next pass.
    if (mosquitto_loop_write(mosq_, 1) != MOSQ_ERR_SUCCESS) {
        // The next pass's loop reports the broken connection.
    }
}

void BrokerClient::finish() {
    if (!connected_) return;
    {
        std::unique_lock lock(mutex_);
        if (hasNewest_) {
            feed::Reading newest = newest_;
            lock.unlock();
            const feed::Reading judged = freshness_.judge(std::move(newest), steadyMs());
            if (!last_ || !feed::sameShown(*last_, judged)) publishState(steadyMs(), judged);
        }
    }
    if (mosquitto_publish(mosq_, &offlineMid_, statusTopic_.c_str(), 7, "offline", 1, true) ==
        MOSQ_ERR_SUCCESS) {
        const std::int64_t until = steadyMs() + finishMs;
        while (!offlineAcked_ && steadyMs() < until)
            if (mosquitto_loop(mosq_, 50, 1) != MOSQ_ERR_SUCCESS) break;
    }
    mosquitto_disconnect(mosq_);
    mosquitto_loop(mosq_, 0, 1);
}

}  // namespace mqtt
