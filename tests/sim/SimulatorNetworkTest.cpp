// The simulator in its own process on a network port: the test plays the workstation (or the
// collector a modem calls) on a real TCP socket of 127.0.0.1, raw or through the Telnet codec.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <memory>
#include <set>

#include "SimProcess.h"
#include "SimTestSupport.h"
#include "link/Receiver.h"
#include "link/Telnet.h"
#include "support/EventPump.h"

namespace lumvaris::sim {
namespace {

using testing::Hex;
using testing::kReplyMs;
using testing::Request;
using testing::SimProcess;
using testing::ToHex;
using Bytes = std::vector<std::uint8_t>;

int PortOf(const std::string& address) {
    const auto colon = address.rfind(':');
    return colon == std::string::npos ? -1 : std::atoi(address.c_str() + colon + 1);
}

QString ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// A listening socket of the test's own on 127.0.0.1, any free port.
class Listener {
  public:
    explicit Listener(bool listening = true) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) == 0) {
            port_ = ntohs(a.sin_port);
        }
        if (listening) {
            Listen();
        }
    }
    ~Listener() { close(fd_); }
    void Listen() { listen(fd_, 4); }
    int Port() const { return port_; }
    // The next caller, or -1.
    int Accept(int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, timeoutMs) > 0 ? accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    }

  private:
    int fd_ = -1;
    int port_ = 0;
};

// One end of a connection with the simulator: the bytes on the wire, the frames they carry.
class Peer final : public link::IFrameConsumer {
  public:
    Peer(int fd, bool telnet) : fd_(fd) {
        receiver_.SetConsumer(this);
        wire_.Open();
        if (telnet) {
            telnet_ = std::make_unique<link::TelnetCodec>(link::TelnetCodec::Role::Client);
            Write(telnet_->Greeting());
        }
    }
    static std::unique_ptr<Peer> Dial(int port, bool telnet) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(fd);
            return nullptr;
        }
        return std::make_unique<Peer>(fd, telnet);
    }
    ~Peer() override { close(fd_); }

    void Write(const Bytes& bytes) {
        ASSERT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    }
    void Send(const std::string& payloadHex, std::uint16_t destination = 0x2FFF) {
        const link::FrameBuffer f = Request(destination, payloadHex);
        const Bytes frame(f.begin(), f.begin() + static_cast<long>(link::FrameLength(f)));
        Bytes out;
        if (telnet_) {
            link::TelnetCodec::Escape(frame.data(), frame.size(), out);
        } else {
            out = frame;
        }
        Write(out);
    }
    // Reads until done() or the time is up; the Telnet codec's answers go back at once.
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = kReplyMs) {
        QElapsedTimer t;
        t.start();
        bool met = done();
        while (!met && !closed && t.elapsed() < timeoutMs) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) > 0) {
                std::uint8_t buffer[4096];
                const ssize_t n = read(fd_, buffer, sizeof buffer);
                if (n <= 0) {
                    closed = true;
                } else {
                    wire.insert(wire.end(), buffer, buffer + n);
                    Bytes data;
                    Bytes reply;
                    if (telnet_) {
                        telnet_->Feed(buffer, static_cast<std::size_t>(n), data, reply);
                    } else {
                        data.assign(buffer, buffer + n);
                    }
                    if (!reply.empty()) {
                        Write(reply);
                    }
                    wire_.Feed(data, false);
                    receiver_.Step();
                }
            }
            met = done();
        }
        return met;
    }
    // Sends and returns the payload of the next reply, or "none".
    std::string Ask(const std::string& payloadHex, int timeoutMs = kReplyMs,
                    std::uint16_t destination = 0x2FFF) {
        const std::size_t before = replies.size();
        Send(payloadHex, destination);
        if (!PumpUntil([&] { return replies.size() > before; }, timeoutMs)) {
            return "none";
        }
        return PayloadHex(replies[before]);
    }
    static std::string PayloadHex(const Bytes& f) { return ToHex({f.begin() + 8, f.end() - 1}); }
    link::TelnetCodec* Telnet() { return telnet_.get(); }

    Bytes wire;                  // everything received, as it came
    std::vector<Bytes> replies;  // whole frames
    bool closed = false;

  private:
    void HandleReply(link::FrameBuffer& f) override {
        replies.emplace_back(f.begin(), f.begin() + static_cast<long>(link::FrameLength(f)));
    }
    void HandleMeterPacket(const link::FrameBuffer&) override {}
    void ShowByteCounter(std::uint32_t) override {}

    int fd_;
    std::unique_ptr<link::TelnetCodec> telnet_;
    lumvaris::testing::FakeSerialPort wire_;
    link::Receiver receiver_{wire_};
};

