#include "link/NetworkPort.h"

#include <QCoreApplication>

#include <QMetaObject>

#include <algorithm>
#include <cstring>
#include <utility>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

#include "link/PeerText.h"

namespace lumvaris::link {
namespace {

constexpr int kKeepIdleS = 15;
constexpr int kKeepIntervalS = 5;
constexpr int kKeepCount = 3;
constexpr int kUserTimeoutMs = 30000;

// Writes through QTcpSocket's buffer. Qt writes that buffer from the socket's write notifier,
// which it switches on for every write and off once written: with a thousand sockets, glib's
// lists of descriptors are walked twice for each request. While the buffer is empty the bytes go
// to the socket at once; what the socket does not take (or an error, which Qt then reports as
// it always has) goes the usual way, after anything written here.
qint64 WriteThrough(QTcpSocket& socket, const char* data, qint64 count) {
#ifdef Q_OS_LINUX
    const auto fd = static_cast<int>(socket.socketDescriptor());
    if (fd >= 0 && socket.bytesToWrite() == 0 && socket.state() == QAbstractSocket::ConnectedState) {
        const ssize_t sent = ::send(fd, data, static_cast<std::size_t>(count), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent == count) {
            return count;
        }
        if (sent > 0) {
            const qint64 rest = socket.write(data + sent, count - sent);
            return rest < 0 ? rest : sent + rest;
        }
    }
#endif
    return socket.write(data, count);
}

}  // namespace

QString NetworkAddressReason(const std::string& text) {
    const char* reason = nullptr;
    if (ParseNetworkAddress(text, nullptr, &reason)) {
        return {};
    }
    return QCoreApplication::translate("link::NetworkAddress", reason).arg(QString::fromStdString(text));
}

std::string DescribeSocketError(QAbstractSocket::SocketError error, const std::string& peer,
                                const std::string& errorText) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            return QCoreApplication::translate("link::NetworkPort",
                                               "%1 отказал в соединении: на этом порту никто не ждёт")
                .arg(QString::fromStdString(peer))
                .toStdString();
        case QAbstractSocket::RemoteHostClosedError:
            return QCoreApplication::translate("link::NetworkPort", "%1 закрыл соединение")
                .arg(QString::fromStdString(peer))
                .toStdString();
        case QAbstractSocket::HostNotFoundError:
            return QCoreApplication::translate("link::NetworkPort", "узел %1 не найден")
                .arg(QString::fromStdString(peer))
                .toStdString();
        case QAbstractSocket::SocketTimeoutError:
            return QCoreApplication::translate("link::NetworkPort", "%1 не отвечает")
                .arg(QString::fromStdString(peer))
                .toStdString();
        case QAbstractSocket::NetworkError:
            return QCoreApplication::translate("link::NetworkPort", "сеть до %1 недоступна")
                .arg(QString::fromStdString(peer))
                .toStdString();
        default:
            return peer + ": " + errorText;
    }
}

void TuneKeepAlive(QAbstractSocket& socket) {
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
#ifdef Q_OS_LINUX
    const auto fd = static_cast<int>(socket.socketDescriptor());
    if (fd < 0) {
        return;
    }
    const int idle = kKeepIdleS;
    const int interval = kKeepIntervalS;
    const int count = kKeepCount;
    const unsigned timeout = kUserTimeoutMs;
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &timeout, sizeof timeout);
#endif
}

NetworkPort::NetworkPort(QObject* parent) : QObject(parent) {
    connectTimer_.setSingleShot(true);
    connect(&connectTimer_, &QTimer::timeout, this, [this] {
        Fail(QCoreApplication::translate("link::NetworkPort", "%1 не ответил за %2 с")
                 .arg(QString::fromStdString(address_ ? HostAndPort(*address_) : name_))
                 .arg(connectTimeoutMs_ / 1000)
                 .toStdString());
    });
}

NetworkPort::~NetworkPort() {
    onReceive_ = nullptr;
    onError_ = nullptr;
    onConnected_ = nullptr;
    Close();
}

void NetworkPort::SetName(const std::string& name) {
    name_ = name;
}

