// lumvaris-cli collect as a child process: a fleet of simulators (a pseudo-terminal, a TCP server,
// a modem calling in) served at once, its metrics endpoint, systemd's notify socket, the sites
// file read again on SIGHUP, and the end on SIGTERM.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "CliProcess.h"

namespace lumvaris::cli {
namespace {

void Write(const QString& path, const QString& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

QString SiteEntry(const QString& name, const QString& port, const QString& readings,
                  const QString& extra = {}) {
    return QStringLiteral("[[site]]\nname = \"%1\"\nport = \"%2\"\ndb = [\"jsonl:%3\"]\n%4\n")
        .arg(name, port, readings, extra);
}

// The records of a JSON Lines destination, and whether each carries `site`.
int Records(const QString& path, const QString& site, bool* allOfSite) {
    QFile file(path);
    *allOfSite = true;
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    int count = 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.isEmpty()) {
            ++count;
            *allOfSite =
                *allOfSite && QJsonDocument::fromJson(line).object().value("site").toString() == site;
        }
    }
    return count;
}

// A datagram socket of the test where NOTIFY_SOCKET points.
struct NotifySocket {
    QTemporaryDir dir;
    int fd = -1;
    QString path;
    NotifySocket() {
        path = dir.filePath(QStringLiteral("notify"));
        fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = path.toLocal8Bit();
        std::memcpy(address.sun_path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~NotifySocket() { ::close(fd); }
    QString received;
    void Read() {
        char buffer[512];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            received += QString::fromUtf8(buffer, static_cast<qsizetype>(n)) + QLatin1Char('\n');
        }
    }
};

QString Get(quint16 port, const QString& path) {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000)) {
        return {};
    }
    socket.write(
        QStringLiteral("GET %1 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n").arg(path).toLatin1());
    QByteArray answer;
    while (socket.waitForReadyRead(5000)) {
        answer += socket.readAll();
    }
    return QString::fromUtf8(answer + socket.readAll());
}

struct Collecting : Running {
    Collecting(const QStringList& arguments, const QProcessEnvironment& environment)
        : Running(QStringList{"collect"} + arguments, environment) {}
};

