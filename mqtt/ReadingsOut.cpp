#include "mqtt/ReadingsOut.h"

#include "platform/Files.h"

namespace mqtt {

ReadingsOut::ReadingsOut(feed::Feed& feed, QObject* parent) : QObject(parent), feed_(feed) {
    connect(&feed_, &feed::Feed::reading, this, [this](const feed::Reading& state) {
        if (client_) client_->offer(state);
    });
}

ReadingsOut::~ReadingsOut() {
    programEnding();
    for (std::thread& ending : retiring_) ending.join();
}

std::shared_future<void> ReadingsOut::retire() {
    if (!client_) return {};
    std::promise<void> ended;
    std::shared_future<void> done = ended.get_future().share();
    retiring_.emplace_back([client = std::shared_ptr<BrokerClient>(std::move(client_)),
                            ended = std::move(ended)]() mutable {
        client.reset();
        ended.set_value();
    });
    return done;
}

QString ReadingsOut::apply(const BrokerChoice& choice) {
    std::optional<Login> login;
    if (choice.on && !choice.loginFile.empty()) {
        std::string why;
        login = readLoginFile(choice.loginFile, why);
        if (!login) {
            refusal_ = tr("plik logowania %1: %2")
                           .arg(QString::fromStdString(choice.loginFile),
                                QString::fromStdString(why));
            emit statusChanged();
            return refusal_;
        }
    }
    refusal_.clear();
    std::shared_future<void> previousEnded = retire();
    choice_ = choice;
    if (choice.on) {
        client_ = std::make_unique<BrokerClient>(
            choice, std::move(login),
            [this] {
                QMetaObject::invokeMethod(this, &ReadingsOut::statusChanged, Qt::QueuedConnection);
            },
            std::move(previousEnded));
        client_->offer(feed_.current());
    }
    emit statusChanged();
    return {};
}

BrokerChoice ReadingsOut::loadChoice() {
    const auto text = platform::readRegularFile(choiceFileName, 4096);
    return text ? parseChoice(*text) : BrokerChoice{};
}

bool ReadingsOut::saveChoice(const BrokerChoice& choice) {
    return platform::replaceFile(choiceFileName, choiceText(choice));
}

QString ReadingsOut::statusText() const {
    if (!client_) return {};
    const BrokerClient::Status s = client_->status();
    const QString broker = QString::fromStdString(brokerUrl(choice_.address));
    switch (s.link) {
        case BrokerClient::Link::connecting:
            return tr("Łączenie z brokerem %1…").arg(broker);
        case BrokerClient::Link::online:
            return tr("Połączono z brokerem %1: odczyty są publikowane").arg(broker);
        case BrokerClient::Link::refused:
            return tr("Broker %1 odmówił połączenia (%2); ponowna próba co 10 s")
                .arg(broker, QString::fromStdString(s.reason));
        case BrokerClient::Link::down:
            break;
    }
    return tr("Brak połączenia z brokerem %1 (%2); ponowne próby: %3")
        .arg(broker, QString::fromStdString(s.reason))
        .arg(s.attempts);
}

QString ReadingsOut::problemText() const {
    if (!client_) return refusal_.isEmpty() ? QString() : tr("MQTT: %1").arg(refusal_);
    switch (client_->status().link) {
        case BrokerClient::Link::online:
        case BrokerClient::Link::connecting:
            return {};
        case BrokerClient::Link::refused:
            return tr("MQTT: broker odmawia połączenia");
        case BrokerClient::Link::down:
            break;
    }
    return tr("MQTT: brak połączenia z brokerem");
}

void ReadingsOut::programEnding() {
    // The last word of the window (the program has ended: not current) before "offline".
    if (client_) client_->offer(feed_.current());
    client_.reset();
}

}  // namespace mqtt
