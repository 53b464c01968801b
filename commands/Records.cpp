#include "commands/Records.h"

#include <QCoreApplication>
#include "link/Frame.h"

namespace lumvaris::commands {

int WeekdayByte(const QDate& date) {
    // QDate counts Monday = 1 ... Sunday = 7; from Sunday = 1 that is dayOfWeek % 7 + 1.
    const int fromSunday = date.dayOfWeek() % 7 + 1;
    return (fromSunday + 5) % 7;
}

namespace {

const char* const kWeekdayNames[7] = {
    QT_TRANSLATE_NOOP("commands::Records", "Понедельник"), QT_TRANSLATE_NOOP("commands::Records", "Вторник"),
    QT_TRANSLATE_NOOP("commands::Records", "Среда"),       QT_TRANSLATE_NOOP("commands::Records", "Четверг"),
    QT_TRANSLATE_NOOP("commands::Records", "Пятница"),     QT_TRANSLATE_NOOP("commands::Records", "Суббота"),
    QT_TRANSLATE_NOOP("commands::Records", "Воскресенье")};

}  // namespace

QString WeekdayName(int weekday) {
    return weekday >= 0 && weekday < 7
               ? QCoreApplication::translate("commands::Records", kWeekdayNames[weekday])
               : QStringLiteral("???");
}

QString WeekdayDataName(int weekday) {
    return weekday >= 0 && weekday < 7 ? QString::fromUtf8(kWeekdayNames[weekday]) : QStringLiteral("???");
}

QString ClockOffsetText(std::int64_t offsetSeconds) {
    return QCoreApplication::translate("commands::Records", "откл. %1 с").arg(offsetSeconds);
}

ClockRecord ClockRecord::FromDateTime(const QDate& date, int hour, int minute, int second) {
    ClockRecord r;
    r.second = static_cast<std::uint8_t>(second);
    r.minute = static_cast<std::uint8_t>(minute);
    r.hour = static_cast<std::uint8_t>(hour);
    r.weekday = static_cast<std::uint8_t>(WeekdayByte(date));
    r.dayIndex = static_cast<std::uint8_t>(date.day() - 1);
    r.monthIndex = static_cast<std::uint8_t>(date.month() - 1);
    r.year = static_cast<std::uint8_t>(((date.year() % 100) + 100) % 100);
    return r;
}

ClockRecord ClockRecord::FromDateTime(const QDateTime& dateTime) {
    const QTime t = dateTime.time();
    return FromDateTime(dateTime.date(), t.hour(), t.minute(), t.second());
}

ClockRecord ClockRecord::Decode(const std::uint8_t* bytes) {
    ClockRecord r;
    r.second = bytes[0];
    r.minute = bytes[1];
    r.hour = bytes[2];
    r.weekday = bytes[3];
    r.dayIndex = bytes[4];
    r.monthIndex = bytes[5];
    r.year = bytes[6];
    return r;
}

void ClockRecord::Encode(std::uint8_t* bytes) const {
    bytes[0] = second;
    bytes[1] = minute;
    bytes[2] = hour;
    bytes[3] = weekday;
    bytes[4] = dayIndex;
    bytes[5] = monthIndex;
    bytes[6] = year;
}

std::optional<QDateTime> ClockRecord::DateTime() const {
    const QDate date(2000 + year, monthIndex + 1, dayIndex + 1);
    if (!date.isValid() || !QTime::isValid(hour, minute, second)) {
        return std::nullopt;
    }
    return QDateTime(date, QTime(hour, minute, second));
}

ConfigurationByte ConfigurationByte::Decode(std::uint8_t byte) {
    ConfigurationByte c;
    c.portMode = byte & 0x01;
    c.operatingMode = (byte >> 2) & 0x03;
    c.winterTime = (byte & 0x10) != 0;
    c.plcStopped = (byte >> 5) & 0x01;
    return c;
}

std::uint8_t ConfigurationByte::Encode() const {
    return static_cast<std::uint8_t>((portMode & 1) | ((operatingMode & 3) << 2) | (winterTime ? 0x10 : 0) |
                                     ((plcStopped & 1) << 5));
}

LineState LineState::Decode(const std::uint8_t* bytes) {
    LineState s;
    for (std::size_t i = 0; i < s.values.size(); ++i) {
        s.values[i] = link::ReadWord(bytes + 2 * i);
    }
    return s;
}

QString LineState::CorrectionText(int phase) const {
    return QString::number(Correction(phase) * 100 / 256) + QLatin1Char('%');
}

QString LineState::FrequencyText(int frequencyIndex) {
    return QStringLiteral("%1 kHz").arg(20 + 5 * frequencyIndex);
}

std::vector<std::uint8_t> LongCommandBody(const std::vector<std::uint8_t>& commandBytes) {
    std::vector<std::uint8_t> body = commandBytes;
    const std::uint8_t fill = static_cast<std::uint8_t>((4 - commandBytes.size() % 4) % 4);
    body.insert(body.end(), fill, 0);
    body.push_back(fill);
    const std::uint32_t crc = link::Crc24(commandBytes.data(), commandBytes.size());
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    body.push_back(static_cast<std::uint8_t>((crc >> 8) & 0xFF));
    body.push_back(static_cast<std::uint8_t>((crc >> 16) & 0xFF));
    return body;
}

}  // namespace lumvaris::commands
