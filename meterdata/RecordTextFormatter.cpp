#include "meterdata/RecordTextFormatter.h"

#include "meterdata/DayTime.h"
#include "meterdata/IClock.h"
#include "meterdata/TMatrixInterface.h"
#include "meterdata/ValueCode.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace lumvaris::meterdata {

namespace {

const QString kFiller[2] = {QStringLiteral(" ....."), QStringLiteral(" ####")};
const QString kBlank = QStringLiteral(" ");
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

const char* const kLabelSources[RecordTextFormatter::Labels::kCount] = {
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (S-T1)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (S-T2)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (S-T3)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (S-T4)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (S-SUM)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (ABC-T1)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (ABC-T2)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (ABC-T3)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (ABC-T4)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (A-SUM)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (B-SUM)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (C-SUM)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (ABC-SUM)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (T1 на 00:00)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (T2 на 00:00)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (T3 на 00:00)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (T4 на 00:00)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (получасовка #%1)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "ER+ квар·ч (на 00:00)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "ER- квар·ч (на 00:00)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "Серийный номер"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "Статус"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "кВт·ч (SUM на 00:00)"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "Хол.вода-A, куб.м"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "Хол.вода-B, куб.м"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "Гор.вода-A, куб.м"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "Гор.вода-B, куб.м"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "Не выполнено"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "Выполняется"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "Выполнено"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "Старт"),
    QT_TRANSLATE_NOOP("meterdata::RecordTextFormatter", "нет данных")};

// Positions in kLabelSources.
enum Label {
    kTariffS = 0,  // 4
    kSumS = 4,
    kTariffAbc = 5,  // 4
    kSumPhase = 9,   // 3
    kSumAbc = 12,
    kTariffMidnight = 13,  // 4
    kHalfHour = 17,
    kReactivePlus = 18,
    kReactiveMinus = 19,
    kSerial = 20,
    kStatus = 21,
    kSumMidnight = 22,
    kWater = 23,         // 4
    kCommandState = 27,  // 3: not done, running, done (a state of 3 reads as done)
    kStart = 30,
    kNoData = 31
};

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

RecordTextFormatter::Labels RecordTextFormatter::Labels::Of(LabelLanguage language) {
    Labels labels;
    for (int i = 0; i < kCount; ++i) {
        labels.text[i] =
            language == LabelLanguage::Stored
                ? QString::fromUtf8(kLabelSources[i])
                : QCoreApplication::translate("meterdata::RecordTextFormatter", kLabelSources[i]);
    }
    return labels;
}

RecordTextFormatter::RecordTextFormatter(const IClock& clock, const QLocale& locale, LabelLanguage language)
    : clock_(clock), labels_(Labels::Of(language)) {
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
                texts[kLabel] = labels_.text[kTariffS + n];
                counter();
            } else if (n == 14) {
                texts[kLabel] = labels_.text[kSumS];
                sum();
            } else if (n == 15) {
                texts[kLabel] = labels_.text[kSumS];
                counter();
            } else {
                neither();
            }
            break;

        case 0x1:
            if (n <= 3) {
                texts[kLabel] = labels_.text[kTariffAbc + n];
                counter();
            } else if (n >= 8 && n <= 10) {
                texts[kLabel] = labels_.text[kSumPhase + n - 8];
                sum();
            } else if (n == 14) {
                texts[kLabel] = labels_.text[kSumAbc];
                sum();
            } else if (n == 15) {
                texts[kLabel] = labels_.text[kSumAbc];
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
                texts[kSnapshot] = noData ? labels_.text[kNoData] : Fixed(units * 100 + hundredths, 2);
            };
            switch (n) {
                case 0:
                case 1:
                case 2:
                case 3:
                    texts[kLabel] = labels_.text[kTariffMidnight + n];
                    reading(whole);
                    break;
                case 4:
                    texts[kLabel] = labels_.text[kHalfHour].arg(a & 0xFF);
                    reading((a >> 8) + (b & 0xFF) * 256LL);
                    break;
                case 5:
                    texts[kLabel] = labels_.text[kReactivePlus];
                    reading(whole);
                    break;
                case 6:
                    texts[kLabel] = labels_.text[kReactiveMinus];
                    reading(whole);
                    break;
                case 8:
                    texts[kLabel] = labels_.text[kSerial];
                    texts[kSnapshot] = Text().Decimal(static_cast<std::int32_t>(a | (b << 16)), 8).Take();
                    break;
                case 9:
                    texts[kLabel] = labels_.text[kStatus];
                    texts[kSnapshot] = Text().Hex(a, 4).Add(QLatin1Char('/')).Hex(b, 4).Take();
                    break;
                case 15:
                    texts[kLabel] = labels_.text[kSumMidnight];
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
                texts[kLabel] = labels_.text[kWater + n];
                texts[kCurrent] = valid ? Fixed((a + d) % 10000, 1) : kBlank;
                texts[kSnapshot] = Fixed(a, 1);
            }
            break;

        case 0xD:
            if (n == 0xA) {
                texts[kLabel] = labels_.text[kCommandState + std::min(a & 3u, 2u)];
                texts[kCurrent] = Text().Add(QLatin1Char('0')).Add(QLatin1Char('x')).Hex(a & 0xFF, 2).Take();
                texts[kSnapshot] = Text().Add(QLatin1Char('0')).Add(QLatin1Char('x')).Hex(a >> 8, 2).Take();
            }
            break;

        case 0xE:
            if (n == 1) {
                texts[kLabel] = labels_.text[kStart];
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
