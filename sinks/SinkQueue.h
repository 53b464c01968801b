#pragma once

#include "meterdata/IFiledRecords.h"
#include "meterdata/MeterRecord.h"
#include "sinks/ISink.h"

#include <QLocale>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace lumvaris::sinks {

// Writes records to one sink from a worker thread of its own, so that the caller (the window's
// receive path, the command line's collector) never waits for a disk or a server.
//
// Enqueue takes the raw record with its origin and costs the caller a lock and a copy; the worker
// turns the records into readings and writes them in batches. The queue holds at most
// Options::Capacity records; when it is full a new record is not queued (Enqueue returns false,
// Dropped() counts it, Overflowed is said once) and stays only in the port's local database files,
// from which an export fills the gap later: writes are idempotent.
//
// When the sink cannot be opened or a write fails (a server that went away), the queue keeps the
// batch and the records behind it, says so once through ReachabilityChanged, reopens the sink after
// a pause that doubles from FirstRetry up to LongestRetry, and writes the same batch again. A batch
// the server had committed before the failure is skipped row by row by the database itself, so
// every record reaches it exactly once.
//
// The signals are emitted from the worker thread: connect them with a receiver object (queued to
// its thread) or handle them thread-safely.
class SinkQueue : public QObject {
    Q_OBJECT

  public:
    struct Options {
        int Capacity = 100000;  // records waiting or being written, about 100 bytes each
        int BatchSize = 500;    // records per write (one transaction)
        std::chrono::milliseconds FirstRetry{1000};
        std::chrono::milliseconds LongestRetry{30000};
        QLocale Locale = QLocale::system();  // of the decoded texts, as the tables show them
    };

    // Starts the worker, which opens the sink in its own thread.
    SinkQueue(std::unique_ptr<ISink> sink, Options options, QObject* parent = nullptr);
    explicit SinkQueue(std::unique_ptr<ISink> sink, QObject* parent = nullptr)
        : SinkQueue(std::move(sink), Options(), parent) {}
    // Stop(0) unless stopped before.
    ~SinkQueue() override;

    // Any thread. False when the queue is full or stopped: the record is not queued.
    bool Enqueue(const meterdata::MeterRecord& record, meterdata::RecordSource source, const QString& site,
                 const QString& uartId);

    // Waits until every record queued so far is written, at most `timeout`; true when it is.
    bool WaitUntilWritten(std::chrono::milliseconds timeout);
    // Ends the worker. While the sink takes writes, what is queued is still written, for at most
    // `timeout`; a sink that is unreachable is not waited for. Then the sink is finished (a file is
    // put in place) and closed. Returns the number of records left unwritten.
    qint64 Stop(std::chrono::milliseconds timeout);

    const QString& Url() const { return url_; }
    qint64 Queued() const;  // waiting or being written
    qint64 Written() const { return written_.load(); }
    qint64 Dropped() const { return dropped_.load(); }  // refused because the queue was full
    bool Reachable() const { return reachable_.load(); }

  signals:
    // Once per change: false with the reason when writing stops, true when it works again.
    void ReachabilityChanged(bool reachable, const QString& message);
    // Once each time the queue has filled up (again after it had emptied to half).
    void Overflowed(const QString& message);

  private:
    struct Entry {
        meterdata::MeterRecord Record;
        meterdata::RecordSource Source;
        QString Site;
        QString UartId;
    };

    void Run();
    void SetReachable(bool reachable, const QString& why);
    void ReportOverflow();
    // Sleeps for the retry pause; false when the queue is stopping.
    bool PauseBeforeRetry(std::chrono::milliseconds pause);

    std::unique_ptr<ISink> sink_;
    const Options options_;
    const QString url_;

    mutable std::mutex mutex_;
    std::condition_variable work_;  // the worker waits for records or the stop
    std::condition_variable idle_;  // WaitUntilWritten waits for an empty queue
    std::deque<Entry> queue_;
    std::size_t inFlight_ = 0;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point deadline_;

    std::atomic<qint64> written_{0};
    std::atomic<qint64> dropped_{0};
    std::atomic<bool> reachable_{true};
    qint64 droppedReported_ = 0;  // worker only
    bool overflowSaid_ = false;   // worker only
    qint64 left_ = 0;
    std::thread worker_;
};

// Hears the records the local database files and hands each to a queue with the current site and
// UART-ID. Runs on the thread that files the records (the window's); set the origin there too.
class FiledRecordsFeed final : public meterdata::IFiledRecords {
  public:
    explicit FiledRecordsFeed(SinkQueue& queue) : queue_(queue) {}

    void SetSite(const QString& site) { site_ = site; }
    void SetUartId(std::uint16_t uartId);
    void RecordFiled(const meterdata::MeterRecord& record, meterdata::RecordSource source) override {
        queue_.Enqueue(record, source, site_, uartId_);
    }

  private:
    SinkQueue& queue_;
    QString site_;
    QString uartId_;
};

// Tells every listener added, in the order added (MeterDatabase takes one).
class FiledRecordsFanOut final : public meterdata::IFiledRecords {
  public:
    void Add(meterdata::IFiledRecords* listener);
    void Remove(meterdata::IFiledRecords* listener);
    bool IsEmpty() const { return listeners_.empty(); }
    void RecordFiled(const meterdata::MeterRecord& record, meterdata::RecordSource source) override;

  private:
    std::vector<meterdata::IFiledRecords*> listeners_;
};

}  // namespace lumvaris::sinks
