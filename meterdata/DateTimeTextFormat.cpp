#include "meterdata/DateTimeTextFormat.h"

#include <QVarLengthArray>

namespace lumvaris::meterdata {

namespace {

qsizetype RepeatCount(const QString& format, qsizetype i) {
    qsizetype j = i + 1;
    while (j < format.size() && format[j] == format[i]) {
        ++j;
    }
    return j - i;
}

// Text between quotes; two quotes stand for one. i is on the opening quote and ends after the
// closing one.
QString ReadQuoted(const QString& format, qsizetype& i) {
    ++i;
    if (i == format.size()) {
        return QString();
    }
    if (format[i] == QLatin1Char('\'')) {
        ++i;
        return QStringLiteral("'");
    }
    QString text;
    while (i < format.size()) {
        if (format[i] == QLatin1Char('\'')) {
            if (i + 1 < format.size() && format[i + 1] == QLatin1Char('\'')) {
                text += QLatin1Char('\'');
                i += 2;
            } else {
                break;
            }
        } else {
            text += format[i++];
        }
    }
    if (i < format.size()) {
        ++i;
    }
    return text;
}

// Any unquoted a or A makes h a 12-hour field.
bool HasAmPm(const QString& format) {
    for (qsizetype i = 0; i < format.size();) {
        if (format[i] == QLatin1Char('\'')) {
            ReadQuoted(format, i);
            continue;
        }
        if (format[i].toLower() == QLatin1Char('a')) {
            return true;
        }
        ++i;
    }
    return false;
}

using Buffer = QVarLengthArray<QChar, 64>;

void AppendNumber(Buffer& out, int value, int width) {
    char digits[12];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int pad = n; pad < width; ++pad) {
        out.append(QLatin1Char('0'));
    }
    while (n > 0) {
        out.append(QLatin1Char(digits[--n]));
    }
}

void AppendText(Buffer& out, const QString& text) {
    out.append(text.constData(), text.size());
}

}  // namespace

DateTimeTextFormat::DateTimeTextFormat(const QLocale& locale, const QString& format, Kind kind)
    : locale_(locale), format_(format), kind_(kind) {
    compiled_ = locale.zeroDigit() == QLatin1String("0") && Compile() && MatchesLocale();
    if (!compiled_) {
        parts_.clear();
    }
}

// The parsed format must write exactly what QLocale writes; anything it does not mirror falls
// back to QLocale for good.
bool DateTimeTextFormat::MatchesLocale() const {
    if (kind_ == Kind::Date) {
        for (const QDate date : {QDate(2009, 12, 31), QDate(1, 1, 1), QDate(2024, 2, 29), QDate(987, 6, 5),
                                 QDate(9999, 12, 31)}) {
            if (Write(date) != locale_.toString(date, format_)) {
                return false;
            }
        }
    } else {
        for (const QTime time : {QTime(0, 0), QTime(0, 59, 59), QTime(9, 5, 7), QTime(11, 59, 59),
                                 QTime(12, 0), QTime(13, 4, 5), QTime(23, 59, 59)}) {
            if (Write(time) != locale_.toString(time, format_)) {
                return false;
            }
        }
    }
    return true;
}

