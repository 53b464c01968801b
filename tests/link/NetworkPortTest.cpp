// The network port against real sockets on 127.0.0.1: a QTcpServer in the test plays the device
// server, raw or speaking Telnet's Com Port Control through the codec's server side.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

#include "link/NetworkAddress.h"
#include "link/NetworkPort.h"
#include "support/EventPump.h"

namespace lumvaris::link {
namespace {

class NetworkPortTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { testing::EnsureApplication("link_qt_tests"); }
    NetworkPortTest() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            peer.reset(server.nextPendingConnection());
            peer->setParent(nullptr);
        });
        port.SetReceiveNotification([this] {
            if (!oneChunkAtATime) {
                while (ReadChunk() > 0) {
                }
            } else {
                ReadChunk();
            }
        });
        port.SetErrorNotification([this](const std::string& reason) { errors.push_back(reason); });
        port.SetConnectedNotification([this] { ++connected; });
    }
    std::string Address(const char* scheme) const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(server.serverPort());
    }
    void Write(const std::vector<std::uint8_t>& bytes) { port.Write(bytes.data(), bytes.size()); }
    std::size_t ReadChunk() {
        std::uint8_t buffer[512];
        const std::size_t n = port.ReadAvailable(buffer, readChunk);
        received.append(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(n));
        return n;
    }

    QTcpServer server;
    std::unique_ptr<QTcpSocket> peer;
    NetworkPort port;
    QByteArray received;
    std::size_t readChunk = 512;
    // As the receive ring takes bytes: some at the notification, the rest at its next tick.
    bool oneChunkAtATime = false;
    std::vector<std::string> errors;
    int connected = 0;
};

// Every byte value both ways, FFh among them; a burst larger than the port holds arrives whole and
// in order while the reader takes little at a time; the peer's close is a lost port, said once.
TEST_F(NetworkPortTest, RawTcpCarriesEveryByteInOrderAndReportsTheClose) {
    port.SetName(Address("tcp"));
    port.Open();
    EXPECT_TRUE(port.Connecting());
    EXPECT_FALSE(port.IsOpen());
    ASSERT_TRUE(testing::RunUntil([&] { return connected == 1 && peer != nullptr; }));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_FALSE(port.SetsRate());
    EXPECT_THROW(port.RaiseRts(), SerialPortNotSupported);

    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i) {
        all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(255 - i);
    }
    Write(all);
    QByteArray atPeer;
    ASSERT_TRUE(testing::RunUntil([&] {
        atPeer += peer->readAll();
        return atPeer.size() >= 256;
    }));
    EXPECT_EQ(atPeer, QByteArray(reinterpret_cast<const char*>(all.data()), 256))
        << "nothing escaped on raw TCP";

    QByteArray burst;
    for (int i = 0; i < 3 * NetworkPort::kHeldBytes; ++i) {
        burst.append(static_cast<char>(i * 7 + i / 256));
    }
    readChunk = 97;
    oneChunkAtATime = true;
    peer->write(burst);
    ASSERT_TRUE(testing::RunUntil(
        [&] {
            ReadChunk();
            return received.size() >= burst.size();
        },
        20000))
        << received.size();
    EXPECT_EQ(received, burst);

    peer->disconnectFromHost();
    ASSERT_TRUE(testing::RunUntil([&] { return !errors.empty(); }));
    testing::RunUntil([] { return false; }, 100);
    EXPECT_EQ(errors, std::vector<std::string>{"127.0.0.1:" + std::to_string(server.serverPort()) +
                                               " закрыл соединение"});
    EXPECT_FALSE(port.IsOpen());
    EXPECT_THROW(Write({0x01}), SerialPortError);
}

TEST(NetworkAddress, ParsesWhatEngineersTypeAndSaysWhatIsWrong) {
    struct Case {
        const char* text;
        bool ok;
        NetworkScheme scheme;
        const char* host;
        int port;
        const char* canonical;
    };
    const Case cases[] = {
        {"tcp://10.0.0.7:4001", true, NetworkScheme::Tcp, "10.0.0.7", 4001, "tcp://10.0.0.7:4001"},
        {"RFC2217://ds-01.example:2001/", true, NetworkScheme::Rfc2217, "ds-01.example", 2001,
         "rfc2217://ds-01.example:2001"},
        {"tcp://[::1]:4001", true, NetworkScheme::Tcp, "::1", 4001, "tcp://[::1]:4001"},
        {"tcp://[fe80::1%eth0]:1", true, NetworkScheme::Tcp, "fe80::1%eth0", 1, "tcp://[fe80::1%eth0]:1"},
        {"tcp://h:65535", true, NetworkScheme::Tcp, "h", 65535, "tcp://h:65535"},
        {"tcp://h:0", false, {}, "", 0, ""},
        {"tcp://h:65536", false, {}, "", 0, ""},
        {"tcp://h:40x1", false, {}, "", 0, ""},
        {"tcp://h:", false, {}, "", 0, ""},
        {"tcp://h", false, {}, "", 0, ""},
        {"tcp://:4001", false, {}, "", 0, ""},
        {"tcp://::1:4001", false, {}, "", 0, ""},
        {"tcp://[::1]4001", false, {}, "", 0, ""},
        {"tcp://h/x:4001", false, {}, "", 0, ""},
        {"tcp://h h:4001", false, {}, "", 0, ""},
        {"udp://h:4001", false, {}, "", 0, ""},
        {"ttyUSB0", false, {}, "", 0, ""},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::optional<NetworkAddress> address = ParseNetworkAddress(c.text, &error);
        ASSERT_EQ(address.has_value(), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(address->scheme, c.scheme) << c.text;
            EXPECT_EQ(address->host, c.host) << c.text;
            EXPECT_EQ(address->port, c.port) << c.text;
            EXPECT_EQ(ToString(*address), c.canonical) << c.text;
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
    std::string error;
    ParseNetworkAddress("tcp://h:70000", &error);
    EXPECT_EQ(error, "Порт в адресе «tcp://h:70000» должен быть числом от 1 до 65535.");
    ParseNetworkAddress("tcp://::1:4001", &error);
    EXPECT_EQ(error, "Адрес IPv6 в «tcp://::1:4001» пишется в квадратных скобках: tcp://[::1]:4001.");
}

}  // namespace
}  // namespace lumvaris::link