// count consecutive ports of 127.0.0.1 free a moment ago, for a fleet that needs them known.
int FreeBasePort(int count) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        Listener probe(false);
        bool free = probe.Port() > 0 && probe.Port() + count - 1 <= 65535;
        std::vector<std::unique_ptr<Listener>> held;
        for (int i = 1; free && i < count; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(static_cast<std::uint16_t>(probe.Port() + i));
            free = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
            close(fd);
        }
        if (free) {
            return probe.Port();
        }
    }
    return 0;
}

class SimulatorNetworkTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { lumvaris::testing::EnsureApplication("sim_e2e_tests"); }
};

// A hang-up fault ends the connection, not the simulator: it goes on listening, or (as a modem)
// calls again after the redial pause, also after a call that failed; a modem names itself first.
TEST_F(SimulatorNetworkTest, HangsUpAfterARequestAndIsThereAgain) {
    constexpr int kRedialMs = 300;
    const std::string ident = "LUMVARIS-MODEM 7\r\n";
    struct Case {
        bool calling;
        QStringList fault;
    };
    const Case cases[] = {
        {false, {"--hangup-after-requests", "1"}},
        {true, {"--hangup-after-requests", "1"}},
        {false, {"--hangup-after", "0.3"}},
    };
    for (const auto& [calling, fault] : cases) {
        SCOPED_TRACE((calling ? "--call " : "--tcp ") + fault.join(' ').toStdString());
        // Not listening yet: the modem's first calls fail.
        Listener collector(false);
        QStringList args = fault;
        args << "--meters"
             << "0";
        if (calling) {
            args << "--call" << QString("127.0.0.1:%1").arg(collector.Port()) << "--redial-ms"
                 << QString::number(kRedialMs) << "--call-ident"
                 << "LUMVARIS-MODEM 7";
        } else {
            args << "--tcp"
                 << "0";
        }
        SimProcess sim(args);
        if (calling) {
            ASSERT_EQ(sim.Path(), "call 127.0.0.1:" + std::to_string(collector.Port()));
            QThread::msleep(kRedialMs + 100);
            collector.Listen();
        }
        QElapsedTimer sinceHangUp;
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round);
            std::unique_ptr<Peer> peer;
            if (calling) {
                const int fd = collector.Accept(kReplyMs);
                ASSERT_GE(fd, 0);
                if (round > 0) {
                    EXPECT_GE(sinceHangUp.elapsed(), kRedialMs / 2);
                }
                peer = std::make_unique<Peer>(fd, false);
                ASSERT_TRUE(peer->PumpUntil([&] { return peer->wire.size() >= ident.size(); }));
                EXPECT_EQ(std::string(peer->wire.begin(), peer->wire.end()), ident);
            } else {
                peer = Peer::Dial(PortOf(sim.Path()), false);
                ASSERT_TRUE(peer);
            }
            EXPECT_EQ(peer->Ask("88"), "88 00");
            EXPECT_TRUE(peer->PumpUntil([&] { return peer->closed; }));
            sinceHangUp.start();
        }
        EXPECT_EQ(sim.Process().state(), QProcess::Running);
    }
}

// As a device server's "kick the old user": the new client takes the port, the old connection is
// closed, and the answer still pending for the old one never reaches the new one.
TEST_F(SimulatorNetworkTest, ASecondClientReplacesTheFirst) {
    constexpr int kDelayMs = 1000;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString log = dir.filePath("sim.log");
    SimProcess sim({"--tcp", "0", "--meters", "0", "--delay", QString::number(kDelayMs), "--log", log});
    auto first = Peer::Dial(PortOf(sim.Path()), false);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Ask("88"), "88 00");
    first->Send("81");
    // Once the request is in, the port is taken while its answer waits.
    QElapsedTimer t;
    t.start();
    while (!ReadFile(log).contains("RX 63 E0 A7 FF FF FF 2F 01 81 80") && t.elapsed() < kReplyMs) {
        QThread::msleep(10);
    }
    auto second = Peer::Dial(PortOf(sim.Path()), false);
    ASSERT_TRUE(second);
    EXPECT_TRUE(first->PumpUntil([&] { return first->closed; }));
    EXPECT_EQ(first->replies.size(), 1u);
    EXPECT_FALSE(second->PumpUntil([&] { return !second->wire.empty(); }, kDelayMs + 300));
    EXPECT_TRUE(ReadFile(log).contains("client replaced by a new one"));
    EXPECT_EQ(second->Ask("88"), "88 00");
}

