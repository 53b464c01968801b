#include "sinks/ReadingStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringEncoder>

#include <sqlite3.h>

#include <algorithm>

#include "sinks/Reading.h"

namespace lumvaris::sinks {
namespace {

constexpr int kBusyMs = 10000;
// Readings per commit at most; more wait for the next one.
constexpr std::size_t kCommitRows = 20000;
// Rows read at once while a destination looks for its own sites' readings.
constexpr int kScanRows = 2000;

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS readings_schema (version INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS readings ("
    "id INTEGER PRIMARY KEY, "
    "site TEXT NOT NULL, uart_id TEXT NOT NULL, meter INTEGER NOT NULL, type INTEGER NOT NULL, "
    "word_a INTEGER NOT NULL, word_b INTEGER NOT NULL, level INTEGER NOT NULL, phase TEXT NOT NULL, "
    "time TEXT NOT NULL, source TEXT NOT NULL, family TEXT NOT NULL, current_text TEXT NOT NULL, "
    "snapshot_text TEXT NOT NULL, value REAL, unit TEXT NOT NULL, "
    "record BLOB NOT NULL, instant_ms INTEGER NOT NULL)",
    "CREATE UNIQUE INDEX IF NOT EXISTS readings_unique ON readings (time, site, meter, type, word_a, word_b)",
    "CREATE TABLE IF NOT EXISTS deliveries (destination TEXT PRIMARY KEY, last_id INTEGER NOT NULL)",
    "INSERT INTO readings_schema (version) SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM readings_schema)",
};

const char* const kInsert =
    "INSERT INTO readings (site, uart_id, meter, type, word_a, word_b, level, phase, time, source, family, "
    "current_text, snapshot_text, value, unit, record, instant_ms) "
    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17) ON CONFLICT DO "
    "NOTHING";

QString ErrorOf(sqlite3* db) {
    return db != nullptr ? QString::fromUtf8(sqlite3_errmsg(db))
                         : QCoreApplication::translate("sinks::ReadingStore", "нет памяти");
}

bool Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3* OpenDatabase(const QString& fileName, QString& error) {
    sqlite3* db = nullptr;
    const int opened =
        sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (opened != SQLITE_OK) {
        error = ErrorOf(db);
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyMs);
    return db;
}

void BindText(sqlite3_stmt* statement, int column, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    sqlite3_bind_text(statement, column, bytes.constData(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

struct Statement {
    sqlite3_stmt* handle = nullptr;
    ~Statement() { sqlite3_finalize(handle); }
    bool Prepare(sqlite3* db, const char* sql) {
        return sqlite3_prepare_v2(db, sql, -1, &handle, nullptr) == SQLITE_OK;
    }
};

}  // namespace

ReadingStore::~ReadingStore() {
    Close();
}

bool ReadingStore::Open(const QString& fileName, const Options& options, QString& error) {
    Close();
    fileName_ = fileName;
    options_ = options;
    QString why;
    sqlite3* db = OpenDatabase(fileName, why);
    bool ok = db != nullptr;
    // WAL: the destinations read while the writer commits; FULL: a commit is on the disk when it returns.
    ok = ok && Exec(db, "PRAGMA journal_mode=WAL") && Exec(db, "PRAGMA synchronous=FULL");
    for (const char* statement : kSchema) {
        ok = ok && Exec(db, statement);
    }
    if (ok) {
        // Every column the destinations read, of the right kind: a file of another program is refused.
        Statement check;
        ok = check.Prepare(db, "SELECT id, site, uart_id, record, instant_ms, source FROM readings LIMIT 0");
    }
    if (!ok) {
        if (why.isEmpty()) {
            why = ErrorOf(db);
        }
        error =
            QCoreApplication::translate("sinks::ReadingStore", "Хранилище показаний «%1» не открывается: %2.")
                .arg(fileName, why);
        sqlite3_close(db);
        return false;
    }
    db_ = db;
    Statement last;
    if (last.Prepare(db_, "SELECT COALESCE(MAX(id), 0) FROM readings") &&
        sqlite3_step(last.handle) == SQLITE_ROW) {
        lastId_ = sqlite3_column_int64(last.handle, 0);
    }
    stop_ = false;
    writer_ = std::thread([this] { Run(); });
    return true;
}

void ReadingStore::Close() {
    if (writer_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        writer_.join();
    }
    if (db_ != nullptr) {
        Exec(db_, "PRAGMA wal_checkpoint(TRUNCATE)");
        sqlite3_close(db_);
        db_ = nullptr;
    }
    std::lock_guard lock(destinationsMutex_);
    for (const auto& destination : destinations_) {
        std::lock_guard hold(destination->mutex_);
        sqlite3_close(destination->db_);
        destination->db_ = nullptr;
    }
}

bool ReadingStore::Add(const OutboxEntry& entry) {
    std::lock_guard lock(mutex_);
    if (db_ == nullptr || stop_) {
        return false;
    }
    added_.push_back(entry);
    if (added_.size() == 1) {
        wake_.notify_all();
    }
    return true;
}

bool ReadingStore::HasUncommitted() const {
    std::lock_guard lock(mutex_);
    return !added_.empty() || committing_;
}

QString ReadingStore::Problem() const {
    std::lock_guard lock(mutex_);
    return problem_;
}

bool ReadingStore::Flush(int ms) {
    std::unique_lock lock(mutex_);
    flushAsked_ = true;
    wake_.notify_all();
    return committed_.wait_for(lock, std::chrono::milliseconds(ms),
                               [this] { return (added_.empty() && !committing_) || db_ == nullptr; });
}

void ReadingStore::Run() {
    std::vector<OutboxEntry> batch;
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stop_ || !added_.empty(); });
        if (!stop_ && !flushAsked_) {
            // What arrives within the commit's interval goes in the same commit.
            wake_.wait_for(lock, options_.CommitEvery,
                           [this] { return stop_ || flushAsked_ || added_.size() >= kCommitRows; });
        }
        flushAsked_ = false;
        if (added_.empty()) {
            if (stop_) {
                break;
            }
            continue;
        }
        const std::size_t count = std::min(added_.size(), kCommitRows);
        batch.assign(std::make_move_iterator(added_.begin()),
                     std::make_move_iterator(added_.begin() + count));
        added_.erase(added_.begin(), added_.begin() + count);
        committing_ = true;
        lock.unlock();
        const bool ok = Commit(batch);
        lock.lock();
        committing_ = false;
        if (!ok) {
            // Kept for the next try (a full disk that is cleared): in front of what came since.
            added_.insert(added_.begin(), std::make_move_iterator(batch.begin()),
                          std::make_move_iterator(batch.end()));
            problem_ = ErrorOf(db_);
            if (stop_) {
                break;
            }
            committed_.notify_all();
            wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_; });
            continue;
        }
        problem_.clear();
        batch.clear();
        committed_.notify_all();
        if (stop_ && added_.empty()) {
            break;
        }
    }
    committed_.notify_all();
}

