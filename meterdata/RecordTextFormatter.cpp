#include "meterdata/RecordTextFormatter.h"

#include "meterdata/DayTime.h"
#include "meterdata/IClock.h"
#include "meterdata/TMatrixInterface.h"
#include "meterdata/ValueCode.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace lumvaris::meterdata {

namespace {

const QString kFiller[2] = {QStringLiteral(" ....."), QStringLiteral(" ####")};
const QString kBlank = QStringLiteral(" ");
const QString kNoData = QStringLiteral("нет данных");
const QString kUnknownAge = QStringLiteral("???");
const QString kFresh = QStringLiteral(" !!!");
const QString kPhase[16] = {{},
                            {},
                            QStringLiteral(" (A)"),
                            {},
                            QStringLiteral(" (B)"),
                            {},
                            {},
                            {},
                            QStringLiteral(" (C)"),
                            {},
                            {},
                            {},
                            {},
                            {},
                            {},
                            {}};

const QString kTariffS[4] = {QStringLiteral("кВт·ч (S-T1)"), QStringLiteral("кВт·ч (S-T2)"),
                             QStringLiteral("кВт·ч (S-T3)"), QStringLiteral("кВт·ч (S-T4)")};
const QString kSumS = QStringLiteral("кВт·ч (S-SUM)");
const QString kTariffAbc[4] = {QStringLiteral("кВт·ч (ABC-T1)"), QStringLiteral("кВт·ч (ABC-T2)"),
                               QStringLiteral("кВт·ч (ABC-T3)"), QStringLiteral("кВт·ч (ABC-T4)")};
const QString kSumPhase[3] = {QStringLiteral("кВт·ч (A-SUM)"), QStringLiteral("кВт·ч (B-SUM)"),
                              QStringLiteral("кВт·ч (C-SUM)")};
const QString kSumAbc = QStringLiteral("кВт·ч (ABC-SUM)");
const QString kTariffMidnight[4] = {
    QStringLiteral("кВт·ч (T1 на 00:00)"), QStringLiteral("кВт·ч (T2 на 00:00)"),
    QStringLiteral("кВт·ч (T3 на 00:00)"), QStringLiteral("кВт·ч (T4 на 00:00)")};
const QString kHalfHour = QStringLiteral("кВт·ч (получасовка #%1)");
const QString kReactivePlus = QStringLiteral("ER+ квар·ч (на 00:00)");
const QString kReactiveMinus = QStringLiteral("ER- квар·ч (на 00:00)");
const QString kSerial = QStringLiteral("Серийный номер");
const QString kStatus = QStringLiteral("Статус");
const QString kSumMidnight = QStringLiteral("кВт·ч (SUM на 00:00)");
const QString kWater[4] = {QStringLiteral("Хол.вода-A, куб.м"), QStringLiteral("Хол.вода-B, куб.м"),
                           QStringLiteral("Гор.вода-A, куб.м"), QStringLiteral("Гор.вода-B, куб.м")};
const QString kCommandState[4] = {QStringLiteral("Не выполнено"), QStringLiteral("Выполняется"),
                                  QStringLiteral("Выполнено"), QStringLiteral("Выполнено")};
const QString kStart = QStringLiteral("Старт");

constexpr double kFifteenSeconds = 15.0 / 86400.0;

enum Entry { kMeter = 0, kLabel = 1, kCurrent = 2, kSnapshot = 3 };

// One text built in a fixed buffer and turned into a QString with a single allocation.
class Text {
  public:
    Text& Add(QChar c) {
        if (size_ < kCapacity)
            buffer_[size_++] = c;
        return *this;
    }
    Text& Add(const QString& s) {
        for (QChar c : s)
            Add(c);
        return *this;
    }
    // "%0.Nd": at least N digits, zero-padded, the sign in front.
    Text& Decimal(long long value, int digits = 1) {
        if (value < 0)
            Add(QLatin1Char('-'));
        unsigned long long v = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
        char d[24];
        int n = 0;
        do {
            d[n++] = char('0' + v % 10);
            v /= 10;
        } while (v > 0);
        for (int pad = n; pad < digits; ++pad)
            Add(QLatin1Char('0'));
        while (n > 0)
            Add(QLatin1Char(d[--n]));
        return *this;
    }
    // "%0.NX": at least N upper-case hex digits.
    Text& Hex(unsigned value, int digits) {
        char d[8];
        int n = 0;
        do {
            d[n++] = "0123456789ABCDEF"[value & 0xF];
            value >>= 4;
        } while (value > 0);
        for (int pad = n; pad < digits; ++pad)
            Add(QLatin1Char('0'));
        while (n > 0)
            Add(QLatin1Char(d[--n]));
        return *this;
    }
    QString Take() const { return QString(buffer_, size_); }
    int Size() const { return size_; }
    QChar At(int i) const { return buffer_[i]; }

