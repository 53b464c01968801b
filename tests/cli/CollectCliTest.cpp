// lumvaris-cli collect as a child process: a fleet of simulators (a pseudo-terminal, a TCP server,
// a modem calling in) served at once, its metrics endpoint, systemd's notify socket, the sites
// file read again on SIGHUP, and the end on SIGTERM.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
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

// `count` consecutive ports of 127.0.0.1 free a moment ago, for a fleet of simulators.
int FreeBasePort(int count) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const int base = probe.serverPort();
        bool free = base > 0 && base + count <= 65535;
        std::vector<std::unique_ptr<QTcpServer>> held;
        for (int i = 1; free && i < count; ++i) {
            held.push_back(std::make_unique<QTcpServer>());
            free = held.back()->listen(QHostAddress::LocalHost, static_cast<quint16>(base + i));
        }
        if (free) {
            return base;
        }
    }
    return 0;
}

// The collector's lines, each with the moment it arrived (ms since the watch began).
struct TimedLines {
    QProcess& cli;
    QElapsedTimer since;
    QString partial;
    QString all;
    std::vector<std::pair<qint64, QString>> lines;
    bool Until(const std::function<bool()>& done) {
        return RunUntil(
            [&] {
                partial += QString::fromUtf8(cli.readAllStandardError());
                for (qsizetype end; (end = partial.indexOf('\n')) >= 0; partial.remove(0, end + 1)) {
                    lines.emplace_back(since.elapsed(), partial.left(end));
                    all += QStringLiteral("%1 %2\n").arg(since.elapsed()).arg(partial.left(end));
                }
                return done();
            },
            30000);
    }
    // When the first line holding `part` arrived; -1: none yet.
    qint64 When(const QString& part) const {
        const auto it =
            std::find_if(lines.begin(), lines.end(), [&](const auto& l) { return l.second.contains(part); });
        return it != lines.end() ? it->first : -1;
    }
};

// The live records of a JSON Lines destination.
int LiveRecords(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    int count = 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        count += QJsonDocument::fromJson(line).object().value("source").toString() == "live" ? 1 : 0;
    }
    return count;
}

QString ReadPacketsEntry(const QString& name, const QString& port, std::uint16_t uartId,
                         const QString& readings, const QString& extra = {}) {
    return SiteEntry(
        name, port, readings,
        QStringLiteral("uart_id = \"%1\"\nread_packets_every = 1\n%2").arg(uartId, 4, 16).arg(extra));
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
        QStringLiteral("lumvaris_site_jobs_total{site=\"serial\",job=\"read_packets\",result=\"ok\"} 1"),
        QStringLiteral("lumvaris_site_reply_seconds_count{site=\"serial\"} "),
        QStringLiteral("lumvaris_destination_records_sent_total{destination=\"jsonl:%1\"} ")
            .arg(readings("serial"))};
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