// Each concentrator of a fleet on its own port, answering from its own UART-ID (counting up from
// --uart-id and wrapping inside 2001..2FFF), and only to that one; the log names which one spoke.
TEST_F(SimulatorNetworkTest, FleetAnswersOnEachPortWithItsOwnUartId) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString log = dir.filePath("sim.log");
    const int base = FreeBasePort(3);
    ASSERT_GT(base, 0);
    SimProcess sim(
        {"--fleet", "3", "--tcp", QString::number(base), "--uart-id", "2FFE", "--meters", "0", "--log", log});
    ASSERT_EQ(sim.Path(), "fleet tcp://127.0.0.1:" + std::to_string(base) + " 3");
    const std::uint16_t ids[] = {0x2FFE, 0x2FFF, 0x2001};
    const char* answers[] = {"86 FE 2F", "86 FF 2F", "86 01 20"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        auto peer = Peer::Dial(base + i, false);
        ASSERT_TRUE(peer);
        const std::uint16_t other = ids[(i + 1) % 3];
        EXPECT_EQ(peer->Ask("86", 300, other), "none");
        EXPECT_EQ(peer->Ask("86", kReplyMs, ids[i]), answers[i]);
        const Bytes& frame = peer->replies.back();
        EXPECT_EQ(frame[3], ids[i] & 0xFF);
        EXPECT_EQ(frame[4], ids[i] >> 8);
    }
    const QString text = ReadFile(log);
    EXPECT_TRUE(text.contains(" 2001 RX 2B 2E 45 FF FF 01 20 01 86 85 | AddressRead to 2001") &&
                text.contains(" 2FFE -- not addressed to this concentrator"))
        << text.toStdString();
}

// A fleet of modems calls one collector, each naming itself, and calls again after a hang-up.
TEST_F(SimulatorNetworkTest, FleetCallsTheCollectorWithItsIdentTexts) {
    QTcpServer collector;
    ASSERT_TRUE(collector.listen(QHostAddress::LocalHost));
    SimProcess sim({"--fleet", "2", "--call", QString("127.0.0.1:%1").arg(collector.serverPort()),
                    "--uart-id", "2FFF", "--call-ident", "LMV%u", "--redial-ms", "100", "--meters", "0"});
    ASSERT_EQ(sim.Path(), "fleet call 127.0.0.1:" + std::to_string(collector.serverPort()) + " 2");
    // The identification of the next caller, with its socket.
    const auto answer = [&](std::unique_ptr<QTcpSocket>& socket) {
        QElapsedTimer t;
        t.start();
        while (!collector.hasPendingConnections() && t.elapsed() < kReplyMs) {
            collector.waitForNewConnection(50);
        }
        socket.reset(collector.nextPendingConnection());
        if (!socket) {
            return std::string("no call");
        }
        socket->setParent(nullptr);
        while (!socket->canReadLine() && t.elapsed() < kReplyMs) {
            socket->waitForReadyRead(50);
        }
        return socket->readLine().toStdString();
    };
    std::unique_ptr<QTcpSocket> first;
    std::unique_ptr<QTcpSocket> second;
    const std::string firstIdent = answer(first);
    const std::string secondIdent = answer(second);
    EXPECT_EQ((std::set<std::string>{firstIdent, secondIdent}),
              (std::set<std::string>{"LMV2FFF\r\n", "LMV2001\r\n"}));
    ASSERT_TRUE(first);
    first->close();
    std::unique_ptr<QTcpSocket> again;
    EXPECT_EQ(answer(again), firstIdent);
}

// One site's faults never slow another: the good concentrators answer at once while the faulty
// one's answer is still on its way.
TEST_F(SimulatorNetworkTest, FleetFaultyOneDoesNotSlowTheOthers) {
    constexpr int kDelayMs = 2000;
    const int base = FreeBasePort(3);
    ASSERT_GT(base, 0);
    SimProcess sim({"--fleet", "3", "--tcp", QString::number(base), "--uart-id", "2001", "--fleet-faulty",
                    "1", "--delay", QString::number(kDelayMs), "--meters", "0", "--quiet"});
    auto slow = Peer::Dial(base, false);
    ASSERT_TRUE(slow);
    QElapsedTimer t;
    t.start();
    slow->Send("86", 0x2001);
    for (int i = 1; i < 3; ++i) {
        SCOPED_TRACE(i);
        auto good = Peer::Dial(base + i, false);
        ASSERT_TRUE(good);
        EXPECT_EQ(good->Ask("86", kDelayMs - 500, static_cast<std::uint16_t>(0x2001 + i)),
                  i == 1 ? "86 02 20" : "86 03 20");
    }
    EXPECT_TRUE(slow->replies.empty());
    EXPECT_TRUE(slow->PumpUntil([&] { return !slow->replies.empty(); }));
    EXPECT_GE(t.elapsed(), kDelayMs - 100);
}

}  // namespace
}  // namespace lumvaris::sim
