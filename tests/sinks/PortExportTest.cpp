#include "SinkTestSupport.h"

#include "meterdata/MeterDatabase.h"
#include "meterdata/TMatrixInterface.h"
#include "sinks/PortExport.h"
#include "sinks/SinkUrl.h"
#include "sinks/SqlSink.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

namespace lumvaris::sinks {
namespace {

using meterdata::MeterDatabase;
using meterdata::MeterRecord;
using meterdata::TMatrixInterface;

QByteArray Bytes(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

struct Port {
    QTemporaryDir dir;
    QString packets = MeterDatabase::DatabaseFileName(dir.path(), "ttyUSB0", MeterDatabase::kPacketsSuffix);
    QString days = MeterDatabase::DatabaseFileName(dir.path(), "ttyUSB0", MeterDatabase::kDaysSuffix);

    PortExportResult Export(const QStringList& urls, std::function<bool(qint64, qint64)> progress = {}) {
        std::vector<std::unique_ptr<ISink>> owned;
        std::vector<ISink*> sinks;
        for (const QString& url : urls) {
            QString error;
            owned.push_back(OpenSink(url, error));
            EXPECT_TRUE(owned.back()) << error.toStdString();
            sinks.push_back(owned.back().get());
        }
        PortExportOptions options;
        options.ProgramDirectory = dir.path();
        options.PortName = "/dev/ttyUSB0";
        options.Site = "ТП-17";
        options.BatchSize = 97;
        options.Progress = std::move(progress);
        return ExportPortDatabase(options, sinks);
    }
    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files); }
};

// Each reading as meter, type, words, UTC time and source.
using Identity = std::tuple<int, int, int, int, QString, QString>;

TEST(PortExport, EveryPacketOfBothFilesOnceInEverySinkAndTheFilesUntouched) {
    Port port;
    TMatrixInterface packets(port.packets);
    TMatrixInterface days(port.days);
    packets.SetRowCount(41);
    packets.SetColCount(31);
    days.SetRowCount(41);
    days.SetColCount(11);
    std::mt19937 rng(11);
    for (int meter = 1; meter <= 40; ++meter) {
        for (int slot = 1; slot < packets.ColCount(); ++slot) {
            MeterRecord r = test::RandomRecord(rng, 1);
            r.Meter = static_cast<std::uint16_t>(meter);
            if (slot % 7 == 0) {
                r = MeterRecord{};
                r.EmptyMark = 1;  // " ####": shown, but no packet
            } else if (slot % 5 == 0) {
                packets.GetMeterRecord(r, slot - 1, meter);  // a buffer read twice
            }
            packets.PutMeterRecord(r, slot, meter);
            days.PutMeterRecord(r, slot / 3, meter);  // the day store's copies
        }
        for (int slot = 1; slot < days.ColCount(); slot += 4) {
            MeterRecord r = test::RandomRecord(rng, 1);
            r.Meter = static_cast<std::uint16_t>(meter);
            days.PutMeterRecord(r, slot, meter);  // fallen out of the packet store
        }
    }
    std::set<Identity> expected;
    qint64 packetsInFiles = 0;
    for (const TMatrixInterface* store : {&packets, &days}) {
        for (int row = 0; row < store->RowCount(); ++row) {
            for (int col = 0; col < store->ColCount(); ++col) {
                MeterRecord r;
                store->GetMeterRecord(r, col, row);
                QDate date;
                QTime time;
                if (r.Valid != 0 && meterdata::DateTimeFromDays(r.Time, date, time)) {
                    ++packetsInFiles;
                    expected.emplace(r.Meter, r.Type, r.WordA, r.WordB,
                                     TimeText(QDateTime(date, time).toUTC()),
                                     time.second() == 0 && time.msec() == 0 ? "buffer" : "live");
                }
            }
        }
    }
    ASSERT_TRUE(packets.SaveToFile() && days.SaveToFile());
    const QByteArray packetsBytes = Bytes(port.packets);
    const QByteArray daysBytes = Bytes(port.days);

    std::vector<std::pair<qint64, qint64>> progress;
    const PortExportResult result =
        port.Export({"csv:" + port.dir.filePath("out.csv"), "jsonl:" + port.dir.filePath("out.jsonl"),
                     "sqlite:" + port.dir.filePath("out.db")},
                    [&](qint64 done, qint64 total) {
                        progress.emplace_back(done, total);
                        return true;
                    });
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();
    const qint64 n = static_cast<qint64>(expected.size());
    EXPECT_EQ(result.Written, n);
    EXPECT_EQ(progress.front(), std::pair(qint64(0), packetsInFiles));
    EXPECT_EQ(progress.back(), std::pair(packetsInFiles, packetsInFiles));
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));

    std::set<Identity> lines;
    for (const QByteArray& line : Bytes(port.dir.filePath("out.jsonl")).split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (!o.isEmpty()) {
            lines.emplace(o.value("meter").toInt(), o.value("type").toInt(), o.value("word_a").toInt(),
                          o.value("word_b").toInt(), o.value("time").toString(),
                          o.value("source").toString());
        }
    }
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(Bytes(port.dir.filePath("out.csv")).count("\r\n"), n + 1);
    QString error;
    std::unique_ptr<ISink> database = OpenSink("sqlite:" + port.dir.filePath("out.db"), error);
    ASSERT_TRUE(database);
    EXPECT_EQ(test::Select(static_cast<SqlSink&>(*database).Database(), "SELECT count(*) FROM readings"),
              QStringList{QString::number(n)});
    database.reset();

    EXPECT_EQ(Bytes(port.packets), packetsBytes);
    EXPECT_EQ(Bytes(port.days), daysBytes);
    EXPECT_EQ(port.Files(),
              (QStringList{"out.csv", "out.db", "out.jsonl", "ttyUSB0-DAYS.bin", "ttyUSB0-PACKETS.bin"}));
}

