#pragma once

#include "meterdata/IFiledRecords.h"
#include "meterdata/MeterRecord.h"
#include "sinks/ISink.h"
#include "sinks/Outbox.h"

#include <QLocale>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace lumvaris::sinks {

// Writes readings to one sink from a worker thread of its own, so that the caller (the window's
// receive path, the command line's collector) never waits for a disk or a server.
//
// The records come from an outbox on the disk (Outbox.h), attached while a port's database is
// open: the filing thread adds to it, the worker takes batches from it, turns them into readings,
// writes them, and acknowledges them once written, so that what the sink has not taken waits on
// the disk across a kill or a restart, and nothing it took is sent again.
//
// When the sink cannot be opened or a write fails (a server that went away, a full disk), the
// worker keeps the batch, says so once through ReachabilityChanged, reopens the sink after a pause
// that doubles from FirstRetry up to LongestRetry, and writes the same batch again. A batch the
// server had committed before the failure is skipped row by row by the database itself, so every
// record reaches it exactly once. A write that hangs longer than WriteTimeout (a server that stopped
// answering) is aborted and counts as a failure.
//
// The signals are emitted from the worker thread: connect them with a receiver object (queued to
// its thread) or handle them thread-safely.
class SinkQueue : public QObject {
    Q_OBJECT

  public:
    struct Options {
        int BatchSize = 500;  // records per write (one transaction)
        std::chrono::milliseconds FirstRetry{1000};
        std::chrono::milliseconds LongestRetry{30000};
        std::chrono::milliseconds WriteTimeout{30000};
        QLocale Locale = QLocale::system();  // of the decoded texts, as the tables show them
    };

    // Starts the worker, which opens the sink in its own thread at once.
    SinkQueue(std::unique_ptr<ISink> sink, Options options, QObject* parent = nullptr);
    explicit SinkQueue(std::unique_ptr<ISink> sink, QObject* parent = nullptr)
        : SinkQueue(std::move(sink), Options(), parent) {}
    // Stop(0) unless stopped before.
    ~SinkQueue() override;

    // The outbox the worker takes from from now on.
    void Attach(std::shared_ptr<IOutbox> outbox);
    // Lets the outbox go: while the sink takes writes, what it holds is still written for at most
    // `wait` (a sink that is away gets one more try); what is left stays in it. Returns the
    // records it still holds.
    qint64 Detach(std::chrono::milliseconds wait);
    // The same in two halves, so that several destinations share one deadline.
    void BeginDetach(std::chrono::steady_clock::time_point deadline);
    qint64 EndDetach();

    // Adds a record to the attached outbox (tests and benchmarks; the live feed adds through an
    // OutboxFeed). False when none is attached or it is full.
    bool Enqueue(const meterdata::MeterRecord& record, meterdata::RecordSource source, const QString& site,
                 const QString& uartId);

    // The sink's first answer, awaited for at most `wait`.
    enum class Answer { None, Connected, Refused, Unreachable };
    Answer WaitForFirstAnswer(std::chrono::milliseconds wait, QString& message);

    // Waits until the attached outbox holds nothing, at most `timeout`; true when so.
    bool WaitUntilWritten(std::chrono::milliseconds timeout);
    // Ends the worker: detaches as above within `timeout` (a write that hangs is aborted at its
    // end), then finishes and closes the sink. Returns the records left in the outbox.
    qint64 Stop(std::chrono::milliseconds timeout);
    // The same in two halves, so that several queues share one deadline.
    void RequestStop(std::chrono::steady_clock::time_point deadline);
    qint64 FinishStop();

    const QString& Url() const { return url_; }
    qint64 Queued() const;                              // in the outbox, not yet written
    qint64 Written() const { return written_.load(); }  // this run
    qint64 Dropped() const;                             // refused by a full outbox
    bool Reachable() const { return reachable_.load(); }

  signals:
    // Once per change: false with the reason when writing stops, true when it works again.
    void ReachabilityChanged(bool reachable, const QString& message);
    // Once each time the outbox has filled up (again after it had emptied to half).
    void Overflowed(const QString& message);

  private:
    void Run();
    void Watch();
    void SetReachable(bool reachable, const QString& why);
    void ReportOverflow(IOutbox& outbox);
    bool Leaving() const;  // mutex_ held: a stop or a detach is asked
    bool DeadlinePassed() const;

    std::unique_ptr<ISink> sink_;
    const Options options_;
    const QString url_;

    mutable std::mutex mutex_;
    std::condition_variable work_;  // the worker waits for records, the outbox, a detach or the stop
    std::condition_variable idle_;  // Detach, WaitUntilWritten and the first answer wait here
    std::shared_ptr<IOutbox> outbox_;
    bool detaching_ = false;
    bool stopping_ = false;
    bool finished_ = false;
    std::chrono::steady_clock::time_point deadline_;
    Answer answer_ = Answer::None;
    QString answerText_;
    std::size_t inHand_ = 0;  // records taken, not yet acknowledged

    std::atomic<qint64> written_{0};
    std::atomic<bool> reachable_{true};
    // The watchdog's view of a write or open under way.
    std::atomic<std::int64_t> busySinceMs_{0};
    std::condition_variable watch_;
    bool watchEnd_ = false;

    qint64 droppedReported_ = 0;  // worker only
    bool overflowSaid_ = false;   // worker only
    qint64 left_ = 0;
    std::thread worker_;
    std::thread watchdog_;
};

}  // namespace lumvaris::sinks
