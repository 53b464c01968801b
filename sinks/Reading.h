#pragma once

#include "meterdata/IFiledRecords.h"
#include "meterdata/MeterRecord.h"
#include "meterdata/RecordTextFormatter.h"

#include <QDateTime>
#include <QJsonObject>
#include <QLocale>
#include <QString>
#include <QTimeZone>

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>

namespace lumvaris::sinks {

// One meter reading as it leaves the program: the same fields in every sink (database row, CSV
// line, JSON object, MQTT message).
struct Reading {
    QString Site;    // where the concentrator stands, as the user named it
    QString UartId;  // the concentrator's link address as four upper-case hex digits; empty: unknown
    int Meter = 0;
    int Type = 0;  // the packet type byte
    int WordA = 0;
    int WordB = 0;
    int Level = 0;     // signal level in percent (low nibble of the level byte × 25)
    QString Phase;     // "A", "B", "C" or empty
    QDateTime Time;    // UTC, millisecond precision
    QString Source;    // "live": a packet heard on the line; "buffer": read from a concentrator buffer
    QString Family;    // the table's "Пакет" text: the decoded label, or the type as "40h"
    QString Current;   // the table's "Текущее" text
    QString Snapshot;  // the table's "Срез" text
    std::optional<double> Value;  // the shown value as a number, for the kinds that measure
    QString Unit;  // "кВт·ч", "квар·ч", "куб.м"; empty where nothing is measured

    friend bool operator==(const Reading&, const Reading&) = default;
};

// The field names, in the order of the table's columns, the CSV header and the JSON objects.
inline constexpr int kReadingFieldCount = 15;
inline constexpr const char* kReadingFields[kReadingFieldCount] = {
    "site", "uart_id", "meter",  "type",         "word_a",        "word_b", "level", "phase",
    "time", "source",  "family", "current_text", "snapshot_text", "value",  "unit"};

// "2FFF" for 0x2FFF.
QString UartIdText(std::uint16_t uartId);
// "live" or "buffer".
QString SourceText(meterdata::RecordSource source);
// The time as ISO 8601 in UTC with milliseconds: "2024-03-15T09:00:00.000Z"; empty when invalid.
QString TimeText(const QDateTime& utc);
void AppendTimeText(const QDateTime& utc, QString& out);

// Turns meter records into readings, with the texts the tables show for the same record in the
// same locale. One builder per thread.
class ReadingBuilder {
  public:
    explicit ReadingBuilder(const QLocale& locale = QLocale::system());
    ~ReadingBuilder();
    ReadingBuilder(const ReadingBuilder&) = delete;
    ReadingBuilder& operator=(const ReadingBuilder&) = delete;

    // False, with `out` unspecified, for a record that holds no packet (Valid 0) or whose time
    // stamp forms no date.
    bool Build(const meterdata::MeterRecord& record, meterdata::RecordSource source, const QString& site,
               const QString& uartId, Reading& out) const;
    // The same with the instant the record stands for given (ms since 1970 UTC), instead of
    // reading its local time in this machine's zone.
    bool BuildAt(const meterdata::MeterRecord& record, meterdata::RecordSource source, const QString& site,
                 const QString& uartId, qint64 utcMs, Reading& out) const;

  private:
    class NoClock;
    QDateTime LocalToUtc(QDate date, QTime time) const;
    bool Fill(const meterdata::MeterRecord& record, meterdata::RecordSource source, const QString& site,
              const QString& uartId, Reading& out) const;
    std::optional<double> Number(const QString& text) const;

    std::unique_ptr<NoClock> clock_;
    meterdata::RecordTextFormatter formatter_;
    QString decimalPoint_;
    mutable QStringList texts_;
    // The zone's offset from UTC in seconds, per quarter hour of local time: the system's zone
    // lookup costs more than all the rest of a reading, and offsets change only on a quarter hour.
    mutable std::unordered_map<qint64, int> offsets_;
};

// One JSON object with the field names above; "value" is null where there is no number.
QJsonObject ReadingToJson(const Reading& reading);

}  // namespace lumvaris::sinks