void NetworkPort::SetLineSettings(const LineSettings& settings) {
    const bool changed = settings.baudRate != settings_.baudRate;
    settings_ = settings;
    // The far end's line follows at once; a local port would be closed and opened again.
    if (changed && connected_ && telnet_) {
        WriteRaw(TelnetCodec::SetLine(settings_.baudRate));
    }
}

bool NetworkPort::SetsRate() const {
    return address_ && address_->scheme == NetworkScheme::Rfc2217;
}

void NetworkPort::Open() {
    if (socket_) {
        return;
    }
    address_ = ParseNetworkAddress(name_);
    if (!address_) {
        throw SerialPortError(NetworkAddressReason(name_).toStdString());
    }
    failed_ = false;
    held_.clear();
    heldFrom_ = 0;
    telnet_ = address_->scheme == NetworkScheme::Rfc2217
                  ? std::make_unique<TelnetCodec>(TelnetCodec::Role::Client)
                  : nullptr;
    Attach(std::make_unique<QTcpSocket>());
    connectTimer_.start(connectTimeoutMs_);
    socket_->connectToHost(QString::fromStdString(address_->host), address_->port);
}

void NetworkPort::Adopt(std::unique_ptr<QTcpSocket> socket, const QByteArray& pending) {
    Close();
    address_.reset();
    telnet_.reset();
    failed_ = false;
    held_ = pending;
    heldFrom_ = 0;
    Attach(std::move(socket));
    connected_ = true;
    TuneKeepAlive(*socket_);
    // Bytes already in the socket raise no readyRead of their own: taken in once the connection
    // is attached. A peer gone already (its last bytes in `pending`) is lost after that.
    // Both are for this socket only: another call adopted meanwhile is not touched.
    QTcpSocket* adopted = socket_.get();
    QMetaObject::invokeMethod(
        this,
        [this, adopted] {
            if (socket_.get() == adopted) {
                OnReadyRead();
            }
        },
        Qt::QueuedConnection);
    if (socket_->state() != QAbstractSocket::ConnectedState) {
        QMetaObject::invokeMethod(
            this,
            [this, adopted] {
                if (socket_.get() == adopted) {
                    OnDisconnected();
                }
            },
            Qt::QueuedConnection);
    }
}

void NetworkPort::Attach(std::unique_ptr<QTcpSocket> socket) {
    socket_ = std::move(socket);
    socket_->setParent(nullptr);
    socket_->disconnect();
    socket_->setReadBufferSize(kHeldBytes);
    connect(socket_.get(), &QTcpSocket::connected, this, &NetworkPort::OnConnected);
    connect(socket_.get(), &QTcpSocket::readyRead, this, &NetworkPort::OnReadyRead);
    connect(socket_.get(), &QTcpSocket::errorOccurred, this, &NetworkPort::OnSocketError);
    connect(socket_.get(), &QTcpSocket::disconnected, this, &NetworkPort::OnDisconnected);
}

void NetworkPort::OnConnected() {
    connectTimer_.stop();
    connected_ = true;
    TuneKeepAlive(*socket_);
    if (telnet_) {
        WriteRaw(telnet_->Greeting());
        WriteRaw(TelnetCodec::SetLine(settings_.baudRate));
    }
    if (onConnected_) {
        onConnected_();
    }
}

void NetworkPort::RaiseRts() {
    if (!telnet_) {
        throw SerialPortNotSupported("raw TCP has no modem-control lines");
    }
}

void NetworkPort::RaiseDtr() {
    RaiseRts();
}

void NetworkPort::WriteRaw(const std::vector<std::uint8_t>& bytes) {
    if (socket_ && !bytes.empty()) {
        WriteThrough(*socket_, reinterpret_cast<const char*>(bytes.data()),
                     static_cast<qint64>(bytes.size()));
    }
}

std::size_t NetworkPort::Write(const std::uint8_t* bytes, std::size_t count) {
    if (!connected_ || !socket_) {
        throw SerialPortError(
            QCoreApplication::translate("link::NetworkPort", "соединение не установлено").toStdString());
    }
    qint64 written = 0;
    if (telnet_) {
        std::vector<std::uint8_t> escaped;
        TelnetCodec::Escape(bytes, count, escaped);
        written = WriteThrough(*socket_, reinterpret_cast<const char*>(escaped.data()),
                               static_cast<qint64>(escaped.size()));
        if (written != static_cast<qint64>(escaped.size())) {
            throw SerialPortError(socket_->errorString().toStdString());
        }
        return count;
    }
    written = WriteThrough(*socket_, reinterpret_cast<const char*>(bytes), static_cast<qint64>(count));
    if (written != static_cast<qint64>(count)) {
        throw SerialPortError(socket_->errorString().toStdString());
    }
    return count;
}