// Every site runs its jobs beside the others': the buffer reads of ten slow concentrators take
// about the time of one, and neither a site that floods the collector with packets nor one that
// falls silent holds up the good ones' reads or their packets.
TEST(CliCollect, SitesWorkSideBySideAndAFaultySiteHoldsUpNone) {
    QTemporaryDir data;
    constexpr int kGood = 10;
    const int base = FreeBasePort(kGood);
    ASSERT_GT(base, 0);
    // Sixteen meters at 100 ms a reply: a read of about two seconds each.
    Simulator good({"--fleet", QString::number(kGood), "--tcp", QString::number(base), "--uart-id", "2001",
                    "--delay", "100", "--network-size", "16", "--interval", "1"});
    const auto readings = [&](const QString& name) { return data.filePath(name + QStringLiteral(".jsonl")); };
    QString file = QStringLiteral("[collector]\nconnects_per_second = 100\nmax_connecting = 20\n");
    for (int i = 0; i < kGood; ++i) {
        const QString name = QStringLiteral("good%1").arg(i);
        file += ReadPacketsEntry(name, QStringLiteral("tcp://127.0.0.1:%1").arg(base + i),
                                 static_cast<std::uint16_t>(0x2001 + i), readings(name));
    }
    const struct Faulty {
        const char* name;
        QStringList simulator;
    } faulty[] = {
        {"flooding", {"--interval", "0.005", "--delay", "100", "--network-size", "16"}},
        {"silent", {"--silent-after-requests", "1"}},
    };
    std::vector<std::unique_ptr<Simulator>> faultySims;
    for (const Faulty& f : faulty) {
        faultySims.push_back(
            std::make_unique<Simulator>(QStringList{"--tcp", "0", "--uart-id", "2A00"} + f.simulator));
        file += ReadPacketsEntry(f.name, faultySims.back()->Port(), 0x2A00, readings(f.name));
    }
    const QString sites = data.filePath(QStringLiteral("sites.toml"));
    Write(sites, file);

    Collecting collect({"--sites", sites, "--data-dir", data.path()},
                       QProcessEnvironment::systemEnvironment());
    TimedLines lines{collect.cli};
    lines.since.start();
    const QString began = QStringLiteral("»: задание «чтение буферов 'последних пакетов'» начато.");
    const QString done =
        QStringLiteral("»: задание «чтение буферов 'последних пакетов'» выполнено: Все 16: без ответа 0");
    const auto goodLine = [](int i, const QString& part) { return QStringLiteral("«good%1").arg(i) + part; };
    EXPECT_TRUE(lines.Until([&] {
        for (int i = 0; i < kGood; ++i) {
            if (lines.When(goodLine(i, done)) < 0) {
                return false;
            }
        }
        return true;
    })) << lines.all.toStdString();
    // One after another, the reads would span the sum of their times; side by side, about one.
    qint64 first = std::numeric_limits<qint64>::max();
    qint64 last = 0;
    qint64 sum = 0;
    for (int i = 0; i < kGood; ++i) {
        const qint64 start = lines.When(goodLine(i, began));
        const qint64 end = lines.When(goodLine(i, done));
        first = std::min(first, start);
        last = std::max(last, end);
        sum += end - start;
    }
    EXPECT_LT((last - first) * 3, sum) << lines.all.toStdString();
    // The silent site's read is still waiting for its first reply, or has failed; not done.
    EXPECT_LT(lines.When(QStringLiteral("«silent") + done), 0);
    // The good sites' packets went on meanwhile (one a second each).
    RunUntil(
        [&] {
            for (int i = 0; i < kGood; ++i) {
                if (LiveRecords(readings(QStringLiteral("good%1").arg(i))) < 2) {
                    return false;
                }
            }
            return true;
        },
        10000);
    collect.Signal(SIGTERM);
    ASSERT_TRUE(collect.cli.waitForFinished(40000));
    EXPECT_EQ(collect.cli.exitCode(), 0);
    for (int i = 0; i < kGood; ++i) {
        EXPECT_GE(LiveRecords(readings(QStringLiteral("good%1").arg(i))), 2) << i;
    }
    EXPECT_GT(LiveRecords(readings("flooding")), 100);
}

// Connection attempts keep to the [collector] limits, the first ones and the retries after a loss
// alike: thirty concentrators that hang up after the first request are connected at most
// `connects_per_second` times in any second, as their simulator's log shows.
TEST(CliCollect, ConnectionAttemptsKeepToTheLimitPerSecond) {
    QTemporaryDir data;
    constexpr int kSites = 30;
    constexpr int kPerSecond = 5;
    const int base = FreeBasePort(kSites);
    ASSERT_GT(base, 0);
    Simulator fleet({"--fleet", QString::number(kSites), "--tcp", QString::number(base), "--uart-id", "2001",
                     "--hangup-after-requests", "1", "--meters", "0"});
    QString file = QStringLiteral("[collector]\nconnects_per_second = %1\n").arg(kPerSecond);
    for (int i = 0; i < kSites; ++i) {
        file += SiteEntry(QStringLiteral("s%1").arg(i), QStringLiteral("tcp://127.0.0.1:%1").arg(base + i),
                          data.filePath(QStringLiteral("r.jsonl")),
                          QStringLiteral("uart_id = \"%1\"").arg(0x2001 + i, 4, 16));
    }
    const QString sites = data.filePath(QStringLiteral("sites.toml"));
    Write(sites, file);
    Collecting collect({"--sites", sites, "--data-dir", data.path()},
                       QProcessEnvironment::systemEnvironment());
    ASSERT_TRUE(collect.Heard(QStringLiteral("Сборщик запущен")));
    // Long enough for every site's first attempt and the retries of the first ones.
    RunUntil([] { return false; }, 9000);
    std::vector<double> attempts;
    for (const QString& line : fleet.LogLines(QStringLiteral("client connected from"))) {
        attempts.push_back(line.simplified().section(QLatin1Char(' '), 0, 0).toDouble());
    }
    std::sort(attempts.begin(), attempts.end());
    EXPECT_GE(attempts.size(), std::size_t{kSites});
    // The simulator logs each attempt when it gets round to it, a little late under load: counted over
    // three seconds, with one attempt to spare for that, a burst or a faster pace still shows.
    constexpr double kWindow = 3.0;
    std::size_t most = 0;
    for (std::size_t i = 0, j = 0; j < attempts.size(); ++j) {
        while (attempts[j] - attempts[i] >= kWindow) {
            ++i;
        }
        most = std::max(most, j - i + 1);
    }
    EXPECT_LE(most, std::size_t{3 * kPerSecond + 1})
        << fleet.LogLines("client connected").join('\n').toStdString();
}

