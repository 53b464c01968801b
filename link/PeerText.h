#pragma once

#include <QHostAddress>
#include <QString>
#include <QTcpSocket>

namespace lumvaris::link {

// A connected socket's peer for messages: "10.0.0.7:50122", "[fe80::1%eth0]:50122". An IPv4 peer
// of a dual-stack socket comes as ::ffff:10.0.0.7 and is written as IPv4. Inline, so that the
// accepting side in session has it without linking the serial-port part.
inline QString PeerText(const QTcpSocket& socket) {
    const QHostAddress address = socket.peerAddress();
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4) {
        return QStringLiteral("%1:%2").arg(QHostAddress(v4).toString()).arg(socket.peerPort());
    }
    return QStringLiteral("[%1]:%2").arg(address.toString()).arg(socket.peerPort());
}

}  // namespace lumvaris::link
