// The accepting side on real sockets of 127.0.0.1: the test's own sockets play the modems that
// call in (a text first, or a concentrator answering AddressRead to its own UART-ID); the server's
// time limits run on driven timers, the sockets on the event loop up to a deadline.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <sys/socket.h>

#include <cstdio>
#include <deque>

#include "link/AnyPort.h"
#include "link/Frame.h"
#include "meterdata/SystemClock.h"
#include "session/CallIn.h"
#include "session/Connection.h"
#include "support/EventPump.h"
#include "support/FakeTimers.h"
#include "support/QuietLink.h"

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace lumvaris::session {
namespace {

using testing::RunUntil;

QByteArray Frame(std::uint16_t source, std::uint16_t destination, std::vector<std::uint8_t> payload) {
    link::FrameBuffer frame{};
    link::FillHeader(frame, source, destination, static_cast<std::uint8_t>(payload.size()), payload[0]);
    std::copy(payload.begin() + 1, payload.end(), link::Payload(frame) + 1);
    const std::size_t n = link::CompleteFrame(frame);
    return {reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(n)};
}

QByteArray AddressReply(std::uint16_t uartId) {
    return Frame(uartId, 0xFFFF,
                 {0x86, static_cast<std::uint8_t>(uartId), static_cast<std::uint8_t>(uartId >> 8)});
}

// A live packet of meter 5, as the concentrator forwards it.
QByteArray MeterPacket() {
    return Frame(0x1005, 0xFFFF, {0x40, 0x1F, 0, 0, 0, 0x24});
}

// One modem calling in. It sends `greeting` once connected; given a UART-ID it is a concentrator
// that answers AddressRead to that UART-ID alone (after ignoring the first `ignore` of them),
// sending `before` and `after` around its reply. `asked` is every AddressRead it saw, in order.
struct Script {
    QByteArray greeting{};
    std::optional<std::uint16_t> uartId{};
    QByteArray before{};
    QByteArray after{};
    int ignore = 0;
};

struct Caller {
    explicit Caller(const Script& script) : script(script) {}
    Script script;
    QTcpSocket socket;
    QByteArray line;
    std::vector<std::uint16_t> asked;
    bool closed = false;
    quint16 localPort = 0;

    void Dial(quint16 port) {
        QObject::connect(&socket, &QTcpSocket::connected, [this] {
            localPort = socket.localPort();
            if (!script.greeting.isEmpty()) {
                socket.write(script.greeting);
            }
        });
        QObject::connect(&socket, &QTcpSocket::disconnected, [this] { closed = true; });
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { Hear(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    QString Peer() const { return QStringLiteral("127.0.0.1:%1").arg(localPort); }

    void Hear() {
        line += socket.readAll();
        const auto* b = reinterpret_cast<const std::uint8_t*>(line.constData());
        qsizetype at = 0;
        while (at + 8 <= line.size()) {
            if (!link::CheckHeaderCrc(b + at)) {
                ++at;
                continue;
            }
            const qsizetype length = b[at + 7] + 9;
            if (at + length > line.size()) {
                break;
            }
            const std::uint16_t destination = link::ReadWord(b + at + 5);
            if (b[at + 7] == 1 && b[at + 8] == 0x86) {
                asked.push_back(destination);
                if (script.uartId && destination == *script.uartId && script.ignore-- <= 0) {
                    socket.write(script.before + AddressReply(*script.uartId) + script.after);
                }
            }
            at += length;
        }
        line.remove(0, at);
    }
};

struct Received {
    std::uint16_t uartId;
    std::unique_ptr<QTcpSocket> socket;
    QByteArray rest;
};

class CallInTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { testing::EnsureApplication("session_tests"); }

    CallInTest() {
        server.SetHandOver([this](std::uint16_t uartId, std::unique_ptr<QTcpSocket> socket, QByteArray rest) {
            handed.push_back({uartId, std::move(socket), std::move(rest)});
        });
        server.SetLog([this](const QString& line) { log.push_back(line); });
    }

    void Listen() { ASSERT_TRUE(server.Listen({QHostAddress::LocalHost, 0}).IsDone()); }

    Caller& Dial(const Script& script = {}) {
        callers.emplace_back(script);
        callers.back().Dial(server.ListeningPort());
        return callers.back();
    }

    testing::FakeTimerFactory timers;
    std::vector<QString> log;
    std::vector<Received> handed;
    std::deque<Caller> callers;
    CallInServer server{timers};
};

QByteArray Junk(int count) {
    return QByteArray(count, '\x55');
}

TEST_F(CallInTest, IdentifiesACallAndHandsOverEveryByteButTheIdentification) {
    const QByteArray meter = MeterPacket();
    const QByteArray halfFrame = meter.left(5);
    struct Case {
        const char* name;
        const char* pattern;
        Script script;
        std::uint16_t uartId;
        QByteArray rest;
    };
    const std::vector<Case> cases = {
        {"the modem's text, a meter packet in the same write",
         "^ID:([0-9A-F]{4})",
         {.greeting = "ID:2B02" + meter + halfFrame},
         0x2B02,
         meter + halfFrame},
        {"the text in lower case, after the modem's chatter",
         "ID:([0-9a-fA-F]{4});",
         {.greeting = "\r\nCONNECT 9600\r\nID:2a01;"},
         0x2A01,
         ""},
        {"the concentrator's answer, only to its own of those allowed",
         "",
         {.uartId = 0x2B02, .after = meter + halfFrame},
         0x2B02,
         meter + halfFrame},
        {"a meter packet the concentrator forwarded before its answer",
         "",
         {.uartId = 0x2A01, .before = meter, .after = meter},
         0x2A01,
         meter + meter},
        {"a reply of another type before the answer",
         "",
         {.uartId = 0x2B02, .before = Frame(0x2B02, 0xFFFF, {0x88, 0x03, 0x2C})},
         0x2B02,
         Frame(0x2B02, 0xFFFF, {0x88, 0x03, 0x2C})},
        {"junk and a false header before the answer",
         "",
         {.uartId = 0x2001, .before = Junk(30) + AddressReply(0x2001).left(8)},
         0x2001,
         Junk(30) + AddressReply(0x2001).left(8)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        handed.clear();
        callers.clear();
        server.SetAllowed({0x2001, 0x2A01, 0x2B02});
        ASSERT_TRUE(server.SetIdentPattern(QString::fromLatin1(c.pattern)).isEmpty());
        Listen();
        Caller& caller = Dial(c.script);
        ASSERT_TRUE(RunUntil([&] { return !handed.empty(); }));
        EXPECT_EQ(handed[0].uartId, c.uartId);
        if (c.script.uartId) {
            EXPECT_EQ(caller.asked, (std::vector<std::uint16_t>{0x2001, 0x2A01, 0x2B02}));
        }
        // What comes after the hand-over is the receiver's, from the socket it now holds.
        caller.socket.write("tail");
        Received& r = handed[0];
        ASSERT_TRUE(
            RunUntil([&] { return r.socket->bytesAvailable() >= 4 + c.rest.size() - r.rest.size(); }));
        EXPECT_EQ((r.rest + r.socket->readAll()).toHex(), (c.rest + "tail").toHex());
        r.socket->write("ping");
        ASSERT_TRUE(RunUntil([&] { return caller.line.endsWith("ping"); }));
        EXPECT_EQ(server.PendingCount(), 0);
        EXPECT_TRUE(log.empty()) << log[0].toStdString();
    }
}

TEST_F(CallInTest, RefusesAndLogsOnce) {
    const QString peer = QStringLiteral("Входящее подключение %1 закрыто: ");
    struct Case {
        const char* name;
        Script script;
        int advanceMs;  // driven time after the connection is pending
        const char* why;
    };
    const std::vector<Case> cases = {
        {"a UART-ID not allowed", {.greeting = "ID:2C03\r\n"}, 0, "UART-ID 2C03 не разрешён."},
        {"a meter's address",
         {.greeting = "ID:1005\r\n"},
         0,
         "UART-ID 1005 не может быть адресом концентратора."},
        {"an answer naming a UART-ID not allowed",
         {.uartId = 0x2001, .before = AddressReply(0x2C03)},
         0,
         "UART-ID 2C03 не разрешён."},
        {"silent past the limit", {}, 1000, "не опознано за 1 с."},
        {"junk, then silent", {.greeting = Junk(300)}, 1000, "не опознано за 1 с."},
        {"a flooder", {.greeting = Junk(5000)}, 0, "прислано больше 4096 байт без опознания."},
        {"a hang-up", {}, -1, "собеседник отключился до опознания."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        callers.clear();
        server.SetAllowed({0x2001, 0x2A01});
        server.SetLimits({.identifyMs = 1000});
        ASSERT_TRUE(server.SetIdentPattern(QStringLiteral("ID:([0-9A-F]{4})")).isEmpty());
        Listen();
        Caller& caller = Dial(c.script);
        if (c.advanceMs != 0) {
            ASSERT_TRUE(RunUntil([&] { return server.PendingCount() == 1 && caller.asked.size() == 2; }));
            if (c.advanceMs > 0) {
                timers.Advance(c.advanceMs - CallInServer::kTickMs);
                EXPECT_EQ(server.PendingCount(), 1);
                timers.Advance(CallInServer::kTickMs);
            } else {
                caller.socket.disconnectFromHost();
            }
        }
        ASSERT_TRUE(RunUntil([&] { return caller.closed && !log.empty(); }));
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0], peer.arg(caller.Peer()) + QString::fromUtf8(c.why));
        timers.Advance(2000);
        QCoreApplication::processEvents();
        EXPECT_EQ(log.size(), 1u);
        EXPECT_TRUE(handed.empty());
        EXPECT_EQ(server.PendingCount(), 0);
    }
}

TEST_F(CallInTest, ConnectionsOverThePendingLimitAreClosedAtOnceAndLoggedOncePerTenSeconds) {
    server.SetAllowed({0x2001});
    server.SetProbing(false);
    server.SetLimits({.maxPending = 4});
    Listen();
    for (int i = 0; i < 10; ++i) {
        Dial();
    }
    const auto closed = [&] {
        return std::count_if(callers.begin(), callers.end(), [](const Caller& c) { return c.closed; });
    };
    ASSERT_TRUE(RunUntil([&] { return server.PendingCount() == 4 && closed() == 6; }));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(
        log[0].endsWith(QStringLiteral("закрыто: ожидающих опознания подключений уже 4 (предел). Следующие "
                                       "такие закрытия записываются не чаще "
                                       "раза в 10 с.")))
        << log[0].toStdString();

    timers.Advance(CallInServer::kSurplusLogPauseMs - CallInServer::kTickMs);
    Caller& late = Dial();
    ASSERT_TRUE(RunUntil([&] { return late.closed; }));
    EXPECT_EQ(log.size(), 1u);
    timers.Advance(CallInServer::kTickMs);
    Caller& later = Dial();
    ASSERT_TRUE(RunUntil([&] { return later.closed; }));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], QStringLiteral(
                          "Входящее подключение %1 закрыто: ожидающих опознания подключений уже 4 (предел); "
                          "с прошлой такой записи так же закрыто ещё 6.")
                          .arg(later.Peer()));
    EXPECT_EQ(server.PendingCount(), 4);
}

TEST_F(CallInTest, ProbesEveryUartIdWhenAllAreAllowedAndAgainAfterAPause) {
    server.AllowAll();
    Listen();
    Caller& last = Dial({.uartId = 0x2FFF});
    ASSERT_TRUE(RunUntil([&] { return !handed.empty(); }, 10000));
    EXPECT_EQ(handed[0].uartId, 0x2FFF);
    ASSERT_EQ(last.asked.size(), 0x2FFFu - 0x2001u + 1u);
    for (std::size_t i = 0; i < last.asked.size(); ++i) {
        ASSERT_EQ(last.asked[i], 0x2001 + i);
    }

    // A concentrator busy with the first round answers the second.
    handed.clear();
    server.SetAllowed({0x2001, 0x2002});
    Caller& busy = Dial({.uartId = 0x2002, .ignore = 1});
    ASSERT_TRUE(RunUntil([&] { return busy.asked.size() == 2; }));
    timers.Advance(CallInServer::kProbeRepeatMs - CallInServer::kTickMs);
    QCoreApplication::processEvents();
    EXPECT_EQ(busy.asked.size(), 2u);
    timers.Advance(CallInServer::kTickMs);
    ASSERT_TRUE(RunUntil([&] { return !handed.empty(); }));
    EXPECT_EQ(busy.asked, (std::vector<std::uint16_t>{0x2001, 0x2002, 0x2001, 0x2002}));
}

TEST(CallInAddress, ParsesPortAddressAndBracketedIPv6) {
    struct Case {
        const char* text;
        const char* address;  // null: refused
        quint16 port;
    };
    const Case cases[] = {
        {"4001", "127.0.0.1", 4001},
        {"0", "127.0.0.1", 0},
        {"0.0.0.0:4001", "0.0.0.0", 4001},
        {"192.168.0.10:65535", "192.168.0.10", 65535},
        {"[::1]:4001", "::1", 4001},
        {"[::]:4001", "::", 4001},
        {"::1:4001", nullptr, 0},
        {"[::1]4001", nullptr, 0},
        {"[127.0.0.1]:4001", nullptr, 0},
        {"[::1:4001", nullptr, 0},
        {"65536", nullptr, 0},
        {"+4001", nullptr, 0},
        {"4001 ", nullptr, 0},
        {"host:4001", nullptr, 0},
        {"1.2.3.4:", nullptr, 0},
        {"", nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QString error;
        const std::optional<ListenAddress> where = ParseListenAddress(QString::fromLatin1(c.text), &error);
        if (c.address == nullptr) {
            EXPECT_FALSE(where);
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        ASSERT_TRUE(where) << error.toStdString();
        EXPECT_EQ(where->address, QHostAddress(QString::fromLatin1(c.address)));
        EXPECT_EQ(where->port, c.port);
    }
}

TEST(CallInPattern, WantsOneCaptureGroup) {
    testing::FakeTimerFactory timers;
    CallInServer server(timers);
    EXPECT_TRUE(server.SetIdentPattern(QStringLiteral("^ID:([0-9A-F]{4})")).isEmpty());
    EXPECT_TRUE(server.SetIdentPattern(QString()).isEmpty());
    for (const char* bad : {"ID:[0-9A-F]{4}", "(ID):([0-9A-F]{4})", "ID:([0-9A-F]{4}"}) {
        EXPECT_FALSE(server.SetIdentPattern(QString::fromLatin1(bad)).isEmpty()) << bad;
    }
}

}  // namespace
}  // namespace lumvaris::session
