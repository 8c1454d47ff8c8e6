#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

#include "web/ServeChoice.h"
#include "web/ViewState.h"

namespace web {

class ViewServer;

// The live view as the window sees it: turned on and off, told when what the window shows has
// changed, asked for the address to open. The serving itself runs on a thread of its own
// (ViewServer); here, on the window's thread, a change costs a copy of a few short texts and a
// wake-up of that thread, and nothing at all while the view is off.
class LiveView : public QObject {
    Q_OBJECT
public:
    explicit LiveView(QObject* parent = nullptr);
    ~LiveView() override;

    // What the window shows now; asked at each change and every quarter second.
    void setSource(std::function<ViewState()> source);
    // What the window shows has changed (a reading, the mode, the axes, live or not).
    void changed();
    // The feed's state after a change: served as it is.
    void take(const ViewState& state);

    // The choice as kept in the settings file (or given on the command line): serves when it is
    // on. A choice without a token gets a new one. Returns why serving failed ("" when it serves
    // or is off); the view is then off.
    QString apply(ServeChoice choice);
    const ServeChoice& choice() const { return choice_; }
    bool serving() const;
    // Why the last choice that was on does not serve; empty when it serves or was off.
    QString failure() const { return failure_; }
    // A new token: pages opened with the old one stop.
    QString renewToken();

    // The address a browser opens, token included; empty while off. For all addresses, the
    // machine's first address on a network (loopback when it has none).
    QString url() const;
    // The port actually listened on (the chosen one, or the kernel's pick for port 0).
    std::uint16_t listeningPort() const;
    // The machine's addresses to choose from, for the dialog: loopback first, then the others.
    static QStringList machineAddresses();

    // The program ends: pages are told so before the server goes.
    void programEnding();

signals:
    // Serving started, stopped or moved, or the token changed.
    void servingChanged();

private:
    void publish();
    // Serves `choice`, its port made the one listened on; why not.
    QString start(ServeChoice& choice);
    // Tells the pages `why` and stops serving.
    void stop(const QString& why);

    std::function<ViewState()> source_;
    ServeChoice choice_;
    QString failure_;
    std::unique_ptr<ViewServer> server_;
    QTimer tick_;
    bool publishDue_ = false;
};

}  // namespace web
