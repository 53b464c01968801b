#include "SinkTestSupport.h"

#include "sinks/Outbox.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <random>

namespace lumvaris::sinks {
namespace {

QString Describe(const OutboxEntry& e) {
    std::uint8_t bytes[meterdata::MeterRecord::kSize];
    e.Record.Encode(bytes);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes), sizeof bytes).toHex()) + ' ' +
           QString::number(int(e.Source)) + ' ' + QString::number(e.UtcMs) + ' ' + e.UartId + ' ' + e.Site;
}

QStringList Describe(const std::vector<OutboxEntry>& entries) {
    QStringList out;
    for (const OutboxEntry& e : entries) {
        out << Describe(e);
    }
    return out;
}

OutboxEntry RandomEntry(std::mt19937& rng) {
    static const QString sites[] = {"", "ТП-17", "a", QString(300, QChar(0x0416)), "x y,z\"\n"};
    OutboxEntry e;
    e.Record = test::RandomRecord(rng);
    e.Source = rng() % 2 ? meterdata::RecordSource::Live : meterdata::RecordSource::Buffer;
    e.UtcMs = static_cast<qint64>(rng()) * 1000 + rng() % 1000;
    e.Site = sites[rng() % std::size(sites)];
    e.UartId = rng() % 4 ? QString::number(rng() % 0xFFFF, 16).toUpper() : QString();
    return e;
}

// Random adds, takes, acknowledgements, give-backs and reopenings (some after a write torn by a
// power cut) against a model: the entries added and not acknowledged. The outbox must offer exactly
// those, in the order added, after every reopening, and never one twice.
TEST(Outbox, WhatIsNotAcknowledgedComesBackInOrderAcrossReopeningsAndTornWrites) {
    QTemporaryDir dir;
    const QString url = "postgresql://meter@db/readings";
    const QString name = Outbox::FileName(dir.path() + "/", "/dev/ttyUSB0", url);
    EXPECT_TRUE(name.endsWith(".bin") && QFileInfo(name).fileName().startsWith("ttyUSB0-OUTBOX-"));
    std::mt19937 rng(11);
    std::deque<OutboxEntry> model;
    std::size_t taken = 0;
    auto outbox = std::make_unique<Outbox>();
    QString error;
    QString notice;
    ASSERT_TRUE(outbox->Open(name, url, {}, error, notice)) << error.toStdString();
    for (int step = 0; step < 4000; ++step) {
        const unsigned op = rng() % 20;
        if (op < 9) {
            const OutboxEntry e = RandomEntry(rng);
            ASSERT_TRUE(outbox->Add(e));
            model.push_back(e);
        } else if (op < 14) {
            ASSERT_TRUE(outbox->WaitUntilWritten(5000));
            std::vector<OutboxEntry> got;
            const std::size_t n = outbox->Take(got, 1 + rng() % 40);
            ASSERT_EQ(n, std::min<std::size_t>(got.size(), model.size() - taken));
            std::vector<OutboxEntry> expected(model.begin() + taken, model.begin() + taken + n);
            ASSERT_EQ(Describe(got), Describe(expected)) << step;
            taken += n;
        } else if (op < 17) {
            const std::size_t n = taken == 0 ? 0 : rng() % (taken + 1);
            outbox->Acknowledge(n);
            model.erase(model.begin(), model.begin() + n);
            taken -= n;
        } else if (op < 18) {
            outbox->GiveBack();
            taken = 0;
        } else {
            outbox->Close();
            if (rng() % 2) {
                // A power cut in the middle of an append: part of an entry at the end.
                QFile file(name);
                ASSERT_TRUE(file.open(QIODevice::Append));
                file.write(QByteArray(1 + rng() % 40, char(rng())));
            }
            outbox = std::make_unique<Outbox>();
            ASSERT_TRUE(outbox->Open(name, url, {}, error, notice)) << error.toStdString();
            EXPECT_TRUE(notice.isEmpty()) << notice.toStdString();
            ASSERT_EQ(outbox->Pending(), qint64(model.size())) << step;
            taken = 0;
        }
    }
    outbox->GiveBack();
    ASSERT_TRUE(outbox->WaitUntilWritten(5000));
    std::vector<OutboxEntry> rest;
    while (outbox->Take(rest, 1000) > 0) {
    }
    EXPECT_EQ(Describe(rest), Describe(std::vector<OutboxEntry>(model.begin(), model.end())));
    // All delivered: the file is back to its header at the close.
    outbox->Acknowledge(rest.size());
    outbox->Close();
    EXPECT_LT(QFileInfo(name).size(), 200);
    outbox = std::make_unique<Outbox>();
    ASSERT_TRUE(outbox->Open(name, url, {}, error, notice));
    EXPECT_EQ(outbox->Pending(), 0);
}