TEST(CliCollect, AFleetOfThreeFilesAtOnceFollowsTheFileOnSighupAndEndsOnSigterm) {
    QTemporaryDir data;
    Simulator serial({"--interval", "1"});
    Simulator network({"--tcp", "0", "--interval", "1"});
    Simulator later({"--tcp", "0", "--interval", "1"});
    const QString sites = data.filePath(QStringLiteral("sites.toml"));
    const auto readings = [&](const QString& name) { return data.filePath(name + QStringLiteral(".jsonl")); };
    const QString caller = SiteEntry("caller", "calls-in", readings("caller"), "uart_id = \"2A01\"");
    Write(sites, SiteEntry("serial", serial.Port(), readings("serial"), "read_packets_every = 6") +
                     SiteEntry("network", network.Port(), readings("network"), "local_files = true") +
                     caller);

    NotifySocket notify;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), notify.path);
    Collecting collect(
        {"--sites", sites, "--data-dir", data.path(), "--accept", "127.0.0.1:0", "--metrics", "0"},
        environment);
    ASSERT_TRUE(collect.Heard(QStringLiteral("Сборщик запущен: участков 3"))) << collect.err.toStdString();
    const quint16 accept = collect.Port(QStringLiteral("звонков концентраторов на 127\\.0\\.0\\.1:(\\d+)"));
    const quint16 metrics = collect.Port(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)/metrics"));
    ASSERT_TRUE(RunUntil([&] {
        notify.Read();
        return notify.received.contains(QStringLiteral("READY=1"));
    }));
    Simulator calling({"--call", QStringLiteral("127.0.0.1:%1").arg(accept), "--uart-id", "2A01",
                       "--call-ident", "LMV2A01", "--interval", "1"});

    // The buffers of the serial site fall due at the start; its summary is its log line.
    EXPECT_TRUE(collect.Heard(QStringLiteral(
        "Участок «serial»: задание «чтение буферов 'последних пакетов'» выполнено: Все 256: без ответа 0")))
        << collect.err.toStdString();
    EXPECT_TRUE(collect.Heard(QStringLiteral("Участок «caller»: на связи (звонок концентратора 2A01)")));
    // Every site files its own concentrator's packets into its own destination.
    for (const char* name : {"serial", "network", "caller"}) {
        bool ofSite = false;
        EXPECT_TRUE(RunUntil([&] { return Records(readings(name), name, &ofSite) >= 2; })) << name;
        EXPECT_TRUE(ofSite) << name;
    }
    // The sites' series, as a scrape finds them once the next tick has counted what was filed.
    QStringList expected{
        QStringLiteral("lumvaris_site_jobs_total{site=\"serial\",job=\"read_packets\",result=\"ok\"} 1")};
    for (const char* name : {"serial", "network", "caller"}) {
        expected << QStringLiteral("lumvaris_site_connected{site=\"%1\"} 1").arg(name)
                 << QStringLiteral("lumvaris_site_records_filed_total{site=\"%1\"} ").arg(name);
    }
    QString scraped;
    const auto has = [&](const QString& line) {
        // A counter still at 0 is not what is looked for.
        return scraped.contains(line) && !scraped.contains(line + QLatin1Char('0') + QLatin1Char('\n'));
    };
    RunUntil([&] {
        scraped = Get(metrics, QStringLiteral("/metrics"));
        return std::all_of(expected.begin(), expected.end(), has);
    });
    for (const QString& line : expected) {
        EXPECT_TRUE(has(line)) << line.toStdString() << "\n" << scraped.toStdString();
    }

    // The serial site taken out, another network one put in; the caller goes on.
    Write(sites, SiteEntry("network", network.Port(), readings("network"), "local_files = true") + caller +
                     SiteEntry("later", later.Port(), readings("later")));
    collect.Signal(SIGHUP);
    ASSERT_TRUE(collect.Heard(QStringLiteral("Файл участков принят: добавлено 1, снято 1, изменено 0.")))
        << collect.err.toStdString();
    EXPECT_TRUE(collect.Heard(QStringLiteral("Участок «serial»: снят с работы (сохранено).")));
    bool ofSite = false;
    EXPECT_TRUE(RunUntil([&] { return Records(readings("later"), "later", &ofSite) >= 1; }));
    EXPECT_FALSE(Get(metrics, QStringLiteral("/metrics")).contains(QStringLiteral("site=\"serial\"")));

    // A file that does not parse: its error said, every site goes on.
    Write(sites, QStringLiteral("[[site]]\nname = \n"));
    collect.Signal(SIGHUP);
    ASSERT_TRUE(collect.Heard(QStringLiteral("Файл участков не принят: участки работают, как прежде.")));
    EXPECT_TRUE(collect.err.contains(QStringLiteral("sites.toml:2:")));
    const int before = Records(readings("caller"), "caller", &ofSite);
    EXPECT_TRUE(RunUntil([&] { return Records(readings("caller"), "caller", &ofSite) > before; }));

    collect.Signal(SIGTERM);
    ASSERT_TRUE(collect.cli.waitForFinished(40000));
    EXPECT_EQ(collect.cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(collect.cli.exitCode(), 0) << collect.err.toStdString();
    collect.err += QString::fromUtf8(collect.cli.readAllStandardError());
    EXPECT_TRUE(collect.err.endsWith(QStringLiteral("Сборщик остановлен: всё сохранено.\n")))
        << collect.err.toStdString();
    notify.Read();
    EXPECT_TRUE(notify.received.contains(QStringLiteral("STOPPING=1")));
    // Every site's readings are in the one store, each as often as its destination got it; port
    // files only for the site that keeps them.
    QProcess query;
    query.start(QStringLiteral("sqlite3"),
                {QStringLiteral("-readonly"), data.filePath(QStringLiteral("readings.sqlite")),
                 QStringLiteral("SELECT site, COUNT(*) FROM readings GROUP BY site ORDER BY site")});
    ASSERT_TRUE(query.waitForFinished(10000));
    const QStringList stored =
        QString::fromUtf8(query.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(stored.size(), 4) << stored.join(' ').toStdString();
    for (const QString& row : stored) {
        const QString name = row.section('|', 0, 0);
        bool ofSite = false;
        EXPECT_EQ(row.section('|', 1).toInt(), Records(readings(name), name, &ofSite)) << row.toStdString();
    }
    const QStringList saved = QDir(data.path()).entryList({QStringLiteral("*-PACKETS.bin")});
    EXPECT_EQ(
        saved,
        QStringList{QStringLiteral("tcp-127.0.0.1-%1-PACKETS.bin").arg(network.Port().section(':', -1))});
}

// A serial port that closes under a site (the simulator ends, as a pulled adapter) is said once
// and the collector goes on, its other work untouched, to the end of a SIGTERM.
TEST(CliCollect, ASerialPortLostIsSaidAndTheCollectorGoesOn) {
    QTemporaryDir data;
    auto serial = std::make_unique<Simulator>(QStringList{"--interval", "1"});
    const QString sites = data.filePath(QStringLiteral("sites.toml"));
    Write(sites, SiteEntry("pulled", serial->Port(), data.filePath(QStringLiteral("r.jsonl"))));
    Collecting collect({"--sites", sites, "--data-dir", data.path()},
                       QProcessEnvironment::systemEnvironment());
    ASSERT_TRUE(collect.Heard(QStringLiteral("Участок «pulled»: концентратор опознан")))
        << collect.err.toStdString();
    serial.reset();
    EXPECT_TRUE(collect.Heard(QStringLiteral("Участок «pulled»: связь потеряна; повтор через 30 с.")))
        << collect.err.toStdString();
    // Among a fleet's lines the reason is worth only as much as the site it names.
    EXPECT_TRUE(collect.err.contains(QStringLiteral("Участок «pulled»: причина потери связи: ")));
    EXPECT_FALSE(collect.err.contains(QStringLiteral("ВНИМАНИЕ!"))) << collect.err.toStdString();
    collect.Signal(SIGTERM);
    ASSERT_TRUE(collect.cli.waitForFinished(40000));
    EXPECT_EQ(collect.cli.exitCode(), 0) << collect.err.toStdString();
}

// A command line or a sites file that cannot be served is refused whole: status 1, every error
// said, nothing opened, no files made.
TEST(CliCollect, ARefusedStartSaysEveryErrorAndOpensNothing) {
    QTemporaryDir data;
    const QString sites = data.filePath(QStringLiteral("sites.toml"));
    const QString dir = data.filePath(QStringLiteral("d"));
    struct Case {
        const char* name;
        QString file;
        QStringList arguments;
        QStringList said;
    } cases[] = {
        {"two mistakes",
         "[[site]]\nname = \"a\"\nport = \"ttyUSB0\"\nbaud = 1\n[[site]]\nname = \"b\"\nport = "
         "\"ttyUSB1\"\nx = 1\n",
         {"--sites", sites, "--data-dir", dir},
         {"sites.toml:4:", "sites.toml:8:"}},
        {"calls in without --accept",
         "[[site]]\nname = \"a\"\nport = \"calls-in\"\nuart_id = \"2A01\"\n",
         {"--sites", sites, "--data-dir", dir},
         {"нужен --accept"}},
        {"no file", {}, {"--data-dir", dir}, {"collect --sites ФАЙЛ"}},
        {"a port on the command line", {}, {"--sites", sites, "--port", "ttyUSB0"}, {"--port не относится"}},
    };
    for (const Case& c : cases) {
        Write(sites, c.file);
        const Outcome run = Cli(QStringList{"collect"} + c.arguments);
        EXPECT_EQ(run.status, 1) << c.name << run.err.toStdString();
        for (const QString& part : c.said) {
            EXPECT_TRUE(run.err.contains(part)) << c.name << ": " << run.err.toStdString();
        }
        EXPECT_TRUE(QDir(dir).entryList(QDir::Files).isEmpty()) << c.name;
    }
}

}  // namespace
}  // namespace lumvaris::cli

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
