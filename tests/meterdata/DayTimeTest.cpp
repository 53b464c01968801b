#include "meterdata/DayTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace lumvaris::meterdata {
namespace {

TEST(DayTime, StampsCountDaysSinceTheEndOf1899) {
    struct Case {
        QDate date;
        QTime time;
        double days;
    };
    const Case cases[] = {
        {QDate(1899, 12, 30), QTime(0, 0), 0.0},
        {QDate(1900, 1, 1), QTime(0, 0), 2.0},
        {QDate(2000, 1, 1), QTime(0, 0), 36526.0},
        {QDate(2000, 1, 1), QTime(12, 0), 36526.5},
        {QDate(2009, 12, 31), QTime(23, 59), 40178.0 + 1439.0 / 1440.0},
        {QDate(2010, 1, 1), QTime(6, 0), 40179.25},
        {QDate(1899, 12, 29), QTime(6, 0), -1.25},  // before the epoch the fraction counts forward
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(DaysFromDateTime(c.date, c.time), c.days);
        EXPECT_EQ(DaysFromDateTime(QDateTime(c.date, c.time)), c.days);
        QDate date;
        QTime time;
        ASSERT_TRUE(DateTimeFromDays(c.days, date, time));
        EXPECT_EQ(date, c.date);
        EXPECT_EQ(time, c.time);
    }
}

TEST(DayTime, SplittingRoundsToTheMillisecond) {
    QDate date;
    QTime time;
    ASSERT_TRUE(DateTimeFromDays(40178.0 + (86399999.6 / kMillisecondsPerDay), date, time));
    EXPECT_EQ(date, QDate(2010, 1, 1));
    EXPECT_EQ(time, QTime(0, 0));
    ASSERT_TRUE(DateTimeFromDays(DaysFromDateTime(QDate(2024, 2, 29), QTime(13, 14, 15, 678)), date, time));
    EXPECT_EQ(date, QDate(2024, 2, 29));
    EXPECT_EQ(time, QTime(13, 14, 15, 678));
}

TEST(DayTime, StampsThatAreNoDateAreRefused) {
    const double bad[] = {std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(),
                          1e300,
                          -1e300,
                          2958466.0,
                          -693594.0};
    for (double days : bad) {
        QDate date(2000, 1, 1);
        QTime time(1, 2);
        EXPECT_FALSE(DateTimeFromDays(days, date, time)) << days;
        EXPECT_FALSE(date.isValid());
        EXPECT_FALSE(time.isValid());
    }
}

}  // namespace
}  // namespace lumvaris::meterdata
