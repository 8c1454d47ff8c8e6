#include "web/ViewServer.h"

#include <QAbstractHttpServer>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <map>

#include "feed/StateJson.h"
#include "web/PageTexts.h"
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

// What every answer says about itself: nothing cached, nothing guessed, no address passed on (it
// holds the token), nothing loaded from elsewhere.
std::vector<std::pair<QByteArray, QByteArray>> commonHeaders() {
    return {{"Cache-Control", "no-store"},
            {"X-Content-Type-Options", "nosniff"},
            {"Referrer-Policy", "no-referrer"},
            {"Content-Security-Policy",
             "default-src 'self'; connect-src 'self'; img-src 'self' data:; "
             "frame-ancestors 'none'; base-uri 'none'; form-action 'none'"}};
}

const char* reasonPhrase(int status) {
    switch (status) {
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 431:
            return "Request Header Fields Too Large";
        case 503:
            return "Service Unavailable";
        default:
            return "Error";
    }
}

// A refusal says its status and nothing else, and ends the connection.
QByteArray refusal(int status) {
    QByteArray text = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
                      "\r\nContent-Length: 0\r\nConnection: close\r\n";
    for (const auto& [name, value] : commonHeaders()) text += name + ": " + value + "\r\n";
    if (status == 405) text += "Allow: GET\r\n";
    if (status == 503) text += "Retry-After: 5\r\n";
    return text + "\r\n";
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

}  // namespace

// Hands each new connection to the engine, which counts them before the HTTP side sees them.
class Listener : public QTcpServer {
public:
    explicit Listener(Engine& engine) : engine_(engine) {}

protected:
    void incomingConnection(qintptr handle) override;

private:
    Engine& engine_;
};

class Engine : public QAbstractHttpServer {
public:
    Engine(ViewServer& owner, std::string token, std::vector<std::string> names, ServeLimits limits)
        : owner_(owner),
          token_(std::move(token)),
          names_(std::move(names)),
          limits_(limits),
          tick_(this) {
        page_ = pageInLanguage(limits_.pages);
        // Made here, on the caller's thread, where the program's language is in force.
        staleWord_ = QCoreApplication::translate("ViewServer", "Brak nowych odczytów z urządzenia");
        script_ = resource("view.js");
        style_ = resource("view.css");
        clock_.start();
        tick_.setInterval(limits_.tickMs);
        QObject::connect(&tick_, &QTimer::timeout, this, [this] { onTick(); });
    }

    QString listenOn(const QHostAddress& address, std::uint16_t port, std::uint16_t& actual) {
        auto* listener = new Listener(*this);
        // A burst of connects beyond the queue would be dropped by the kernel unseen, the
        // clients left hanging instead of told no: the queue takes a flood, we refuse the excess.
        listener->setListenBacklogSize(1024);
        if (!listener->listen(address, port)) {
            const QString why = listenFailure(listener->serverError(), listener->errorString());
            delete listener;
            return why;
        }
        actual = listener->serverPort();
        bind(listener);
        tick_.start();
        return {};
    }

