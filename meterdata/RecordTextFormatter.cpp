#include "meterdata/RecordTextFormatter.h"

#include "meterdata/DayTime.h"
#include "meterdata/IClock.h"
#include "meterdata/TMatrixInterface.h"
#include "meterdata/ValueCode.h"

#include <cmath>
#include <cstdlib>

namespace lumvaris::meterdata {

namespace {

const QString kFiller[2] = {QStringLiteral(" ....."), QStringLiteral(" ####")};
const QString kBlank = QStringLiteral(" ");
const QString kNoData = QStringLiteral("нет данных");

constexpr double kFifteenSeconds = 15.0 / 86400.0;

enum Entry {
    kMeter = 0,
    kLabel = 1,
    kCurrent = 2,
    kSnapshot = 3,
    kLevel = 4,
    kDate = 5,
    kTime = 6,
    kElapsed = 7
};

// "%0.Nd": at least N digits, zero-padded, the sign in front.
QString Padded(long long value, int digits) {
    QString text = QString::number(std::llabs(value)).rightJustified(digits, QLatin1Char('0'));
    return value < 0 ? QLatin1Char('-') + text : text;
}

// "%0.NX": at least N upper-case hex digits.
QString Hex(unsigned value, int digits) {
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

}  // namespace

RecordTextFormatter::RecordTextFormatter(const IClock& clock, const QLocale& locale) : clock_(clock) {
    SetLocale(locale);
}

void RecordTextFormatter::SetLocale(const QLocale& locale) {
    locale_ = locale;
    dateFormat_ = locale.dateFormat(QLocale::ShortFormat);
    timeFormat_ = StripTimeZone(locale.timeFormat(QLocale::LongFormat));
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

double RecordTextFormatter::Now() const {
    return DaysFromDateTime(clock_.Now());
}

QString RecordTextFormatter::Fixed(long long scaled, int decimals) const {
    const long long unit = decimals == 1 ? 10 : 100;
    const long long magnitude = std::llabs(scaled);
    QString text = QString::number(magnitude / unit) + decimalPoint_ +
                   QString::number(magnitude % unit).rightJustified(decimals, QLatin1Char('0'));
    return scaled < 0 ? QLatin1Char('-') + text : text;
}

QString RecordTextFormatter::SevenCharacters(long long hundredths) const {
    const QString text = Fixed(hundredths, 2);
    return text.size() > 7 ? text.right(7) : text.rightJustified(7, QLatin1Char('0'));
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
        for (int i = 0; i < kTextCount; ++i) {
            texts.append(filler);
        }
        if (record.Meter != 0) {
            texts[kMeter] = QString::number(record.Meter);
        }
        return;
    }

    texts.append(QString::number(record.Meter));
    texts.append(Hex(record.Type, 2) + QLatin1Char('h'));
    texts.append(Hex(record.WordA, 4) + QLatin1Char('h'));
    texts.append(Hex(record.WordB, 4) + QLatin1Char('h'));

    QString level = QString::number((record.Level & 0x0F) * 25) + QLatin1Char('%');
    switch (record.Level >> 4) {
        case 0x2:
            level += QStringLiteral(" (A)");
            break;
        case 0x4:
            level += QStringLiteral(" (B)");
            break;
        case 0x8:
            level += QStringLiteral(" (C)");
            break;
        default:
            break;
    }
    texts.append(level);

    QDate date;
    QTime time;
    if (DateTimeFromDays(record.Time, date, time)) {
        texts.append(locale_.toString(date, dateFormat_));
        texts.append(locale_.toString(time, timeFormat_));
    } else {
        // A stamp that is no date at all (only a damaged file holds one).
        texts.append(QString());
        texts.append(QString());
    }

    const double elapsed = now - record.Time;
    if (elapsed < 0) {
        texts.append(QStringLiteral("???"));
    } else if (elapsed < 1.0) {
        const auto ms = std::min<long long>(std::llround(elapsed * kMillisecondsPerDay), 86399999);
        QString text = locale_.toString(QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)), timeFormat_);
        if (elapsed < kFifteenSeconds) {
            text += QStringLiteral(" !!!");
        }
        texts.append(text);
    } else {
        texts.append(QString());  // a day or more, or no valid stamp
    }

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
        texts[kCurrent] = valid ? Padded((a + d) % 10000, 4) : kBlank;
        texts[kSnapshot] = valid ? kBlank : Padded(a, 4);
    };
    auto sum = [&] {
        texts[kCurrent] = kBlank;
        texts[kSnapshot] = valid ? SevenCharacters(static_cast<long long>(a) * 100 + d) : kBlank;
    };

    switch (record.Type >> 4) {
        case 0x0:
            if (n <= 3) {
                texts[kLabel] = QStringLiteral("кВт·ч (S-T%1)").arg(n + 1);
                counter();
            } else if (n == 14) {
                texts[kLabel] = QStringLiteral("кВт·ч (S-SUM)");
                sum();
            } else if (n == 15) {
                texts[kLabel] = QStringLiteral("кВт·ч (S-SUM)");
                counter();
            } else {
                texts[kCurrent] = kBlank;
                texts[kSnapshot] = kBlank;
            }
            break;

        case 0x1:
            if (n <= 3) {
                texts[kLabel] = QStringLiteral("кВт·ч (ABC-T%1)").arg(n + 1);
                counter();
            } else if (n >= 8 && n <= 10) {
                texts[kLabel] = QStringLiteral("кВт·ч (%1-SUM)").arg(QChar(u'A' + (n - 8)));
                sum();
            } else if (n == 14) {
                texts[kLabel] = QStringLiteral("кВт·ч (ABC-SUM)");
                sum();
            } else if (n == 15) {
                texts[kLabel] = QStringLiteral("кВт·ч (ABC-SUM)");
                counter();
            } else {
                texts[kCurrent] = kBlank;
                texts[kSnapshot] = kBlank;
            }
            break;

        case 0x4: {
            // Values fixed at 00:00: a 24-bit whole part and hundredths in the high byte of B.
            texts[kCurrent] = QString();
            texts[kSnapshot] = QString();
            const bool noData = a == 0xFFFF && b == 0xFFFF;
            const long long hundredths = b >> 8;
            auto reading = [&](long long whole) {
                texts[kSnapshot] = noData ? kNoData : Fixed(whole * 100 + hundredths, 2);
            };
            switch (n) {
                case 0:
                case 1:
                case 2:
                case 3:
                    texts[kLabel] = QStringLiteral("кВт·ч (T%1 на 00:00)").arg(n + 1);
                    reading(a + (b & 0xFF) * 65536LL);
                    break;
                case 4:
                    texts[kLabel] = QStringLiteral("кВт·ч (получасовка #%1)").arg(a & 0xFF);
                    reading((a >> 8) + (b & 0xFF) * 256LL);
                    break;
                case 5:
                    texts[kLabel] = QStringLiteral("ER+ квар·ч (на 00:00)");
                    reading(a + (b & 0xFF) * 65536LL);
                    break;
                case 6:
                    texts[kLabel] = QStringLiteral("ER- квар·ч (на 00:00)");
                    reading(a + (b & 0xFF) * 65536LL);
                    break;
                case 8:
                    texts[kLabel] = QStringLiteral("Серийный номер");
                    texts[kSnapshot] = Padded(static_cast<std::int32_t>(a | (b << 16)), 8);
                    break;
                case 9:
                    texts[kLabel] = QStringLiteral("Статус");
                    texts[kSnapshot] = Hex(a, 4) + QLatin1Char('/') + Hex(b, 4);
                    break;
                case 15:
                    texts[kLabel] = QStringLiteral("кВт·ч (SUM на 00:00)");
                    reading(a + (b & 0xFF) * 65536LL);
                    break;
                default:
                    break;
            }
            break;
        }

        case 0x8:
            if (n <= 3) {
                static const char* const kWater[4] = {"Хол.вода-A, куб.м", "Хол.вода-B, куб.м",
                                                      "Гор.вода-A, куб.м", "Гор.вода-B, куб.м"};
                texts[kLabel] = QString::fromUtf8(kWater[n]);
                texts[kCurrent] = valid ? Fixed((a + d) % 10000, 1) : kBlank;
                texts[kSnapshot] = Fixed(a, 1);
            }
            break;

        case 0xD:
            if (n == 0xA) {
                static const char* const kState[4] = {"Не выполнено", "Выполняется", "Выполнено",
                                                      "Выполнено"};
                texts[kLabel] = QString::fromUtf8(kState[a & 3]);
                texts[kCurrent] = QStringLiteral("0x") + Hex(a & 0xFF, 2);
                texts[kSnapshot] = QStringLiteral("0x") + Hex(a >> 8, 2);
            }
            break;

        case 0xE:
            if (n == 1) {
                texts[kLabel] = QStringLiteral("Старт");
                texts[kCurrent] = QStringLiteral("# ") + QString::number(a & 0x0FFF);
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
