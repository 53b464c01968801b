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
#include "support/Ser2net.h"

namespace lumvaris::cli {
namespace {

using testing::FreePort;
using testing::Ser2net;

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

// The simulator's own network modes: raw TCP and Telnet. Over Telnet the concentrator's change of
// rate reaches the far line over the same connection (the simulator logs the rate set).
TEST(NetworkCliTest, InfoReadAllAndARateChangeOverTheSimulatorsOwnTcpModes) {
    for (const bool telnet : {false, true}) {
        SCOPED_TRACE(telnet ? "rfc2217" : "raw");
        QStringList arguments = kFewMeters;
        arguments << QStringLiteral("--tcp") << QStringLiteral("0");
        if (telnet) {
            arguments << QStringLiteral("--rfc2217");
        }
        Simulator sim(arguments);
        ASSERT_TRUE(sim.Port().startsWith(telnet ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:"))
            << sim.Port().toStdString();
        QTemporaryDir data;
        const QStringList common = {QStringLiteral("--port"), sim.Port(), QStringLiteral("--data-dir"),
                                    data.path()};
        const Outcome info = Cli(QStringList{QStringLiteral("info")} + common);
        EXPECT_EQ(info.status, 0) << info.err.toStdString();
        EXPECT_TRUE(info.out.contains(QStringLiteral("Скорость порта концентратора: 38400")))
            << info.out.toStdString();
        const Outcome all =
            Cli(QStringList{QStringLiteral("read-all"), QStringLiteral("--pace"), QStringLiteral("reply")} +
                common);
        EXPECT_EQ(all.status, 0) << all.err.toStdString();
        EXPECT_TRUE(all.out.contains(QStringLiteral("Все 16: без ответа 0"))) << all.out.toStdString();

        const Outcome rate =
            Cli(QStringList{QStringLiteral("send"), QStringLiteral("UartRateWrite"), QStringLiteral("01")} +
                common);
        EXPECT_EQ(rate.status, 0) << rate.err.toStdString();
        if (telnet) {
            EXPECT_FALSE(sim.LogLines(QStringLiteral("rate 19200")).isEmpty()) << "the far line follows";
            EXPECT_FALSE(rate.err.contains(QStringLiteral("задаёт удалённая сторона")))
                << rate.err.toStdString();
        } else {
            EXPECT_TRUE(rate.err.contains(QStringLiteral("Концентратор работает на скорости 19200 бит/с.")))
                << rate.err.toStdString();
        }
    }
}

// The connection dropped in the middle of a read-all: the loss said, the summary saying how far it
// came, status 2, what was read before in the files; the next command connects again.
TEST(NetworkCliTest, AConnectionDroppedInTheMiddleOfAReadAllIsReportedHonestly) {
    QStringList arguments = kFewMeters;
    arguments << QStringLiteral("--tcp") << QStringLiteral("0") << QStringLiteral("--hangup-after-requests")
              << QStringLiteral("7");
    Simulator sim(arguments);
    QTemporaryDir data;
    const QStringList common = {QStringLiteral("--port"), sim.Port(), QStringLiteral("--data-dir"),
                                data.path()};
    const Outcome all = Cli(QStringList{QStringLiteral("read-all"), QStringLiteral("--json")} + common);
    EXPECT_EQ(all.status, 2) << all.err.toStdString();
    EXPECT_TRUE(all.err.contains(QStringLiteral("Связь с коммуникационным портом потеряна")))
        << all.err.toStdString();
    const QString summary = all.Json().value(QStringLiteral("summary")).toString();
    EXPECT_TRUE(summary.startsWith(QStringLiteral("Стоп "))) << all.out.toStdString();
    const int delivered = all.Json().value(QStringLiteral("delivered")).toInt();
    EXPECT_GE(delivered, 1);
    EXPECT_LE(delivered, 5) << "ConfigRead and AddressRead came first";
    EXPECT_TRUE(all.err.contains(QStringLiteral("Проверьте сеть до концентратора"))) << all.err.toStdString();
    const Outcome again = Cli(QStringList{QStringLiteral("clock")} + common);
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
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

// A peer whose system goes on acknowledging while nothing behind it answers: the simulator stopped
// behind ser2net. listen finds it within a minute, says so, connects again and, once the
// simulator runs again, hears it; SIGTERM then ends it with status 0.
TEST(NetworkCliTest, ListenFindsAHalfOpenLinkWithinAMinuteAndConnectsAgain) {
    Simulator sim(kFewMeters);
    Ser2net server(sim.Port(), false);
    if (!server.Ready()) {
        GTEST_SKIP() << "ser2net is not installed";
    }
    QTemporaryDir data;
    QProcess listen;
    QString err;
    listen.start(QStringLiteral(LUMVARIS_CLI_PATH),
                 {QStringLiteral("listen"), QStringLiteral("--port"), server.Address(),
                  QStringLiteral("--data-dir"), data.path()});
    const auto waitFor = [&](const QString& text, int ms) {
        QElapsedTimer time;
        time.start();
        while (!err.contains(text) && time.elapsed() < ms) {
            listen.waitForReadyRead(100);
            err += QString::fromUtf8(listen.readAllStandardError());
        }
        return err.contains(text);
    };
    ASSERT_TRUE(waitFor(QStringLiteral("Запись пакетов"), 15000)) << err.toStdString();
    QThread::msleep(1000);
    ASSERT_EQ(kill(static_cast<pid_t>(sim.Pid()), SIGSTOP), 0);
    QElapsedTimer stopped;
    stopped.start();
    ASSERT_TRUE(
        waitFor(QStringLiteral("Связь с коммуникационным портом потеряна (нет ответа по сети 50 с)"), 70000))
        << err.toStdString();
    EXPECT_LT(stopped.elapsed(), 60000);
    EXPECT_GT(stopped.elapsed(), 45000) << "not before the concentrator had its time";
    kill(static_cast<pid_t>(sim.Pid()), SIGCONT);
    EXPECT_TRUE(waitFor(QStringLiteral("Связь восстановлена."), 15000)) << err.toStdString();
    listen.terminate();
    ASSERT_TRUE(listen.waitForFinished(40000));
    EXPECT_EQ(listen.exitCode(), 0) << err.toStdString();
}

}  // namespace
}  // namespace lumvaris::cli

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
