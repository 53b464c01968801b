// The simulator in its own process, reached through the link core over the real Qt serial port on
// the pseudo-terminal it prints.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <memory>

#include "SimProcess.h"
#include "SimTestSupport.h"
#include "link/QtSerialPort.h"
#include "link/Receiver.h"
#include "link/Requester.h"
#include "sim/MeterNetwork.h"
#include "support/EventPump.h"
#include "support/QuietLink.h"

namespace lumvaris::sim {
namespace {

using testing::Hex;
using testing::Request;
using testing::ToHex;

using testing::kReplyMs;
using testing::SimProcess;

// The workstation side: Qt serial port, receive path and request sender of the link core.
class Client final : public link::IFrameConsumer, public lumvaris::testing::NoPause {
  public:
    explicit Client(const std::string& path) {
        port_.SetName(path);
        port_.SetReceiveNotification([this] { receiver_.ReceiveNotification(); });
        port_.SetErrorNotification([this](const std::string&) { ++errors; });
        receiver_.SetConsumer(this);
        port_.Open();
    }

    void Send(std::uint16_t destination, const std::string& payloadHex, int expected) {
        requester_.SendRequest(Request(destination, payloadHex), expected, 0);
    }

    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = kReplyMs) {
        QElapsedTimer t;
        t.start();
        // The condition is asked once per round: asking again after the loop could see a log or a
        // reply that changed in between and contradict what ended the loop.
        bool met = done();
        while (!met && t.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            receiver_.Step();
            met = done();
        }
        return met;
    }

    // Sends and returns the payload of the next reply, or "none".
    std::string Ask(const std::string& payloadHex, int expected, int timeoutMs = kReplyMs) {
        const std::size_t before = replies.size();
        Send(0x2FFF, payloadHex, expected);
        if (!PumpUntil([&] { return replies.size() > before; }, timeoutMs)) {
            return "none";
        }
        return PayloadHex(replies[before]);
    }

    static std::string PayloadHex(const link::FrameBuffer& f) {
        return ToHex({f.begin() + 8, f.begin() + 8 + link::PayloadLength(f)});
    }

    link::QtSerialPort& Port() { return port_; }

    std::vector<link::FrameBuffer> replies;
    std::vector<link::FrameBuffer> packets;
    std::vector<std::string> frames;  // every good frame in hex, in order
    int errors = 0;

  private:
    void HandleReply(link::FrameBuffer& frame) override {
        replies.push_back(frame);
        frames.push_back(ToHex({frame.begin(), frame.begin() + static_cast<long>(link::FrameLength(frame))}));
    }
    void HandleMeterPacket(const link::FrameBuffer& frame) override {
        packets.push_back(frame);
        frames.push_back(ToHex({frame.begin(), frame.begin() + static_cast<long>(link::FrameLength(frame))}));
    }
    void ShowByteCounter(std::uint32_t) override {}

    link::QtSerialPort port_;
    link::Receiver receiver_{port_};
    link::Requester requester_{port_, *this};
};

// QProcess::waitForFinished is false for a process that has already ended.
bool Ended(QProcess& p) {
    return p.state() == QProcess::NotRunning || p.waitForFinished(kReplyMs);
}

QString ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class SimulatorEndToEndTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { lumvaris::testing::EnsureApplication("sim_e2e_tests"); }
};

TEST_F(SimulatorEndToEndTest, ClockReadIsAnsweredAgainAfterTheClientReconnects) {
    SimProcess sim({"--clock", "2024-01-01 12:12:00", "--meters", "0"});
    ASSERT_FALSE(sim.Path().empty());
    for (int round = 0; round < 2; ++round) {
        Client client(sim.Path());
        ASSERT_TRUE(client.Port().IsOpen());
        const std::string reply = client.Ask("81", 0x81);
        ASSERT_NE(reply, "none") << "round " << round;
        const auto p = Hex(reply);
        ASSERT_EQ(p.size(), 8u);
        EXPECT_EQ(p[0], 0x81);
        EXPECT_LT(p[1], 60);                                              // seconds since the start
        EXPECT_EQ(ToHex({p.begin() + 2, p.end()}), "0C 0C 00 00 00 18");  // 12:12, Monday 1.1.2024
        const link::FrameBuffer& f = client.replies.back();
        EXPECT_EQ(link::SourceAddress(f), 0x2FFF);
        EXPECT_EQ(link::DestinationAddress(f), 0xFFFF);
    }
}

