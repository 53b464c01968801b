#pragma once

#include "sinks/Outbox.h"

#include <QLocale>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

struct sqlite3;

namespace lumvaris::sinks {

// The collector's own store: every reading of every site in one SQLite database (WAL mode) under
// the data directory, and from there the outbox of each central destination.
//
// Table "readings" has the columns of the readings schema (docs/data-export.md) and three more:
// "id" (the order of arrival, which the destinations follow), "record" (the 24 bytes as filed)
// and "instant_ms" (the instant the record stands for), from which each destination makes its own
// reading. Its uniqueness is the schema's (site, meter, type, time, words), indexed with the time
// first, so that a commit of a second's readings of a thousand sites touches the index's last
// pages only. Table "deliveries" holds, per destination address, the id up to which it has
// everything.
//
// Add is the filing thread's: a lock and a copy. A writer thread of the store's own commits what
// was added once a second (CommitEvery) with a full sync: a reading is durable, also against a
// power cut, at most that long after it arrived. A reading the store already holds is not stored
// again, and so never sent twice. Writes grow with the readings received: nothing is written
// while nothing arrives.
//
// A destination (Destination(url)) reads from where it stopped, the readings of its own sites
// only, and writes its position back when it acknowledges: a kill between a server's commit and
// that write sends the batch again, which the server's uniqueness takes once.
class ReadingStore {
  public:
    struct Options {
        std::chrono::milliseconds CommitEvery{1000};
        QLocale Locale = QLocale::system();  // of the decoded texts, as the tables show them
    };
    static constexpr const char* kFileName = "readings.sqlite";

    class Destination;

    ReadingStore() = default;
    ~ReadingStore();
    ReadingStore(const ReadingStore&) = delete;
    ReadingStore& operator=(const ReadingStore&) = delete;

    // Opens or creates the database and starts the writer. False with `error` when the file cannot
    // be opened or is not a readings store.
    bool Open(const QString& fileName, const Options& options, QString& error);
    // Commits what was added and closes. The destinations stay valid but take nothing more.
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    const QString& FileName() const { return fileName_; }

    // Any thread.
    bool Add(const OutboxEntry& entry);
    // Commits what was added now, and waits until it is (at most `ms`).
    bool Flush(int ms = 10000);
    // Readings stored this run (those the store held already not counted), and added but not yet
    // committed.
    qint64 Stored() const { return stored_.load(); }
    bool HasUncommitted() const;
    // Why the database cannot be written at the moment; empty while it works.
    QString Problem() const;

    // The outbox of one destination address; the same object for the same address.
    std::shared_ptr<Destination> DestinationFor(const QString& url);

  private:
    void Run();
    bool Commit(std::vector<OutboxEntry>& batch);

    QString fileName_;
    Options options_;
    sqlite3* db_ = nullptr;  // the writer's
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable committed_;
    std::vector<OutboxEntry> added_;
    bool committing_ = false;
    bool flushAsked_ = false;
    bool stop_ = false;
    QString problem_;
    std::atomic<qint64> lastId_{0};
    std::atomic<qint64> stored_{0};
    std::mutex destinationsMutex_;
    std::vector<std::shared_ptr<Destination>> destinations_;
    std::thread writer_;
};

// One destination's view of the store.
class ReadingStore::Destination final : public IOutbox {
  public:
    Destination(ReadingStore& store, QString url);
    ~Destination() override;

    // The sites whose readings go to this destination (a reload may change them).
    void SetSites(const std::set<QString>& sites);
    const QString& Url() const { return url_; }
    // Readings sent (acknowledged) this run.
    qint64 Sent() const { return sent_.load(); }

    bool Add(const OutboxEntry& entry) override { return store_.Add(entry); }
    void SetReadyCallback(std::function<void()> ready) override;
    std::size_t Take(std::vector<OutboxEntry>& out, std::size_t max) override;
    bool HasReady() const override;
    bool HasUnwritten() const override { return store_.HasUncommitted(); }
    void Acknowledge(std::size_t count) override;
    void GiveBack() override;
    qint64 Pending() const override;
    qint64 Dropped() const override { return 0; }
    qint64 MaxBytes() const override { return 0; }

  private:
    friend class ReadingStore;
    bool OpenConnection(QString& error);
    void Committed(const QString& site);  // the writer: one reading of `site` was stored
    void Ready();
    void SavePosition(qint64 id);
    void CountPending();

    ReadingStore& store_;
    const QString url_;
    sqlite3* db_ = nullptr;
    mutable std::mutex mutex_;
    std::set<QString> sites_;
    std::function<void()> ready_;
    std::atomic<qint64> taken_{0};  // scanned up to this id
    qint64 acknowledged_ = 0;       // every reading of its sites up to this id is delivered
    std::deque<qint64> takenIds_;   // of the readings handed out and not acknowledged, in order
    std::atomic<qint64> pending_{0};
    std::atomic<qint64> sent_{0};
};

}  // namespace lumvaris::sinks