bool ReadingStore::Commit(std::vector<OutboxEntry>& batch) {
    Statement insert;
    if (!insert.Prepare(db_, kInsert) || !Exec(db_, "BEGIN IMMEDIATE")) {
        return false;
    }
    ReadingBuilder builder(options_.Locale);
    Reading r;
    QString time;
    std::vector<std::pair<QString, qint64>> stored;
    for (const OutboxEntry& entry : batch) {
        if (!builder.BuildAt(entry.Record, entry.Source, entry.Site, entry.UartId, entry.UtcMs, r)) {
            continue;  // holds no packet: nothing any destination would take
        }
        time.resize(0);
        AppendTimeText(r.Time, time);
        sqlite3_stmt* s = insert.handle;
        BindText(s, 1, r.Site);
        BindText(s, 2, r.UartId);
        int column = 3;
        for (int number : {r.Meter, r.Type, r.WordA, r.WordB, r.Level}) {
            sqlite3_bind_int(s, column++, number);
        }
        BindText(s, 8, r.Phase);
        BindText(s, 9, time);
        BindText(s, 10, r.Source);
        BindText(s, 11, r.Family);
        BindText(s, 12, r.Current);
        BindText(s, 13, r.Snapshot);
        if (r.Value) {
            sqlite3_bind_double(s, 14, *r.Value);
        } else {
            sqlite3_bind_null(s, 14);
        }
        BindText(s, 15, r.Unit);
        std::uint8_t bytes[meterdata::MeterRecord::kSize];
        entry.Record.Encode(bytes);
        sqlite3_bind_blob(s, 16, bytes, sizeof bytes, SQLITE_TRANSIENT);
        sqlite3_bind_int64(s, 17, entry.UtcMs);
        const int stepped = sqlite3_step(s);
        sqlite3_reset(s);
        if (stepped != SQLITE_DONE) {
            Exec(db_, "ROLLBACK");
            return false;
        }
        if (sqlite3_changes(db_) == 1) {
            stored.emplace_back(r.Site, sqlite3_last_insert_rowid(db_));
        }
    }
    if (!Exec(db_, "COMMIT")) {
        Exec(db_, "ROLLBACK");
        return false;
    }
    if (stored.empty()) {
        return true;
    }
    stored_ += static_cast<qint64>(stored.size());
    std::vector<std::shared_ptr<Destination>> destinations;
    {
        std::lock_guard lock(destinationsMutex_);
        destinations = destinations_;
    }
    for (const auto& destination : destinations) {
        for (const auto& [site, id] : stored) {
            destination->Committed(site);
        }
    }
    lastId_ = stored.back().second;
    for (const auto& destination : destinations) {
        destination->Ready();
    }
    return true;
}