void NetworkPort::TakeIn() {
    if (!socket_) {
        return;
    }
    char chunk[4096];
    while (held_.size() - heldFrom_ < kHeldBytes && socket_->bytesAvailable() > 0) {
        const qint64 room = std::min<qint64>(sizeof chunk, kHeldBytes - (held_.size() - heldFrom_));
        const qint64 n = socket_->read(chunk, room);
        if (n <= 0) {
            break;
        }
        if (!telnet_) {
            held_.append(chunk, n);
            continue;
        }
        decoded_.clear();
        answer_.clear();
        telnet_->Feed(reinterpret_cast<const std::uint8_t*>(chunk), static_cast<std::size_t>(n), decoded_,
                      answer_);
        held_.append(reinterpret_cast<const char*>(decoded_.data()), static_cast<qsizetype>(decoded_.size()));
        WriteRaw(answer_);
    }
}

void NetworkPort::OnReadyRead() {
    TakeIn();
    if (held_.size() > heldFrom_ && onReceive_) {
        onReceive_();
    }
}

std::size_t NetworkPort::ReadAvailable(std::uint8_t* buffer, std::size_t maxCount) {
    const auto n = static_cast<std::size_t>(
        std::min<qsizetype>(held_.size() - heldFrom_, static_cast<qsizetype>(maxCount)));
    if (n > 0) {
        std::memcpy(buffer, held_.constData() + heldFrom_, n);
        heldFrom_ += static_cast<qsizetype>(n);
    }
    if (heldFrom_ == held_.size()) {
        held_.clear();
        heldFrom_ = 0;
    } else if (heldFrom_ > kHeldBytes) {
        held_.remove(0, heldFrom_);
        heldFrom_ = 0;
    }
    // What the socket kept back while the hold was full comes in once there is room.
    if (socket_ && socket_->bytesAvailable() > 0) {
        QMetaObject::invokeMethod(this, &NetworkPort::OnReadyRead, Qt::QueuedConnection);
    }
    return n;
}

void NetworkPort::OnSocketError(QAbstractSocket::SocketError error) {
    const std::string peer = address_ ? HostAndPort(*address_) : PeerText();
    Fail(DescribeSocketError(error, peer.empty() ? name_ : peer,
                             socket_ ? socket_->errorString().toStdString() : ""));
}

void NetworkPort::OnDisconnected() {
    const std::string peer = address_ ? HostAndPort(*address_) : name_;
    Fail(QCoreApplication::translate("link::NetworkPort", "%1 закрыл соединение")
             .arg(QString::fromStdString(peer))
             .toStdString());
}

void NetworkPort::Fail(const std::string& reason) {
    if (failed_ || !socket_) {
        return;
    }
    failed_ = true;
    connectTimer_.stop();
    connected_ = false;
    // The socket may be the one signalling: it goes once its signal is over.
    QTcpSocket* socket = socket_.release();
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (onError_) {
        onError_(reason);
    }
}

std::string NetworkPort::PeerText() const {
    if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState) {
        return {};
    }
    return link::PeerText(*socket_).toStdString();
}

void NetworkPort::Close() {
    connectTimer_.stop();
    const bool connected = std::exchange(connected_, false);
    if (socket_) {
        QTcpSocket* socket = socket_.release();
        socket->disconnect(this);
        if (!connected) {
            socket->abort();
            socket->deleteLater();
        } else {
            // What was written last (a request, the far line's new rate) still goes out; the
            // socket goes once the far end has it, or after a short while.
            QObject::connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
            QTimer::singleShot(kClosingMs, socket, [socket] {
                socket->abort();
                socket->deleteLater();
            });
            // Handed to the system now: a program that ends after the close runs no event loop.
            socket->flush();
            socket->disconnectFromHost();
        }
    }
    held_.clear();
    heldFrom_ = 0;
}

}  // namespace lumvaris::link
