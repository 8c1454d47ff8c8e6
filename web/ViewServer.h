#pragma once

#include <QHostAddress>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "web/ViewState.h"

class QThread;

namespace web {

class Engine;

// Limits of the live view, because it listens on a network where anyone may connect.
struct ServeLimits {
    int pages = 16;            // event streams open at once
    int connections = 64;      // connections that have asked for something under the token
    int strangers = 32;        // connections that have not (yet): the rest is kept for pages
    int perAddress = 8;        // strangers from one client address (an IPv6 /64)
    int headBytes = 8 * 1024;  // a request's head
    int headFields = 50;       // its header fields
    int firstLineMs = 2'000;   // a new connection's first request line
    int idleMs = 10'000;       // a connection without a whole request, or a page that reads nothing
    int unreadBytes = 32 * 1024;  // what a page may leave unread and still count as reading
    int staleMs = 1'000;          // no new reading for this long: the figures are not live
    int tickMs = 250;             // a page hears from us at least this often
};

// The HTTP side of the live view, on a thread of its own: the window's thread only leaves the
// newest state with it. Requests are read by our own rules before anything else: a connection
// from someone without the token costs a socket for at most the first line's deadline and is the
// first to go when another comes, so that silent or flooding clients never keep a page out. A
// page that reads slowly is sent only the newest state when it reads again; one that reads
// nothing for the idle time is dropped. Nothing received ever reaches the window or the box.
class ViewServer {
public:
    ViewServer();
    ~ViewServer();
    ViewServer(const ViewServer&) = delete;
    ViewServer& operator=(const ViewServer&) = delete;

    // Listens on `address`:`port` (port 0: the kernel picks one). `names` are the Host header
    // values accepted, lower case. Returns why not ("" when listening).
    QString start(const QHostAddress& address, std::uint16_t port, const std::string& token,
                  std::vector<std::string> names, ServeLimits limits = {});
    std::uint16_t port() const { return port_; }

    // Any thread; cheap: the newest state replaces the one not yet sent.
    void publish(const ViewState& state);

    // A new secret: what was opened with the old one is closed, the port stays.
    void setToken(const std::string& token);

    // Sends the pages `state` as the last word and closes them; then stops listening.
    void finish(const ViewState& state);

private:
    std::unique_ptr<QThread> thread_;
    Engine* engine_ = nullptr;  // lives on thread_
    std::uint16_t port_ = 0;
    std::mutex mutex_;
    ViewState newest_;
    std::atomic<bool> posted_{false};
    friend class Engine;
};

}  // namespace web