  private:
    static constexpr int kCapacity = 48;
    QChar buffer_[kCapacity];
    int size_ = 0;
};

}  // namespace

RecordTextFormatter::RecordTextFormatter(const IClock& clock, const QLocale& locale) : clock_(clock) {
    SetLocale(locale);
}

void RecordTextFormatter::SetLocale(const QLocale& locale) {
    dateFormat_ = locale.dateFormat(QLocale::ShortFormat);
    timeFormat_ = StripTimeZone(locale.timeFormat(QLocale::LongFormat));
    date_ = DateTimeTextFormat(locale, dateFormat_, DateTimeTextFormat::Kind::Date);
    time_ = DateTimeTextFormat(locale, timeFormat_, DateTimeTextFormat::Kind::Time);
    decimalPoint_ = locale.decimalPoint();
}

QString RecordTextFormatter::StripTimeZone(const QString& format) {
    QString out;
    bool quoted = false;
    bool skipSpaces = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char('t')) {
            while (i + 1 < format.size() && format[i + 1] == QLatin1Char('t')) {
                ++i;
            }
            while (!out.isEmpty() && out.back().isSpace()) {
                out.chop(1);
            }
            skipSpaces = out.isEmpty();
            continue;
        }
        if (skipSpaces && c.isSpace()) {
            continue;
        }
        skipSpaces = false;
        out += c;
    }
    return out.trimmed();
}

QString LevelText(std::uint8_t level) {
    return Text().Decimal((level & 0x0F) * 25).Add(QLatin1Char('%')).Add(kPhase[level >> 4]).Take();
}

double RecordTextFormatter::Now() const {
    return DaysFromDateTime(clock_.Now());
}

QString RecordTextFormatter::Fixed(long long scaled, int decimals) const {
    const long long unit = decimals == 1 ? 10 : 100;
    const long long magnitude = std::llabs(scaled);
    Text text;
    if (scaled < 0)
        text.Add(QLatin1Char('-'));
    return text.Decimal(magnitude / unit).Add(decimalPoint_).Decimal(magnitude % unit, decimals).Take();
}

// The "%.2f" text zero-padded on the left to 7 characters, or cut to its last 7.
QString RecordTextFormatter::SevenCharacters(long long hundredths) const {
    Text full;
    full.Decimal(hundredths / 100).Add(decimalPoint_).Decimal(hundredths % 100, 2);
    Text seven;
    for (int pad = full.Size(); pad < 7; ++pad)
        seven.Add(QLatin1Char('0'));
    for (int i = std::max(0, full.Size() - 7); i < full.Size(); ++i)
        seven.Add(full.At(i));
    return seven.Take();
}

void RecordTextFormatter::RecordToTexts(const MeterRecord& record, QStringList& texts) const {
    RecordToTexts(record, Now(), texts);
}

