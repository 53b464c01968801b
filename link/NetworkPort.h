#pragma once

#include <QByteArray>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <memory>
#include <optional>

#include "link/NetworkAddress.h"
#include "link/SerialPort.h"
#include "link/Telnet.h"

namespace lumvaris::link {

// A concentrator over TCP: raw, or through Telnet's Com Port Control (the far end's serial line set
// to our rate, 8N1, no flow control, DTR and RTS raised, and set again whenever the rate changes).
// Opening only starts the connection; the connected notification says when it is made, the error
// notification when it fails, times out or is lost later. Also takes over a socket a concentrator's
// modem made to us (Adopt), already connected.
class NetworkPort final : public QObject, public ISerialPort {
    Q_OBJECT
  public:
    static constexpr int kConnectTimeoutMs = 15000;
    // What the receive path has not taken yet is held up to this; beyond, the socket is not read
    // and TCP makes the far end wait.
    static constexpr qint64 kHeldBytes = 64 * 1024;
    // A closed connection's last bytes are given this long to leave.
    static constexpr int kClosingMs = 2000;

    explicit NetworkPort(QObject* parent = nullptr);
    ~NetworkPort() override;

    std::vector<std::string> ListPorts() override { return {}; }
    void SetName(const std::string& name) override;
    std::string Name() const override { return name_; }
    void SetLineSettings(const LineSettings& settings) override;
    LineSettings Settings() const override { return settings_; }
    void SetReceiveNotification(std::function<void()> handler) override { onReceive_ = std::move(handler); }
    void SetErrorNotification(std::function<void(const std::string&)> handler) override {
        onError_ = std::move(handler);
    }
    void SetConnectedNotification(std::function<void()> handler) override {
        onConnected_ = std::move(handler);
    }

    // Throws SerialPortError for an address that does not parse; otherwise starts connecting.
    void Open() override;
    // Raw TCP has no modem-control lines to raise; Telnet raises them with the line settings.
    void RaiseRts() override;
    void RaiseDtr() override;
    std::size_t Write(const std::uint8_t* bytes, std::size_t count) override;
    std::size_t ReadAvailable(std::uint8_t* buffer, std::size_t maxCount) override;
    bool IsOpen() const override { return connected_; }
    void Close() override;

    bool IsNetwork() const override { return true; }
    bool SetsRate() const override;
    bool Connecting() const override { return socket_ != nullptr && !connected_; }

    // A connection that came to us, already identified; `pending` holds bytes read from it
    // before. The name is what the port is known by (the site); the scheme is raw TCP.
    void Adopt(std::unique_ptr<QTcpSocket> socket, const QByteArray& pending);
    // The peer's address, for messages ("10.0.0.7:50122"); empty while not connected.
    std::string PeerText() const;
    void SetConnectTimeout(int milliseconds) { connectTimeoutMs_ = milliseconds; }

  private:
    void Attach(std::unique_ptr<QTcpSocket> socket);
    void OnConnected();
    void OnReadyRead();
    void OnSocketError(QAbstractSocket::SocketError error);
    void OnDisconnected();
    void Fail(const std::string& reason);
    void SendLineSettings();
    void WriteRaw(const std::vector<std::uint8_t>& bytes);
    void TakeIn();

    std::string name_;
    std::optional<NetworkAddress> address_;
    LineSettings settings_;
    std::unique_ptr<QTcpSocket> socket_;
    std::unique_ptr<TelnetCodec> telnet_;
    QTimer connectTimer_;
    int connectTimeoutMs_ = kConnectTimeoutMs;
    bool connected_ = false;
    bool failed_ = false;  // said once per connection
    QByteArray held_;      // received data the receive path has not taken yet
    qsizetype heldFrom_ = 0;
    std::vector<std::uint8_t> decoded_;
    std::vector<std::uint8_t> answer_;
    std::function<void()> onReceive_;
    std::function<void()> onConnected_;
    std::function<void(const std::string&)> onError_;
};

// Why a connection failed or ended, in words the engineer can act on.
// Why the text is not a network address, in the program's language (empty when it is one).
QString NetworkAddressReason(const std::string& text);

std::string DescribeSocketError(QAbstractSocket::SocketError error, const std::string& peer,
                                const std::string& errorText);

// Keep-alive on a connected socket, tuned so that a peer gone without a word (a modem out of
// coverage, a cable cut behind the device server) is found within about half a minute, and data
// left unacknowledged for as long ends the connection.
void TuneKeepAlive(QAbstractSocket& socket);

}  // namespace lumvaris::link
