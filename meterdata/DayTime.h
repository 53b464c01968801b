#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace lumvaris::meterdata {

// Time stamps of the database: a 64-bit float counting days since 1899-12-30 00:00 in local
// wall-clock time (no time zone is involved); the fraction is the time of day. Before the epoch
// the integer part counts back while the fraction still counts forward within that day, so
// -1.25 is 1899-12-29 06:00.

inline constexpr double kMillisecondsPerDay = 86400000.0;

// The stamp of a local date and time (milliseconds kept).
double DaysFromDateTime(QDate date, QTime time);
double DaysFromDateTime(const QDateTime& local);

// Splits a stamp into date and time of day, rounded to the millisecond. False (and both results
// left invalid) when the stamp is not a finite number within the years 1..9999.
bool DateTimeFromDays(double days, QDate& date, QTime& time);

}  // namespace lumvaris::meterdata