void RecordTextFormatter::RecordToTexts(const MeterRecord& record, double now, QStringList& texts) const {
    texts.clear();
    texts.reserve(kTextCount);
    if (record.Valid == 0) {
        // Marks other than 0 and 1 have no filler of their own; they read as empty.
        const QString& filler = kFiller[record.EmptyMark == 1 ? 1 : 0];
        texts.append(record.Meter != 0 ? Text().Decimal(record.Meter).Take() : filler);
        for (int i = 1; i < kTextCount; ++i) {
            texts.append(filler);
        }
        return;
    }

    ValueTexts(record, texts);
    texts.append(LevelText(record.Level));

    QDate date;
    QTime time;
    if (DateTimeFromDays(record.Time, date, time)) {
        texts.append(date_.Format(date));
        texts.append(time_.Format(time));
    } else {
        // A stamp that is no date at all (only a damaged file holds one).
        texts.append(QString());
        texts.append(QString());
    }

    const double elapsed = now - record.Time;
    if (elapsed < 0) {
        texts.append(kUnknownAge);
    } else if (elapsed < 1.0) {
        const auto ms = std::min<long long>(std::llround(elapsed * kMillisecondsPerDay), 86399999);
        QString text = time_.Format(QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
        if (elapsed < kFifteenSeconds) {
            text += kFresh;
        }
        texts.append(text);
    } else {
        texts.append(QString());  // a day or more, or no valid stamp
    }
}

void RecordTextFormatter::ValueTexts(const MeterRecord& record, QStringList& texts) const {
    texts.clear();
    texts.reserve(kTextCount);
    texts.append(Text().Decimal(record.Meter).Take());
    texts.append(Text().Hex(record.Type, 2).Add(QLatin1Char('h')).Take());
    texts.append(Text().Hex(record.WordA, 4).Add(QLatin1Char('h')).Take());
    texts.append(Text().Hex(record.WordB, 4).Add(QLatin1Char('h')).Take());
    Decode(record, texts);
}

void RecordTextFormatter::Decode(const MeterRecord& record, QStringList& texts) const {
    const int n = record.Type & 0x0F;
    const unsigned a = record.WordA;
    const unsigned b = record.WordB;
    const std::uint16_t d = ValueCode::Decode(record.WordB);
    const bool valid = ValueCode::IsValid(d);

    // Energy counters: the current reading is A advanced by the coded increment, four digits;
    // without a decodable increment the snapshot shows A itself.
    auto counter = [&] {
        texts[kCurrent] = valid ? Text().Decimal((a + d) % 10000, 4).Take() : kBlank;
        texts[kSnapshot] = valid ? kBlank : Text().Decimal(a, 4).Take();
    };
    // Sums: A plus the coded hundredths in the seven-character form.
    auto sum = [&] {
        texts[kCurrent] = kBlank;
        texts[kSnapshot] = valid ? SevenCharacters(static_cast<long long>(a) * 100 + d) : kBlank;
    };
    auto neither = [&] {
        texts[kCurrent] = kBlank;
        texts[kSnapshot] = kBlank;
    };

    switch (record.Type >> 4) {
        case 0x0:
            if (n <= 3) {
                texts[kLabel] = kTariffS[n];
                counter();
            } else if (n == 14) {
                texts[kLabel] = kSumS;
                sum();
            } else if (n == 15) {
                texts[kLabel] = kSumS;
                counter();
            } else {
                neither();
            }
            break;

        case 0x1:
            if (n <= 3) {
                texts[kLabel] = kTariffAbc[n];
                counter();
            } else if (n >= 8 && n <= 10) {
                texts[kLabel] = kSumPhase[n - 8];
                sum();
            } else if (n == 14) {
                texts[kLabel] = kSumAbc;
                sum();
            } else if (n == 15) {
                texts[kLabel] = kSumAbc;
                counter();
            } else {
                neither();
            }
            break;

        case 0x4: {
            // Values fixed at 00:00: a 24-bit whole part, hundredths in the high byte of B.
            texts[kCurrent] = QString();
            texts[kSnapshot] = QString();
            const bool noData = a == 0xFFFF && b == 0xFFFF;
            const long long hundredths = b >> 8;
            const long long whole = a + (b & 0xFF) * 65536LL;
            auto reading = [&](long long units) {
                texts[kSnapshot] = noData ? kNoData : Fixed(units * 100 + hundredths, 2);
            };
            switch (n) {
                case 0:
                case 1:
                case 2:
                case 3:
                    texts[kLabel] = kTariffMidnight[n];
                    reading(whole);
                    break;
                case 4:
                    texts[kLabel] = kHalfHour.arg(a & 0xFF);
                    reading((a >> 8) + (b & 0xFF) * 256LL);
                    break;
                case 5:
                    texts[kLabel] = kReactivePlus;
                    reading(whole);
                    break;
                case 6:
                    texts[kLabel] = kReactiveMinus;
                    reading(whole);
                    break;
                case 8:
                    texts[kLabel] = kSerial;
                    texts[kSnapshot] = Text().Decimal(static_cast<std::int32_t>(a | (b << 16)), 8).Take();
                    break;
                case 9:
                    texts[kLabel] = kStatus;
                    texts[kSnapshot] = Text().Hex(a, 4).Add(QLatin1Char('/')).Hex(b, 4).Take();
                    break;
                case 15:
                    texts[kLabel] = kSumMidnight;
                    reading(whole);
                    break;
                default:
                    break;
            }
            break;
        }

        case 0x8:
            // Water meters, in tenths of a cubic metre.
            if (n <= 3) {
                texts[kLabel] = kWater[n];
                texts[kCurrent] = valid ? Fixed((a + d) % 10000, 1) : kBlank;
                texts[kSnapshot] = Fixed(a, 1);
            }
            break;

        case 0xD:
            if (n == 0xA) {
                texts[kLabel] = kCommandState[a & 3];
                texts[kCurrent] = Text().Add(QLatin1Char('0')).Add(QLatin1Char('x')).Hex(a & 0xFF, 2).Take();
                texts[kSnapshot] = Text().Add(QLatin1Char('0')).Add(QLatin1Char('x')).Hex(a >> 8, 2).Take();
            }
            break;

        case 0xE:
            if (n == 1) {
                texts[kLabel] = kStart;
                texts[kCurrent] =
                    Text().Add(QLatin1Char('#')).Add(QLatin1Char(' ')).Decimal(a & 0x0FFF).Take();
                texts[kSnapshot] = QString();
            }
            break;

        default:
            break;
    }
}

void RecordTextFormatter::PositionTexts(const TMatrixInterface& store, QStringList& texts, int slot,
                                        int row) const {
    PositionTexts(store, texts, slot, row, Now());
}

void RecordTextFormatter::PositionTexts(const TMatrixInterface& store, QStringList& texts, int slot, int row,
                                        double now) const {
    MeterRecord record;  // empty, meter 0, where the position holds nothing
    store.GetMeterRecord(record, slot, row);
    RecordToTexts(record, now, texts);
}

}  // namespace lumvaris::meterdata
