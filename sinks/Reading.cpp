#include "sinks/Reading.h"

#include "meterdata/DayTime.h"
#include "meterdata/IClock.h"

#include <QJsonValue>
#include <QTimeZone>

#include <charconv>

namespace lumvaris::sinks {

using meterdata::MeterRecord;
using meterdata::RecordSource;

namespace {

const QString kLive = QStringLiteral("live");
const QString kBuffer = QStringLiteral("buffer");
const QString kPhases[16] = {
    {}, {}, QStringLiteral("A"), {}, QStringLiteral("B"), {}, {}, {}, QStringLiteral("C"), {}, {}, {}, {}, {},
    {}, {}};
const QString kEnergy = QStringLiteral("кВт·ч");
const QString kReactive = QStringLiteral("квар·ч");
const QString kWater = QStringLiteral("куб.м");
const QString kNone;

// The unit of the quantity a packet kind carries; empty for the kinds that measure nothing
// (serial number, status words, command state, start, and the kinds without a decoder).
const QString& UnitOf(int type) {
    const int n = type & 0x0F;
    switch (type >> 4) {
        case 0x0:
            return n <= 3 || n >= 14 ? kEnergy : kNone;
        case 0x1:
            return n <= 3 || (n >= 8 && n <= 10) || n >= 14 ? kEnergy : kNone;
        case 0x4:
            if (n <= 4 || n == 15) {
                return kEnergy;
            }
            return n == 5 || n == 6 ? kReactive : kNone;
        case 0x8:
            return n <= 3 ? kWater : kNone;
        default:
            return kNone;
    }
}

constexpr qint64 kUnixEpochJulianDay = 2440588;  // 1970-01-01

// Texts of the table's row.
enum Entry { kLabel = 1, kCurrent = 2, kSnapshot = 3 };

}  // namespace

class ReadingBuilder::NoClock final : public meterdata::IClock {
  public:
    // The builder never asks for the elapsed time, the one text that needs the clock.
    QDateTime Now() const override { return {}; }
};

QString UartIdText(std::uint16_t uartId) {
    return QStringLiteral("%1").arg(uartId, 4, 16, QLatin1Char('0')).toUpper();
}

QString SourceText(RecordSource source) {
    return source == RecordSource::Live ? kLive : kBuffer;
}

void AppendTimeText(const QDateTime& utc, QString& out) {
    if (!utc.isValid()) {
        return;
    }
    // Written digit by digit: QDateTime::toString cost more than the rest of a CSV line.
    constexpr qint64 kDayMs = 86400000;
    const qint64 ms = utc.toMSecsSinceEpoch();
    qint64 day = ms / kDayMs;
    qint64 ofDay = ms % kDayMs;
    if (ofDay < 0) {
        ofDay += kDayMs;
        --day;
    }
    int year = 0;
    int month = 0;
    int dayOfMonth = 0;
    QDate::fromJulianDay(day + kUnixEpochJulianDay).getDate(&year, &month, &dayOfMonth);
    const auto ofDayInt = static_cast<int>(ofDay);
    const int fields[] = {
        year,           month, dayOfMonth, ofDayInt / 3600000, ofDayInt / 60000 % 60, ofDayInt / 1000 % 60,
        ofDayInt % 1000};
    const int widths[] = {4, 2, 2, 2, 2, 2, 3};
    const char separators[] = "--T::.Z";
    QChar text[24];
    int at = 0;
    for (int i = 0; i < 7; ++i) {
        for (int digit = widths[i] - 1, value = fields[i]; digit >= 0; --digit, value /= 10) {
            text[at + digit] = QLatin1Char(static_cast<char>('0' + value % 10));
        }
        at += widths[i];
        text[at++] = QLatin1Char(separators[i]);
    }
    out.append(text, at);
}

QString TimeText(const QDateTime& utc) {
    QString text;
    AppendTimeText(utc, text);
    return text;
}

ReadingBuilder::ReadingBuilder(const QLocale& locale)
    : clock_(std::make_unique<NoClock>()),
      formatter_(*clock_, locale, meterdata::LabelLanguage::Stored),
      decimalPoint_(locale.decimalPoint()) {}

ReadingBuilder::~ReadingBuilder() = default;

std::optional<double> ReadingBuilder::Number(const QString& text) const {
    // The decoders write digits, a minus sign and the locale's decimal separator; anything else
    // (a blank, "нет данных") is no number.
    char plain[32] = {};
    std::size_t size = 0;
    for (const QChar c : text) {
        if (size == sizeof plain) {
            return std::nullopt;
        }
        if (c.unicode() >= '0' && c.unicode() <= '9') {
            plain[size++] = static_cast<char>(c.unicode());
        } else if (c == QLatin1Char('-') && size == 0) {
            plain[size++] = '-';
        } else if (decimalPoint_.size() == 1 && c == decimalPoint_.front()) {
            plain[size++] = '.';
        } else {
            return std::nullopt;
        }
    }
    double value = 0;
    const auto [end, error] = std::from_chars(plain, plain + size, value);
    if (size == 0 || error != std::errc() || end != plain + size) {
        return std::nullopt;
    }
    return value;
}

QDateTime ReadingBuilder::LocalToUtc(QDate date, QTime time) const {
    constexpr qint64 kQuarterMs = 15 * 60 * 1000;
    const qint64 localMs = date.toJulianDay() * 86400000LL + time.msecsSinceStartOfDay();
    const qint64 quarter = localMs / kQuarterMs;
    auto found = offsets_.find(quarter);
    if (found == offsets_.end()) {
        // Within a quarter hour every local time has the offset of the first one looked up (in a
        // repeated or skipped hour too: the zone rules pick the same for all of them).
        const QDateTime local(date, time, Qt::LocalTime);
        if (!local.isValid()) {
            return {};
        }
        if (offsets_.size() > 100000) {
            offsets_.clear();
        }
        found = offsets_.emplace(quarter, local.offsetFromUtc()).first;
    }
    const qint64 epochMs =
        (date.toJulianDay() - kUnixEpochJulianDay) * 86400000LL + time.msecsSinceStartOfDay();
    return QDateTime::fromMSecsSinceEpoch(epochMs - found->second * 1000LL, QTimeZone::utc());
}

bool ReadingBuilder::Build(const MeterRecord& record, RecordSource source, const QString& site,
                           const QString& uartId, Reading& out) const {
    if (record.Valid == 0) {
        return false;
    }
    QDate date;
    QTime time;
    if (!meterdata::DateTimeFromDays(record.Time, date, time)) {
        return false;
    }
    out.Time = LocalToUtc(date, time);
    if (!out.Time.isValid()) {
        return false;
    }
    return Fill(record, source, site, uartId, out);
}

bool ReadingBuilder::BuildAt(const MeterRecord& record, RecordSource source, const QString& site,
                             const QString& uartId, qint64 utcMs, Reading& out) const {
    QDate date;
    QTime time;
    if (record.Valid == 0 || !meterdata::DateTimeFromDays(record.Time, date, time)) {
        return false;
    }
    out.Time = QDateTime::fromMSecsSinceEpoch(utcMs, QTimeZone::utc());
    return Fill(record, source, site, uartId, out);
}

bool ReadingBuilder::Fill(const MeterRecord& record, RecordSource source, const QString& site,
                          const QString& uartId, Reading& out) const {
    out.Site = site;
    out.UartId = uartId;
    out.Meter = record.Meter;
    out.Type = record.Type;
    out.WordA = record.WordA;
    out.WordB = record.WordB;
    out.Level = (record.Level & 0x0F) * 25;
    out.Phase = kPhases[record.Level >> 4];
    out.Source = SourceText(source);

    formatter_.ValueTexts(record, texts_);
    out.Family = texts_[kLabel];
    out.Current = texts_[kCurrent];
    out.Snapshot = texts_[kSnapshot];

    // The number is the value the table shows: the current reading where there is one, else the
    // snapshot; a blank or "нет данных" is no number.
    out.Unit = UnitOf(record.Type);
    out.Value.reset();
    if (!out.Unit.isEmpty()) {
        for (const QString* text : {&out.Current, &out.Snapshot}) {
            if (const std::optional<double> value = Number(*text)) {
                out.Value = value;
                break;
            }
        }
    }
    return true;
}

QJsonObject ReadingToJson(const Reading& r) {
    QJsonObject o;
    o.insert(QLatin1String("site"), r.Site);
    o.insert(QLatin1String("uart_id"), r.UartId);
    o.insert(QLatin1String("meter"), r.Meter);
    o.insert(QLatin1String("type"), r.Type);
    o.insert(QLatin1String("word_a"), r.WordA);
    o.insert(QLatin1String("word_b"), r.WordB);
    o.insert(QLatin1String("level"), r.Level);
    o.insert(QLatin1String("phase"), r.Phase);
    o.insert(QLatin1String("time"), TimeText(r.Time));
    o.insert(QLatin1String("source"), r.Source);
    o.insert(QLatin1String("family"), r.Family);
    o.insert(QLatin1String("current_text"), r.Current);
    o.insert(QLatin1String("snapshot_text"), r.Snapshot);
    o.insert(QLatin1String("value"), r.Value ? QJsonValue(*r.Value) : QJsonValue(QJsonValue::Null));
    o.insert(QLatin1String("unit"), r.Unit);
    return o;
}

}  // namespace lumvaris::sinks
