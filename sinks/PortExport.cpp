#include "sinks/PortExport.h"

#include <QCoreApplication>
#include "meterdata/DayTime.h"

#include <QDateTime>
#include "meterdata/MeterDatabase.h"
#include "meterdata/MeterJournal.h"
#include "meterdata/TMatrixInterface.h"
#include "sinks/LocalInstants.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace lumvaris::sinks {

using meterdata::MeterDatabase;
using meterdata::MeterRecord;
using meterdata::RecordSource;
using meterdata::TMatrixInterface;

namespace {

// A reading's identity, as the databases' unique key has it (the site is the export's own).
struct Key {
    std::uint16_t Meter;
    std::uint8_t Type;
    std::int64_t Milliseconds;
    std::uint16_t WordA;
    std::uint16_t WordB;

    auto Tie() const { return std::tie(Meter, Type, Milliseconds, WordA, WordB); }
    bool operator<(const Key& other) const { return Tie() < other.Tie(); }
    bool operator==(const Key& other) const { return Tie() == other.Tie(); }
};

Key KeyOf(const MeterRecord& r) {
    return {r.Meter, r.Type, std::llround(r.Time * meterdata::kMillisecondsPerDay), r.WordA, r.WordB};
}

RecordSource SourceOf(const MeterRecord& r) {
    QDate date;
    QTime time;
    if (meterdata::DateTimeFromDays(r.Time, date, time) && time.second() == 0 && time.msec() == 0) {
        return RecordSource::Buffer;
    }
    return RecordSource::Live;
}

// The instants of a row's records in the order they were filed (the packet store's row from its
// oldest slot, then the journal's): in the repeated hour, each record takes the earliest of its two
// instants that does not go back before the record filed just before it, so the two passes of the
// hour stay two.
class ArrivalOrder {
  public:
    explicit ArrivalOrder(LocalInstants& instants) : instants_(instants) {}

    void Follow(const MeterRecord& record) {
        qint64 first = 0;
        qint64 second = 0;
        if (!instants_.Of(record, first, second)) {
            return;
        }
        // A minute's leeway: the concentrator's and this machine's clocks differ by seconds.
        const qint64 chosen = first != second && last_ && first < *last_ - 60000 ? second : first;
        last_ = chosen;
        if (first != second) {
            chosen_[Identity(record)] = chosen;
        }
    }
    // The instant of a record: as followed, or the earlier one.
    std::optional<qint64> Of(const MeterRecord& record) {
        qint64 first = 0;
        qint64 second = 0;
        if (!instants_.Of(record, first, second)) {
            return std::nullopt;
        }
        if (first != second) {
            if (const auto found = chosen_.find(Identity(record)); found != chosen_.end()) {
                return found->second;
            }
        }
        return first;
    }
    void Clear() {
        chosen_.clear();
        last_.reset();
    }

  private:
    static QByteArray Identity(const MeterRecord& record) {
        QByteArray bytes(MeterRecord::kSize, '\0');
        record.Encode(reinterpret_cast<std::uint8_t*>(bytes.data()));
        return bytes;
    }
    LocalInstants& instants_;
    std::map<QByteArray, qint64> chosen_;
    std::optional<qint64> last_;
};

// The packets of one meter's row in both stores, each once, in the order of the unique key.
class RowReader {
  public:
    RowReader(const TMatrixInterface& packets, const TMatrixInterface& days,
              const std::vector<std::vector<meterdata::JournalEntry>>& journal)
        : packets_(packets), days_(days), journal_(journal) {}

