#include "SinkTestSupport.h"

#include "meterdata/IClock.h"
#include "meterdata/MeterDatabase.h"
#include "sinks/FiledRecordsFanOut.h"
#include "sinks/SinkQueue.h"
#include "sinks/SinkUrl.h"
#include "sinks/SqlSink.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <mutex>

namespace lumvaris::sinks {
namespace {

using namespace std::chrono_literals;

class Clock final : public meterdata::IClock {
  public:
    QDateTime Now() const override { return now; }
    QDateTime now = QDateTime(QDate(2024, 3, 15), QTime(12, 0, 0, 125));
};

std::unique_ptr<ISink> Sink(const QString& url) {
    SinkAddress address;
    QString error;
    EXPECT_TRUE(ParseSinkUrl(url, address, error)) << error.toStdString();
    return CreateSink(address);
}

// What a queue said, in order; heard on the worker's thread.
class Said {
  public:
    explicit Said(SinkQueue& queue) {
        auto add = [this](const QString& note) {
            std::lock_guard lock(mutex_);
            notes_ << note;
        };
        QObject::connect(
            &queue, &SinkQueue::ReachabilityChanged, &queue,
            [add](bool reachable, const QString& message) { add((reachable ? "up: " : "down: ") + message); },
            Qt::DirectConnection);
        QObject::connect(
            &queue, &SinkQueue::Overflowed, &queue,
            [add](const QString& message) { add("full: " + message); }, Qt::DirectConnection);
    }
    QStringList Notes(int atLeast = 0) {
        for (int wait = 0; wait < 2000 && Size() < atLeast; ++wait) {
            QThread::msleep(10);
        }
        std::lock_guard lock(mutex_);
        return notes_;
    }

