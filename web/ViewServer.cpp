#include "web/ViewServer.h"

#include <malloc.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <map>

#include "feed/StateJson.h"
#include "web/HttpWire.h"
#include "web/PageTexts.h"
#include "web/RequestHead.h"
#include "web/RequestRules.h"

namespace web {

namespace {

std::int64_t steadyUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QByteArray resource(const char* name) {
    QFile file(QStringLiteral(":/web/page/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Why a port cannot be listened on, in the operator's words.
QString listenFailure(QAbstractSocket::SocketError error, const QString& detail) {
    switch (error) {
        case QAbstractSocket::AddressInUseError:
            return QCoreApplication::translate("ViewServer",
                                               "port jest już zajęty przez inny program");
        case QAbstractSocket::SocketAccessError:
            return QCoreApplication::translate("ViewServer",
                                               "brak uprawnień do tego portu (porty poniżej 1024 "
                                               "wymagają uprawnień administratora)");
        case QAbstractSocket::SocketAddressNotAvailableError:
            return QCoreApplication::translate("ViewServer",
                                               "ten adres nie należy do tego komputera");
        default:
            return QCoreApplication::translate("ViewServer", "błąd sieci (%1)").arg(detail);
    }
}

// What a connection may leave unread of our answers before it is dropped: a few pages' worth.
constexpr qint64 maxUnreadAnswers = 64 * 1024;
// Connections taken from the listening queue in one go: the loop between two such batches reads
// what the connections already taken have sent, so a flood never pushes out a page's connection
// before its request is read.
constexpr int acceptsPerTurn = 4;
// How long a new connection may have sent nothing and still count as one whose request is on
// its way.
constexpr qint64 quietMs = 100;
// Connections in a short while that make a flood: after one, the memory it took is given back.
constexpr int floodConnections = 256;

std::string_view viewOf(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

}  // namespace

// The server itself, on the view's thread: it accepts, reads and answers every connection.
class Engine : public QObject {
public:
    Engine(ViewServer& owner, std::string token, std::vector<std::string> names, ServeLimits limits)
        : owner_(owner),
          token_(std::move(token)),
          names_(std::move(names)),
          limits_(limits),
          tick_(this),
          acceptAgain_(this) {
        page_ = pageInLanguage(limits_.pages);
        // Made here, on the caller's thread, where the program's language is in force.
        staleWord_ = QCoreApplication::translate("ViewServer", "Brak nowych odczytów z urządzenia");
        busyPage_ = busyPageInLanguage();
        script_ = resource("view.js");
        style_ = resource("view.css");
        clock_.start();
        tick_.setInterval(limits_.tickMs);
        QObject::connect(&tick_, &QTimer::timeout, this, [this] { onTick(); });
        acceptAgain_.setSingleShot(true);
        QObject::connect(&acceptAgain_, &QTimer::timeout, this, [this] {
            if (notifier_) notifier_->setEnabled(true);
        });
    }

    QString listenOn(const QHostAddress& address, std::uint16_t port, std::uint16_t& actual) {
        auto* listener = new QTcpServer(this);
        // A burst of connects beyond the queue would be dropped by the kernel unseen, the
        // clients left hanging: the queue takes a flood, and we take from it in batches.
        listener->setListenBacklogSize(1024);
        if (!listener->listen(address, port)) {
            const QString why = listenFailure(listener->serverError(), listener->errorString());
            delete listener;
            return why;
        }
        actual = listener->serverPort();
        // Qt listens; we accept, so that a connection is counted and placed before it costs
        // more than its descriptor.
        listener->pauseAccepting();
        notifier_ =
            new QSocketNotifier(listener->socketDescriptor(), QSocketNotifier::Read, listener);
        QObject::connect(notifier_, &QSocketNotifier::activated, this, [this] { acceptSome(); });
        tick_.start();
        return {};
    }

    // The newest state from the window's thread, to every page.
    void deliver() {
        ViewState state;
        {
            std::lock_guard lock(owner_.mutex_);
            state = owner_.newest_;
            owner_.posted_ = false;
        }
        if (state.reading != current_.reading) lastNewReadingMs_ = now();
        current_ = std::move(state);
        sendAll();
    }

    // Pages and connections of the old token end; the listening goes on.
    void renew(std::string token) {
        token_ = std::move(token);
        for (auto& [socket, connection] : connections_) socket->disconnectFromHost();
    }

    void finish(const ViewState& last) {
        current_ = last;
        finished_ = true;
        sendAll();
        tick_.stop();
        for (auto& [socket, connection] : connections_) {
            socket->flush();
            socket->disconnectFromHost();
        }
    }

    std::uint16_t port_ = 0;

private:
    struct Connection {
        QByteArray origin;
        std::uint64_t order;   // accepted as the order-th: the oldest stranger goes first
        qint64 openedMs;       // accepted
        qint64 sinceMs;        // accepted, or its last whole request
        QByteArray head{};     // what has come of the request being received
        bool proven = false;   // has asked for something under the token
        bool stream = false;   // an event stream to a page
        bool closing = false;  // answered for the last time
        bool owed = false;     // a state it was not sent because it had not read the one before
        qint64 stalledSinceMs = 0;  // since when it has not read what it was sent (0: it reads)
        quint32 widestWindow = 0;   // the most room its side has shown for our stream
    };

    qint64 now() const { return clock_.elapsed(); }

    void acceptSome() {
        const int listening = static_cast<int>(notifier_->socket());
        for (int i = 0; i < acceptsPerTurn; ++i) {
            const int fd = ::accept4(listening, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd >= 0) {
                // Reset by its client before we came to it (a connect-and-reset flood): it
                // costs no more than its descriptor's closing.
                int error = 0;
                socklen_t length = sizeof error;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
                    ::close(fd);
                else if (!refusedAtOnce(fd))
                    accept(fd);
                continue;
            }
            if (errno == EINTR || errno == ECONNABORTED) continue;
            // Out of descriptors (or memory): waiting connections stay queued until some close,
            // rather than the loop spinning on them.
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                notifier_->setEnabled(false);
                acceptAgain_.start(100);
            }
            return;
        }
    }

    void accept(int fd) {
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(fd)) {
            delete socket;
            ::close(fd);
            return;
        }
        const QByteArray origin = originOf(socket->peerAddress());
        makeRoomFor(origin);
        // What a request may hold before it is refused is read off in pieces of that size.
        socket->setReadBufferSize(limits_.headBytes);
        // What a client has not read waits in the kernel's send buffer, out of our sight: kept
        // small, our own count of unread answers tells a client that reads nothing.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 8192);
        const qint64 t = now();
        connections_.emplace(socket, Connection{origin, ++accepted_, t, t});
        ++acceptedSinceTrim_;
        lastAcceptMs_ = t;
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        QObject::connect(socket, &QTcpSocket::bytesWritten, this,
                         [this, socket] { drained(socket); });
        QObject::connect(socket, &QObject::destroyed, this, [this, socket] { forget(socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // A connection reset (or failed otherwise) is gone at once, whether or not the socket
        // would ever say it disconnected; one closed by its client in order still gets what it
        // was answered.
        QObject::connect(socket, &QAbstractSocket::errorOccurred, this,
                         [this, socket](QAbstractSocket::SocketError error) {
                             if (error != QAbstractSocket::RemoteHostClosedError) drop(socket);
                         });
        // A browser's request is usually there by the time its connection is taken: read and
        // answered now, it has shown its token before any other connection could take its place.
        int pending = 0;
        if (::ioctl(fd, FIONREAD, &pending) == 0 && pending > 0) socket->waitForReadyRead(0);
    }

    // A stranger beyond its address's share, or beyond the strangers' share, takes the place of
    // another: first one its client has already reset, then the oldest that has sent nothing (for
    // a while, or since a moment), else the oldest. Silent sockets are turned over by new ones and
    // never hold a page out, and a page's connection whose request is on its way is not the one to
    // go.
    void makeRoomFor(const QByteArray& origin) {
        std::vector<std::pair<std::uint64_t, QTcpSocket*>> all, here;
        for (auto& [socket, connection] : connections_) {
            if (connection.proven) continue;
            all.emplace_back(connection.order, socket);
            if (connection.origin == origin) here.emplace_back(connection.order, socket);
        }
        auto& among = static_cast<int>(here.size()) >= limits_.perAddress ? here : all;
        if (&among == &all && static_cast<int>(all.size()) < limits_.strangers) return;
        std::sort(among.begin(), among.end());
        // Silent for a while, and silent only since a moment: a page's request may be on its way.
        QTcpSocket* silent[2] = {nullptr, nullptr};
        const qint64 t = now();
        for (const auto& [order, socket] : among) {
            const int fd = static_cast<int>(socket->socketDescriptor());
            int error = 0;
            socklen_t length = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error != 0) {
                drop(socket);
                return;
            }
            int pending = 0;
            const Connection& connection = connections_[socket];
            const bool quiet = connection.head.isEmpty() && socket->bytesAvailable() == 0 &&
                               ::ioctl(fd, FIONREAD, &pending) == 0 && pending == 0;
            QTcpSocket*& slot = silent[t - connection.openedMs > quietMs ? 0 : 1];
            if (quiet && !slot) slot = socket;
        }
        drop(silent[0] ? silent[0] : silent[1] ? silent[1] : among.front().second);
    }

    void drop(QTcpSocket* socket) {
        forget(socket);
        QObject::disconnect(socket, nullptr, this, nullptr);
        socket->abort();
        socket->deleteLater();
    }

    // Reads and answers what has come, one request after another.
    void serve(QTcpSocket* socket) {
        for (;;) {
            const auto found = connections_.find(socket);
            if (found == connections_.end()) return;
            Connection& connection = found->second;
            if (connection.stream || connection.closing) return;
            const qint64 room = limits_.headBytes + 1 - connection.head.size();
            if (room > 0 && socket->bytesAvailable() > 0) connection.head += socket->read(room);
            const ParsedHead head = parseHead(viewOf(connection.head), headLimits());
            if (head.status < 0) return;
            if (head.status > 0) {
                refuse(socket, connection, head.status);
                return;
            }
            connection.head.remove(0, static_cast<qsizetype>(head.length));
            // A whole request: the connection is not idle.
            connection.sinceMs = now();
            if (!respond(socket, connection, head)) return;
        }
    }

    // Answers one request; false when the connection takes no further request.
    // The whole answer of a refusal, made once for each status.
    const QByteArray& refusalAnswer(int status) {
        QByteArray& answer = refusals_[status];
        if (answer.isEmpty())
            answer = httpRefusal(status, status == 503 ? busyPage_ : QByteArray());
        return answer;
    }

    // The status a whole request is refused with, or 0 when `verdict` says what is served.
    int refusalOf(const ParsedHead& head, Verdict& verdict) const {
        // The rules serve GET only; any other method, whatever its name, is refused alike.
        verdict =
            judge({head.method, head.path, head.host, head.upgrade}, {token_, &names_, port_});
        if (verdict.resource == Resource::None) return verdict.status;
        // No request we serve has a body; one that comes is never read as the next request.
        return head.body ? 400 : 0;
    }

    HeadLimits headLimits() const {
        return {static_cast<std::size_t>(limits_.headBytes),
                static_cast<std::size_t>(limits_.headFields)};
    }

    // A first request already there and refused (no token, a foreign Host, a protocol switch,
    // malformed) is answered here, before its connection costs a socket object: a flood of
    // refused requests costs their reading and answering and no more.
    bool refusedAtOnce(int fd) {
        peek_.resize(limits_.headBytes + 1);
        const ssize_t got = ::recv(fd, peek_.data(), static_cast<std::size_t>(peek_.size()),
                                   MSG_PEEK | MSG_DONTWAIT);
        if (got <= 0) return false;
        const ParsedHead head =
            parseHead({peek_.constData(), static_cast<std::size_t>(got)}, headLimits());
        Verdict verdict;
        const int status = head.status == 0 ? refusalOf(head, verdict) : head.status;
        if (status <= 0) return false;
        // What it sent is taken, so that the close is an orderly one its client reads the answer
        // before.
        [[maybe_unused]] const ssize_t taken =
            ::recv(fd, peek_.data(), static_cast<std::size_t>(got), MSG_DONTWAIT);
        const QByteArray& answer = refusalAnswer(status);
        [[maybe_unused]] const ssize_t sent =
            ::send(fd, answer.constData(), static_cast<std::size_t>(answer.size()),
                   MSG_DONTWAIT | MSG_NOSIGNAL);
        ::close(fd);
        return true;
    }

    bool respond(QTcpSocket* socket, Connection& connection, const ParsedHead& head) {
        // Requests sent one after another by a client that reads none of the answers would
        // pile the answers up here: a client that far behind is let go.
        if (socket->bytesToWrite() > maxUnreadAnswers) {
            drop(socket);
            return false;
        }
        Verdict verdict;
        if (const int status = refusalOf(head, verdict)) {
            refuse(socket, connection, status);
            return false;
        }
        if (!connection.proven) {
            if (proven_ >= limits_.connections) {
                refuse(socket, connection, 503);
                return false;
            }
            connection.proven = true;
            ++proven_;
        }
        switch (verdict.resource) {
            case Resource::Page:
                return answer(socket, connection, head, page_, "text/html; charset=utf-8");
            case Resource::Script:
                return answer(socket, connection, head, script_, "text/javascript; charset=utf-8");
            case Resource::Style:
                return answer(socket, connection, head, style_, "text/css; charset=utf-8");
            case Resource::State:
                return answer(socket, connection, head, feed::stateJson(stateOfNow()),
                              "application/json");
            case Resource::Events:
                openStream(socket, connection);
                return false;
            case Resource::None:
                break;
        }
        return false;
    }

    bool answer(QTcpSocket* socket, Connection& connection, const ParsedHead& head,
                const QByteArray& body, const QByteArray& type) {
        QByteArray text = "HTTP/1.1 200 OK\r\nContent-Type: " + type +
                          "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
        for (const auto& [name, value] : commonHeaders()) text += name + ": " + value + "\r\n";
        if (head.close) text += "Connection: close\r\n";
        socket->write(text + "\r\n" + body);
        if (!head.close) return true;
        // The client said this is its last request: the connection ends with the answer.
        connection.closing = true;
        socket->disconnectFromHost();
        return false;
    }

    // A refusal ends the connection: nothing more of it is read.
    void refuse(QTcpSocket* socket, Connection& connection, int status) {
        connection.closing = true;
        connection.head.clear();
        QObject::disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        // What it sent is dropped here, so that the close is an orderly one its client reads the
        // answer before.
        socket->readAll();
        socket->write(refusalAnswer(status));
        socket->disconnectFromHost();
    }

    // Streams whose pages have gone (a page reloaded closes its old stream as it opens the new
    // one) may not have been heard of yet: they make room first.
    void forgetGoneStreams() {
        std::vector<QTcpSocket*> gone;
        for (auto& [socket, connection] : connections_) {
            if (!connection.stream) continue;
            const int fd = static_cast<int>(socket->socketDescriptor());
            int error = 0;
            socklen_t length = sizeof error;
            char byte = 0;
            if ((::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error != 0) ||
                ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0)
                gone.push_back(socket);
        }
        for (QTcpSocket* socket : gone) drop(socket);
    }

    void openStream(QTcpSocket* socket, Connection& connection) {
        if (streams_ >= limits_.pages) forgetGoneStreams();
        if (streams_ >= limits_.pages) {
            refuse(socket, connection, 503);
            return;
        }
        ++streams_;
        connection.stream = true;
        // The kernel's send buffer holds a few states, not minutes of them, before a page that
        // reads nothing is owed only the newest and, after the idle time, dropped.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 4096);
        // A page sends nothing more that we would read; what it sends stays unread and, once
        // the buffer is full, unaccepted.
        QObject::disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        QByteArray head =
            "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream; charset=utf-8\r\n"
            "Connection: close\r\n";
        for (const auto& [name, value] : commonHeaders()) head += name + ": " + value + "\r\n";
        // "retry": a page whose stream broke tries again after a second.
        socket->write(head + "\r\nretry: 1000\n\n");
        sendTo(socket, connection);
    }

    void drained(QTcpSocket* socket) {
        const auto found = connections_.find(socket);
        if (found == connections_.end() || socket->bytesToWrite() > 0) return;
        if (found->second.owed && found->second.stream) sendTo(socket, found->second);
    }

    void forget(QTcpSocket* socket) {
        const auto found = connections_.find(socket);
        if (found == connections_.end()) return;
        if (found->second.stream) --streams_;
        if (found->second.proven) --proven_;
        connections_.erase(found);
    }

    void sendAll() {
        event_.clear();
        for (auto& [socket, connection] : connections_)
            if (connection.stream) sendTo(socket, connection);
    }

    // Only to a page that has read what it was sent before: one that has not is owed the newest
    // state, never a queue of old ones.
    void sendTo(QTcpSocket* socket, Connection& connection) {
        if (socket->bytesToWrite() > 0) {
            connection.owed = true;
            return;
        }
        connection.owed = false;
        if (event_.isEmpty()) event_ = eventOfNow();
        socket->write(event_);
    }

    QByteArray eventOfNow() const {
        const ViewState state = stateOfNow();
        const std::int64_t age = state.wireUs > 0 ? steadyUs() - state.wireUs : 0;
        return viewEvent(state, QDateTime::currentMSecsSinceEpoch(), age);
    }

    ViewState stateOfNow() const {
        ViewState state = current_;
        if (finished_) {
            state.live = false;
            state.ended = true;
        } else if (state.live && now() - lastNewReadingMs_ > limits_.staleMs) {
            // The window may still call it live; a page is told the truth of the last second.
            state.live = false;
            state.why = staleWord_;
        }
        return state;
    }

    // Whether the connection has had its time: a stranger without a request line after the
    // first line's deadline, a connection without a whole request for the idle time, a page that
    // has not read what it was sent for the idle time.
    bool expired(QTcpSocket* socket, Connection& connection, qint64 t) {
        if (!connection.stream) {
            if (!connection.proven && !hasRequestLine(viewOf(connection.head)) &&
                t - connection.openedMs > limits_.firstLineMs)
                return true;
            return t - connection.sinceMs > limits_.idleMs;
        }
        const bool reading = socket->bytesToWrite() == 0 &&
                             unreadByPeer(socket->socketDescriptor(), connection.widestWindow) <=
                                 limits_.unreadBytes;
        if (reading) {
            connection.stalledSinceMs = 0;
            return false;
        }
        if (connection.stalledSinceMs == 0) connection.stalledSinceMs = t;
        return t - connection.stalledSinceMs > limits_.idleMs;
    }

    void onTick() {
        const qint64 t = now();
        std::vector<QTcpSocket*> gone;
        for (auto& [socket, connection] : connections_)
            if (expired(socket, connection, t)) gone.push_back(socket);
        for (QTcpSocket* socket : gone) drop(socket);
        // A page hears from us even when nothing changes, so that it can tell us from a
        // program that has gone; the staleness of the figures reaches it the same way.
        sendAll();
        // A flood over, what its connections took is given back to the system rather than
        // kept for the next one.
        if (acceptedSinceTrim_ >= floodConnections && t - lastAcceptMs_ > 1000) {
            acceptedSinceTrim_ = 0;
            ::malloc_trim(0);
        }
        if (t - lastAcceptMs_ > 1000) acceptedSinceTrim_ = 0;
    }

    ViewServer& owner_;
    std::string token_;
    std::vector<std::string> names_;
    ServeLimits limits_;
    QByteArray page_, script_, style_, busyPage_;
    QByteArray peek_;  // a new connection's first bytes, looked at before it is taken
    std::map<int, QByteArray> refusals_;
    QString staleWord_;
    // Children, so that they move to the server's thread with the engine.
    QTimer tick_;
    QTimer acceptAgain_;
    QSocketNotifier* notifier_ = nullptr;
    QElapsedTimer clock_;
    std::map<QTcpSocket*, Connection> connections_;
    int streams_ = 0;
    int proven_ = 0;
    std::uint64_t accepted_ = 0;
    int acceptedSinceTrim_ = 0;
    qint64 lastAcceptMs_ = 0;
    ViewState current_;
    QByteArray event_;
    qint64 lastNewReadingMs_ = 0;
    bool finished_ = false;
};

ViewServer::ViewServer() = default;

ViewServer::~ViewServer() {
    if (!thread_) return;
    // The engine, its sockets and timers go on their own thread as it finishes.
    thread_->quit();
    thread_->wait();
}

QString ViewServer::start(const QHostAddress& address, std::uint16_t port, const std::string& token,
                          std::vector<std::string> names, ServeLimits limits) {
    thread_ = std::make_unique<QThread>();
    thread_->setObjectName(QStringLiteral("kvt3 view"));
    engine_ = new Engine(*this, token, std::move(names), limits);
    engine_->moveToThread(thread_.get());
    QObject::connect(thread_.get(), &QThread::finished, engine_, &QObject::deleteLater);
    thread_->start();
    // The view yields to the readout: under a flood of connections the cycle's threads come
    // first.
    QMetaObject::invokeMethod(
        engine_,
        [] {
            const auto self = static_cast<id_t>(::gettid());
            errno = 0;
            const int nice = ::getpriority(PRIO_PROCESS, self);
            if (errno == 0) ::setpriority(PRIO_PROCESS, self, std::min(nice + 10, 19));
        },
        Qt::QueuedConnection);
    QString why;
    std::uint16_t actual = 0;
    QMetaObject::invokeMethod(
        engine_,
        [&] {
            why = engine_->listenOn(address, port, actual);
            engine_->port_ = actual;
        },
        Qt::BlockingQueuedConnection);
    port_ = actual;
    return why;
}

void ViewServer::publish(const ViewState& state) {
    {
        std::lock_guard lock(mutex_);
        newest_ = state;
    }
    // One wake-up for however many states come before the server's thread takes the newest.
    if (!engine_ || posted_.exchange(true)) return;
    QMetaObject::invokeMethod(
        engine_, [e = engine_] { e->deliver(); }, Qt::QueuedConnection);
}

void ViewServer::setToken(const std::string& token) {
    if (!engine_) return;
    QMetaObject::invokeMethod(
        engine_, [e = engine_, token] { e->renew(token); }, Qt::QueuedConnection);
}

void ViewServer::finish(const ViewState& state) {
    if (!engine_) return;
    QMetaObject::invokeMethod(
        engine_, [e = engine_, state] { e->finish(state); }, Qt::BlockingQueuedConnection);
}

}  // namespace web
