#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <array>
#include <vector>

#include "collect/Site.h"

namespace lumvaris::collect {

// A site's scheduled work, in the order the jobs run when several are due at once: the clock
// first, so that what is read next carries the right time.
enum class Job { ClockCheck, ReadMonths, ReadPackets };
inline constexpr int kJobCount = 3;

// What has become of one job of one site so far.
struct JobRecord {
    QDateTime lastDone;    // invalid: never
    QDateTime lastFailed;  // the latest failed try since the last success
    int failures = 0;      // failed tries since the last success
    // Asked for outside the schedule (the buffers of a site taken over from another collector):
    // due until it is done, its failures tried again as a scheduled job's.
    bool owed = false;
};

struct JobRecords {
    std::array<JobRecord, kJobCount> jobs;
    JobRecord& operator[](Job job) { return jobs[static_cast<int>(job)]; }
    const JobRecord& operator[](Job job) const { return jobs[static_cast<int>(job)]; }
};

struct JobsDue {
    std::vector<Job> due;  // to start now, in this order
    // When the next job falls due after now; invalid when none is planned, or the site calls in
    // and is away (its jobs wait for its call).
    QDateTime next;
};

// The daily jobs start at 03:00 local time, each site later by its offset, so that a thousand
// sites do not start at once.
inline constexpr int kDailyAtSeconds = 3 * 3600;
inline constexpr int kDailySpreadSeconds = 3600;
// After a failed job: 1 min, 2, 4 … up to 1 h.
inline constexpr int kFirstRetrySeconds = 60;
inline constexpr int kLongestRetrySeconds = 3600;

// 0..kDailySpreadSeconds-1, from the name alone: the same on every run and every machine.
int DailyOffsetSeconds(const QString& siteName);

// How long after its latest failure a job is tried again.
int RetryDelaySeconds(int failures);

// The moment `zone`'s clocks show `secondsOfDay` on `date`: the first of two when they show it
// twice (the hour repeated in autumn), and as much later as the clocks jumped when they never
// show it (the hour skipped in spring). So each date has exactly one moment, and the moments of
// successive dates follow each other in order.
QDateTime MomentOn(const QDate& date, int secondsOfDay, const QTimeZone& zone);

// Which jobs of the site are due at `now` (its time zone is the one the daily times are read
// in) given what has been done. A job that fell due several times while it could not run (the
// site was away, the collector stopped) is due once. `present`: the site can be worked now; a
// site that calls in only while its call lasts.
JobsDue DueJobs(const Site& site, bool present, const QDateTime& now, const JobRecords& done);

void RecordDone(JobRecord& record, const QDateTime& now);
void RecordFailed(JobRecord& record, const QDateTime& now);

}  // namespace lumvaris::collect
