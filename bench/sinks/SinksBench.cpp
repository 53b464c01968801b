// The export of the largest local database (4096 meters, packet depth 1000: 4,096,000 readings,
// plus a day store of 60 days whose records repeat the packet store's) to SQLite and PostgreSQL,
// each against its peer loading the CSV file that the export writes: the sqlite3 shell's .import
// and psql's \copy, into the same empty tables (the SQLite peer's file in the shell's own journal
// mode, a rollback journal; the export's in the write-ahead-log mode it sets). Repetitions alternate which
// side goes first; the medians and their ratio are printed. Then the live path: the caller's cost of queueing
// one record.
//
//   cmake --build build/default --target sinks_bench
//   build/default/bench/sinks/sinks_bench [meters] [repetitions]     (defaults 4096 and 3)
#include "PostgresServer.h"

#include "meterdata/DayTime.h"
#include "meterdata/MeterDatabase.h"
#include "meterdata/TMatrixInterface.h"
#include "sinks/Outbox.h"
#include "sinks/PortExport.h"
#include "sinks/SinkQueue.h"
#include "sinks/SinkUrl.h"
#include "sinks/SqlSchema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

using namespace lumvaris;
using namespace std::chrono_literals;

namespace {

constexpr int kDepth = 1000;
constexpr int kDays = 60;
const char* const kPort = "ttyUSB0";

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Die(const QString& why) {
    std::fprintf(stderr, "sinks_bench: %s\n", qPrintable(why));
    std::exit(1);
}

// The port's two files at the largest settings, every packet slot filled.
void MakePortFiles(const QString& dir, int meters) {
    meterdata::TMatrixInterface packets(
        meterdata::MeterDatabase::DatabaseFileName(dir, kPort, meterdata::MeterDatabase::kPacketsSuffix));
    meterdata::TMatrixInterface days(
        meterdata::MeterDatabase::DatabaseFileName(dir, kPort, meterdata::MeterDatabase::kDaysSuffix));
    packets.SetRowCount(meters + 1);
    packets.SetColCount(kDepth + 1);
    days.SetRowCount(meters + 1);
    days.SetColCount(kDays + 1);
    std::mt19937 rng(1);
    const std::uint8_t types[] = {0x00, 0x01, 0x0E, 0x19, 0x40, 0x44, 0x48, 0x81, 0xDA};
    const double now = meterdata::DaysFromDateTime(QDate(2024, 3, 15), QTime(12, 0));
    meterdata::MeterRecord r;
    r.Valid = 0xFF;
    for (int meter = 1; meter <= meters; ++meter) {
        r.Meter = static_cast<std::uint16_t>(meter);
        for (int slot = 1; slot <= kDepth; ++slot) {
            r.Type = types[rng() % std::size(types)];
            r.WordA = static_cast<std::uint16_t>(rng());
            r.WordB = static_cast<std::uint16_t>(rng());
            r.Level = static_cast<std::uint8_t>(rng());
            // Newest first, an hour apart; half of them on a whole minute, as buffer records are.
            r.Time = now - slot / 24.0 + (slot % 2 ? (rng() % 60000) / meterdata::kMillisecondsPerDay : 0.0);
            packets.PutMeterRecord(r, slot, meter);
            if (slot % 24 == 0 && slot / 24 <= kDays) {
                days.PutMeterRecord(r, slot / 24, meter);
            }
        }
    }
    if (!packets.SaveToFile() || !days.SaveToFile()) {
        Die(packets.LastError() + days.LastError());
    }
}

double ExportTo(const QString& dir, const QString& url, qint64* written = nullptr) {
    QString error;
    std::unique_ptr<sinks::ISink> sink = sinks::OpenSink(url, error);
    if (!sink) {
        Die(error);
    }
    sinks::PortExportOptions options;
    options.ProgramDirectory = dir;
    options.PortName = kPort;
    options.Site = QStringLiteral("ТП-17");
    options.UartId = QStringLiteral("2FFF");
    sinks::ISink* sinks[] = {sink.get()};
    QElapsedTimer timer;
    timer.start();
    const sinks::PortExportResult result = sinks::ExportPortDatabase(options, sinks);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!result.Ok) {
        Die(result.Error);
    }
    if (written != nullptr) {
        *written = result.Written;
    }
    return seconds;
}

// Creates the tables in an empty database, as the export would.
void CreateTables(const QString& url) {
    QString error;
    if (!sinks::OpenSink(url, error)) {
        Die(error);
    }
}

double Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        Die(program + QStringLiteral(" failed"));
    }
    return timer.nsecsElapsed() / 1e9;
}

void Report(const char* what, const std::vector<double>& ours, const std::vector<double>& peer,
            qint64 readings) {
    const double a = Median(ours);
    const double b = Median(peer);
    std::printf("%-11s export %8.2f s (%5.2f µs/reading)   peer %8.2f s   ratio %.2f   [", what, a,
                a * 1e6 / readings, b, a / b);
    for (std::size_t i = 0; i < ours.size(); ++i) {
        std::printf("%s%.2f/%.2f", i ? " " : "", ours[i], peer[i]);
    }
    std::printf("]\n");
    std::fflush(stdout);
}