  private:
    qsizetype Size() {
        std::lock_guard lock(mutex_);
        return notes_.size();
    }
    std::mutex mutex_;
    QStringList notes_;
};

QString Select(const QString& url, const QString& sql) {
    std::unique_ptr<ISink> sink = Sink(url);
    EXPECT_TRUE(sink->Open()) << sink->LastError().toStdString();
    return test::Select(static_cast<SqlSink&>(*sink).Database(), sql).join('\n');
}

TEST(SinkQueue, RecordsFiledByTheIntakeReachEverySinkWithTheirOrigin) {
    QTemporaryDir dir;
    Clock clock;
    meterdata::MeterDatabase database(dir.path(), clock);
    ASSERT_TRUE(database.Open("ttyUSB0")) << database.LastError().toStdString();
    const QString url = "sqlite:" + dir.filePath("readings.db");
    const QString linesUrl = "jsonl:" + dir.filePath("readings.jsonl");
    SinkQueue queue(Sink(url));
    SinkQueue lines(Sink(linesUrl));
    const auto outbox = test::OpenOutbox(dir.path(), url);
    const auto lineOutbox = test::OpenOutbox(dir.path(), linesUrl);
    queue.Attach(outbox);
    lines.Attach(lineOutbox);
    OutboxFeed feed(*outbox);
    OutboxFeed lineFeed(*lineOutbox);
    FiledRecordsFanOut fanOut;
    for (OutboxFeed* f : {&feed, &lineFeed, &feed}) {  // the second &feed is not added again
        fanOut.Add(f);
        f->SetSite("ТП-17");
        f->SetUartId(0x2FFF);
    }
    database.SetFiledRecords(&fanOut);

    const std::uint8_t live[] = {0x81, 0xD2, 0x04, 0x05, 0x87, 0x23};
    database.StoreMeterPacket({0x1007, live, sizeof live});
    feed.SetUartId(0x0A1B);
    clock.now = clock.now.addSecs(1);
    database.StoreMeterPacket({0x1008, live, sizeof live});
    // A buffer record of meter 9 read from the concentrator: 2024-02-29 23:58 local.
    const std::uint8_t buffer[] = {0x90, 0x09, 0x00, 0x02, 0x0E, 0x27, 0x2D, 0xBB, 0x41, 58, 23, 28, 1, 24};
    database.StoreMeterPacket({0x2FFF, buffer, sizeof buffer});

    ASSERT_TRUE(queue.WaitUntilWritten(10s));
    EXPECT_EQ(lines.Stop(10s), 0);
    EXPECT_EQ(
        Select(url,
               "SELECT meter || ' ' || uart_id || ' ' || site || ' ' || source || ' ' || time || ' ' || "
               "family || ' ' || current_text || ' ' || value FROM readings ORDER BY meter"),
        "7 2FFF ТП-17 live 2024-03-15T09:00:00.125Z Хол.вода-B, куб.м 123.9 123.9\n"
        "8 0A1B ТП-17 live 2024-03-15T09:00:01.125Z Хол.вода-B, куб.м 123.9 123.9\n"
        "9 0A1B ТП-17 buffer 2024-02-29T20:58:00.000Z кВт·ч (S-T3) 0043 43.0");
    QFile jsonl(dir.filePath("readings.jsonl"));
    ASSERT_TRUE(jsonl.open(QIODevice::ReadOnly));
    EXPECT_EQ(jsonl.readAll().count('\n'), 3);
}

TEST(SinkQueue, ServerStoppedInTheMiddleGetsEveryReadingOnceWhenItIsBack) {
    LUMVARIS_NEED_POSTGRES(server);
    const QString url = server->Url(test::NewPostgresDatabase(*server));
    SinkQueue::Options options;
    options.BatchSize = 50;
    options.FirstRetry = 100ms;
    options.LongestRetry = 400ms;
    SinkQueue queue(Sink(url), options);
    QTemporaryDir dir;
    queue.Attach(test::OpenOutbox(dir.path(), url));
    Said said(queue);
    meterdata::MeterRecord record;
    record.Valid = 0xFF;
    record.Type = 0x02;
    const double start = meterdata::DaysFromDateTime(QDate(2024, 3, 15), QTime(12, 0));
    for (int i = 0; i < 3000; ++i) {
        record.Meter = static_cast<std::uint16_t>(1 + i % 100);
        record.Time = start + (i / 100) / 1440.0;
        ASSERT_TRUE(queue.Enqueue(record, meterdata::RecordSource::Live, "site", "2FFF"));
        if (i == 1000) {
            for (int wait = 0; queue.Written() == 0 && wait < 2000; ++wait) {
                QThread::msleep(5);  // until the stream flows
            }
            ASSERT_TRUE(server->Stop());
        }
        if (i == 2000) {
            ASSERT_EQ(said.Notes(1).size(), 1);  // the worker found the server gone
            ASSERT_TRUE(server->Restart());
        }
    }
    ASSERT_TRUE(queue.WaitUntilWritten(60s));
    EXPECT_EQ(Select(url, "SELECT count(*) || ' ' || count(DISTINCT (meter, time)) FROM readings"),
              "3000 3000");
    const QStringList notes = said.Notes();
    ASSERT_EQ(notes.size(), 2) << notes.join('\n').toStdString();
    // Whichever step the server went away in: the write, the connection or the check of the tables.
    EXPECT_TRUE(notes[0].startsWith("down: ") && notes[0].contains("«" + url + "»: ") &&
                notes[0].endsWith("\nПоказания ждут в очереди и будут записаны, когда связь восстановится."))
        << notes[0].toStdString();
    EXPECT_EQ(notes[1], "up: Связь с «" + url + "» восстановлена: показания из очереди записываются.");
}

TEST(SinkQueue, AFullQueueTakesNoMoreAndSaysSoOnceAndAnUnreachableSinkIsNotWaitedFor) {
    QTemporaryDir dir;
    const QString url = "sqlite:" + dir.filePath("no/such/dir/readings.db");
    SinkQueue::Options options;
    options.FirstRetry = options.LongestRetry = 20ms;
    SinkQueue queue(Sink(url), options);
    // Ten records of 42 bytes each (no site, no UART-ID) fill it.
    queue.Attach(test::OpenOutbox(dir.path(), url, 10 * 42));
    Said said(queue);
    meterdata::MeterRecord record;
    record.Valid = 0xFF;
    // The first record is in the worker's hands, failing to be written; it counts against the bound.
    int taken = queue.Enqueue(record, meterdata::RecordSource::Live, "", "") ? 1 : 0;
    ASSERT_EQ(said.Notes(1).size(), 1);
    for (int i = 0; i < 14; ++i) {
        taken += queue.Enqueue(record, meterdata::RecordSource::Live, "", "") ? 1 : 0;
    }
    EXPECT_EQ(taken, 10);
    EXPECT_EQ(queue.Dropped(), 5);
    ASSERT_EQ(said.Notes(2).size(), 2);
    EXPECT_FALSE(queue.Enqueue(record, meterdata::RecordSource::Live, "", ""));
    QThread::msleep(100);  // a few more retries and one more record refused: nothing more is said
    const QStringList notes = said.Notes();
    ASSERT_EQ(notes.size(), 2) << notes.join('\n').toStdString();
    EXPECT_TRUE(
        notes.contains("full: Очередь записи в «" + url +
                       "» на диске заполнена (420 байт): новые показания в неё "
                       "не попадают и остаются только в локальной базе данных порта. Экспорт базы порта "
                       "позже допишет недостающие."));
    EXPECT_EQ(notes.filter("down: Не удалось открыть базу данных SQLite «" + url + "»: ").size(), 1);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(queue.Stop(10s), 10);
    EXPECT_LT(timer.elapsed(), 2000);
}

// A stop writes everything the outbox holds while the sink takes writes, within its time.
TEST(SinkQueue, AStopWritesEverythingQueuedWithinItsTime) {
    QTemporaryDir dir;
    const QString url = "sqlite:" + dir.filePath("stop.db");
    SinkQueue queue(Sink(url));
    queue.Attach(test::OpenOutbox(dir.path(), url));
    meterdata::MeterRecord record;
    record.Valid = 0xFF;
    const double start = meterdata::DaysFromDateTime(QDate(2024, 3, 15), QTime(12, 0));
    for (int i = 0; i < 20000; ++i) {
        record.Meter = static_cast<std::uint16_t>(1 + i % 500);
        record.Time = start + i / meterdata::kMillisecondsPerDay;
        ASSERT_TRUE(queue.Enqueue(record, meterdata::RecordSource::Live, "s", "2FFF"));
    }
    EXPECT_EQ(queue.Stop(60s), 0);
    EXPECT_EQ(Select(url, "SELECT count(*) FROM readings"), "20000");
}

}  // namespace
}  // namespace lumvaris::sinks