// A site changed in the file starts again on SIGHUP while its neighbour goes on filing: the
// changed one's read under way is dropped and runs again, and every packet either concentrator
// sent is in its destination at the end.
TEST(CliCollect, AChangedSiteRestartsOnSighupAndNothingIsLost) {
    QTemporaryDir data;
    Simulator steady({"--tcp", "0", "--uart-id", "2001", "--interval", "0.3"});
    Simulator changed(
        {"--tcp", "0", "--uart-id", "2002", "--interval", "0.3", "--delay", "100", "--network-size", "30"});
    const auto readings = [&](const QString& name) { return data.filePath(name + QStringLiteral(".jsonl")); };
    const QString sites = data.filePath(QStringLiteral("sites.toml"));
    const QString steadyEntry = SiteEntry("steady", steady.Port(), readings("steady"), "uart_id = \"2001\"");
    Write(sites, steadyEntry + ReadPacketsEntry("changed", changed.Port(), 0x2002, readings("changed")));
    Collecting collect({"--sites", sites, "--data-dir", data.path()},
                       QProcessEnvironment::systemEnvironment());
    const QString began =
        QStringLiteral("Участок «changed»: задание «чтение буферов 'последних пакетов'» начато.");
    ASSERT_TRUE(collect.Heard(began)) << collect.err.toStdString();
    RunUntil([] { return false; }, 1000);

    Write(sites, steadyEntry + ReadPacketsEntry("changed", changed.Port(), 0x2002, readings("changed"),
                                                QStringLiteral("timeout = 3")));
    collect.Signal(SIGHUP);
    ASSERT_TRUE(collect.Heard(QStringLiteral("Файл участков принят: добавлено 0, снято 0, изменено 1.")))
        << collect.err.toStdString();
    EXPECT_TRUE(collect.err.contains(QStringLiteral("Участок «changed»: снят с работы (сохранено).")));
    // The read it had begun is due again, and done by the site as it is now.
    const qsizetype reload = collect.err.indexOf(QStringLiteral("Файл участков принят"));
    EXPECT_TRUE(
        collect.Heard(QStringLiteral("«changed»: задание «чтение буферов 'последних пакетов'» "
                                     "выполнено: Все 30: без ответа 0")))
        << collect.err.toStdString();
    EXPECT_GT(collect.err.indexOf(QStringLiteral("выполнено: Все 30"), reload), reload);
    EXPECT_FALSE(collect.err.left(reload).contains(QStringLiteral("выполнено: Все 30")));
    RunUntil([] { return false; }, 1000);

    collect.Signal(SIGTERM);
    ASSERT_TRUE(collect.cli.waitForFinished(40000));
    EXPECT_EQ(collect.cli.exitCode(), 0) << collect.err.toStdString();
    // One packet may have been on its way as the changed site's connection closed.
    const auto sent = [](const Simulator& sim) {
        return static_cast<int>(
            sim.LogLines(QStringLiteral("meter packet")).filter(QStringLiteral(" TX ")).size());
    };
    EXPECT_GE(LiveRecords(readings("changed")), sent(changed) - 1);
    EXPECT_GE(LiveRecords(readings("steady")), sent(steady) - 1);
    EXPECT_GT(sent(steady), 5);
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
        {"a collector's name without --claim",
         {},
         {"--sites", sites, "--data-dir", dir, "--collector", "north"},
         {"--collector и --max-sites действуют только с --claim"}},
        {"sites without a port",
         "[[site]]\nname = \"a\"\n[[site]]\nname = \"b\"\n",
         {"--sites", sites, "--data-dir", dir},
         {"sites.toml:1:", "sites.toml:3:"}},
        {"a share of none",
         {},
         {"--claim", "postgresql:///x", "--data-dir", dir, "--max-sites", "0"},
         {"--max-sites: «0» - не число от 1 до 100000."}},
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

// The store of a data directory serves one collector: a second one is refused with the first one's
// process, as is a store that cannot be opened; the first goes on untouched.
TEST(CliCollect, AStoreInUseOrUnusableIsRefusedAndTheRunningCollectorGoesOn) {
    QTemporaryDir data;
    Simulator sim({"--tcp", "0", "--interval", "1"});
    const QString sites = data.filePath(QStringLiteral("sites.toml"));
    const QString readings = data.filePath(QStringLiteral("r.jsonl"));
    Write(sites, SiteEntry("first", sim.Port(), readings));
    const QString store = QDir::toNativeSeparators(data.filePath(QStringLiteral("readings.sqlite")));
    Collecting first({"--sites", sites, "--data-dir", data.path()}, QProcessEnvironment::systemEnvironment());
    ASSERT_TRUE(first.Heard(QStringLiteral("Сборщик запущен: участков 1"))) << first.err.toStdString();

    const Outcome second = Cli({"collect", "--sites", sites, "--data-dir", data.path()});
    EXPECT_EQ(second.status, 5);
    EXPECT_TRUE(
        second.err.contains(QStringLiteral("Хранилище показаний «%1» занято другим сборщиком (процесс %2).")
                                .arg(store)
                                .arg(first.cli.processId())))
        << second.err.toStdString();
    EXPECT_FALSE(second.err.contains(QStringLiteral("Сборщик запущен")));

    // A store that is a directory, and a data directory that is a file.
    QTemporaryDir other;
    ASSERT_TRUE(QDir(other.path()).mkdir(QStringLiteral("readings.sqlite")));
    const QString plain = other.filePath(QStringLiteral("plain"));
    Write(plain, QStringLiteral("x"));
    const std::pair<QString, QString> unusable[] = {
        {other.path(), QStringLiteral("Хранилище показаний «%1» не открывается: ")
                           .arg(QDir::toNativeSeparators(other.filePath(QStringLiteral("readings.sqlite"))))},
        {plain, QStringLiteral("Каталог данных «%1/» не создаётся.").arg(plain)},
    };
    for (const auto& [dir, said] : unusable) {
        const Outcome refused = Cli({"collect", "--sites", sites, "--data-dir", dir});
        EXPECT_EQ(refused.status, 5) << refused.err.toStdString();
        EXPECT_TRUE(refused.err.contains(said)) << refused.err.toStdString();
        EXPECT_FALSE(refused.err.contains(QStringLiteral("Сборщик запущен"))) << refused.err.toStdString();
    }

    bool ofSite = false;
    const int before = Records(readings, "first", &ofSite);
    EXPECT_TRUE(RunUntil([&] { return Records(readings, "first", &ofSite) > before; }));
    ASSERT_TRUE(first.Stop());
    EXPECT_EQ(first.cli.exitCode(), 0) << first.err.toStdString();
}

// What systemd and a prober see: WATCHDOG=1 only while the event loop runs, /healthz 503 with the
// reason when no site was heard for `unhealthy_when_silent` seconds and when the loop hangs (here on
// a sites file that is a pipe nobody writes yet), both well again once the loop goes on.
TEST(CliCollect, TheWatchdogAndTheHealthFollowTheLoopAndTheFleet) {
    QTemporaryDir data;
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QString nowhere = QStringLiteral("tcp://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    const QString sites = data.filePath(QStringLiteral("sites.toml"));
    const QString file = QStringLiteral("[collector]\nunhealthy_when_silent = 2\n") +
                         SiteEntry("away", nowhere, data.filePath(QStringLiteral("r.jsonl")));
    Write(sites, file);
    NotifySocket notify;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), notify.path);
    environment.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("400000"));
    Collecting collect({"--sites", sites, "--data-dir", data.path(), "--metrics", "0"}, environment);
    ASSERT_TRUE(collect.Heard(QStringLiteral("Сборщик запущен"))) << collect.err.toStdString();
    const quint16 metrics = collect.Port(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)/metrics"));
    const auto watchdogs = [&] {
        notify.Read();
        return notify.received.count(QStringLiteral("WATCHDOG=1"));
    };
    EXPECT_TRUE(RunUntil([&] { return watchdogs() >= 3; }));
    QString health;
    EXPECT_TRUE(RunUntil([&] {
        health = Get(metrics, QStringLiteral("/healthz"));
        return health.contains(QStringLiteral("ни один концентратор не слышен"));
    })) << health.toStdString();
    EXPECT_TRUE(health.startsWith(QStringLiteral("HTTP/1.1 503"))) << health.toStdString();

    // The loop stops in the open of a pipe until a writer comes.
    ASSERT_TRUE(QFile::remove(sites));
    ASSERT_EQ(::mkfifo(QFile::encodeName(sites).constData(), 0600), 0);
    collect.Signal(SIGHUP);
    RunUntil([] { return false; }, 1000);
    const qsizetype hung = watchdogs();
    EXPECT_TRUE(RunUntil(
        [&] {
            health = Get(metrics, QStringLiteral("/healthz"));
            return health.contains(QStringLiteral("цикл событий не отвечает"));
        },
        20000))
        << health.toStdString();
    EXPECT_EQ(watchdogs(), hung) << "a watchdog ping while the loop hung";

    QFile pipe(sites);
    ASSERT_TRUE(pipe.open(QIODevice::WriteOnly));
    pipe.write(file.toUtf8());
    pipe.close();
    EXPECT_TRUE(collect.Heard(QStringLiteral("Файл участков принят: добавлено 0, снято 0, изменено 0.")))
        << collect.err.toStdString();
    EXPECT_TRUE(RunUntil([&] { return watchdogs() >= hung + 2; }));
    ASSERT_TRUE(collect.Stop());
    EXPECT_EQ(collect.cli.exitCode(), 0) << collect.err.toStdString();
}

}  // namespace
}  // namespace lumvaris::cli

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