std::shared_ptr<ReadingStore::Destination> ReadingStore::DestinationFor(const QString& url) {
    std::lock_guard lock(destinationsMutex_);
    for (const auto& destination : destinations_) {
        if (destination->Url() == url) {
            return destination;
        }
    }
    auto destination = std::make_shared<Destination>(*this, url);
    QString error;
    if (db_ == nullptr || !destination->OpenConnection(error)) {
        return nullptr;
    }
    destinations_.push_back(destination);
    return destination;
}

// --- one destination ---------------------------------------------------------------------

ReadingStore::Destination::Destination(ReadingStore& store, QString url)
    : store_(store), url_(std::move(url)) {}

ReadingStore::Destination::~Destination() {
    sqlite3_close(db_);
}

bool ReadingStore::Destination::OpenConnection(QString& error) {
    db_ = OpenDatabase(store_.fileName_, error);
    if (db_ == nullptr) {
        return false;
    }
    // The position may be lost in a power cut: the batch is then sent again, and taken once.
    Exec(db_, "PRAGMA synchronous=NORMAL");
    Statement position;
    if (position.Prepare(db_, "SELECT last_id FROM deliveries WHERE destination = ?1")) {
        BindText(position.handle, 1, url_);
        if (sqlite3_step(position.handle) == SQLITE_ROW) {
            acknowledged_ = sqlite3_column_int64(position.handle, 0);
        }
    }
    taken_ = acknowledged_;
    return true;
}

void ReadingStore::Destination::SetSites(const std::set<QString>& sites) {
    std::lock_guard lock(mutex_);
    sites_ = sites;
    CountPending();
}

void ReadingStore::Destination::CountPending() {
    qint64 count = 0;
    Statement query;
    if (db_ != nullptr &&
        query.Prepare(db_, "SELECT site, COUNT(*) FROM readings WHERE id > ?1 GROUP BY site")) {
        sqlite3_bind_int64(query.handle, 1, acknowledged_);
        while (sqlite3_step(query.handle) == SQLITE_ROW) {
            const QString site =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(query.handle, 0)));
            if (sites_.contains(site)) {
                count += sqlite3_column_int64(query.handle, 1);
            }
        }
    }
    pending_ = count;
}

void ReadingStore::Destination::Committed(const QString& site) {
    std::lock_guard lock(mutex_);
    if (sites_.contains(site)) {
        ++pending_;
    }
}

