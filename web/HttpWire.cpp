#include "web/HttpWire.h"

#include <linux/sockios.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstddef>

namespace web {

namespace {

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

}  // namespace

std::vector<std::pair<QByteArray, QByteArray>> commonHeaders() {
    return {{"Cache-Control", "no-store"},
            {"X-Content-Type-Options", "nosniff"},
            {"Referrer-Policy", "no-referrer"},
            {"Content-Security-Policy",
             "default-src 'self'; connect-src 'self'; img-src 'self' data:; "
             "frame-ancestors 'none'; base-uri 'none'; form-action 'none'"}};
}

// A refusal says its status, and ends the connection; a body only where a browser shows it.
QByteArray httpRefusal(int status, const QByteArray& body) {
    QByteArray text = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
                      "\r\nContent-Length: " + QByteArray::number(body.size()) +
                      "\r\nConnection: close\r\n";
    for (const auto& [name, value] : commonHeaders()) text += name + ": " + value + "\r\n";
    if (!body.isEmpty()) text += "Content-Type: text/html; charset=utf-8\r\n";
    if (status == 405) text += "Allow: GET\r\n";
    if (status == 503) text += "Retry-After: 2\r\n";
    return text + "\r\n" + body;
}

// Who a connection is from, as far as places are shared out: an IPv4 address, or an IPv6 /64
// (one machine commonly holds addresses across a whole /64).
QByteArray originOf(const QHostAddress& peer) {
    bool v4 = false;
    const quint32 ip4 = peer.toIPv4Address(&v4);
    if (v4) return "4:" + QByteArray::number(ip4);
    const Q_IPV6ADDR ip6 = peer.toIPv6Address();
    return "6:" + QByteArray(reinterpret_cast<const char*>(&ip6), 8);
}

// What the page's side has received of our stream and not yet read, with what is still on its
// way: how far its window has shrunk from the widest it showed, and our kernel's unsent and
// unacknowledged bytes. A client that never reads is seen by this long before its buffers fill.
qint64 unreadByPeer(qintptr descriptor, quint32& widestWindow) {
    tcp_info info{};
    socklen_t length = sizeof info;
    const int fd = static_cast<int>(descriptor);
    if (::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0 ||
        length < offsetof(tcp_info, tcpi_snd_wnd) + sizeof info.tcpi_snd_wnd)
        return 0;
    widestWindow = std::max(widestWindow, info.tcpi_snd_wnd);
    int queued = 0;
    if (::ioctl(fd, SIOCOUTQ, &queued) != 0) queued = 0;
    return static_cast<qint64>(widestWindow - info.tcpi_snd_wnd) + queued;
}

}  // namespace web
