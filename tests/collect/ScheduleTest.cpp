// The schedule on a clock the test sets: what is due, when the next job falls due, the retries
// after failures, a site that calls in after days away, and daylight saving time in three zones.
#include <gtest/gtest.h>

#include <QTimeZone>

#include <functional>
#include <map>

#include "collect/Schedule.h"

namespace lumvaris::collect {
namespace {

const QTimeZone kMoscow("Europe/Moscow");  // UTC+3 all year

QDateTime At(const char* text, const QTimeZone& zone = kMoscow) {
    QDateTime t = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
    t.setTimeZone(zone);
    return t;
}

Site SiteWith(SiteSchedule schedule, PortKind kind = PortKind::Serial) {
    Site site;
    site.name = QStringLiteral("ТП-12");
    site.portKind = kind;
    site.schedule = schedule;
    return site;
}

std::string Names(const std::vector<Job>& jobs) {
    std::string text;
    for (const Job job : jobs) {
        text += job == Job::ClockCheck ? "clock " : job == Job::ReadMonths ? "months " : "packets ";
    }
    return text;
}

TEST(ScheduleTest, DailyOffsetIsStableAndSpreadsSitesOverAnHour) {
    // Fixed values (FNV-1a of the UTF-8 name): the offset must not change between runs, builds or
    // machines, or a restart would move every site's daily jobs.
    EXPECT_EQ(DailyOffsetSeconds(QStringLiteral("ТП-12")), 1694);
    EXPECT_EQ(DailyOffsetSeconds(QStringLiteral("site-1")), 1992);
    std::map<int, int> perQuarter;
    for (int i = 0; i < 1000; ++i) {
        const int offset = DailyOffsetSeconds(QStringLiteral("site-%1").arg(i));
        ASSERT_GE(offset, 0);
        ASSERT_LT(offset, 3600);
        ++perQuarter[offset / 900];
    }
    for (const auto& [quarter, count] : perQuarter) {
        EXPECT_GT(count, 200) << "quarter " << quarter;
    }
}

TEST(ScheduleTest, WhatIsDueAndWhenTheNextJobFallsDue) {
    const int slot = kDailyAtSeconds + DailyOffsetSeconds(QStringLiteral("ТП-12"));
    const QDateTime now = At("2026-06-15T12:00:00");
    const QDateTime todaySlot = MomentOn(QDate(2026, 6, 15), slot, kMoscow);
    const QDateTime tomorrowSlot = MomentOn(QDate(2026, 6, 16), slot, kMoscow);
    const SiteSchedule packets6{true, 6, 0, false, 0};
    const SiteSchedule clock{true, 0, 0, true, 0};
    const SiteSchedule months15{true, 0, 15, false, 0};
    const SiteSchedule months16{true, 0, 16, false, 0};
    const SiteSchedule everything{true, 6, 15, true, 0};
    const auto done = [](Job job, QDateTime at, int failures = 0, QDateTime failed = {}) {
        JobRecords records;
        records[job] = JobRecord{at, failed, failures};
        return records;
    };
    const struct {
        const char* what;
        SiteSchedule schedule;
        JobRecords records;
        bool present;
        std::vector<Job> due;
        QDateTime next;
    } cases[] = {
        {"nothing scheduled", {}, {}, true, {}, {}},
        {"never done: everything at once, the clock first",
         everything,
         {},
         true,
         {Job::ClockCheck, Job::ReadMonths, Job::ReadPackets},
         {}},
        {"packets read 5 h ago",
         packets6,
         done(Job::ReadPackets, now.addSecs(-5 * 3600)),
         true,
         {},
         now.addSecs(3600)},
        {"packets read 6 h ago",
         packets6,
         done(Job::ReadPackets, now.addSecs(-6 * 3600)),
         true,
         {Job::ReadPackets},
         {}},
        {"packets read 3 days ago are due once",
         packets6,
         done(Job::ReadPackets, now.addDays(-3)),
         true,
         {Job::ReadPackets},
         {}},
        {"clock checked after today's time",
         clock,
         done(Job::ClockCheck, todaySlot.addSecs(5)),
         true,
         {},
         tomorrowSlot},
        {"clock checked an hour before today's time",
         clock,
         done(Job::ClockCheck, todaySlot.addSecs(-3600)),
         true,
         {Job::ClockCheck},
         {}},
        {"clock checked at yesterday's time",
         clock,
         done(Job::ClockCheck, todaySlot.addDays(-1)),
         true,
         {Job::ClockCheck},
         {}},
        {"months read on the 15th",
         months15,
         done(Job::ReadMonths, todaySlot.addSecs(60)),
         true,
         {},
         MomentOn(QDate(2026, 7, 15), slot, kMoscow)},
        {"months read last month, the 16th is tomorrow",
         months16,
         done(Job::ReadMonths, MomentOn(QDate(2026, 5, 16), slot, kMoscow)),
         true,
         {},
         MomentOn(QDate(2026, 6, 16), slot, kMoscow)},
        {"first failure 30 s ago: a retry after 1 min",
         packets6,
         done(Job::ReadPackets, now.addDays(-1), 1, now.addSecs(-30)),
         true,
         {},
         now.addSecs(30)},
        {"fourth failure 7 min ago: the retry waits 8 min",
         packets6,
         done(Job::ReadPackets, now.addDays(-1), 4, now.addSecs(-7 * 60)),
         true,
         {},
         now.addSecs(60)},
        {"third failure 5 min ago: the retry is due",
         packets6,
         done(Job::ReadPackets, now.addDays(-1), 3, now.addSecs(-5 * 60)),
         true,
         {Job::ReadPackets},
         {}},
        {"clock put back a day: packets 6 h from now",
         packets6,
         done(Job::ReadPackets, now.addDays(1)),
         true,
         {},
         now.addSecs(6 * 3600)},
        {"clock put back a day: the check waits for its time",
         clock,
         done(Job::ClockCheck, now.addDays(1)),
         true,
         {},
         tomorrowSlot},
        {"a site away: nothing due, nothing planned", everything, {}, false, {}, {}},
    };
    for (const auto& c : cases) {
        const JobsDue result = DueJobs(SiteWith(c.schedule), c.present, now, c.records);
        EXPECT_EQ(Names(result.due), Names(c.due)) << c.what;
        EXPECT_EQ(result.next, c.next) << c.what << ": " << result.next.toString(Qt::ISODate).toStdString();
    }
}

// Runs the site's schedule from `from` to `to` a step at a time, every due job done at once; the
// moments each job ran.
std::map<Job, std::vector<QDateTime>> RunSchedule(const Site& site, const QDateTime& from,
                                                  const QDateTime& to,
                                                  const std::function<bool(const QDateTime&)>& present = {},
                                                  int stepSeconds = 60) {
    std::map<Job, std::vector<QDateTime>> runs;
    JobRecords records;
    for (QDateTime now = from; now <= to; now = now.addSecs(stepSeconds)) {
        for (const Job job : DueJobs(site, !present || present(now), now, records).due) {
            runs[job].push_back(now);
            RecordDone(records[job], now);
        }
    }
    return runs;
}

TEST(ScheduleTest, DaylightSavingTimeNeitherRepeatsNorSkipsADailyJob) {
    const struct {
        const char* zone;
        QDate change;
        int skippedSeconds;  // how much later than its time the clock shows the daily job that day
        bool repeated;       // the clocks show the daily time twice that day
    } cases[] = {
        // The jump 03:00 → 04:00 skips the daily hour; the way back repeats it.
        {"Europe/Helsinki", QDate(2026, 3, 29), 3600, false},
        {"Europe/Helsinki", QDate(2026, 10, 25), 0, true},
        // 02:00 → 03:00 and back: the daily hour stays.
        {"Europe/Berlin", QDate(2026, 3, 29), 0, false},
        {"Europe/Berlin", QDate(2026, 10, 25), 0, false},
        {"America/New_York", QDate(2026, 3, 8), 0, false},
        {"America/New_York", QDate(2026, 11, 1), 0, false},
    };
    Site site = SiteWith({true, 6, 0, true, 0});
    const int slot = kDailyAtSeconds + DailyOffsetSeconds(site.name);
    const QTime dailyTime = QTime(0, 0).addSecs(slot);
    for (const auto& c : cases) {
        const QTimeZone zone(c.zone);
        ASSERT_TRUE(zone.isValid()) << c.zone;
        const QDateTime from = QDateTime(c.change.addDays(-2), QTime(12, 0), zone);
        const QDateTime to = QDateTime(c.change.addDays(2), QTime(12, 0), zone);
        const auto runs = RunSchedule(site, from, to);

        const std::vector<QDateTime>& checks = runs.at(Job::ClockCheck);
        // At the start (never done), then once on each of the four following dates.
        ASSERT_EQ(checks.size(), 5u) << c.zone << ' ' << c.change.toString().toStdString();
        EXPECT_EQ(checks[0], from);
        for (int day = 1; day <= 4; ++day) {
            const QDateTime local = checks[day].toTimeZone(zone);
            const QDate date = c.change.addDays(day - 2);
            EXPECT_EQ(local.date(), date) << c.zone;
            // The run falls on the first whole minute of the run's steps after the job's time.
            const int late = dailyTime.secsTo(local.time()) - (date == c.change ? c.skippedSeconds : 0);
            EXPECT_TRUE(late >= 0 && late < 60) << c.zone << ' ' << local.toString(Qt::ISODate).toStdString();
        }
        if (c.repeated) {
            // Of the two moments the clock shows the daily time, the first.
            const QDateTime first = checks[2];
            EXPECT_EQ(first.toTimeZone(zone).offsetFromUtc(), zone.offsetFromUtc(c.change.startOfDay(zone)))
                << c.zone;
        }

        // Packets every 6 h of real time, whatever the clocks on the wall do.
        const std::vector<QDateTime>& reads = runs.at(Job::ReadPackets);
        ASSERT_EQ(qint64(reads.size()), from.secsTo(to) / (6 * 3600) + 1) << c.zone;
        for (std::size_t i = 1; i < reads.size(); ++i) {
            EXPECT_EQ(reads[i - 1].secsTo(reads[i]), 6 * 3600) << c.zone << " read " << i;
        }
    }
}

TEST(ScheduleTest, MonthsAreReadOnceAMonthOnTheirDay) {
    for (const int day : {1, 28}) {
        Site site = SiteWith({true, 0, day, false, 0});
        const QDateTime from = At("2026-01-01T12:00:00");
        const auto runs = RunSchedule(site, from, from.addDays(365), {}, 3600);
        const std::vector<QDateTime>& reads = runs.at(Job::ReadMonths);
        // The first at the start (never done), then one on the day of each month.
        ASSERT_EQ(reads.size(), 13u) << day;
        for (std::size_t i = 1; i < reads.size(); ++i) {
            EXPECT_EQ(reads[i].toTimeZone(kMoscow).date().day(), day) << i;
            EXPECT_EQ(reads[i].toTimeZone(kMoscow).date().month(), (int(i) + (day == 1 ? 1 : 0) - 1) % 12 + 1)
                << i;
        }
    }
}

TEST(ScheduleTest, ASiteThatCallsInAfterDaysAwayGetsWhatFellDueOnce) {
    Site site = SiteWith({true, 6, 0, true, 0}, PortKind::CallsIn);
    const QDateTime from = At("2026-06-01T12:00:00");
    const QDateTime away = from.addSecs(3600);
    const QDateTime back = away.addDays(3).addSecs(17 * 60);
    // Present for its first hour, away three days, then it calls and stays for an hour.
    const auto runs = RunSchedule(site, from, back.addSecs(3600),
                                  [&](const QDateTime& now) { return now < away || now >= back; });
    EXPECT_EQ(runs.at(Job::ClockCheck), (std::vector<QDateTime>{from, back}));
    EXPECT_EQ(runs.at(Job::ReadPackets), (std::vector<QDateTime>{from, back}));

    JobRecords records;
    RecordDone(records[Job::ReadPackets], from);
    EXPECT_FALSE(DueJobs(site, false, back, records).next.isValid());
    EXPECT_EQ(DueJobs(site, true, from.addSecs(60), records).next, from.addSecs(6 * 3600));
}

TEST(ScheduleTest, AFailedJobIsRetriedSoonerThanItsPeriodAndEndsItsRetriesWhenDone) {
    Site site = SiteWith({true, 24, 0, false, 0});
    JobRecords records;
    QDateTime now = At("2026-06-01T12:00:00");
    std::vector<qint64> waits;
    for (int attempt = 0; attempt < 9; ++attempt) {
        ASSERT_EQ(Names(DueJobs(site, true, now, records).due), "packets ");
        RecordFailed(records[Job::ReadPackets], now);
        const QDateTime next = DueJobs(site, true, now, records).next;
        waits.push_back(now.secsTo(next));
        now = next;
    }
    EXPECT_EQ(waits, (std::vector<qint64>{60, 120, 240, 480, 960, 1920, 3600, 3600, 3600}));
    RecordDone(records[Job::ReadPackets], now);
    EXPECT_EQ(records[Job::ReadPackets].failures, 0);
    EXPECT_EQ(DueJobs(site, true, now, records).next, now.addSecs(24 * 3600));
}

// The buffers of a site taken over are owed: due at once whatever the schedule says (a site with no
// buffer reads of its own, one whose read was just done), tried again after a failure as any job,
// and no longer due once done.
TEST(ScheduleTest, AnOwedReadIsDueUntilDoneAndItsFailuresAreTriedAgain) {
    const QDateTime now = At("2026-06-01T12:00:00");
    for (const SiteSchedule& schedule : {SiteSchedule{}, SiteSchedule{true, 6, 0, false, 0}}) {
        const Site site = SiteWith(schedule);
        JobRecords records;
        RecordDone(records[Job::ReadPackets], now.addSecs(-60));
        records[Job::ReadPackets].owed = true;
        ASSERT_EQ(Names(DueJobs(site, true, now, records).due), "packets ");
        RecordFailed(records[Job::ReadPackets], now);
        const JobsDue after = DueJobs(site, true, now, records);
        EXPECT_TRUE(after.due.empty());
        EXPECT_EQ(after.next, now.addSecs(60));
        EXPECT_EQ(Names(DueJobs(site, true, now.addSecs(60), records).due), "packets ");
        RecordDone(records[Job::ReadPackets], now.addSecs(60));
        const JobsDue done = DueJobs(site, true, now.addSecs(61), records);
        EXPECT_TRUE(done.due.empty());
        EXPECT_EQ(done.next, schedule.readPacketsEveryHours > 0 ? now.addSecs(60 + 6 * 3600) : QDateTime());
    }
}

}  // namespace
}  // namespace lumvaris::collect
