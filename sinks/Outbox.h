#pragma once

#include "meterdata/IFiledRecords.h"
#include "meterdata/MeterRecord.h"

#include <QFile>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace lumvaris::sinks {

// One record on its way to a destination, with everything the reading it becomes needs: the
// record as the port's files keep it, its origin, and the instant it stands for (the files keep
// local time without its zone; the instant is fixed when the record is filed).
struct OutboxEntry {
    meterdata::MeterRecord Record;
    meterdata::RecordSource Source = meterdata::RecordSource::Live;
    qint64 UtcMs = 0;  // milliseconds since 1970-01-01 UTC
    QString Site;
    QString UartId;  // four hex digits, or empty
};

// What one destination has not yet acknowledged, in the order it was filed: the file beside a
// port's files (Outbox), or the collector's readings database read from where this destination
// stopped (ReadingStore). A destination's worker takes entries, writes them, and acknowledges
// them once its destination has them; entries taken and not acknowledged are taken again after
// GiveBack or a restart.
class IOutbox {
  public:
    virtual ~IOutbox() = default;

    // Any thread. False when the entry is not kept (full, or closed).
    virtual bool Add(const OutboxEntry& entry) = 0;
    // Called (from any thread) whenever entries became ready to take.
    virtual void SetReadyCallback(std::function<void()> ready) = 0;
    // Up to `max` entries after those taken before, oldest first; how many were appended to `out`.
    virtual std::size_t Take(std::vector<OutboxEntry>& out, std::size_t max) = 0;
    // Cheap: called in the workers' wait predicates.
    virtual bool HasReady() const = 0;
    // Entries added that are not yet where Take finds them (they will be ready soon).
    virtual bool HasUnwritten() const = 0;
    // The oldest `count` of the entries taken are delivered.
    virtual void Acknowledge(std::size_t count) = 0;
    // The entries taken and not acknowledged are taken again from the first.
    virtual void GiveBack() = 0;
    // Entries not acknowledged (also those of an earlier run).
    virtual qint64 Pending() const = 0;
    virtual qint64 Dropped() const = 0;
    // The bound that makes Add refuse, for the message that says so.
    virtual qint64 MaxBytes() const = 0;
};

// What one destination (a database, a file, a broker) has not yet acknowledged, kept on the disk
// beside the port's files, "<port>-OUTBOX-<digest of the address>.bin", until it has been. A kill,
// a restart or a server away for days loses nothing on the way out, and nothing acknowledged is
// sent again: the next run with the same port and destination starts where the last one stopped.
//
// Layout (little-endian):
//   header: "LUMVOUTB", uint32 version (1), uint32 length of the address;
//           two acknowledgement slots of 24 bytes each: uint64 serial, uint64 offset, uint32 CRC-32
//           of those 16 bytes, 4 zero bytes; the slot with the higher serial that passes its check
//           holds the offset of the first entry not yet acknowledged (written alternately, so a
//           write cut short leaves the other one);
//           the address in UTF-8, and a CRC-32 of everything before it but the slots;
//   entries, only ever appended: uint16 length N of the body, the body, CRC-32 of the body. Body:
//           the 24-byte meter record, source (0 live, 1 buffer), int64 instant in ms, uint8 length
//           and the UART-ID's bytes, uint16 length and the site's UTF-8 bytes.
// When every entry is acknowledged the file is cut back to its header; a long backlog that is
// mostly acknowledged is copied without its delivered part.
//
// Add is the filing thread's: a lock and a copy, never a wait on the disk. A writer thread of the
// outbox's own appends and syncs (fdatasync). The destination's worker takes entries in order,
// and acknowledges them once its destination has them (a transaction committed, a line written, a
// broker's acknowledgement).
class Outbox final : public IOutbox {
  public:
    struct Options {
        qint64 MaxBytes = 128LL << 20;  // entries not acknowledged, about 60 bytes each
    };

    // "<directory><port>-OUTBOX-<16 hex digits>.bin", the port named as its database files are.
    static QString FileName(const QString& directory, const QString& portName, const QString& url);

    Outbox() = default;
    ~Outbox() override;
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    // Opens (or creates) the file and starts the writer. What an earlier run left unacknowledged
    // is there to take. A file of another address, or one whose header is damaged, is renamed aside
    // (`notice` says so) and a new one begun; a damaged entry ends what is read (torn by a power
    // cut: cut off; anything longer: said in `notice`). False with `error` when the file cannot be
    // opened or written.
    bool Open(const QString& fileName, const QString& url, const Options& options, QString& error,
              QString& notice);
    // Writes and syncs what was added, and closes. Entries taken and not acknowledged stay for the
    // next run.
    void Close();
    bool IsOpen() const;
    const QString& FileName() const { return fileName_; }

