#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QtGlobal>
#include <utility>
#include <vector>

// The live view's bytes on the wire and what the kernel tells of a connection: the headers every
// answer carries, a refusal as it is sent, who a connection is from, and how much of our stream
// the other side has left unread.
namespace web {

// What every answer says about itself: nothing cached, nothing guessed, no address passed on (it
// holds the token), nothing loaded from elsewhere.
std::vector<std::pair<QByteArray, QByteArray>> commonHeaders();

// A refusal with its status, ending the connection; `body` only where a browser shows it.
QByteArray httpRefusal(int status, const QByteArray& body);

// Who a connection is from, as far as places are shared out: an IPv4 address, or an IPv6 /64.
QByteArray originOf(const QHostAddress& peer);

// What the other side of the connection on `descriptor` has received and not read, with what is
// still on its way; `widestWindow` keeps the widest window it has shown.
qint64 unreadByPeer(qintptr descriptor, quint32& widestWindow);

}  // namespace web