// A file of another destination, or garbage, is kept aside with one notice and a new outbox begun;
// a full outbox refuses what would pass its bound.
TEST(Outbox, AForeignOrDamagedFileIsKeptAsideAndTheBoundHolds) {
    QTemporaryDir dir;
    const QString name = dir.filePath("p-OUTBOX-x.bin");
    for (const QByteArray& content : {QByteArray("garbage, not an outbox at all"), QByteArray()}) {
        QString error;
        QString notice;
        if (!content.isEmpty()) {
            QFile file(name);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        } else {
            // An outbox of one address, opened for another.
            Outbox other;
            ASSERT_TRUE(other.Open(name, "csv:a.csv", {}, error, notice));
        }
        Outbox outbox;
        ASSERT_TRUE(outbox.Open(name, "csv:b.csv", {}, error, notice)) << error.toStdString();
        EXPECT_TRUE(
            notice.startsWith("Очередь показаний «" + QDir::toNativeSeparators(name) +
                              "» повреждена или принадлежит другому адресу: она сохранена под именем «"))
            << notice.toStdString();
        EXPECT_EQ(outbox.Pending(), 0);
        outbox.Close();
        for (const QString& aside : QDir(dir.path()).entryList({"p-OUTBOX-x.bin.damaged-*"})) {
            QFile::remove(dir.filePath(aside));
        }
        QFile::remove(name);
    }

    Outbox::Options small;
    small.MaxBytes = 3 * 42;  // three entries without site and UART-ID
    Outbox outbox;
    QString error;
    QString notice;
    ASSERT_TRUE(outbox.Open(name, "csv:b.csv", small, error, notice));
    OutboxEntry e;
    e.Record.Valid = 0xFF;
    int kept = 0;
    for (int i = 0; i < 5; ++i) {
        kept += outbox.Add(e) ? 1 : 0;
    }
    EXPECT_EQ(kept, 3);
    EXPECT_EQ(outbox.Dropped(), 2);
    ASSERT_TRUE(outbox.WaitUntilWritten(5000));
    std::vector<OutboxEntry> got;
    outbox.Take(got, 10);
    outbox.Acknowledge(2);
    EXPECT_TRUE(outbox.Add(e));  // room again for what was delivered
    EXPECT_EQ(outbox.Pending(), 2);
}

// The feed adds each record once with the origin of the moment; a packet repeated within one time
// stamp (two alike in one receive tick) once, as the databases keep it once.
TEST(Outbox, TheFeedAddsARepeatedPacketOnceAndEachRecordWithItsOrigin) {
    QTemporaryDir dir;
    Outbox outbox;
    QString error;
    QString notice;
    ASSERT_TRUE(outbox.Open(dir.filePath("o.bin"), "csv:x", {}, error, notice));
    OutboxFeed feed(outbox);
    feed.SetSite("ТП-17");
    std::mt19937 rng(5);
    meterdata::MeterRecord a = test::RandomRecord(rng);
    meterdata::MeterRecord b = a;
    b.Meter = static_cast<std::uint16_t>(a.Meter + 1);
    feed.RecordFiled(a, meterdata::RecordSource::Live);
    feed.RecordFiled(a, meterdata::RecordSource::Live);  // the same packet again in the tick
    feed.RecordFiled(b, meterdata::RecordSource::Live);
    feed.SetUartId(0x2ABC);
    a.WordA ^= 1;
    feed.RecordFiled(a, meterdata::RecordSource::Buffer);
    ASSERT_TRUE(outbox.WaitUntilWritten(5000));
    std::vector<OutboxEntry> got;
    outbox.Take(got, 10);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].Record.Meter, b.Meter - 1);
    EXPECT_EQ(got[1].Record.Meter, b.Meter);
    EXPECT_EQ(got[2].UartId, "2ABC");
    EXPECT_EQ(got[2].Site, "ТП-17");
    EXPECT_EQ(got[2].Source, meterdata::RecordSource::Buffer);
    EXPECT_EQ(got[0].UartId, "2FFF");
}

}  // namespace
}  // namespace lumvaris::sinks