bool DateTimeTextFormat::Compile() {
    const bool date = kind_ == Kind::Date;
    const bool amPm = HasAmPm(format_);
    qsizetype i = 0;
    while (i < format_.size()) {
        if (format_[i] == QLatin1Char('\'')) {
            parts_.push_back({Field::Literal, 0, ReadQuoted(format_, i), {}});
            continue;
        }
        const QChar c = format_[i];
        qsizetype repeat = RepeatCount(format_, i);
        bool used = true;
        switch (date ? c.unicode() : u'\0') {
            case u'y':
                if (repeat >= 4) {
                    repeat = 4;
                    parts_.push_back({Field::Year4, 4, {}, {}});
                } else if (repeat >= 2) {
                    repeat = 2;
                    parts_.push_back({Field::Year2, 2, {}, {}});
                } else {
                    used = false;
                }
                break;
            case u'M':
                repeat = std::min<qsizetype>(repeat, 4);
                parts_.push_back({repeat <= 2 ? Field::Month : Field::MonthName, int(repeat), {}, {}});
                break;
            case u'd':
                repeat = std::min<qsizetype>(repeat, 4);
                parts_.push_back({repeat <= 2 ? Field::Day : Field::DayName, int(repeat), {}, {}});
                break;
            default:
                used = false;
        }
        if (!used && !date) {
            used = true;
            switch (c.unicode()) {
                case u'h':
                    repeat = std::min<qsizetype>(repeat, 2);
                    parts_.push_back({amPm ? Field::Hour12 : Field::Hour24, int(repeat), {}, {}});
                    break;
                case u'H':
                    repeat = std::min<qsizetype>(repeat, 2);
                    parts_.push_back({Field::Hour24, int(repeat), {}, {}});
                    break;
                case u'm':
                    repeat = std::min<qsizetype>(repeat, 2);
                    parts_.push_back({Field::Minute, int(repeat), {}, {}});
                    break;
                case u's':
                    repeat = std::min<qsizetype>(repeat, 2);
                    parts_.push_back({Field::Second, int(repeat), {}, {}});
                    break;
                case u'a':
                case u'A': {
                    const bool pair = i + 1 < format_.size() && format_[i + 1].toLower() == QLatin1Char('p');
                    repeat = pair ? 2 : 1;
                    QString am = locale_.amText(), pm = locale_.pmText();
                    if (pair && (c == QLatin1Char('A')) != (format_[i + 1] == QLatin1Char('P'))) {
                        // "Ap" or "aP": the locale's own case
                    } else if (c == QLatin1Char('A')) {
                        am = am.toUpper();
                        pm = pm.toUpper();
                    } else {
                        am = am.toLower();
                        pm = pm.toLower();
                    }
                    parts_.push_back({Field::AmPm, 0, am, pm});
                    break;
                }
                case u'z':
                case u't':
                    return false;  // milliseconds and time zones: left to QLocale
                default:
                    used = false;
            }
        }
        if (!used) {
            parts_.push_back({Field::Literal, 0, QString(repeat, c), {}});
        }
        i += repeat;
    }
    return true;
}

QString DateTimeTextFormat::Format(QDate date) const {
    if (!compiled_ || kind_ != Kind::Date || !date.isValid() || date.year() < 1 || date.year() > 9999) {
        return locale_.toString(date, format_);
    }
    return Write(date);
}

QString DateTimeTextFormat::Format(QTime time) const {
    if (!compiled_ || kind_ != Kind::Time || !time.isValid()) {
        return locale_.toString(time, format_);
    }
    return Write(time);
}

QString DateTimeTextFormat::Write(QDate date) const {
    Buffer out;
    for (const Part& part : parts_) {
        switch (part.field) {
            case Field::Literal:
                AppendText(out, part.literal);
                break;
            case Field::Day:
                AppendNumber(out, date.day(), part.width);
                break;
            case Field::DayName:
                AppendText(out, locale_.dayName(date.dayOfWeek(), part.width == 3 ? QLocale::ShortFormat
                                                                                  : QLocale::LongFormat));
                break;
            case Field::Month:
                AppendNumber(out, date.month(), part.width);
                break;
            case Field::MonthName:
                AppendText(out, locale_.monthName(date.month(), part.width == 3 ? QLocale::ShortFormat
                                                                                : QLocale::LongFormat));
                break;
            case Field::Year2:
                AppendNumber(out, date.year() % 100, 2);
                break;
            case Field::Year4:
                AppendNumber(out, date.year(), 4);
                break;
            default:
                break;
        }
    }
    return QString(out.constData(), out.size());
}

QString DateTimeTextFormat::Write(QTime time) const {
    Buffer out;
    for (const Part& part : parts_) {
        switch (part.field) {
            case Field::Literal:
                AppendText(out, part.literal);
                break;
            case Field::Hour24:
                AppendNumber(out, time.hour(), part.width);
                break;
            case Field::Hour12: {
                const int hour = time.hour() > 12 ? time.hour() - 12 : (time.hour() == 0 ? 12 : time.hour());
                AppendNumber(out, hour, part.width);
                break;
            }
            case Field::Minute:
                AppendNumber(out, time.minute(), part.width);
                break;
            case Field::Second:
                AppendNumber(out, time.second(), part.width);
                break;
            case Field::AmPm:
                AppendText(out, time.hour() < 12 ? part.literal : part.evening);
                break;
            default:
                break;
        }
    }
    return QString(out.constData(), out.size());
}

}  // namespace lumvaris::meterdata
