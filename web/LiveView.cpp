#include "web/LiveView.h"

#include <QHostInfo>
#include <QNetworkInterface>

#include "web/ViewServer.h"

namespace web {

namespace {

// An address as a URL or a Host header writes it: IPv6 in brackets, no zone.
QString urlHost(const QHostAddress& address) {
    QHostAddress plain = address;
    plain.setScopeId(QString());
    const QString text = plain.toString();
    return plain.protocol() == QAbstractSocket::IPv6Protocol ? '[' + text + ']' : text;
}

bool offerable(const QHostAddress& address) {
    // A link-local IPv6 address needs its interface named in the URL, which browsers refuse.
    return !address.isLinkLocal() && !address.isNull();
}

// What a browser on the network may call this machine in its Host header.
std::vector<std::string> machineNames() {
    std::vector<std::string> names{"localhost"};
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        QHostAddress plain = address;
        plain.setScopeId(QString());
        names.push_back(plain.toString().toLower().toStdString());
    }
    const QString host = QHostInfo::localHostName().toLower();
    if (!host.isEmpty()) {
        names.push_back(host.toStdString());
        names.push_back((host + QStringLiteral(".local")).toStdString());
        const QString domain = QHostInfo::localDomainName().toLower();
        if (!domain.isEmpty()) names.push_back((host + '.' + domain).toStdString());
    }
    return names;
}

}  // namespace

LiveView::LiveView(QObject* parent) : QObject(parent) {
    tick_.setInterval(250);
    connect(&tick_, &QTimer::timeout, this, [this] { publish(); });
}

LiveView::~LiveView() = default;

void LiveView::setSource(std::function<ViewState()> source) {
    source_ = std::move(source);
}

void LiveView::changed() {
    // A reading changes the figures one by one: what a page gets is taken once the window has
    // finished with them, never half of one reading and half of the last.
    if (!server_ || publishDue_) return;
    publishDue_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            publishDue_ = false;
            publish();
        },
        Qt::QueuedConnection);
}

void LiveView::take(const ViewState& state) {
    if (server_) server_->publish(state);
}

void LiveView::publish() {
    if (server_ && source_) server_->publish(source_());
}

bool LiveView::serving() const {
    return server_ != nullptr;
}

QString LiveView::apply(ServeChoice choice) {
    // A token is made on the first use, not before: a file never served from keeps its lines.
    if (choice.on && choice.token.empty()) choice.token = newToken();
    const bool same = server_ && choice.on && choice.address == choice_.address &&
                      (choice.port == choice_.port || choice.port == 0) &&
                      choice.token == choice_.token;
    if (same) return {};
    // What served until now serves on when the new choice cannot.
    ServeChoice previous = choice_;
    const bool wasServing = server_ != nullptr;
    stop(tr("Podgląd w sieci został wyłączony lub przeniesiony"));
    QString why = choice.on ? start(choice) : QString();
    if (why.isEmpty() || !wasServing) {
        // Not serving before, a choice that fails is still the operator's: kept, and tried
        // again at the next start.
        choice_ = std::move(choice);
    } else if (start(previous).isEmpty()) {
        choice_ = std::move(previous);
    }
    failure_ = why;
    emit servingChanged();
    return why;
}

QString LiveView::start(ServeChoice& choice) {
    const QHostAddress address = choice.address.empty()
                                     ? QHostAddress(QHostAddress::Any)
                                     : QHostAddress(QString::fromStdString(choice.address));
    if (address.isNull())
        return tr("nieprawidłowy adres %1").arg(QString::fromStdString(choice.address));
    auto server = std::make_unique<ViewServer>();
    const QString why = server->start(address, choice.port, choice.token, machineNames());
    if (!why.isEmpty()) return why;
    // A port the kernel picked is the one kept: the address opened today opens tomorrow.
    choice.port = server->port();
    server_ = std::move(server);
    tick_.start();
    publish();
    return {};
}

void LiveView::stop(const QString& why) {
    if (!server_) return;
    tick_.stop();
    ViewState last = source_ ? source_() : ViewState{};
    last.live = false;
    last.why = why;
    server_->finish(last);
    server_.reset();
}

QString LiveView::renewToken() {
    choice_.token = newToken();
    if (server_) server_->setToken(choice_.token);
    emit servingChanged();
    return {};
}

std::uint16_t LiveView::listeningPort() const {
    return server_ ? server_->port() : 0;
}

QString LiveView::url() const {
    if (!server_) return {};
    QString host;
    if (!choice_.address.empty()) {
        host = urlHost(QHostAddress(QString::fromStdString(choice_.address)));
    } else {
        const QStringList addresses = machineAddresses();
        // The first address on a network, IPv4 first: what a tablet beside the machine reaches.
        host = QStringLiteral("127.0.0.1");
        for (const QString& candidate : addresses) {
            const QHostAddress address(candidate);
            if (!address.isLoopback() && address.protocol() == QAbstractSocket::IPv4Protocol) {
                host = candidate;
                break;
            }
        }
    }
    return QStringLiteral("http://%1:%2/%3/")
        .arg(host)
        .arg(server_->port())
        .arg(QString::fromStdString(choice_.token));
}

QStringList LiveView::machineAddresses() {
    QStringList loopback;
    QStringList others;
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (!offerable(address)) continue;
        QHostAddress plain = address;
        plain.setScopeId(QString());
        (address.isLoopback() ? loopback : others).append(plain.toString());
    }
    return loopback + others;
}

void LiveView::programEnding() {
    stop(tr("Program został zamknięty"));
}

}  // namespace web
