#include "CivilTime.h"

#include <cstdio>

namespace lumvaris::sim {
namespace {

// Days from 1970-01-01 to the given proleptic Gregorian date, and back (H. Hinnant's algorithms).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
    month = static_cast<int>(m);
    day = static_cast<int>(d);
}

const std::int64_t kEpochDays = DaysFromCivil(2000, 1, 1);

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

}  // namespace

bool IsValid(const CivilTime& t) {
    return t.year >= 2000 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
           t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

RtcSeconds ToRtcSeconds(const CivilTime& t) {
    const std::int64_t days =
        DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
    return (days - kEpochDays) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

CivilTime FromRtcSeconds(RtcSeconds seconds) {
    const std::int64_t days = FloorDiv(seconds, 86400);
    const auto inDay = static_cast<int>(seconds - days * 86400);
    CivilTime t;
    CivilFromDays(days + kEpochDays, t.year, t.month, t.day);
    t.hour = inDay / 3600;
    t.minute = inDay / 60 % 60;
    t.second = inDay % 60;
    return t;
}

int Weekday(RtcSeconds seconds) {
    // 1 January 2000 was a Saturday (5 when Monday is 0).
    const std::int64_t days = FloorDiv(seconds, 86400);
    return static_cast<int>(((days + 5) % 7 + 7) % 7);
}

ClockRecord ToClockRecord(RtcSeconds seconds) {
    const CivilTime t = FromRtcSeconds(seconds);
    return {static_cast<std::uint8_t>(t.second),
            static_cast<std::uint8_t>(t.minute),
            static_cast<std::uint8_t>(t.hour),
            static_cast<std::uint8_t>(Weekday(seconds)),
            static_cast<std::uint8_t>(t.day - 1),
            static_cast<std::uint8_t>(t.month - 1),
            static_cast<std::uint8_t>((t.year - 2000) % 100)};
}

std::optional<RtcSeconds> FromClockRecord(const std::uint8_t* record) {
    CivilTime t;
    t.second = record[0];
    t.minute = record[1];
    t.hour = record[2];
    t.day = record[4] + 1;
    t.month = record[5] + 1;
    t.year = record[6] + 2000;
    if (record[6] > 99 || !IsValid(t)) {
        return std::nullopt;
    }
    return ToRtcSeconds(t);
}

std::optional<CivilTime> ParseCivilTime(const char* text) {
    CivilTime t;
    char tail = 0;
    const int got = std::sscanf(text, "%d-%d-%d %d:%d:%d%c", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                                &t.second, &tail);
    if (got == 5) {
        t.second = 0;
    } else if (got != 6) {
        return std::nullopt;
    }
    if (!IsValid(t)) {
        return std::nullopt;
    }
    return t;
}

}  // namespace lumvaris::sim
