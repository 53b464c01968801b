#include "SinkTestSupport.h"

#include "meterdata/MeterDatabase.h"
#include "meterdata/TMatrixInterface.h"
#include "sinks/PortExport.h"
#include "sinks/SinkUrl.h"
#include "sinks/SqlSink.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace lumvaris::sinks {
namespace {

using meterdata::MeterDatabase;
using meterdata::MeterRecord;

QByteArray Bytes(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

struct Port {
    QTemporaryDir dir;
    QString packets = MeterDatabase::DatabaseFileName(dir.path(), "ttyUSB0", MeterDatabase::kPacketsSuffix);
    QString days = MeterDatabase::DatabaseFileName(dir.path(), "ttyUSB0", MeterDatabase::kDaysSuffix);

    std::unique_ptr<ISink> Open(const QString& url) {
        QString error;
        std::unique_ptr<ISink> sink = OpenSink(url, error);
        EXPECT_TRUE(sink) << error.toStdString();
        return sink;
    }
    PortExportOptions Options() {
        PortExportOptions options;
        options.ProgramDirectory = dir.path();
        options.PortName = "/dev/ttyUSB0";
        options.Site = "ТП-17";
        options.BatchSize = 97;
        return options;
    }
};

// Each reading as meter, type, words, UTC time and source, as the files' records give them.
using Identity = std::tuple<int, int, int, int, QString, QString>;

TEST(PortExport, EveryPacketOfBothFilesOnceInEverySinkAndTheFilesUntouched) {
    Port port;
    constexpr int kMeters = 40;
    meterdata::TMatrixInterface packets(port.packets);
    meterdata::TMatrixInterface days(port.days);
    packets.SetRowCount(kMeters + 1);
    packets.SetColCount(31);
    days.SetRowCount(kMeters + 1);
    days.SetColCount(11);
    std::mt19937 rng(11);
    std::set<Identity> expected;
    qint64 packetsInFiles = 0;
    auto add = [&](const MeterRecord& r) {
        if (r.Valid == 0) {
            return;
        }
        QDate date;
        QTime time;
        meterdata::DateTimeFromDays(r.Time, date, time);
        expected.emplace(r.Meter, r.Type, r.WordA, r.WordB, TimeText(QDateTime(date, time).toUTC()),
                         time.second() == 0 && time.msec() == 0 ? "buffer" : "live");
    };
    for (int meter = 1; meter <= kMeters; ++meter) {
        for (int slot = 1; slot < packets.ColCount(); ++slot) {
            MeterRecord r = test::RandomRecord(rng, 1);
            r.Meter = static_cast<std::uint16_t>(meter);
            if (slot % 7 == 0) {
                r = MeterRecord{};
                r.EmptyMark = 1;  // " ####": shown, but no packet
            } else if (slot % 5 == 0) {
                packets.GetMeterRecord(r, slot - 1, meter);  // read twice from a buffer
            }
            packets.PutMeterRecord(r, slot, meter);
            add(r);
            if (slot % 3 == 0 && slot / 3 < days.ColCount()) {
                days.PutMeterRecord(r, slot / 3, meter);  // the day store's copy
            }
        }
        for (int slot = 1; slot < days.ColCount(); slot += 4) {
            MeterRecord r = test::RandomRecord(rng, 1);
            r.Meter = static_cast<std::uint16_t>(meter);
            days.PutMeterRecord(r, slot, meter);  // fallen out of the packet store
            add(r);
        }
    }
    for (const meterdata::TMatrixInterface* store : {&packets, &days}) {
        for (int row = 0; row < store->RowCount(); ++row) {
            for (int col = 0; col < store->ColCount(); ++col) {
                MeterRecord r;
                store->GetMeterRecord(r, col, row);
                packetsInFiles += r.Valid != 0;
            }
        }
    }
    ASSERT_TRUE(packets.SaveToFile() && days.SaveToFile());
    const QByteArray packetsBytes = Bytes(port.packets);
    const QByteArray daysBytes = Bytes(port.days);

    const QString csv = port.dir.filePath("out.csv");
    const QString jsonl = port.dir.filePath("out.jsonl");
    const QString sqlite = "sqlite:" + port.dir.filePath("out.db");
    std::vector<std::unique_ptr<ISink>> owned;
    for (const QString& url : {"csv:" + csv, "jsonl:" + jsonl, sqlite}) {
        owned.push_back(port.Open(url));
    }
    std::vector<ISink*> sinks{owned[0].get(), owned[1].get(), owned[2].get()};
    PortExportOptions options = port.Options();
    std::vector<std::pair<qint64, qint64>> progress;
    options.Progress = [&](qint64 done, qint64 total) {
        progress.emplace_back(done, total);
        return true;
    };
    const PortExportResult result = ExportPortDatabase(options, sinks);
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();
    const qint64 n = static_cast<qint64>(expected.size());
    EXPECT_EQ(result.Total, packetsInFiles);
    EXPECT_EQ(result.Written, n);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), std::pair(qint64(0), packetsInFiles));
    EXPECT_EQ(progress.back(), std::pair(packetsInFiles, packetsInFiles));
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));

    std::set<Identity> lines;
    QFile file(jsonl);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.isEmpty()) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            EXPECT_EQ(o.value("site").toString(), "ТП-17");
            lines.emplace(o.value("meter").toInt(), o.value("type").toInt(), o.value("word_a").toInt(),
                          o.value("word_b").toInt(), o.value("time").toString(),
                          o.value("source").toString());
        }
    }
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(Bytes(csv).count("\r\n"), n + 1);
    auto* database = static_cast<SqlSink*>(owned[2].get());
    QSqlQuery count(database->Database());
    ASSERT_TRUE(count.exec("SELECT count(*) FROM readings") && count.next());
    EXPECT_EQ(count.value(0).toLongLong(), n);

    count.finish();
    owned.clear();
    EXPECT_EQ(Bytes(port.packets), packetsBytes);
    EXPECT_EQ(Bytes(port.days), daysBytes);
    EXPECT_EQ(QDir(port.dir.path()).entryList(QDir::Files),
              (QStringList{"out.csv", "out.db", "out.jsonl", "ttyUSB0-DAYS.bin", "ttyUSB0-PACKETS.bin"}));
}

