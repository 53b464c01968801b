#include "sinks/LocalInstants.h"

#include "meterdata/DayTime.h"

#include <QDateTime>

#include <algorithm>
#include <vector>

namespace lumvaris::sinks {

namespace {

constexpr qint64 kUnixEpochJulianDay = 2440588;
constexpr qint64 kDayMs = 86400000;

}  // namespace

bool LocalInstants::Of(const meterdata::MeterRecord& record, qint64& first, qint64& second) {
    QDate date;
    QTime time;
    if (!meterdata::DateTimeFromDays(record.Time, date, time)) {
        return false;
    }
    const qint64 local = (date.toJulianDay() - kUnixEpochJulianDay) * kDayMs + time.msecsSinceStartOfDay();
    constexpr qint64 kQuarterMs = 15 * 60 * 1000;
    const qint64 quarter = local / kQuarterMs - (local % kQuarterMs < 0 ? 1 : 0);
    auto found = offsets_.find(quarter);
    if (found == offsets_.end()) {
        const auto offsetAt = [this](qint64 utc) {
            return zone_.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(utc, QTimeZone::utc()));
        };
        const qint64 probe = quarter * kQuarterMs;
        const int before = offsetAt(probe - kDayMs);
        const int after = offsetAt(probe + kDayMs);
        std::pair<int, int> pair{before, before};
        std::vector<int> valid;
        for (const int offset : {std::max(before, after), std::min(before, after)}) {
            if (offsetAt(probe - offset * 1000LL) == offset &&
                std::find(valid.begin(), valid.end(), offset) == valid.end()) {
                valid.push_back(offset);
            }
        }
        if (!valid.empty()) {
            pair = {valid.front(), valid.back()};
        }
        found = offsets_.emplace(quarter, pair).first;
    }
    first = local - found->second.first * 1000LL;
    second = local - found->second.second * 1000LL;
    return true;
}

}  // namespace lumvaris::sinks