// Times `ours` and `peer` alternately, each on a fresh destination made by `fresh`.
void SideBySide(const char* what, int repetitions, qint64 readings, const std::function<void(int)>& fresh,
                const std::function<double(int)>& ours, const std::function<double(int)>& peer) {
    std::vector<double> a;
    std::vector<double> b;
    for (int i = 0; i < repetitions; ++i) {
        fresh(2 * i);
        fresh(2 * i + 1);
        if (i % 2 == 0) {
            a.push_back(ours(2 * i));
            b.push_back(peer(2 * i + 1));
        } else {
            b.push_back(peer(2 * i + 1));
            a.push_back(ours(2 * i));
        }
    }
    Report(what, a, b, readings);
}

void LivePath() {
    QTemporaryDir dir;
    QString error;
    sinks::SinkAddress address;
    sinks::ParseSinkUrl("sqlite:" + dir.filePath("live.db"), address, error);
    sinks::SinkQueue queue(sinks::CreateSink(address));
    auto outbox = std::make_shared<sinks::Outbox>();
    QString notice;
    if (!outbox->Open(sinks::Outbox::FileName(dir.path() + "/", "ttyUSB0", address.Url), address.Url,
                      sinks::Outbox::Options(), error, notice)) {
        std::printf("live path: %s\n", error.toUtf8().constData());
        return;
    }
    queue.Attach(outbox);
    meterdata::MeterRecord r;
    r.Valid = 0xFF;
    r.Type = 0x81;
    const QString site = QStringLiteral("ТП-17");
    const QString uartId = QStringLiteral("2FFF");
    std::vector<double> calls;
    constexpr int kRounds = 20;
    constexpr int kPerRound = 5000;  // a burst, like a month buffer read of many meters
    calls.reserve(kRounds * kPerRound);
    const double start = meterdata::DaysFromDateTime(QDate(2024, 3, 15), QTime(12, 0));
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < kPerRound; ++i) {
            r.Meter = static_cast<std::uint16_t>(1 + i % 4096);
            r.Time = start + (round * kPerRound + i) / meterdata::kMillisecondsPerDay;
            const auto t0 = std::chrono::steady_clock::now();
            queue.Enqueue(r, meterdata::RecordSource::Live, site, uartId);
            const auto t1 = std::chrono::steady_clock::now();
            calls.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
        queue.WaitUntilWritten(60s);  // the worker writes while the caller queues
    }
    std::sort(calls.begin(), calls.end());
    std::printf(
        "live path  queueing one record: median %.3f µs, 99th percentile %.3f µs, max %.1f µs "
        "(%zu calls, worker writing to SQLite meanwhile; written %lld, dropped %lld)\n",
        calls[calls.size() / 2], calls[calls.size() * 99 / 100], calls.back(), calls.size(),
        static_cast<long long>(queue.Written()), static_cast<long long>(queue.Dropped()));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int meters = argc > 1 ? std::atoi(argv[1]) : 4096;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 3;
    const bool liveOnly = meters == 0;
    if (!liveOnly) {
        QTemporaryDir dir;
        MakePortFiles(dir.path(), meters);
        const QString csv = dir.filePath("readings.csv");
        qint64 readings = 0;
        const double csvSeconds = ExportTo(dir.path(), "csv:" + csv, &readings);
        std::printf("%d meters x %d packets: %lld readings; export to CSV %.2f s\n", meters, kDepth,
                    static_cast<long long>(readings), csvSeconds);

        auto sqliteFile = [&](int i) { return dir.filePath(QStringLiteral("r%1.db").arg(i)); };
        SideBySide(
            "SQLite", repetitions, readings,
            [&](int i) {
                // The export makes its own file (which it puts in write-ahead-log mode); the peer's
                // tables are made by the shell, so that it loads in the shell's own journal mode.
                QFile::remove(sqliteFile(i));
                QFile::remove(sqliteFile(i) + "-wal");
                QFile::remove(sqliteFile(i) + "-shm");
                if (i % 2 == 1) {
                    Run("sqlite3", {sqliteFile(i), sinks::SqlSchema::CreateStatements(false).join(";\n")});
                }
            },
            [&](int i) { return ExportTo(dir.path(), "sqlite:" + sqliteFile(i)); },
            [&](int i) {
                return Run("sqlite3", {sqliteFile(i), ".import --csv --skip 1 '" + csv + "' readings"});
            });

        sinks::test::PostgresServer server;
        QString why;
        if (!server.Start(why, false)) {
            std::printf("PostgreSQL not measured: %s\n", qPrintable(why));
        } else {
            const QString columns = QStringLiteral(
                "site, uart_id, meter, type, word_a, word_b, level, phase, time, source, family, "
                "current_text, "
                "snapshot_text, value, unit");
            SideBySide(
                "PostgreSQL", repetitions, readings,
                [&](int i) {
                    QString output;
                    server.Psql(QStringLiteral("CREATE DATABASE r%1").arg(i), output);
                    CreateTables(server.Url(QStringLiteral("r%1").arg(i)));
                },
                [&](int i) { return ExportTo(dir.path(), server.Url(QStringLiteral("r%1").arg(i))); },
                [&](int i) {
                    const QString copy =
                        QStringLiteral("\\copy readings (%1) FROM '%2' WITH (FORMAT csv, HEADER true)")
                            .arg(columns, csv);
                    return Run("psql", QStringList{"-h", server.SocketDirectory(), "-U", "postgres", "-d",
                                                   QStringLiteral("r%1").arg(i), "-X", "-q", "-v",
                                                   "ON_ERROR_STOP=1", "-c", copy});
                });
        }
    }
    LivePath();
    return 0;
}