TEST(PortExport, MissingOrDamagedFilesAndACancelLeaveNothingBehind) {
    Port port;
    const QString csv = port.dir.filePath("out.csv");
    auto run = [&](std::function<bool(qint64, qint64)> progress = {}) {
        std::unique_ptr<ISink> sink = port.Open("csv:" + csv);
        ISink* sinks[] = {sink.get()};
        PortExportOptions options = port.Options();
        options.Progress = std::move(progress);
        return ExportPortDatabase(options, sinks);
    };
    PortExportResult result = run();
    EXPECT_EQ(result.Error, "Локальной базы данных порта «/dev/ttyUSB0» нет: не найдены файлы «" +
                                port.packets + "» и «" + port.days + "».");

    meterdata::TMatrixInterface store(port.packets);
    store.SetRowCount(3);
    store.SetColCount(4);
    MeterRecord r;
    r.Valid = 0xFF;
    r.Meter = 1;
    for (int slot = 1; slot < 4; ++slot) {
        r.Time = 45000 + slot;
        store.PutMeterRecord(r, slot, 1);
    }
    ASSERT_TRUE(store.SaveToFile());
    QFile damaged(port.days);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly) && damaged.write(test::HeaderBytes(5, 5)) == 8);
    damaged.close();
    result = run();
    EXPECT_EQ(result.Error, "Файл базы данных «" + port.days +
                                "» не прочитан: файл короче своих записей. "
                                "Экспорт не выполнен.");
    EXPECT_EQ(Bytes(port.days), test::HeaderBytes(5, 5));

    ASSERT_TRUE(QFile::remove(port.days));
    result = run([](qint64 done, qint64) { return done == 0; });
    EXPECT_TRUE(result.Cancelled);
    EXPECT_TRUE(result.Error.isEmpty());
    EXPECT_EQ(QDir(port.dir.path()).entryList(QDir::Files), QStringList{"ttyUSB0-PACKETS.bin"});
    result = run();
    EXPECT_TRUE(result.Ok);
    EXPECT_EQ(result.Written, 3);
}

}  // namespace
}  // namespace lumvaris::sinks
