// The readings' way out of lumvaris-cli, in its own process against the simulator in its own, with
// real destinations: files appended to across runs and kills, a full disk, a pipe, PostgreSQL refusing,
// away and frozen, a broker across kills, an export in another time zone. Every reading the port's
// database holds must reach each destination once, and a command that left readings behind must say
// so in its status.
#include "MqttTestSupport.h"
#include "SinkTestSupport.h"

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

#include <csignal>
#include <sys/mount.h>
#include <unistd.h>

namespace lumvaris::cli {
namespace {

using namespace std::chrono_literals;

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

Outcome Cli(const QStringList& arguments, const QProcessEnvironment& environment = {}, int timeoutMs = 60000) {
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
    return {QStringLiteral("--meters"), QStringLiteral("20"), QStringLiteral("--interval"), QStringLiteral("0.05")};
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
    const QStringList args = {"listen", "--port", sim.Port(), "--data-dir", data.path(),
                              "--db",   "csv:" + csv,       "--db",       "jsonl:" + jsonl};
    Outcome first = Cli(QStringList(args) << "--for" << "2");
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    const qsizetype firstRows = CsvKeys(csv).size();
    EXPECT_GT(firstRows, 10);
    Outcome second = Cli(QStringList(args) << "--for" << "2");
    ASSERT_EQ(second.status, 0) << second.err.toStdString();
    EXPECT_GT(CsvKeys(csv).size(), firstRows + 10) << "the first run's rows are kept";

    QProcess killed;
    killed.start(QStringLiteral(LUMVARIS_CLI_PATH), args);
    RunFor(2500);
    killed.kill();
    killed.waitForFinished();
    const QStringList afterKill = CsvKeys(csv);
    EXPECT_GT(afterKill.size(), CsvKeys(csv).size() / 2) << "written as they arrive";
    // An export right after the kill finds what the files had not saved, in the journal.
    const QStringList held = Held(sim.Port(), data.path());
    EXPECT_GT(held.size(), firstRows * 2);

    Outcome last = Cli(QStringList(args) << "--for" << "1");
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
    listen.start(QStringLiteral(LUMVARIS_CLI_PATH),
                 {"listen", "--port", sim.Port(), "--data-dir", data.path(), "--db", "csv:" + csv, "--for", "6"});
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
    listen.start(QStringLiteral(LUMVARIS_CLI_PATH),
                 {"listen", "--port", sim.Port(), "--data-dir", data.path(), "--db", "jsonl:" + fifo, "--for", "4"});
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

}  // namespace
}  // namespace lumvaris::cli

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    lumvaris::sinks::test::StopPostgres();
    return status;
}