    // The socket of a new connection for the HTTP side; null when it is refused.
    QTcpSocket* accept(qintptr handle) {
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(handle)) {
            delete socket;
            return nullptr;
        }
        if (static_cast<int>(connections_.size()) >= limits_.connections) {
            socket->write(refusal(503));
            socket->disconnectFromHost();
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            return nullptr;
        }
        // What a request may hold before it is refused; the HTTP side keeps a partly read
        // request in the socket's buffer, so that buffer is what bounds the memory.
        socket->setReadBufferSize(2 * limits_.headBytes);
        // What a client has not read waits in the kernel's send buffer, out of our sight: kept
        // small, our own count of unread answers tells a client that reads nothing.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 8192);
        connections_[socket] = Connection{now(), 0, false, false, 0};
        // Connected before the HTTP side's reader, so that it sees each arrival first.
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { arrived(socket); });
        QObject::connect(socket, &QTcpSocket::bytesWritten, this,
                         [this, socket] { drained(socket); });
        QObject::connect(socket, &QObject::destroyed, this, [this, socket] { forget(socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        return socket;
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

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        const auto found = connections_.find(socket);
        if (found == connections_.end()) return true;
        Connection& connection = found->second;
        // A whole request: the connection is not idle, and the next head starts counting.
        connection.sinceMs = now();
        connection.headBytes = 0;
        if (connection.stream) return true;
        // Requests sent one after another by a client that reads none of the answers would
        // pile the answers up here: a client that far behind is let go.
        if (socket->bytesToWrite() > maxUnreadAnswers) {
            socket->abort();
            return true;
        }
        // A protocol switch: the HTTP side refuses it through missingHandler.
        if (!request.value(QByteArrayLiteral("upgrade")).isEmpty()) return false;

        // The rules serve GET only; any other method, whatever its name, is refused alike.
        const QByteArray method =
            request.method() == QHttpServerRequest::Method::Get ? "GET" : "OTHER";
        const QByteArray path = request.url().path(QUrl::FullyEncoded).toLatin1();
        const QByteArray host = request.value(QByteArrayLiteral("host"));
        const Verdict verdict =
            judge({std::string_view(method.constData(), static_cast<std::size_t>(method.size())),
                   std::string_view(path.constData(), static_cast<std::size_t>(path.size())),
                   std::string_view(host.constData(), static_cast<std::size_t>(host.size()))},
                  {token_, &names_, port_});
        switch (verdict.resource) {
            case Resource::Page:
                return answer(request, socket, page_, "text/html; charset=utf-8");
            case Resource::Script:
                return answer(request, socket, script_, "text/javascript; charset=utf-8");
            case Resource::Style:
                return answer(request, socket, style_, "text/css; charset=utf-8");
            case Resource::State:
                return answer(request, socket, feed::stateJson(stateOfNow()), "application/json");
            case Resource::Events:
                openStream(socket, connection);
                return true;
            case Resource::None:
                break;
        }
        refuse(socket, verdict.status);
        return true;
    }

    void missingHandler(const QHttpServerRequest&, QTcpSocket* socket) override {
        refuse(socket, 400);
    }

public:
    std::uint16_t port_ = 0;

private:
    struct Connection {
        qint64 sinceMs;         // accepted, or its last whole request
        qint64 headBytes;       // of the request being received
        bool stream;            // an event stream to a page
        bool owed;              // a state it was not sent because it had not read the one before
        qint64 stalledSinceMs;  // since when it has had something unread (0: nothing)
    };

    qint64 now() const { return clock_.elapsed(); }

    bool answer(const QHttpServerRequest& request, QTcpSocket* socket, const QByteArray& body,
                const QByteArray& type) {
        QHttpServerResponder responder = makeResponder(request, socket);
        responder.writeStatusLine(QHttpServerResponder::StatusCode::Ok);
        for (const auto& [name, value] : commonHeaders()) responder.writeHeader(name, value);
        responder.writeHeader("Content-Type", type);
        responder.writeHeader("Content-Length", QByteArray::number(body.size()));
        responder.writeBody(body);
        return true;
    }

    void refuse(QTcpSocket* socket, int status) {
        // The HTTP side reads nothing more of it.
        QObject::disconnect(socket, nullptr, this, nullptr);
        QObject::connect(socket, &QObject::destroyed, this, [this, socket] { forget(socket); });
        socket->write(refusal(status));
        socket->disconnectFromHost();
    }

    void openStream(QTcpSocket* socket, Connection& connection) {
        if (streams_ >= limits_.pages) {
            refuse(socket, 503);
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

    // Before the HTTP side reads it: a head that grows past the limit is refused.
    void arrived(QTcpSocket* socket) {
        const auto found = connections_.find(socket);
        if (found == connections_.end()) return;
        Connection& connection = found->second;
        connection.headBytes += socket->bytesAvailable();
        if (connection.headBytes > limits_.headBytes) refuse(socket, 431);
    }

    void drained(QTcpSocket* socket) {
        const auto found = connections_.find(socket);
        if (found == connections_.end() || socket->bytesToWrite() > 0) return;
        found->second.stalledSinceMs = 0;
        if (found->second.owed && found->second.stream) sendTo(socket, found->second);
    }

    void forget(QTcpSocket* socket) {
        const auto found = connections_.find(socket);
        if (found == connections_.end()) return;
        if (found->second.stream) --streams_;
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
            if (connection.stalledSinceMs == 0) connection.stalledSinceMs = now();
            return;
        }
        connection.owed = false;
        if (event_.isEmpty()) event_ = eventOfNow();
        socket->write(event_);
        lastSentMs_ = now();
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

    void onTick() {
        const qint64 t = now();
        // A page hears from us even when nothing changes, so that it can tell us from a
        // program that has gone; the staleness of the figures reaches it the same way.
        sendAll();
        std::vector<QTcpSocket*> idle;
        for (auto& [socket, connection] : connections_) {
            const bool stalled = connection.stream
                                     ? connection.stalledSinceMs != 0 &&
                                           t - connection.stalledSinceMs > limits_.idleMs
                                     : t - connection.sinceMs > limits_.idleMs;
            if (stalled) idle.push_back(socket);
        }
        for (QTcpSocket* socket : idle) socket->abort();
    }

    ViewServer& owner_;
    std::string token_;
    std::vector<std::string> names_;
    ServeLimits limits_;
    QByteArray page_, script_, style_;
    QString staleWord_;
    // A child, so that it moves to the server's thread with the engine.
    QTimer tick_;
    QElapsedTimer clock_;
    std::map<QTcpSocket*, Connection> connections_;
    int streams_ = 0;
    ViewState current_;
    QByteArray event_;
    qint64 lastNewReadingMs_ = 0;
    qint64 lastSentMs_ = 0;
    bool finished_ = false;
};

void Listener::incomingConnection(qintptr handle) {
    if (QTcpSocket* socket = engine_.accept(handle)) addPendingConnection(socket);
}

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