    const std::vector<MeterRecord>& Records(int row) {
        keyed_.clear();
        MeterRecord record;
        for (const TMatrixInterface* store : {&packets_, &days_}) {
            for (int col = 0; row < store->RowCount() && col < store->ColCount(); ++col) {
                if (store->GetMeterRecord(record, col, row) && record.Valid != 0) {
                    keyed_.emplace_back(KeyOf(record), record);
                }
            }
        }
        if (row >= 0 && static_cast<std::size_t>(row) < journal_.size()) {
            for (const meterdata::JournalEntry& entry : journal_[static_cast<std::size_t>(row)]) {
                if (entry.Record.Valid != 0) {
                    keyed_.emplace_back(KeyOf(entry.Record), entry.Record);
                }
            }
        }
        // Stable, so the packet store's copy of a record is the one kept.
        std::stable_sort(keyed_.begin(), keyed_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        records_.clear();
        taken_ = keyed_.size();
        for (std::size_t i = 0; i < keyed_.size(); ++i) {
            if (i == 0 || !(keyed_[i].first == keyed_[i - 1].first)) {
                records_.push_back(keyed_[i].second);
            }
        }
        return records_;
    }
    // The packets the last row held, repeats included.
    std::size_t Taken() const { return taken_; }

  private:
    const TMatrixInterface& packets_;
    const TMatrixInterface& days_;
    const std::vector<std::vector<meterdata::JournalEntry>>& journal_;
    std::vector<std::pair<Key, MeterRecord>> keyed_;
    std::vector<MeterRecord> records_;
    std::size_t taken_ = 0;
};

// Readings batch by batch from a thread of its own, so that building the next batch runs while the
// sinks write the last one.
class BatchMaker {
  public:
    struct Batch {
        std::vector<Reading> Readings;
        qint64 Handled = 0;  // records taken from the files up to the end of this batch
    };

    BatchMaker(const PortExportOptions& options, const TMatrixInterface& packets,
               const TMatrixInterface& days, const std::vector<std::vector<meterdata::JournalEntry>>& journal,
               const QTimeZone& zone)
        : thread_([this, &options, &packets, &days, &journal, zone] {
              Make(options, packets, days, journal, zone);
          }) {}
    ~BatchMaker() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    // The next batch; false when there is none left.
    bool Next(Batch& batch) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !ready_.empty() || done_; });
        if (ready_.empty()) {
            return false;
        }
        batch = std::move(ready_.front());
        ready_.pop_front();
        changed_.notify_all();
        return true;
    }

  private:
    void Make(const PortExportOptions& options, const TMatrixInterface& packets, const TMatrixInterface& days,
              const std::vector<std::vector<meterdata::JournalEntry>>& journal, const QTimeZone& zone) {
        const ReadingBuilder builder(options.Locale);
        const std::size_t size = static_cast<std::size_t>(std::max(options.BatchSize, 1));
        RowReader reader(packets, days, journal);
        LocalInstants instants(zone);
        ArrivalOrder order(instants);
        // The journal says how each of its records came; the files do not.
        std::map<std::pair<Key, std::uint16_t>, RecordSource> sources;
        for (const auto& entries : journal) {
            for (const meterdata::JournalEntry& entry : entries) {
                sources[{KeyOf(entry.Record), entry.Record.Meter}] = entry.Source;
            }
        }
        const auto sourceOf = [&](const MeterRecord& record) {
            const auto found = sources.find({KeyOf(record), record.Meter});
            return found != sources.end() ? found->second : SourceOf(record);
        };
        Batch batch;
        batch.Readings.reserve(size);
        auto hand = [&]() {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stop_ || ready_.size() < 2; });
            if (stop_) {
                return false;
            }
            ready_.push_back(std::move(batch));
            batch = Batch();
            batch.Readings.reserve(size);
            batch.Handled = ready_.back().Handled;
            changed_.notify_all();
            return true;
        };
        const int rows = std::max({packets.RowCount(), days.RowCount(), static_cast<int>(journal.size())});
        bool going = true;
        for (int row = 0; going && row < rows; ++row) {
            const std::vector<MeterRecord>& records = reader.Records(row);
            batch.Handled += static_cast<qint64>(reader.Taken() - records.size());  // the repeats
            order.Clear();
            MeterRecord filed;
            for (int col = packets.ColCount() - 1; row < packets.RowCount() && col >= 1; --col) {
                if (packets.GetMeterRecord(filed, col, row) && filed.Valid != 0) {
                    order.Follow(filed);
                }
            }
            if (row >= 0 && static_cast<std::size_t>(row) < journal.size()) {
                for (const meterdata::JournalEntry& entry : journal[static_cast<std::size_t>(row)]) {
                    order.Follow(entry.Record);
                }
            }
            for (const MeterRecord& record : records) {
                ++batch.Handled;
                batch.Readings.emplace_back();
                const std::optional<qint64> instant = order.Of(record);
                if (!instant || !builder.BuildAt(record, sourceOf(record), options.Site, options.UartId,
                                                 *instant, batch.Readings.back())) {
                    batch.Readings.pop_back();
                }
                if (batch.Readings.size() == size && !(going = hand())) {
                    break;
                }
            }
        }
        if (going) {
            hand();
        }
        std::lock_guard lock(mutex_);
        done_ = true;
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> ready_;
    bool stop_ = false;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace

PortExportResult ExportPortDatabase(const PortExportOptions& options, std::span<ISink* const> sinks) {
    PortExportResult result;
    const QString packetsName = MeterDatabase::DatabaseFileName(options.ProgramDirectory, options.PortName,
                                                                MeterDatabase::kPacketsSuffix);
    const QString daysName = MeterDatabase::DatabaseFileName(options.ProgramDirectory, options.PortName,
                                                             MeterDatabase::kDaysSuffix);
    if (!QFileInfo::exists(packetsName) && !QFileInfo::exists(daysName)) {
        result.Error =
            QCoreApplication::translate("sinks::PortExport",
                                        "Локальной базы данных порта «%1» нет: не найдены файлы «%2» и «%3».")
                .arg(options.PortName, QDir::toNativeSeparators(packetsName),
                     QDir::toNativeSeparators(daysName));
        return result;
    }
    TMatrixInterface packets(packetsName);
    TMatrixInterface days(daysName);
    for (TMatrixInterface* store : {&packets, &days}) {
        if (const meterdata::LoadResult loaded = store->ReadFromFile();
            loaded.Status == meterdata::LoadStatus::Failed) {
            result.Error =
                loaded.Error + QCoreApplication::translate("sinks::PortExport", " Экспорт не выполнен.");
            return result;
        }
    }

    // The journal's records: those filed since the last save (after a kill, all since then). Only
    // read; a journal that cannot be read adds nothing, as the next open of the port would say.
    std::vector<std::vector<meterdata::JournalEntry>> journal;
    QFile journalFile(MeterDatabase::DatabaseFileName(options.ProgramDirectory, options.PortName,
                                                      MeterDatabase::kJournalSuffix));
    if (journalFile.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = journalFile.read(256LL << 20);
        const meterdata::JournalContents contents = meterdata::ReadJournal(
            reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
        for (const meterdata::JournalEntry& entry : contents.Entries) {
            if (entry.Record.Valid == 0) {
                continue;
            }
            if (entry.Record.Meter >= journal.size()) {
                journal.resize(entry.Record.Meter + 1u);
            }
            journal[entry.Record.Meter].push_back(entry);
            ++result.Total;
        }
    }
    QTimeZone zone = QTimeZone::systemTimeZone();
    QFile zoneFile(MeterDatabase::DatabaseFileName(options.ProgramDirectory, options.PortName,
                                                   MeterDatabase::kZoneSuffix));
    if (zoneFile.open(QIODevice::ReadOnly)) {
        const QTimeZone recorded(zoneFile.readLine(200).trimmed());
        if (recorded.isValid()) {
            zone = recorded;
        }
    }

    MeterRecord record;
    for (const TMatrixInterface* store : {&packets, &days}) {
        for (int row = 0; row < store->RowCount(); ++row) {
            for (int col = 0; col < store->ColCount(); ++col) {
                store->GetMeterRecord(record, col, row);
                result.Total += record.Valid != 0 ? 1 : 0;
            }
        }
    }
    result.Added.assign(sinks.size(), 0);
    if (options.Progress && !options.Progress(0, result.Total)) {
        result.Cancelled = true;
        return result;
    }

    BatchMaker maker(options, packets, days, journal, zone);
    BatchMaker::Batch batch;
    while (maker.Next(batch)) {
        for (std::size_t i = 0; i < sinks.size(); ++i) {
            qint64 added = 0;
            if (!sinks[i]->Write(batch.Readings, &added)) {
                result.Error = sinks[i]->LastError();
                result.FailedSink = static_cast<int>(i);
                return result;
            }
            result.Added[i] += added;
        }
        result.Written += static_cast<qint64>(batch.Readings.size());
        if (options.Progress && !options.Progress(batch.Handled, result.Total)) {
            result.Cancelled = true;
            return result;
        }
    }
    for (std::size_t i = 0; i < sinks.size(); ++i) {
        if (!sinks[i]->Finish()) {
            result.Error = sinks[i]->LastError();
            result.FailedSink = static_cast<int>(i);
            return result;
        }
    }
    result.Ok = true;
    return result;
}

}  // namespace lumvaris::sinks