TEST_F(SimulatorEndToEndTest, PasswordOpensOneProtectedCommand) {
    SimProcess sim({"--password", "pw1", "--meters", "0"});
    ASSERT_FALSE(sim.Path().empty());
    Client client(sim.Path());
    EXPECT_EQ(client.Ask("09 05", 0x89), "40");
    EXPECT_EQ(client.Ask("0B 70 77 32", 0x0B), "40");  // "pw2"
    EXPECT_EQ(client.Ask("0B 70 77 31", 0x0B), "0B 70 77 31");
    EXPECT_EQ(client.Ask("09 05", 0x89), "89 05");
    EXPECT_EQ(client.Ask("09 06", 0x89), "40");
    EXPECT_EQ(client.Ask("89", 0x89), "89 05");
}

TEST_F(SimulatorEndToEndTest, LivePacketsArriveWithTheirMeterNumbersInTheSeedsOrder) {
    SimProcess sim({"--meters", "3", "--interval", "0.05", "--seed", "5"});
    ASSERT_FALSE(sim.Path().empty());
    Client client(sim.Path());
    ASSERT_TRUE(client.PumpUntil([&] { return client.packets.size() >= 15; }));
    // What the network of this seed sends, packet by packet; the client heard a stretch of it.
    MeterNetwork network(3, 5);
    std::vector<std::string> expected;
    for (int i = 0; i < 5000; ++i) {
        const MeterPacket p = network.Next();
        expected.push_back(
            std::to_string(p.meter) + ":" +
            ToHex({p.type, static_cast<std::uint8_t>(p.wordA), static_cast<std::uint8_t>(p.wordA >> 8),
                   static_cast<std::uint8_t>(p.wordB), static_cast<std::uint8_t>(p.wordB >> 8), p.level}));
    }
    std::vector<std::string> heard;
    for (const link::FrameBuffer& f : client.packets) {
        const int meter = link::SourceAddress(f) & link::kMeterNumberMask;
        EXPECT_GE(meter, 1);
        EXPECT_LE(meter, 3);
        EXPECT_EQ(link::DestinationAddress(f), 0xFFFF);
        heard.push_back(std::to_string(meter) + ":" + Client::PayloadHex(f));
    }
    const auto at = std::search(expected.begin(), expected.end(), heard.begin(), heard.end());
    EXPECT_NE(at, expected.end()) << "first heard: " << heard.front();
}

TEST_F(SimulatorEndToEndTest, GarbageAndCorruptionHideNoGoodFrame) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString log = dir.filePath("sim.log");
    SimProcess sim({"--meters", "5", "--interval", "0.02", "--garbage", "0.5", "--corrupt", "0.3", "--seed",
                    "7", "--log", log, "--silent-after-requests", "1"});
    ASSERT_FALSE(sim.Path().empty());
    Client client(sim.Path());
    ASSERT_TRUE(client.PumpUntil([&] { return client.frames.size() >= 40; }));
    // One request makes the simulator fall silent once it has answered, so its log is complete.
    client.Send(0x2FFF, "81", 0x81);
    ASSERT_TRUE(client.PumpUntil([&] { return ReadFile(log).contains("silent from now on"); }));
    // The clock answer (source 2FFF, N = 8, type 81) is logged once written, maybe after that note.
    ASSERT_TRUE(client.PumpUntil([&] { return ReadFile(log).contains("FF 2F FF FF 08 81"); }));

    std::vector<std::string> sent;
    int corrupted = 0;
    int garbage = 0;
    const auto readLog = [&] {
        sent.clear();
        corrupted = garbage = 0;
        for (const QString& line : ReadFile(log).split('\n')) {
            const auto tx = line.indexOf(" TX ");
            const auto bar = line.indexOf(" | ");
            if (line.contains(" GB ")) {
                ++garbage;
            }
            if (tx < 0 || bar < tx) {
                continue;
            }
            if (line.contains("[corrupted checksum]")) {
                ++corrupted;
                continue;
            }
            sent.push_back(line.mid(tx + 4, bar - tx - 4).toStdString());
        }
        return sent == client.frames;
    };
    EXPECT_TRUE(client.PumpUntil(readLog));
    EXPECT_EQ(client.frames, sent);
    EXPECT_GE(client.frames.size(), 40u);
    EXPECT_GT(corrupted, 0);
    EXPECT_GT(garbage, 0);
}