    // Any thread. False when the outbox is full (MaxBytes) or closed: the entry is not kept.
    bool Add(const OutboxEntry& entry) override;
    // Called (from the writer's thread) whenever entries became ready to take.
    void SetReadyCallback(std::function<void()> ready) override;

    // The destination's worker: up to `max` entries after those taken before, oldest first; those
    // already on the disk only. Returns how many were appended to `out`.
    std::size_t Take(std::vector<OutboxEntry>& out, std::size_t max) override;
    bool HasReady() const override;
    // Entries added that the writer has not yet put on the disk (they will be ready soon).
    bool HasUnwritten() const override;
    // The oldest `count` of the entries taken are delivered: they leave the outbox for good.
    void Acknowledge(std::size_t count) override;
    // The entries taken and not acknowledged are taken again from the first.
    void GiveBack() override;

    // Entries added and not acknowledged (also those of an earlier run).
    qint64 Pending() const override;
    qint64 Dropped() const override { return dropped_.load(); }
    qint64 MaxBytes() const override { return options_.MaxBytes; }
    // Why the file cannot be written at the moment (a full disk); empty while it works.
    QString Problem() const;

    // Tests: waits until the writer has written everything added (at most `ms`).
    bool WaitUntilWritten(int ms) const;

  private:
    struct Encoded {
        std::vector<std::uint8_t> Bytes;
        qint64 Count = 0;
    };
    void Run();
    bool WriteSlot(qint64 offset);
    void CompactIfWorthIt(bool closing);
    bool ReadHeader(QString& notice);
    void ScanEntries(QString& notice);

    QString fileName_;
    QString url_;
    Options options_;

    // The filing side: entries added, not yet on the disk.
    mutable std::mutex addMutex_;
    std::condition_variable wake_;
    mutable std::condition_variable written_;
    std::vector<std::uint8_t> added_;  // encoded
    qint64 addedCount_ = 0;
    qint64 addedBytes_ = 0;
    bool writing_ = false;  // the writer holds entries it took from added_
    bool stop_ = false;
    QString problem_;
    std::atomic<qint64> dropped_{0};
    std::function<void()> ready_;

    // The file: appended by the writer (append_), read and acknowledged through read_.
    mutable std::mutex fileMutex_;
    std::unique_ptr<QFile> append_;
    std::unique_ptr<QFile> read_;
    qint64 entriesStart_ = 0;
    // Written under fileMutex_; Add reads them without it to bound the outbox.
    std::atomic<qint64> end_{0};           // of the entries written
    std::atomic<qint64> acknowledged_{0};  // offset of the first entry not acknowledged
    qint64 taken_ = 0;                     // offset of the first entry not taken
    std::deque<qint64> takenEnds_;         // end offset of each entry taken, not acknowledged
    qint64 pendingOnDisk_ = 0;             // entries between acknowledged_ and end_
    std::uint64_t slotSerial_ = 0;

    std::thread writer_;
};

// Hears the records the port's database files and adds each, with the current site and UART-ID
// and the instant it stands for, to one destination's outbox. A record equal to the one filed just
// before it for the same meter (same type, time and words: a packet repeated within one time
// stamp) is added once, as the databases keep it once. Runs on the filing thread.
class OutboxFeed final : public meterdata::IFiledRecords {
  public:
    explicit OutboxFeed(IOutbox& outbox) : add_([&outbox](const OutboxEntry& e) { return outbox.Add(e); }) {}
    // Hands each entry to `add` instead (a store that feeds several destinations).
    explicit OutboxFeed(std::function<bool(const OutboxEntry&)> add) : add_(std::move(add)) {}

    void SetSite(const QString& site) { site_ = site; }
    void SetUartId(std::uint16_t uartId);
    void RecordFiled(const meterdata::MeterRecord& record, meterdata::RecordSource source) override;
    // Entries handed on since this was made.
    qint64 Added() const { return added_; }

  private:
    std::function<bool(const OutboxEntry&)> add_;
    QString site_;
    QString uartId_ = QStringLiteral("2FFF");
    std::vector<meterdata::MeterRecord> lastOfMeter_;
    qint64 added_ = 0;
};

// The instant a record's local time stands for, in ms since 1970 UTC; a live record is stamped
// now, so where the local time is ambiguous (the repeated hour in autumn) the candidate nearest
// to this moment is taken, for a buffer record the earlier one. nullopt when the time forms no
// date.
std::optional<qint64> InstantOf(const meterdata::MeterRecord& record, meterdata::RecordSource source);

// "128 МБ", "600 байт": an outbox's bound in a message.
QString SizeText(qint64 bytes);

// Adds one record to an outbox as the feed does, without the feed's repeat check (tests, the
// callers that hand over records one by one). False when it was not kept.
bool AddRecord(IOutbox& outbox, const meterdata::MeterRecord& record, meterdata::RecordSource source,
               const QString& site, const QString& uartId);

}  // namespace lumvaris::sinks
