#pragma once

#include <QObject>
#include <QString>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "feed/Feed.h"
#include "mqtt/BrokerChoice.h"
#include "mqtt/BrokerClient.h"

// The readings to the shop's MQTT broker, as the window sees it: the choice (from the command
// line, the dialog or the choice file), the feed's states handed to the broker's client, and the
// connection's state in words for the dialog and the status line.
namespace mqtt {

class ReadingsOut : public QObject {
    Q_OBJECT
public:
    explicit ReadingsOut(feed::Feed& feed, QObject* parent = nullptr);
    ~ReadingsOut() override;

    // Publishes as `choice` says (off: stops). The user and password come from the choice's login
    // file. Returns why it cannot publish ("" when it does or is off); a refused choice is not
    // applied.
    QString apply(const BrokerChoice& choice);
    const BrokerChoice& choice() const { return choice_; }

    // The choice file in the working directory: read at start, written when a choice is applied
    // from the dialog or the command line.
    static BrokerChoice loadChoice();
    static bool saveChoice(const BrokerChoice& choice);

    bool publishing() const { return client_ != nullptr; }
    // The connection in words; empty while off.
    QString statusText() const;
    // A short note for the window's status line while the broker is not reached; empty otherwise.
    QString problemText() const;
    BrokerClient* client() const { return client_.get(); }

    // The program ends: "offline" goes out before the connection closes.
    void programEnding();

signals:
    void statusChanged();

private:
    // Ends the client in use on a thread of its own: its "offline" may wait up to a second for a
    // slow broker, which the window's thread never does.
    std::shared_future<void> retire();

    feed::Feed& feed_;
    BrokerChoice choice_;
    // Why the last choice to publish could not be taken up while nothing publishes (a login
    // file others may read): said on the status line, not left to look like publishing.
    QString refusal_;
    std::unique_ptr<BrokerClient> client_;
    std::vector<std::thread> retiring_;
};

}  // namespace mqtt
