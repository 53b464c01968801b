#include "collect/Schedule.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <optional>

namespace lumvaris::collect {
namespace {

constexpr qint64 kDaySeconds = 86400;

// When a job last fell due at or before now, and when it falls due next after now.
struct Occurrences {
    std::optional<QDateTime> latest;
    QDateTime next;
};

Occurrences Daily(const QDateTime& now, int secondsOfDay, const QTimeZone& zone) {
    const QDate today = now.toTimeZone(zone).date();
    const QDateTime slot = MomentOn(today, secondsOfDay, zone);
    if (slot <= now) {
        return {slot, MomentOn(today.addDays(1), secondsOfDay, zone)};
    }
    return {MomentOn(today.addDays(-1), secondsOfDay, zone), slot};
}

Occurrences Monthly(const QDateTime& now, int day, int secondsOfDay, const QTimeZone& zone) {
    const QDate today = now.toTimeZone(zone).date();
    const QDate thisMonth(today.year(), today.month(), day);
    const QDateTime slot = MomentOn(thisMonth, secondsOfDay, zone);
    if (slot <= now) {
        return {slot, MomentOn(thisMonth.addMonths(1), secondsOfDay, zone)};
    }
    return {MomentOn(thisMonth.addMonths(-1), secondsOfDay, zone), slot};
}

}  // namespace

int DailyOffsetSeconds(const QString& siteName) {
    // FNV-1a over the name's UTF-8: qHash is seeded anew in every process.
    std::uint32_t hash = 2166136261u;
    for (const char c : siteName.toUtf8()) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return static_cast<int>(hash % kDailySpreadSeconds);
}

int RetryDelaySeconds(int failures) {
    if (failures <= 0) {
        return 0;
    }
    int delay = kFirstRetrySeconds;
    for (int i = 1; i < failures && delay < kLongestRetrySeconds; ++i) {
        delay *= 2;
    }
    return std::min(delay, kLongestRetrySeconds);
}

QDateTime MomentOn(const QDate& date, int secondsOfDay, const QTimeZone& zone) {
    // The clock's reading taken as if it were UTC, then moved by the offset in force; the offsets
    // a day before and after stand for the two sides of a change that day.
    const qint64 wall = date.startOfDay(Qt::UTC).toSecsSinceEpoch() + secondsOfDay;
    const auto offsetAt = [&zone](qint64 utc) {
        return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utc, Qt::UTC));
    };
    const int before = offsetAt(wall - kDaySeconds);
    const int after = offsetAt(wall + kDaySeconds);
    std::optional<qint64> moment;
    for (const int offset : {before, after}) {
        const qint64 candidate = wall - offset;
        if (offsetAt(candidate) == offset && (!moment || candidate < *moment)) {
            moment = candidate;
        }
    }
    // Not shown at all: read with the offset before the jump, which puts it after the jump.
    return QDateTime::fromSecsSinceEpoch(moment.value_or(wall - before), Qt::UTC);
}

JobsDue DueJobs(const Site& site, bool present, const QDateTime& now, const JobRecords& done) {
    const SiteSchedule& schedule = site.schedule;
    const QTimeZone zone = now.timeZone();
    const int daily = kDailyAtSeconds + DailyOffsetSeconds(site.name);
    JobsDue result;
    const auto consider = [&](Job job, const Occurrences& when) {
        const JobRecord& record = done[job];
        const bool fellDue = when.latest && (!record.lastDone.isValid() || record.lastDone < *when.latest);
        QDateTime from = fellDue ? now : when.next;
        if (fellDue && record.failures > 0 && record.lastFailed.isValid()) {
            // A failure stamped ahead of the clock (the clock was put back) counts as now: otherwise
            // the retry would wait until the clock caught up.
            const QDateTime failed = std::min(record.lastFailed, now);
            if (const QDateTime retry = failed.addSecs(RetryDelaySeconds(record.failures)); retry > now) {
                from = retry;
            }
        }
        if (from <= now) {
            if (present) {
                result.due.push_back(job);
            }
        } else if (from.isValid() && (!result.next.isValid() || from < result.next)) {
            result.next = from;
        }
    };
    if (schedule.clockCheck) {
        consider(Job::ClockCheck, Daily(now, daily, zone));
    }
    if (schedule.readMonthsOnDay > 0) {
        consider(Job::ReadMonths, Monthly(now, schedule.readMonthsOnDay, daily, zone));
    }
    const bool packetsOwed = done[Job::ReadPackets].owed;
    if (schedule.readPacketsEveryHours > 0 || packetsOwed) {
        // Read "ahead of the clock" (the clock was put back): the period counts from now, not from a
        // moment the clock has yet to reach.
        QDateTime lastDone = done[Job::ReadPackets].lastDone;
        if (lastDone.isValid() && lastDone > now) {
            lastDone = now;
        }
        Occurrences when;
        if (!lastDone.isValid() || packetsOwed) {
            when.latest = now;
        } else if (const QDateTime due = lastDone.addSecs(qint64(schedule.readPacketsEveryHours) * 3600);
                   due <= now) {
            when.latest = due;
        } else {
            when.next = due;
        }
        consider(Job::ReadPackets, when);
    }
    if (!present) {
        result.next = QDateTime();
    }
    return result;
}

void RecordDone(JobRecord& record, const QDateTime& now) {
    record = JobRecord{now, QDateTime(), 0};
}

void RecordFailed(JobRecord& record, const QDateTime& now) {
    record.lastFailed = now;
    ++record.failures;
}

}  // namespace lumvaris::collect
