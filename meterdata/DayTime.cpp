#include "meterdata/DayTime.h"

#include <cmath>
#include <cstdint>

namespace lumvaris::meterdata {

namespace {

// Julian day number of 1899-12-30; a constant, so stamps can be computed during static start-up.
constexpr qint64 kEpochJulianDay = 2415019;
// 0001-01-01 and 9999-12-31 as day numbers of the stamp.
constexpr double kFirstDay = -693593.0;
constexpr double kLastDay = 2958465.0;

}  // namespace

double DaysFromDateTime(QDate date, QTime time) {
    const double day = static_cast<double>(date.toJulianDay() - kEpochJulianDay);
    const double fraction = time.isValid() ? time.msecsSinceStartOfDay() / kMillisecondsPerDay : 0.0;
    return day >= 0 ? day + fraction : day - fraction;
}

double DaysFromDateTime(const QDateTime& local) {
    return DaysFromDateTime(local.date(), local.time());
}

bool DateTimeFromDays(double days, QDate& date, QTime& time) {
    date = QDate();
    time = QTime();
    if (!std::isfinite(days) || days < kFirstDay || days >= kLastDay + 1.0) {
        return false;
    }
    double whole = std::trunc(days);
    auto ms = static_cast<std::int64_t>(std::llround(std::fabs(days - whole) * kMillisecondsPerDay));
    if (ms >= static_cast<std::int64_t>(kMillisecondsPerDay)) {
        // Rounds up to midnight of the following day.
        ms = 0;
        whole += 1.0;
    }
    if (whole > kLastDay) {
        return false;
    }
    date = QDate::fromJulianDay(kEpochJulianDay + static_cast<qint64>(whole));
    time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
    return true;
}

}  // namespace lumvaris::meterdata
