// lumvaris-cli listen --accept as a child process, called by a concentrator the test plays on a
// socket of its own (identified by its answer to AddressRead, its packets filed, its lost call
// awaited again rather than dialled), and by simulators calling as modems, several at once.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <vector>

#include "CliProcess.h"
#include "link/Frame.h"

namespace lumvaris::cli {
namespace {

QByteArray Frame(std::uint16_t source, std::vector<std::uint8_t> payload) {
    link::FrameBuffer frame{};
    link::FillHeader(frame, source, 0xFFFF, static_cast<std::uint8_t>(payload.size()), payload[0]);
    std::copy(payload.begin() + 1, payload.end(), link::Payload(frame) + 1);
    const std::size_t n = link::CompleteFrame(frame);
    return {reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(n)};
}

// Concentrator 2A01 on a modem that called: answers AddressRead to 2A01 with its address and a
// live packet of meter 5 right behind.
struct Concentrator {
    QTcpSocket socket;
    QByteArray line;
    explicit Concentrator(quint16 port) {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] {
            line += socket.readAll();
            for (qsizetype at = 0; at + 10 <= line.size(); ++at) {
                const auto* b = reinterpret_cast<const std::uint8_t*>(line.constData() + at);
                if (link::CheckHeaderCrc(b) && b[7] == 1 && b[8] == 0x86 && link::ReadWord(b + 5) == 0x2A01) {
                    socket.write(Frame(0x2A01, {0x86, 0x01, 0x2A}) +
                                 Frame(0x1005, {0x40, 0x1F, 0, 0, 0, 0x24}));
                    line.clear();
                    return;
                }
            }
        });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
};

TEST(CliCallIn, ListenAcceptsACallFilesItsPacketsAndAwaitsTheNextCallAfterALoss) {
    QTemporaryDir data;
    Accepting listen({"--allow", "2a01", "--data-dir", data.path()});
    ASSERT_NE(listen.port, 0) << listen.err.toStdString();

    auto call = std::make_unique<Concentrator>(listen.port);
    ASSERT_TRUE(listen.Heard(QStringLiteral("Концентратор 2A01 на связи"))) << listen.err.toStdString();
    // The packet behind the answer came before the call was handed over; it is filed all the same.
    QDir files(data.path());
    ASSERT_TRUE(RunUntil([&] { return !files.entryList({QStringLiteral("tcp-uart-2a01-*")}).isEmpty(); }));
    call.reset();  // the modem hangs up
    listen.err.clear();
    ASSERT_TRUE(listen.Heard(QStringLiteral("Ожидание следующего звонка на 127.0.0.1:%1.").arg(listen.port)))
        << listen.err.toStdString();
    call = std::make_unique<Concentrator>(listen.port);
    ASSERT_TRUE(listen.Heard(QStringLiteral("Концентратор 2A01 на связи"))) << listen.err.toStdString();
    // The same concentrator calls again while its last call seems alive: the new call replaces it.
    auto again = std::make_unique<Concentrator>(listen.port);
    ASSERT_TRUE(listen.Heard(QStringLiteral("Концентратор 2A01 позвонил снова: связь заменена.")))
        << listen.err.toStdString();
    ASSERT_TRUE(RunUntil([&] { return call->socket.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(again->socket.state(), QAbstractSocket::ConnectedState);

    ASSERT_TRUE(listen.Stop());
    EXPECT_EQ(listen.cli.exitCode(), 0) << listen.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(listen.cli.readAllStandardOutput()), QStringLiteral("Пакетов принято: 3\n"))
        << listen.err.toStdString();
}

// The readings of a JSON Lines destination, per UART-ID, with the sites they carried.
struct Lines {
    std::map<QString, int> perUartId;
    std::map<QString, QString> siteOf;
    int total = 0;
    bool whole = true;  // every line one JSON object
};
Lines ReadLines(const QString& path) {
    QFile file(path);
    Lines lines;
    if (!file.open(QIODevice::ReadOnly)) {
        return lines;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (object.isEmpty()) {
            lines.whole = false;
            continue;
        }
        const QString uartId = object.value(QStringLiteral("uart_id")).toString();
        ++lines.perUartId[uartId];
        lines.siteOf[uartId] = object.value(QStringLiteral("site")).toString();
        ++lines.total;
    }
    return lines;
}

TEST(CliCallIn, TwoConcentratorsCallAtOnceEachFilesIntoItsOwnSiteAndARedialDisturbsNeitherOne) {
    QTemporaryDir data;
    const QString readings = data.filePath(QStringLiteral("readings.jsonl"));
    Accepting listen({"--allow", "2A01,2A02", "--ident", "LMV([0-9A-F]{4})", "--db",
                      QStringLiteral("jsonl:") + readings, "--data-dir", data.path()});
    ASSERT_NE(listen.port, 0) << listen.err.toStdString();
    // 2A02's modem hangs up every 1.5 s and calls again; 2A01's stays. Both fall silent after
    // 3.5 s, so that every packet they sent has arrived when the stop comes.
    QElapsedTimer running;
    running.start();
    Simulator first({"--call", listen.Modem(), "--uart-id", "2A01", "--call-ident", "LMV2A01", "--interval",
                     "0.1", "--silent-after", "3.5"});
    Simulator second({"--call", listen.Modem(), "--uart-id", "2A02", "--call-ident", "LMV2A02", "--interval",
                      "0.1", "--hangup-after", "1.5", "--redial-ms", "300", "--silent-after", "3.5"});
    ASSERT_TRUE(listen.Heard(QStringLiteral("Концентратор 2A01 на связи"))) << listen.err.toStdString();
    ASSERT_TRUE(listen.Heard(QStringLiteral("Концентратор 2A02 на связи"))) << listen.err.toStdString();
    ASSERT_TRUE(listen.Heard(QStringLiteral("Концентратор 2A02 (127.0.0.1:")));
    ASSERT_TRUE(
        listen.Heard(QStringLiteral("): связь потеряна. Ожидание следующего звонка на ") + listen.Modem()));
    const int firstBefore = ReadLines(readings).perUartId["2A01"];
    listen.err.clear();
    ASSERT_TRUE(listen.Heard(QStringLiteral("Концентратор 2A02 на связи"))) << listen.err.toStdString();
    // While 2A02 was away and back, 2A01 went on filing, its call never touched.
    ASSERT_TRUE(RunUntil([&] { return ReadLines(readings).perUartId["2A01"] >= firstBefore + 5; }));
    ASSERT_TRUE(RunUntil([&] { return ReadLines(readings).perUartId["2A02"] > 0; }));
    EXPECT_EQ(listen.Count(QStringLiteral("Концентратор 2A01 (")), 0) << listen.err.toStdString();
    ASSERT_TRUE(RunUntil([&] { return running.elapsed() > 4000; }));

    QElapsedTimer stopping;
    stopping.start();
    ASSERT_TRUE(listen.Stop());
    EXPECT_LT(stopping.elapsed(), 5000);
    EXPECT_EQ(listen.cli.exitCode(), 0) << listen.err.toStdString();
    // Every packet of both, those of 2A02's earlier calls too, in the sum; each reading under its
    // own site.
    const qsizetype sent = first.LogLines(QStringLiteral("| meter packet")).size() +
                           second.LogLines(QStringLiteral("| meter packet")).size();
    EXPECT_EQ(QString::fromUtf8(listen.cli.readAllStandardOutput()),
              QStringLiteral("Пакетов принято: %1\n").arg(sent))
        << listen.err.toStdString();
    const Lines lines = ReadLines(readings);
    EXPECT_TRUE(lines.whole);
    const QString host = QStringLiteral("@") + QSysInfo::machineHostName().section(QLatin1Char('.'), 0, 0);
    EXPECT_EQ(lines.siteOf.at("2A01"), QStringLiteral("tcp-uart-2a01-%1").arg(listen.port) + host);
    EXPECT_EQ(lines.siteOf.at("2A02"), QStringLiteral("tcp-uart-2a02-%1").arg(listen.port) + host);
    QDir files(data.path());
    for (const char* uartId : {"2a01", "2a02"}) {
        EXPECT_EQ(files.entryList({QStringLiteral("tcp-uart-%1-%2-PACKETS.bin").arg(uartId).arg(listen.port)})
                      .size(),
                  1)
            << uartId;
    }
}

// Strangers at the accept port while a concentrator files: 200 connections that say nothing, junk
// senders and a flooder. The concentrator's packets go on arriving at their pace, and the
// collector is still there to take a new call afterwards.
TEST(CliCallIn, IdleJunkAndFloodingPeersNeverDelayAConcentratorThatFiles) {
    QTemporaryDir data;
    const QString readings = data.filePath(QStringLiteral("readings.jsonl"));
    Accepting listen({"--allow", "2A01", "--ident", "LMV([0-9A-F]{4})", "--db",
                      QStringLiteral("jsonl:") + readings, "--data-dir", data.path()});
    ASSERT_NE(listen.port, 0) << listen.err.toStdString();
    Simulator good(
        {"--call", listen.Modem(), "--uart-id", "2A01", "--call-ident", "LMV2A01", "--interval", "0.1"});
    ASSERT_TRUE(listen.Heard(QStringLiteral("Концентратор 2A01 на связи"))) << listen.err.toStdString();
    ASSERT_TRUE(RunUntil([&] { return ReadLines(readings).total >= 5; }));

    std::vector<std::unique_ptr<QTcpSocket>> strangers;
    for (int i = 0; i < 220; ++i) {
        strangers.push_back(std::make_unique<QTcpSocket>());
        strangers.back()->connectToHost(QHostAddress::LocalHost, listen.port);
    }
    QByteArray junk(64 * 1024, '\xFF');
    for (int i = 200; i < 220; ++i) {
        strangers[static_cast<std::size_t>(i)]->write(i < 210 ? QByteArray("AT+CSQ\r\n+CSQ: 31,0\r\n")
                                                              : junk);
    }
    // Two seconds with the strangers there: the concentrator's ten packets a second keep coming.
    const int before = ReadLines(readings).total;
    QElapsedTimer watched;
    watched.start();
    RunUntil([&] { return watched.elapsed() > 2000; }, 3000);
    EXPECT_GE(ReadLines(readings).total - before, 12) << listen.err.toStdString();
    EXPECT_EQ(listen.Count(QStringLiteral("Концентратор 2A01 (")), 0) << "the good call was never touched";
    strangers.clear();

    // Taken by the system at once; the collector may still be closing the strangers and close this
    // one too as one over the limit, so its connection is caught as it comes.
    Concentrator late(listen.port);
    bool connected = false;
    QObject::connect(&late.socket, &QTcpSocket::connected, [&connected] { connected = true; });
    EXPECT_TRUE(RunUntil([&] { return connected; }));
    ASSERT_TRUE(listen.Stop());
    EXPECT_EQ(listen.cli.exitCode(), 0) << listen.err.toStdString();
}

TEST(CliCallIn, ACallOverTheLimitIsClosedAndSaidOnceWhileItRedials) {
    QTemporaryDir data;
    const QString readings = data.filePath(QStringLiteral("readings.jsonl"));
    Accepting listen({"--allow", "all", "--ident", "LMV([0-9A-F]{4})", "--max-calls", "1", "--site", "ТП-9",
                      "--db", QStringLiteral("jsonl:") + readings, "--data-dir", data.path()});
    ASSERT_NE(listen.port, 0) << listen.err.toStdString();
    Simulator first({"--call", listen.Modem(), "--uart-id", "2A01", "--call-ident", "LMV2A01"});
    ASSERT_TRUE(listen.Heard(QStringLiteral("Концентратор 2A01 на связи"))) << listen.err.toStdString();
    Simulator second(
        {"--call", listen.Modem(), "--uart-id", "2A02", "--call-ident", "LMV2A02", "--redial-ms", "200"});
    ASSERT_TRUE(listen.Heard(QStringLiteral("Звонок концентратора 2A02 (127.0.0.1:")));
    ASSERT_TRUE(listen.Heard(QStringLiteral(
        ") закрыт: на связи уже 1 концентраторов (предел). Следующие такие закрытия записываются не чаще "
        "раза в 10 с.")))
        << listen.err.toStdString();
    // The modem redials every 200 ms: each call is closed, the line is not said again.
    ASSERT_TRUE(RunUntil([&] { return second.LogLines(QStringLiteral("call answered")).size() >= 4; }))
        << listen.err.toStdString();
    EXPECT_EQ(listen.Count(QStringLiteral("(предел)")), 1) << listen.err.toStdString();
    EXPECT_EQ(listen.Count(QStringLiteral("2A02 на связи")), 0) << listen.err.toStdString();
    // A site given is each concentrator's with its UART-ID: one site for all would have a lost call
    // tell the broker that every one of them is offline.
    ASSERT_TRUE(RunUntil([&] { return ReadLines(readings).total > 0; }));
    const Lines lines = ReadLines(readings);
    EXPECT_EQ(lines.siteOf.size(), 1u);
    EXPECT_EQ(lines.siteOf.begin()->second, QStringLiteral("ТП-9-2A01"));
}

TEST(CliCallIn, BadAcceptOptionsAreRefusedAndABusyAddressSaid) {
    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress::LocalHost, 0));
    const struct {
        QStringList arguments;
        int status;
        const char* said;
    } cases[] = {
        {{"listen", "--accept", "4001"}, 1, "Не указано, чьи звонки принимать"},
        {{"listen", "--accept", "::1:4001", "--allow", "all"}, 1, "в квадратных скобках"},
        {{"listen", "--accept", "70000", "--allow", "all"}, 1, "порт должен быть числом от 0 до 65535"},
        {{"listen", "--accept", "4001", "--allow", "1005"}, 1, "--allow: UART-ID 1005 не годится"},
        {{"listen", "--accept", "4001", "--allow", "2A01,xyz"}, 1, "«xyz» - не UART-ID"},
        {{"listen", "--accept", "4001", "--allow", "all", "--ident", "ID:[0-9A-F]{4}"},
         1,
         "ровно одна группа"},
        {{"listen", "--port", "ttyUSB0", "--allow", "all"}, 1, "действуют только с --accept"},
        {{"listen", "--port", "ttyUSB0", "--max-calls", "2"}, 1, "действуют только с --accept"},
        {{"listen", "--accept", "4001", "--allow", "all", "--max-calls", "0"},
         1,
         "--max-calls: «0» - не число"},
        {{"listen", "--port", "ttyUSB0", "--accept", "4001", "--allow", "all"}, 1, "не обоими"},
        {{"info", "--accept", "4001"}, 1, "Параметр --accept не относится к команде info."},
        {{"listen", "--accept", "4001", "--allow", "all", "--uart-id", "2A01"},
         1,
         "вместо --uart-id - --allow"},
        {{"listen", "--accept", QStringLiteral("127.0.0.1:%1").arg(busy.serverPort()), "--allow", "all"},
         2,
         "Не удалось ждать входящих подключений на 127.0.0.1:"},
    };
    QTemporaryDir data;
    for (const auto& c : cases) {
        const Outcome run = Cli(c.arguments + QStringList{QStringLiteral("--data-dir"), data.path()});
        EXPECT_EQ(run.status, c.status) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.said))) << run.err.toStdString();
    }
}

}  // namespace
}  // namespace lumvaris::cli

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