TEST_F(SimulatorEndToEndTest, ReplyFaultsRefuseDelayDribbleAndDrop) {
    struct Case {
        QStringList args;
        const char* reply;  // payload, "81..." for any clock reply, or "none"
        int atLeastMs;
    };
    const Case cases[] = {
        {{"--refuse", "81"}, "40", 0},
        {{"--dribble", "3", "--delay", "300"}, "81...", 300},
        {{"--drop", "1"}, "none", 0},
    };
    for (const Case& k : cases) {
        QStringList args = k.args;
        args << "--meters"
             << "0";
        SimProcess sim(args);
        ASSERT_FALSE(sim.Path().empty());
        Client client(sim.Path());
        QElapsedTimer t;
        t.start();
        const std::string none = "none";
        const std::string reply = client.Ask("81", 0x81, k.reply == none ? 1500 : kReplyMs);
        const qint64 elapsed = t.elapsed();
        const QString name = k.args.join(' ');
        if (std::string(k.reply) == "81...") {
            EXPECT_EQ(Hex(reply).size(), 8u) << name.toStdString();
            EXPECT_EQ(reply.substr(0, 2), "81") << name.toStdString();
        } else {
            EXPECT_EQ(reply, k.reply) << name.toStdString();
        }
        EXPECT_GE(elapsed, k.atLeastMs) << name.toStdString();
    }
}

TEST_F(SimulatorEndToEndTest, HangUpIsSeenAsAClosedPort) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath("port");
    SimProcess sim({"--meters", "2", "--interval", "0.05", "--hangup-after-requests", "1", "--link", link});
    ASSERT_FALSE(sim.Path().empty());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    Client client(link.toStdString());
    ASSERT_TRUE(client.Port().IsOpen());
    client.Send(0x2FFF, "81", 0x81);
    EXPECT_TRUE(client.PumpUntil([&] { return !client.Port().IsOpen(); }));
    EXPECT_EQ(client.errors, 1);
    ASSERT_TRUE(Ended(sim.Process()));
    EXPECT_EQ(sim.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.Process().exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(link) || QFileInfo(link).isSymLink());
}

TEST_F(SimulatorEndToEndTest, EndsCleanlyOnSigterm) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath("port");
    SimProcess sim({"--link", link});
    ASSERT_FALSE(sim.Path().empty());
    sim.Process().terminate();
    ASSERT_TRUE(Ended(sim.Process()));
    EXPECT_EQ(sim.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.Process().exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

// --port serves a named serial device with termios. The serial side of a pseudo-terminal stands in
// for the device here; the test plays the workstation on the other side.
TEST_F(SimulatorEndToEndTest, ServesANamedPortAndSwitchesItsRateAfterAnsweringAtTheOldOne) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    close(slave);  // the simulator opens it by name
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString log = dir.filePath("sim.log");
    {
        SimProcess sim({"--port", name, "--baud", "19200", "--meters", "0", "--log", log});
        ASSERT_EQ(sim.Path(), name);

        lumvaris::testing::FakeSerialPort wire;
        wire.Open();
        link::Receiver receiver(wire);
        struct Replies : link::IFrameConsumer {
            std::vector<std::string> payloads;
            void HandleReply(link::FrameBuffer& f) override {
                payloads.push_back(ToHex({f.begin() + 8, f.begin() + 8 + link::PayloadLength(f)}));
            }
            void HandleMeterPacket(const link::FrameBuffer&) override {}
            void ShowByteCounter(std::uint32_t) override {}
        } replies;
        receiver.SetConsumer(&replies);
        const auto ask = [&](const std::string& payload) -> std::string {
            const link::FrameBuffer f = Request(0x2FFF, payload);
            const auto size = static_cast<std::size_t>(link::FrameLength(f));
            EXPECT_EQ(write(master, f.data(), size), static_cast<ssize_t>(size));
            const std::size_t before = replies.payloads.size();
            QElapsedTimer t;
            t.start();
            while (replies.payloads.size() == before && t.elapsed() < kReplyMs) {
                pollfd p{master, POLLIN, 0};
                if (poll(&p, 1, 100) > 0) {
                    std::uint8_t buffer[512];
                    const ssize_t n = read(master, buffer, sizeof buffer);
                    if (n > 0) {
                        wire.Feed(std::vector<std::uint8_t>(buffer, buffer + n), false);
                        receiver.Step();
                    }
                }
            }
            return replies.payloads.size() > before ? replies.payloads[before] : "none";
        };
        EXPECT_EQ(ask("88"), "88 01");
        EXPECT_EQ(ask("08 02"), "88 02");
        QElapsedTimer t;
        t.start();
        while (!ReadFile(log).contains("line rate now 9600") && t.elapsed() < kReplyMs) {
            QThread::msleep(10);
        }
        EXPECT_TRUE(ReadFile(log).contains("line rate now 9600"));
        termios tio{};
        ASSERT_EQ(tcgetattr(master, &tio), 0);
        EXPECT_EQ(cfgetospeed(&tio), B9600);
        EXPECT_EQ(ask("88"), "88 02");
    }
    close(master);
}

}  // namespace
}  // namespace lumvaris::sim
