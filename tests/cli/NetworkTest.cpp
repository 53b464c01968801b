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

#include "CliProcess.h"
#include "support/Ser2net.h"

namespace lumvaris::cli {
namespace {

using testing::FreePort;
using testing::Ser2net;

const QStringList kFewMeters = {"--meters", "8",  "--network-size", "8",
                                "--config", "00", "--interval",     "86400"};

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
        const QStringList common = {"--port", server.Address(), "--data-dir", data.path()};
        const Outcome info = Cli(QStringList{"info"} + common);
        EXPECT_EQ(info.status, 0) << info.err.toStdString();
        EXPECT_TRUE(info.out.contains(QStringLiteral("Версия: LUMVARIS-SIM 1.0"))) << info.out.toStdString();
        EXPECT_TRUE(info.out.contains(QStringLiteral("UART-ID: 2FFF")));
        EXPECT_EQ(info.err.trimmed(), QStringLiteral("Подключение к %1…").arg(server.Address()));

        const Outcome all = Cli(QStringList{"read-all"} + common);
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
        arguments += {"--tcp", "0"};
        if (telnet) {
            arguments << "--rfc2217";
        }
        Simulator sim(arguments);
        ASSERT_TRUE(sim.Port().startsWith(telnet ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:"))
            << sim.Port().toStdString();
        QTemporaryDir data;
        const QStringList common = {"--port", sim.Port(), "--data-dir", data.path()};
        const Outcome info = Cli(QStringList{"info"} + common);
        EXPECT_EQ(info.status, 0) << info.err.toStdString();
        EXPECT_TRUE(info.out.contains(QStringLiteral("Скорость порта концентратора: 38400")))
            << info.out.toStdString();
        const Outcome all = Cli(QStringList{"read-all", "--pace", "reply"} + common);
        EXPECT_EQ(all.status, 0) << all.err.toStdString();
        EXPECT_TRUE(all.out.contains(QStringLiteral("Все 16: без ответа 0"))) << all.out.toStdString();

        const Outcome rate = Cli(QStringList{"send", QStringLiteral("UartRateWrite"), "01"} + common);
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
    arguments += {"--tcp", "0", "--hangup-after-requests", "7"};
    Simulator sim(arguments);
    QTemporaryDir data;
    const QStringList common = {"--port", sim.Port(), "--data-dir", data.path()};
    const Outcome all = Cli(QStringList{"read-all", "--json"} + common);
    EXPECT_EQ(all.status, 2) << all.err.toStdString();
    EXPECT_TRUE(all.err.contains(QStringLiteral("Связь с коммуникационным портом потеряна")))
        << all.err.toStdString();
    const QString summary = all.Json().value("summary").toString();
    EXPECT_TRUE(summary.startsWith(QStringLiteral("Стоп "))) << all.out.toStdString();
    const int delivered = all.Json().value("delivered").toInt();
    EXPECT_GE(delivered, 1);
    EXPECT_LE(delivered, 5) << "ConfigRead and AddressRead came first";
    EXPECT_TRUE(all.err.contains(QStringLiteral("Проверьте сеть до концентратора"))) << all.err.toStdString();
    const Outcome again = Cli(QStringList{"clock"} + common);
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
}

// What no one answers, and what is no address, are said before anything is sent.
TEST(NetworkCliTest, ARefusedOrMalformedAddressIsSaidWithItsReason) {
    QTemporaryDir data;
    const quint16 nobody = FreePort();
    const struct {
        QString address;
        int status;
        QString said;
    } cases[] = {
        {QStringLiteral("tcp://127.0.0.1:%1").arg(nobody), 2,
         QStringLiteral("127.0.0.1:%1 отказал в соединении").arg(nobody)},
        {"tcp://::1:4001", 1, QStringLiteral("в квадратных скобках")},
    };
    for (const auto& c : cases) {
        const Outcome run = Cli({"info", "--port", c.address, "--data-dir", data.path()});
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.said)) << run.err.toStdString();
    }
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
    Running listen({"listen", "--port", server.Address(), "--data-dir", data.path()});
    ASSERT_TRUE(listen.Heard(QStringLiteral("Запись пакетов"))) << listen.err.toStdString();
    QThread::msleep(1000);
    ASSERT_EQ(kill(static_cast<pid_t>(sim.Pid()), SIGSTOP), 0);
    QElapsedTimer stopped;
    stopped.start();
    ASSERT_TRUE(listen.Heard(
        QStringLiteral("Связь с коммуникационным портом потеряна (нет ответа по сети 50 с)"), 70000))
        << listen.err.toStdString();
    EXPECT_LT(stopped.elapsed(), 60000);
    EXPECT_GT(stopped.elapsed(), 45000) << "not before the concentrator had its time";
    kill(static_cast<pid_t>(sim.Pid()), SIGCONT);
    EXPECT_TRUE(listen.Heard(QStringLiteral("Связь восстановлена."))) << listen.err.toStdString();
    ASSERT_TRUE(listen.Stop(40000));
    EXPECT_EQ(listen.cli.exitCode(), 0) << listen.err.toStdString();
}

}  // namespace
}  // namespace lumvaris::cli

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
