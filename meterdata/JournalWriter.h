#pragma once

#include "meterdata/MeterJournal.h"

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace lumvaris::meterdata {

// Appends the records of a port's journal on a thread of its own, so the thread that files them
// never waits on the disk. That thread numbers each record as it is filed (Add), hands the
// records of a receive tick over in one short lock (Commit), and says when a save has put every
// record filed so far into both database files (SavedAllAdded). The writer is the only one that
// touches the file: it appends and syncs (fdatasync) each batch, and empties the file down to its
// header when a save asks, dropping only the records numbered up to that save; records filed
// after it stay, whichever order the writer meets them in.
class JournalWriter {
  public:
    JournalWriter() = default;
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Opens the journal and starts the writer. With `fresh`, the file is written anew: the header
    // and `entries`. Otherwise the file is kept and cut to `goodBytes` (a torn tail), or given its
    // header when it has none (goodBytes below the header's size). False + `error` when the file
    // cannot be opened or prepared; no thread then runs.
    bool Start(const QString& fileName, bool fresh, const std::vector<JournalEntry>& entries,
               std::size_t goodBytes, QString& error);

    // The filing thread's side; none of these waits on the disk.
    void Add(const MeterRecord& record, RecordSource source);
    void Commit();
    void SavedAllAdded();

    // Commits, lets the writer write and sync everything, and ends it.
    void Stop();
    // Ends the writer without writing what it was not yet given (the file is about to be deleted).
    void Abandon();
    // Commits and waits until the writer has written and synced everything (tests, benchmarks).
    void Flush();

    // Why the last write or sync of the journal failed; empty while it works.
    QString Problem() const;

  private:
    struct Entry {
        std::uint64_t Number = 0;
        JournalEntry Filed;
    };

    void Run();
    bool Append(const std::vector<Entry>& batch, std::uint64_t emptied);
    bool Empty();
    void Fail(int error);
    void End(bool write);

    QString fileName_;
    int fd_ = -1;
    std::uint64_t size_ = 0;  // of the file as the writer left it; only the writer touches it
    std::vector<std::uint8_t> bytes_;

    // The filing thread's own.
    std::vector<Entry> pending_;
    std::uint64_t added_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::vector<Entry> queued_;
    std::uint64_t emptyThrough_ = 0;
    bool emptyAsked_ = false;
    bool busy_ = false;
    bool stop_ = false;
    QString problem_;

    std::thread thread_;
};

}  // namespace lumvaris::meterdata