void ReadingStore::Destination::Ready() {
    std::function<void()> ready;
    {
        std::lock_guard lock(mutex_);
        ready = ready_;
    }
    if (ready) {
        ready();
    }
}

void ReadingStore::Destination::SetReadyCallback(std::function<void()> ready) {
    std::lock_guard lock(mutex_);
    ready_ = std::move(ready);
}

bool ReadingStore::Destination::HasReady() const {
    return store_.lastId_.load() > taken_.load();
}

qint64 ReadingStore::Destination::Pending() const {
    return pending_.load();
}

std::size_t ReadingStore::Destination::Take(std::vector<OutboxEntry>& out, std::size_t max) {
    std::lock_guard lock(mutex_);
    if (db_ == nullptr) {
        return 0;
    }
    Statement query;
    if (!query.Prepare(db_,
                       "SELECT id, site, uart_id, record, instant_ms, source FROM readings "
                       "WHERE id > ?1 ORDER BY id LIMIT ?2")) {
        return 0;
    }
    std::size_t given = 0;
    const qint64 last = store_.lastId_.load();
    while (given < max && taken_ < last) {
        sqlite3_bind_int64(query.handle, 1, taken_);
        sqlite3_bind_int(query.handle, 2, kScanRows);
        qint64 scanned = taken_;
        while (given < max && sqlite3_step(query.handle) == SQLITE_ROW) {
            const qint64 id = sqlite3_column_int64(query.handle, 0);
            scanned = id;
            const QString site =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(query.handle, 1)));
            if (!sites_.contains(site)) {
                continue;
            }
            OutboxEntry entry;
            const void* blob = sqlite3_column_blob(query.handle, 3);
            if (blob == nullptr || sqlite3_column_bytes(query.handle, 3) != meterdata::MeterRecord::kSize) {
                continue;
            }
            entry.Record = meterdata::MeterRecord::Decode(static_cast<const std::uint8_t*>(blob));
            entry.Site = site;
            entry.UartId =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(query.handle, 2)));
            entry.UtcMs = sqlite3_column_int64(query.handle, 4);
            entry.Source =
                qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(query.handle, 5)), "buffer") == 0
                    ? meterdata::RecordSource::Buffer
                    : meterdata::RecordSource::Live;
            out.push_back(std::move(entry));
            takenIds_.push_back(id);
            ++given;
        }
        sqlite3_reset(query.handle);
        if (scanned == taken_) {
            break;  // nothing more (the writer's last id is ahead of what this connection sees yet)
        }
        taken_ = scanned;
        if (takenIds_.empty() && acknowledged_ < taken_) {
            // Only other sites' readings so far: this destination has all of its own up to here.
            SavePosition(taken_);
        }
    }
    return given;
}

void ReadingStore::Destination::Acknowledge(std::size_t count) {
    std::lock_guard lock(mutex_);
    count = std::min(count, takenIds_.size());
    if (count == 0) {
        return;
    }
    qint64 upTo = takenIds_[count - 1];
    takenIds_.erase(takenIds_.begin(), takenIds_.begin() + static_cast<std::ptrdiff_t>(count));
    if (takenIds_.empty()) {
        upTo = taken_;  // the rest scanned were other sites'
    }
    pending_ -= static_cast<qint64>(count);
    sent_ += static_cast<qint64>(count);
    SavePosition(upTo);
}

void ReadingStore::Destination::GiveBack() {
    std::lock_guard lock(mutex_);
    takenIds_.clear();
    taken_ = acknowledged_;
}

void ReadingStore::Destination::SavePosition(qint64 id) {
    acknowledged_ = id;
    Statement save;
    if (db_ != nullptr &&
        save.Prepare(db_,
                     "INSERT INTO deliveries (destination, last_id) VALUES (?1, ?2) "
                     "ON CONFLICT (destination) DO UPDATE SET last_id = excluded.last_id")) {
        BindText(save.handle, 1, url_);
        sqlite3_bind_int64(save.handle, 2, id);
        sqlite3_step(save.handle);
    }
}

}  // namespace lumvaris::sinks