TEST(PortExport, MissingOrDamagedFilesAndACancelLeaveNothingBehind) {
    Port port;
    const QString csv = "csv:" + port.dir.filePath("out.csv");
    EXPECT_EQ(port.Export({csv}).Error, "Локальной базы данных порта «/dev/ttyUSB0» нет: не найдены файлы «" +
                                            port.packets + "» и «" + port.days + "».");
    TMatrixInterface store(port.packets);
    store.SetRowCount(3);
    store.SetColCount(4);
    MeterRecord r;
    r.Valid = 0xFF;
    for (int slot = 1; slot < 4; ++slot) {
        r.Time = 45000 + slot;
        store.PutMeterRecord(r, slot, 1);
    }
    ASSERT_TRUE(store.SaveToFile());
    QFile damaged(port.days);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly) && damaged.write(test::HeaderBytes(5, 5)) == 8);
    damaged.close();
    EXPECT_EQ(port.Export({csv}).Error, "Файл базы данных «" + port.days +
                                            "» не прочитан: файл короче своих записей. Экспорт не выполнен.");
    EXPECT_EQ(Bytes(port.days), test::HeaderBytes(5, 5));
    ASSERT_TRUE(QFile::remove(port.days));

    const PortExportResult cancelled = port.Export({csv}, [](qint64 done, qint64) { return done == 0; });
    EXPECT_TRUE(cancelled.Cancelled && cancelled.Error.isEmpty());
    EXPECT_EQ(port.Files(), QStringList{"ttyUSB0-PACKETS.bin"});
    EXPECT_EQ(port.Export({csv}).Written, 3);
}

// The files keep local time. An export reads it in the zone recorded beside them, whatever this
// machine's is, and in the hour repeated when clocks go back it keeps the packets' order: the two
// passes of the hour are two sets of instants, as the live feed wrote them.
TEST(PortExport, LocalTimesAreReadInTheFilesZoneAndTheRepeatedHourStaysInOrder) {
    Port port;
    TMatrixInterface packets(port.packets);
    packets.SetRowCount(2);
    packets.SetColCount(6);
    // Berlin, 27 October 2024: 03:00 summer time became 02:00 winter time. Filed in this order:
    const QTime filed[] = {QTime(1, 50), QTime(2, 30), QTime(2, 50), QTime(2, 10), QTime(2, 40)};
    for (int i = 0; i < 5; ++i) {
        MeterRecord r;
        r.Valid = 0xFF;
        r.Meter = 1;
        r.Type = 0x81;
        r.WordA = static_cast<std::uint16_t>(100 + i);
        r.Time = meterdata::DaysFromDateTime(QDate(2024, 10, 27), filed[i].addMSecs(125));
        packets.PutMeterRecord(r, 5 - i, 1);  // the newest in slot 1
    }
    ASSERT_TRUE(packets.Save(nullptr));
    QFile zone(MeterDatabase::DatabaseFileName(port.dir.path(), "ttyUSB0", MeterDatabase::kZoneSuffix));
    ASSERT_TRUE(zone.open(QIODevice::WriteOnly) && zone.write("Europe/Berlin\n") > 0);
    zone.close();
    const QString out = port.dir.filePath("r.jsonl");
    ASSERT_TRUE(port.Export({"jsonl:" + out}).Ok);
    QStringList times;
    for (const QByteArray& line : Bytes(out).split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (!o.isEmpty()) {
            times << QString::number(o.value("word_a").toInt()) + " " + o.value("time").toString();
        }
    }
    times.sort();
    EXPECT_EQ(times, (QStringList{"100 2024-10-26T23:50:00.125Z", "101 2024-10-27T00:30:00.125Z",
                                  "102 2024-10-27T00:50:00.125Z", "103 2024-10-27T01:10:00.125Z",
                                  "104 2024-10-27T01:40:00.125Z"}));
}

}  // namespace
}  // namespace lumvaris::sinks
