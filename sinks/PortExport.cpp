#include "sinks/PortExport.h"

#include "meterdata/DayTime.h"
#include "meterdata/MeterDatabase.h"
#include "meterdata/TMatrixInterface.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <tuple>
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

// The packets of one meter's row in both stores, each once, in the order of the unique key.
void RowRecords(const TMatrixInterface& packets, const TMatrixInterface& days, int row,
                std::vector<MeterRecord>& out) {
    out.clear();
    MeterRecord record;
    for (const TMatrixInterface* store : {&packets, &days}) {
        for (int col = 0; row < store->RowCount() && col < store->ColCount(); ++col) {
            if (store->GetMeterRecord(record, col, row) && record.Valid != 0) {
                out.push_back(record);
            }
        }
    }
    // Stable, so the packet store's copy of a record is the one kept.
    std::stable_sort(out.begin(), out.end(),
                     [](const MeterRecord& a, const MeterRecord& b) { return KeyOf(a) < KeyOf(b); });
    out.erase(std::unique(out.begin(), out.end(),
                          [](const MeterRecord& a, const MeterRecord& b) { return KeyOf(a) == KeyOf(b); }),
              out.end());
}

}  // namespace

PortExportResult ExportPortDatabase(const PortExportOptions& options, std::span<ISink* const> sinks) {
    PortExportResult result;
    const QString packetsName = MeterDatabase::DatabaseFileName(options.ProgramDirectory, options.PortName,
                                                                MeterDatabase::kPacketsSuffix);
    const QString daysName = MeterDatabase::DatabaseFileName(options.ProgramDirectory, options.PortName,
                                                             MeterDatabase::kDaysSuffix);
    if (!QFileInfo::exists(packetsName) && !QFileInfo::exists(daysName)) {
        result.Error = QStringLiteral("Локальной базы данных порта «%1» нет: не найдены файлы «%2» и «%3».")
                           .arg(options.PortName, QDir::toNativeSeparators(packetsName),
                                QDir::toNativeSeparators(daysName));
        return result;
    }
    TMatrixInterface packets(packetsName);
    TMatrixInterface days(daysName);
    for (TMatrixInterface* store : {&packets, &days}) {
        if (const meterdata::LoadResult loaded = store->ReadFromFile();
            loaded.Status == meterdata::LoadStatus::Failed) {
            result.Error = loaded.Error + QStringLiteral(" Экспорт не выполнен.");
            return result;
        }
    }

    const int rows = std::max(packets.RowCount(), days.RowCount());
    std::vector<MeterRecord> records;
    for (int row = 0; row < rows; ++row) {
        RowRecords(packets, days, row, records);
        result.Total += static_cast<qint64>(records.size());
    }
    if (options.Progress && !options.Progress(0, result.Total)) {
        result.Cancelled = true;
        return result;
    }

    const ReadingBuilder builder(options.Locale);
    const std::size_t batchSize = static_cast<std::size_t>(std::max(options.BatchSize, 1));
    std::vector<Reading> batch;
    batch.reserve(batchSize);
    Reading reading;
    qint64 handled = 0;
    auto flush = [&]() {
        for (ISink* sink : sinks) {
            if (!sink->Write(batch)) {
                result.Error = sink->LastError();
                return false;
            }
        }
        result.Written += static_cast<qint64>(batch.size());
        batch.clear();
        if (options.Progress && !options.Progress(handled, result.Total)) {
            result.Cancelled = true;
            return false;
        }
        return true;
    };
    for (int row = 0; row < rows; ++row) {
        RowRecords(packets, days, row, records);
        for (const MeterRecord& record : records) {
            ++handled;
            if (builder.Build(record, SourceOf(record), options.Site, options.UartId, reading)) {
                batch.push_back(reading);
            }
            if (batch.size() == batchSize && !flush()) {
                return result;
            }
        }
    }
    if (!flush()) {
        return result;
    }
    for (ISink* sink : sinks) {
        if (!sink->Finish()) {
            result.Error = sink->LastError();
            return result;
        }
    }
    result.Ok = true;
    return result;
}

}  // namespace lumvaris::sinks
