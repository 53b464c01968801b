// The readings' way out of lumvaris-cli, in its own process against the simulator in its own, with
// real destinations: files appended to across runs and kills, a full disk, a pipe, PostgreSQL refusing,
// away and frozen, a broker across kills, an export in another time zone. Every reading the port's
// database holds must reach each destination once, and a command that left readings behind must say
// so in its status.
#include "MqttTestSupport.h"
#include "SinkTestSupport.h"

#include "meterdata/MeterDatabase.h"
#include "meterdata/SystemClock.h"
#include "session/LiveSinks.h"
#include "support/EventPump.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>

namespace lumvaris::cli {
namespace {

using namespace std::chrono_literals;

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

Outcome Cli(const QStringList& arguments, const QProcessEnvironment& environment = {},
            int timeoutMs = 60000) {
    QProcess process;
    if (!environment.isEmpty()) {
        process.setProcessEnvironment(environment);
    }
    process.start(QStringLiteral(LUMVARIS_CLI_PATH), arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    Outcome run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

class Simulator {
  public:
    explicit Simulator(QStringList arguments) {
        process_.start(QStringLiteral(LUMVARIS_SIM_PATH), arguments << QStringLiteral("--quiet"));
        process_.waitForReadyRead(10000);
        port_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~Simulator() {
        process_.terminate();
        process_.waitForFinished();
    }
    const QString& Port() const { return port_; }

  private:
    QProcess process_;
    QString port_;
};

// A fast line: 20 meters, a packet every 50 ms.
QStringList FastLine() {
    return {QStringLiteral("--meters"), QStringLiteral("20"), QStringLiteral("--interval"),
            QStringLiteral("0.05")};
}

void RunFor(int ms) {
    QElapsedTimer time;
    time.start();
    while (time.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A reading's identity in a CSV line (meter, type, words, time), the site aside.
QString KeyOfCsv(const QString& line) {
    const QStringList f = line.split(QLatin1Char(','));
    return f.size() < 9 ? QString() : QStringList{f[2], f[3], f[4], f[5], f[8]}.join(QLatin1Char(' '));
}

QString KeyOfJson(const QJsonObject& o) {
    return QStringList{QString::number(o.value("meter").toInt()), QString::number(o.value("type").toInt()),
                       QString::number(o.value("word_a").toInt()), QString::number(o.value("word_b").toInt()),
                       "\"" + o.value("time").toString() + "\""}
        .join(QLatin1Char(' '));
}

QStringList CsvKeys(const QString& path) {
    QStringList keys;
    const QList<QByteArray> lines = Bytes(path).split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (!lines[i].isEmpty()) {
            keys << KeyOfCsv(QString::fromUtf8(lines[i]).trimmed());
        }
    }
    return keys;
}

QStringList JsonKeys(const QByteArray& bytes) {
    QStringList keys;
    for (const QByteArray& line : bytes.split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.contains("meter")) {
            keys << KeyOfJson(o);
        }
    }
    return keys;
}

// Every reading the port's database holds (files and journal), by an export to JSON Lines.
QStringList Held(const QString& port, const QString& data) {
    const QString out = data + "/held.jsonl";
    QFile::remove(out);
    const Outcome run = Cli({"export", "--port", port, "--data-dir", data, "--db", "jsonl:" + out});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    return JsonKeys(Bytes(out));
}

QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}

// Listen runs (two clean, one killed) into CSV and JSON Lines: each file holds every run's readings,
// each once, none torn, and exactly those the port's database holds; the export after the kill finds
// the journal's records too.
TEST(Delivery, FileDestinationsKeepEveryRunAndAKillLosesNothing) {
    Simulator sim(FastLine());
    QTemporaryDir data;
    const QString csv = data.filePath("r.csv");
    const QString jsonl = data.filePath("r.jsonl");
    const QStringList args = {"listen", "--port",     sim.Port(), "--data-dir",    data.path(),
                              "--db",   "csv:" + csv, "--db",     "jsonl:" + jsonl};
    Outcome first = Cli(QStringList(args) << "--for"
                                          << "2");
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    const qsizetype firstRows = CsvKeys(csv).size();
    EXPECT_GT(firstRows, 10);
    Outcome second = Cli(QStringList(args) << "--for"
                                           << "2");
    ASSERT_EQ(second.status, 0) << second.err.toStdString();
    EXPECT_GT(CsvKeys(csv).size(), firstRows + 10) << "the first run's rows are kept";

    QProcess killed;
    killed.start(QStringLiteral(LUMVARIS_CLI_PATH), args);
    RunFor(2500);
    killed.kill();
    killed.waitForFinished();
    const QStringList afterKill = CsvKeys(csv);
    // An export right after the kill finds what the files had not saved, in the journal: every row
    // the file got but those of the last receive tick before the kill.
    const QStringList held = Held(sim.Port(), data.path());
    const QSet<QString> heldSet(held.begin(), held.end());
    int missing = 0;
    for (const QString& row : afterKill) {
        missing += heldSet.contains(row) ? 0 : 1;
    }
    EXPECT_GT(afterKill.size(), firstRows * 2) << "written as they arrive";
    EXPECT_LE(missing, 5) << "rows of the killed run not in the port's files and journal";

    Outcome last = Cli(QStringList(args) << "--for"
                                         << "1");
    ASSERT_EQ(last.status, 0) << last.err.toStdString();
    const QStringList rows = CsvKeys(csv);
    EXPECT_EQ(QSet<QString>(rows.begin(), rows.end()).size(), rows.size()) << "no reading twice";
    EXPECT_EQ(Sorted(rows), Sorted(Held(sim.Port(), data.path())));
    EXPECT_EQ(Sorted(JsonKeys(Bytes(jsonl))), Sorted(rows));
    EXPECT_TRUE(Bytes(csv).startsWith("site,uart_id,meter"));
    EXPECT_EQ(Bytes(csv).count("site,uart_id"), 1) << "one header";
}

// A file destination on a disk that fills up keeps what it wrote, says why in words, and gets the
// rest once there is room; a pipe is written as a stream, read while the program runs.
TEST(Delivery, AFullDiskLosesNoRowAndSaysWhy) {
    Simulator sim(FastLine());
    QTemporaryDir data;
    QTemporaryDir small;
    if (geteuid() != 0 || ::mount("tmpfs", small.path().toUtf8().constData(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    }
    const QString filler = small.filePath("filler");
    {
        QFile file(filler);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(60 * 1024, 'x'));  // one page of 4 KB left
    }
    const QString csv = small.filePath("r.csv");
    QProcess listen;
    listen.start(QStringLiteral(LUMVARIS_CLI_PATH), {"listen", "--port", sim.Port(), "--data-dir",
                                                     data.path(), "--db", "csv:" + csv, "--for", "6"});
    RunFor(3000);
    QFile::remove(filler);  // room again
    ASSERT_TRUE(listen.waitForFinished(30000));
    const QString err = QString::fromUtf8(listen.readAllStandardError());
    const QStringList rows = CsvKeys(csv);
    const QByteArray bytes = Bytes(csv);
    ::umount2(small.path().toUtf8().constData(), MNT_DETACH);
    EXPECT_EQ(listen.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("на диске нет места")) << err.toStdString();
    EXPECT_TRUE(err.contains("восстановлена")) << err.toStdString();
    EXPECT_TRUE(bytes.endsWith("\r\n")) << "no torn line";
    EXPECT_GT(rows.size(), 50);
    EXPECT_EQ(Sorted(rows), Sorted(Held(sim.Port(), data.path()))) << "every reading once";
}

// A pipe given as the file receives lines while the program runs, and the program does not wait for
// a reader before it starts.
TEST(Delivery, APipeIsWrittenAsAStream) {
    Simulator sim(FastLine());
    QTemporaryDir data;
    const QString fifo = data.filePath("feed");
    ASSERT_EQ(::mkfifo(fifo.toUtf8().constData(), 0600), 0);
    QProcess listen;
    listen.start(QStringLiteral(LUMVARIS_CLI_PATH), {"listen", "--port", sim.Port(), "--data-dir",
                                                     data.path(), "--db", "jsonl:" + fifo, "--for", "4"});
    RunFor(500);
    QFile reader(fifo);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    QElapsedTimer time;
    time.start();
    QByteArray got;
    while (!got.contains('\n') && time.elapsed() < 5000) {
        got += reader.read(4096);
        QThread::msleep(20);
    }
    EXPECT_EQ(listen.state(), QProcess::Running) << "a line arrived before the end";
    EXPECT_TRUE(QJsonDocument::fromJson(got.left(got.indexOf('\n'))).object().contains("meter"));
    ASSERT_TRUE(listen.waitForFinished(20000));
    EXPECT_TRUE(QFileInfo(fifo).isFile() == false) << "the pipe stays a pipe";
}

// The postmaster and its backends, found by the lock of the server's socket.
QList<pid_t> ServerProcesses(const sinks::test::PostgresServer& server) {
    const QList<QByteArray> lock = Bytes(server.SocketDirectory() + "/.s.PGSQL.5432.lock").split('\n');
    QList<pid_t> pids;
    const pid_t postmaster = lock.isEmpty() ? 0 : lock[0].trimmed().toInt();
    if (postmaster <= 0) {
        return pids;
    }
    pids << postmaster;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        const QByteArray stat = Bytes("/proc/" + entry + "/stat");
        const qsizetype close = stat.lastIndexOf(')');
        if (close > 0 && stat.mid(close + 2).split(' ').value(1).toInt() == postmaster) {
            pids << entry.toInt();
        }
    }
    return pids;
}

qint64 Rows(sinks::test::PostgresServer& server, const QString& database, const QString& what = "count(*)") {
    QString out;
    EXPECT_TRUE(server.Psql("SELECT " + what + " FROM readings", out, database)) << out.toStdString();
    return out.trimmed().toLongLong();
}

// A login the server refuses stops the command before the port opens (status 1); a server away
// leaves the readings in the outbox (status 6) and the next run delivers them once; a server that
// stops answering in the middle neither hangs the stop nor loses a reading.
TEST(Delivery, PostgresRefusingAwayAndFrozen) {
    LUMVARIS_NEED_POSTGRES(server);
    const QString database = sinks::test::NewPostgresDatabase(*server);
    const QString url = server->Url(database, "meter");
    QProcessEnvironment withPassword = QProcessEnvironment::systemEnvironment();
    withPassword.insert("PGPASSWORD", "secret");
    QProcessEnvironment without = QProcessEnvironment::systemEnvironment();
    without.remove("PGPASSWORD");
    QTemporaryDir data;
    {
        Simulator quiet({"--meters", "8", "--interval", "86400", "--config", "00"});
        const QStringList readAll = {"read-all", "--port", quiet.Port(), "--data-dir", data.path(),
                                     "--pace",   "reply",  "--db",       url};
        const Outcome refused = Cli(readAll, without);
        EXPECT_EQ(refused.status, 1) << refused.err.toStdString();
        EXPECT_TRUE(refused.err.contains("отказал во входе")) << refused.err.toStdString();
        EXPECT_EQ(refused.out, "") << "nothing read";

        ASSERT_TRUE(server->Stop());
        const Outcome away = Cli(readAll, withPassword);
        EXPECT_EQ(away.status, 6) << away.err.toStdString();
        EXPECT_TRUE(away.err.contains("ждут в очереди")) << away.err.toStdString();
        ASSERT_TRUE(server->Restart());
        const Outcome again =
            Cli({"listen", "--port", quiet.Port(), "--data-dir", data.path(), "--db", url, "--for", "1"},
                withPassword);
        EXPECT_EQ(again.status, 0) << again.err.toStdString();
        const QStringList held = Held(quiet.Port(), data.path());
        EXPECT_GT(held.size(), 0);
        EXPECT_EQ(Rows(*server, database), held.size()) << "what waited reached the server";
    }

    Simulator sim(FastLine());
    QProcess listen;
    listen.setProcessEnvironment(withPassword);
    listen.start(QStringLiteral(LUMVARIS_CLI_PATH),
                 {"listen", "--port", sim.Port(), "--data-dir", data.path(), "--db", url});
    RunFor(2000);
    const QList<pid_t> frozen = ServerProcesses(*server);
    ASSERT_GE(frozen.size(), 2);
    for (const pid_t pid : frozen) {
        ::kill(pid, SIGSTOP);
    }
    RunFor(1500);
    QElapsedTimer stop;
    stop.start();
    listen.terminate();
    const bool ended = listen.waitForFinished(60000);
    const qint64 took = stop.elapsed();
    for (const pid_t pid : frozen) {
        ::kill(pid, SIGCONT);
    }
    ASSERT_TRUE(ended);
    const QString err = QString::fromUtf8(listen.readAllStandardError());
    EXPECT_LT(took, 45000) << "the stop waits 30 s at most for a server, whatever it does";
    EXPECT_EQ(listen.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("не записано показаний")) << err.toStdString();
    const Outcome drained = Cli(
        {"listen", "--port", sim.Port(), "--data-dir", data.path(), "--db", url, "--for", "1"}, withPassword);
    EXPECT_EQ(drained.status, 0) << drained.err.toStdString();
    EXPECT_EQ(Rows(*server, database, "count(*) - count(DISTINCT (meter, type, time, word_a, word_b))"), 0);
    EXPECT_GE(Rows(*server, database), Held(sim.Port(), data.path()).size()) << "every reading of the port";
}

// Collectors killed one after the other publish each reading once: what the broker took is not
// sent again at the next start, and what it had not taken comes then.
TEST(Delivery, ABrokerGetsEachReadingOnceAcrossKills) {
    LUMVARIS_NEED_BROKER(broker);
    Simulator sim(FastLine());
    QTemporaryDir data;
    mqtt::test::Subscriber subscriber(broker, "plc/S/+");
    const QStringList args = {"listen",     "--port",    sim.Port(),
                              "--data-dir", data.path(), "--site",
                              "S",          "--mqtt",    broker.Url().replace("/lv", "/plc")};
    for (int kill = 0; kill < 3; ++kill) {
        QProcess listen;
        listen.start(QStringLiteral(LUMVARIS_CLI_PATH), args);
        RunFor(1500);
        listen.kill();
        listen.waitForFinished();
    }
    const Outcome last = Cli(QStringList(args) << "--for"
                                               << "1");
    ASSERT_EQ(last.status, 0) << last.err.toStdString();
    const QStringList held = Held(sim.Port(), data.path());
    QStringList got;
    for (const QString& message : subscriber.Messages(held.size() + 100, 3s)) {
        const QJsonObject reading = QJsonDocument::fromJson(message.section(' ', 2).toUtf8()).object();
        if (reading.contains("meter")) {  // not the status
            got << KeyOfJson(reading);
        }
    }
    const QSet<QString> unique(got.begin(), got.end());
    const QSet<QString> all(held.begin(), held.end());
    // A kill may take the moment between a broker's acknowledgement and its note on the disk (one
    // reading in flight), or a packet filed a moment before its outbox wrote it.
    QStringList twice;
    for (const QString& key : unique) {
        if (got.count(key) > 1) {
            twice << key;
        }
    }
    EXPECT_LE(got.size() - unique.size(), 3)
        << "readings published again: " << twice.join(", ").toStdString();
    EXPECT_LE((all - unique).size(), 6) << "readings never published";
    // Enough to mean something, under a sanitizer on a loaded machine too.
    EXPECT_GT(unique.size(), 50);
}

// The files keep local time; an export in another zone gives the same instants (the rows the live
// feed wrote), adds nothing and says so; an export whose destination fails says so in its status.
TEST(Delivery, AnExportElsewhereAddsNothingAndAFailedOneSaysSo) {
    Simulator sim(FastLine());
    QTemporaryDir data;
    const QString db = data.filePath("tz.sqlite");
    QProcessEnvironment moscow = QProcessEnvironment::systemEnvironment();
    moscow.insert("TZ", "Europe/Moscow");
    QProcessEnvironment yekaterinburg = QProcessEnvironment::systemEnvironment();
    yekaterinburg.insert("TZ", "Asia/Yekaterinburg");
    const Outcome live =
        Cli({"listen", "--port", sim.Port(), "--data-dir", data.path(), "--db", "sqlite:" + db, "--for", "2"},
            moscow);
    ASSERT_EQ(live.status, 0) << live.err.toStdString();
    const Outcome exported = Cli(
        {"export", "--port", sim.Port(), "--data-dir", data.path(), "--db", "sqlite:" + db}, yekaterinburg);
    ASSERT_EQ(exported.status, 0) << exported.err.toStdString();
    EXPECT_TRUE(exported.out.startsWith("sqlite:" + db + ": добавлено показаний 0 из "))
        << exported.out.toStdString();

    const Outcome full =
        Cli({"export", "--port", sim.Port(), "--data-dir", data.path(), "--db", "csv:/dev/full"});
    EXPECT_EQ(full.status, 5) << full.err.toStdString();
    EXPECT_TRUE(full.err.contains("на диске нет места")) << full.err.toStdString();
    EXPECT_FALSE(full.out.contains("Записано")) << full.out.toStdString();
}

// The UART-ID the concentrator reports reaches every destination from then on: the broker's payload
// as the database's rows (the window's central database and broker, and the command line's).
TEST(Delivery, AChangedUartIdReachesTheBrokerAsTheDatabase) {
    LUMVARIS_NEED_BROKER(broker);
    QTemporaryDir dir;
    mqtt::test::Subscriber subscriber(broker, "plc/S/+");
    meterdata::SystemClock clock;
    meterdata::MeterDatabase database(dir.path() + "/", clock);
    const QString db = dir.filePath("r.db");
    {
        session::LiveSinks live(database);
        live.SetSite("S");
        ASSERT_TRUE(live.AddDatabase("sqlite:" + db).IsDone());
        ASSERT_TRUE(live.SetBroker(broker.Url().replace("/lv", "/plc"), mqtt::MqttOptions()).IsDone());
        ASSERT_TRUE(database.Open("ttyS9")) << database.LastError().toStdString();
        const std::uint8_t packet[] = {0x81, 0xD2, 0x04, 0x05, 0x87, 0x23};
        database.StoreMeterPacket({0x1007, packet, sizeof packet});
        live.SetUartId(0x2ABC);
        database.StoreMeterPacket({0x1008, packet, sizeof packet});
        database.Close();  // the destinations get their time for what waits
        EXPECT_TRUE(live.Stop(5s).empty());
    }
    QStringList published;
    for (const QString& message : subscriber.Messages(3, 5s)) {
        const QJsonObject reading = QJsonDocument::fromJson(message.section(' ', 2).toUtf8()).object();
        if (reading.contains("meter")) {
            published << QString::number(reading.value("meter").toInt()) + ' ' +
                             reading.value("uart_id").toString();
        }
    }
    published.sort();
    EXPECT_EQ(published, (QStringList{"7 2FFF", "8 2ABC"}));
    QSqlDatabase sqlite = QSqlDatabase::addDatabase("QSQLITE", "uart");
    sqlite.setDatabaseName(db);
    ASSERT_TRUE(sqlite.open());
    EXPECT_EQ(sinks::test::Select(sqlite, "SELECT meter, uart_id FROM readings ORDER BY meter"),
              (QStringList{"7|2FFF", "8|2ABC"}));
    sqlite.close();
}

// The readings of a collector's store, one line per reading, in a form both databases give.
QStringList StoredReadings(const QString& store) {
    QProcess query;
    query.start("sqlite3",
                {"-readonly", store,
                 "SELECT site || '|' || meter || '|' || type || '|' || word_a || '|' || word_b || '|' || "
                 "time FROM readings ORDER BY 1"});
    query.waitForFinished(10000);
    return QString::fromUtf8(query.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

QStringList ServerReadings(sinks::test::PostgresServer& server, const QString& database) {
    QString out;
    EXPECT_TRUE(
        server.Psql("SELECT site || '|' || meter || '|' || type || '|' || word_a || '|' || word_b || '|' || "
                    "to_char(time AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"') "
                    "FROM readings ORDER BY 1",
                    out, database))
        << out.toStdString();
    return out.split('\n', Qt::SkipEmptyParts);
}

// Each look asks the server: a fifth of a second apart.
bool Until(const std::function<bool()>& done, int ms) {
    return testing::RunUntil(done, ms, 200);
}

// A collector killed with SIGKILL while the central server is away loses nothing and sends
// nothing twice: what its store holds reaches the server once, from the next run, when the
// server is back; what arrives meanwhile follows.
TEST(Delivery, CollectorKilledWhileTheServerIsAwaySendsEveryReadingOnce) {
    LUMVARIS_NEED_POSTGRES(server);
    const QString database = sinks::test::NewPostgresDatabase(*server);
    QTemporaryDir data;
    Simulator one({"--tcp", "0", "--interval", "1"});
    Simulator two({"--tcp", "0", "--interval", "1"});
    const QString sites = data.filePath("sites.toml");
    QString text;
    for (const auto& [name, port] : {std::pair{"one", one.Port()}, std::pair{"two", two.Port()}}) {
        text += QString("[[site]]\nname = \"%1\"\nport = \"%2\"\ndb = [\"%3\"]\n\n")
                    .arg(name, port, server->Url(database));
    }
    QFile file(sites);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
    file.close();
    const QString store = data.filePath("readings.sqlite");
    const auto start = [&] {
        auto collect = std::make_unique<QProcess>();
        collect->start(LUMVARIS_CLI_PATH, {"collect", "--sites", sites, "--data-dir", data.path()});
        return collect;
    };

    // Until the collector has made the table, there is nothing to count.
    const auto delivered = [&] {
        QString out;
        return server->Psql("SELECT count(*) FROM readings", out, database) ? out.trimmed().toLongLong() : 0;
    };
    auto collect = start();
    ASSERT_TRUE(Until([&] { return delivered() >= 4; }, 30000));
    ASSERT_TRUE(server->Stop());
    const qint64 before = StoredReadings(store).size();
    ASSERT_TRUE(Until([&] { return StoredReadings(store).size() >= before + 6; }, 30000));
    ::kill(static_cast<pid_t>(collect->processId()), SIGKILL);
    ASSERT_TRUE(collect->waitForFinished(10000));
    const QStringList stored = StoredReadings(store);

    ASSERT_TRUE(server->Restart());
    collect = start();
    // The store's backlog first, then what the simulators sent since.
    ASSERT_TRUE(Until([&] { return delivered() >= stored.size() + 2; }, 60000))
        << delivered() << " of " << stored.size();
    ::kill(static_cast<pid_t>(collect->processId()), SIGTERM);
    ASSERT_TRUE(collect->waitForFinished(40000));
    EXPECT_EQ(collect->exitCode(), 0) << collect->readAllStandardError().toStdString();
    const QStringList received = ServerReadings(*server, database);
    EXPECT_EQ(received, StoredReadings(store));
    for (const QString& reading : stored) {
        EXPECT_TRUE(received.contains(reading)) << reading.toStdString();
    }
}

// Two collectors share one fleet through PostgreSQL: every concentrator is polled by one of them
// only; when one is killed, the other takes its sites within the target and reads their buffers.
TEST(Delivery, TwoCollectorsShareAFleetAndOneTakesOverWhenTheOtherDies) {
    LUMVARIS_NEED_POSTGRES(server);
    const QString database = sinks::test::NewPostgresDatabase(*server);
    QTemporaryDir data;
    std::vector<std::unique_ptr<Simulator>> fleet;
    QString text;
    for (int i = 0; i < 4; ++i) {
        fleet.push_back(
            std::make_unique<Simulator>(QStringList{"--tcp", "0", "--interval", "1", "--meters", "16"}));
        text += QString("[[site]]\nname = \"s%1\"\nport = \"%2\"\ndb = [\"%3\"]\n\n")
                    .arg(i)
                    .arg(fleet.back()->Port(), server->Url(database));
    }
    const QString sites = data.filePath("sites.toml");
    QFile file(sites);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
    file.close();
    struct Collector {
        QProcess process;
        QString err;
        void Read() { err += QString::fromUtf8(process.readAllStandardError()); }
        QStringList Held() const {
            QStringList held;
            for (const QString& line : err.split('\n')) {
                if (line.contains(QRegularExpression("^Участок «s\\d»: на связи"))) {
                    held << line.section(QChar(0xBB), 0, 0).mid(9);
                }
            }
            return held;
        }
    };
    Collector a;
    Collector b;
    for (const auto& [c, name] : {std::pair{&a, "A"}, std::pair{&b, "B"}}) {
        QDir(data.path()).mkdir(name);
        c->process.start(LUMVARIS_CLI_PATH, {"collect", "--sites", sites, "--data-dir", data.filePath(name),
                                             "--claim", server->Url(database), "--collector", name});
    }
    // The first to start may take everything; it lets the surplus go once the other is counted.
    const auto shared = [&] {
        a.Read();
        b.Read();
        return a.Held().size() >= 2 && b.Held().size() >= 2;
    };
    ASSERT_TRUE(Until(shared, 30000)) << a.err.toStdString() << b.err.toStdString();
    // A site on both collectors' lines was given up by one of them first.
    for (const QString& site : a.Held()) {
        if (b.Held().contains(site)) {
            const QString given = QString("Участок «%1»: отдан другому сборщику.").arg(site);
            EXPECT_TRUE(a.err.contains(given) || b.err.contains(given)) << site.toStdString();
        }
    }
    // The sites A holds at its end: those it did not give up after it last connected them.
    a.Read();
    QStringList taken;
    for (const QString& site : a.Held()) {
        if (a.err.lastIndexOf(QString("Участок «%1»: на связи").arg(site)) >
            a.err.lastIndexOf(QString("Участок «%1»: отдан другому сборщику.").arg(site))) {
            taken << site;
        }
    }
    ASSERT_FALSE(taken.isEmpty()) << a.err.toStdString();
    ::kill(static_cast<pid_t>(a.process.processId()), SIGKILL);
    ASSERT_TRUE(a.process.waitForFinished(10000));
    QElapsedTimer since;
    since.start();
    ASSERT_TRUE(Until(
        [&] {
            b.Read();
            return std::all_of(taken.begin(), taken.end(), [&](const QString& site) {
                return b.err.contains(QString("Участок «%1»: взят у сборщика «A».").arg(site)) &&
                       b.err.contains(
                           QString("Участок «%1»: задание «чтение буферов 'последних пакетов'» начато.")
                               .arg(site));
            });
        },
        30000))
        << b.err.toStdString();
    EXPECT_LT(since.elapsed(), 30000);
    ::kill(static_cast<pid_t>(b.process.processId()), SIGTERM);
    ASSERT_TRUE(b.process.waitForFinished(40000));
    EXPECT_EQ(b.process.exitCode(), 0);
}

}  // namespace
}  // namespace lumvaris::cli

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    lumvaris::sinks::test::StopPostgres();
    return status;
}
