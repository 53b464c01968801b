// lumvaris-cli over the network against real peers: Debian's ser2net in front of the simulator's
// pseudo-terminal, raw and in RFC 2217 mode, and the simulator's own TCP modes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>

#include <signal.h>

#include "CliProcess.h"

namespace lumvaris::cli {
namespace {

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool Listening(quint16 port) {
    QTcpServer probe;
    return !probe.listen(QHostAddress::LocalHost, port);
}

// ser2net serving one device on 127.0.0.1, raw or Telnet with Com Port Control; a new client
// takes the device from the one before, as on a terminal server in the field.
class Ser2net {
  public:
    Ser2net(const QString& device, bool telnet) : port_(FreePort()), telnet_(telnet) {
        const QString program =
            QStandardPaths::findExecutable(QStringLiteral("ser2net"), {"/usr/sbin", "/usr/bin"});
        if (program.isEmpty()) {
            return;
        }
        const QString config = dir_.filePath(QStringLiteral("ser2net.yaml"));
        QFile file(config);
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral("connection: &device\n"
                                  "  accepter: %1tcp,127.0.0.1,%2\n"
                                  "  connector: serialdev,%3,38400n81,local\n"
                                  "  options:\n"
                                  "    kickolduser: true\n")
                       .arg(telnet ? QStringLiteral("telnet(rfc2217),") : QString())
                       .arg(port_)
                       .arg(device)
                       .toUtf8());
        file.close();
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(program, {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-c"), config});
        QElapsedTimer time;
        time.start();
        while (!Listening(port_) && time.elapsed() < 10000) {
            QThread::msleep(20);
        }
        ready_ = Listening(port_);
    }
    ~Ser2net() {
        process_.terminate();
        process_.waitForFinished();
    }
    bool Ready() const { return ready_; }
    QString Address() const {
        return QStringLiteral("%1://127.0.0.1:%2").arg(telnet_ ? "rfc2217" : "tcp").arg(port_);
    }
    quint16 Port() const { return port_; }

  private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_;
    bool telnet_;
    bool ready_ = false;
};

const QStringList kFewMeters = {QStringLiteral("--meters"),       QStringLiteral("8"),
                                QStringLiteral("--network-size"), QStringLiteral("8"),
                                QStringLiteral("--config"),       QStringLiteral("00"),
                                QStringLiteral("--interval"),     QStringLiteral("86400")};

// The commands an engineer starts with, through a terminal server in each of its modes: every
// request carries FFh (the workstation's address), every reply too, so each answer shown has come
// through the escaping both ways.
TEST(NetworkCliTest, InfoAndReadAllThroughSer2netRawAndRfc2217) {
    for (const bool telnet : {false, true}) {
        SCOPED_TRACE(telnet ? "rfc2217" : "raw");
        Simulator sim(kFewMeters);
        ASSERT_FALSE(sim.Port().isEmpty());
        Ser2net server(sim.Port(), telnet);
        if (!server.Ready()) {
            GTEST_SKIP() << "ser2net is not installed";
        }
        QTemporaryDir data;
        const QStringList common = {QStringLiteral("--port"), server.Address(), QStringLiteral("--data-dir"),
                                    data.path()};
        const Outcome info = Cli(QStringList{QStringLiteral("info")} + common);
        EXPECT_EQ(info.status, 0) << info.err.toStdString();
        EXPECT_TRUE(info.out.contains(QStringLiteral("Версия: LUMVARIS-SIM 1.0"))) << info.out.toStdString();
        EXPECT_TRUE(info.out.contains(QStringLiteral("UART-ID: 2FFF")));
        EXPECT_EQ(info.err.trimmed(), QStringLiteral("Подключение к %1…").arg(server.Address()));

        const Outcome all = Cli(QStringList{QStringLiteral("read-all")} + common);
        EXPECT_EQ(all.status, 0) << all.err.toStdString();
        EXPECT_TRUE(all.out.contains(QStringLiteral("Все 16: без ответа 0"))) << all.out.toStdString();
        const QString stem =
            QStringLiteral("%1-127.0.0.1-%2").arg(telnet ? "rfc2217" : "tcp").arg(server.Port());
        EXPECT_TRUE(QFileInfo::exists(data.filePath(stem + QStringLiteral("-PACKETS.bin"))))
            << QDir(data.path()).entryList().join(QLatin1Char(' ')).toStdString();
        // The request frames reached the serial side whole: source FFFF, as the log shows them.
        EXPECT_FALSE(sim.LogLines(QStringLiteral("FF FF")).isEmpty());
    }
}

// What no one answers, and what is no address, are said before anything is sent.
TEST(NetworkCliTest, ARefusedOrMalformedAddressIsSaidWithItsReason) {
    QTemporaryDir data;
    const quint16 nobody = FreePort();
    const Outcome refused =
        Cli({QStringLiteral("info"), QStringLiteral("--port"),
             QStringLiteral("tcp://127.0.0.1:%1").arg(nobody), QStringLiteral("--data-dir"), data.path()});
    EXPECT_EQ(refused.status, 2) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(QStringLiteral("127.0.0.1:%1 отказал в соединении").arg(nobody)))
        << refused.err.toStdString();
    const Outcome bad = Cli({QStringLiteral("info"), QStringLiteral("--port"),
                             QStringLiteral("tcp://::1:4001"), QStringLiteral("--data-dir"), data.path()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("в квадратных скобках"))) << bad.err.toStdString();
    EXPECT_TRUE(QDir(data.path()).entryList(QDir::Files).isEmpty());
}

}  // namespace
}  // namespace lumvaris::cli

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
