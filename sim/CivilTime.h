#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace lumvaris::sim {

// The concentrator's clock counts wall-clock seconds from 1 January 2000 00:00 (no time zone: it
// shows whatever it was set to).
using RtcSeconds = std::int64_t;

struct CivilTime {
    int year = 2000;  // 2000..
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

bool IsValid(const CivilTime& t);
RtcSeconds ToRtcSeconds(const CivilTime& t);
CivilTime FromRtcSeconds(RtcSeconds seconds);
// 0 = Monday … 6 = Sunday.
int Weekday(RtcSeconds seconds);

// The 7-byte clock record of the link: second, minute, hour, weekday (0 = Monday), day − 1,
// month − 1, year − 2000.
using ClockRecord = std::array<std::uint8_t, 7>;
ClockRecord ToClockRecord(RtcSeconds seconds);
// Empty when the bytes do not form a valid date and time of 2000..2099; the weekday byte is not
// trusted (the clock derives it from the date).
std::optional<RtcSeconds> FromClockRecord(const std::uint8_t* record);

// "YYYY-MM-DD HH:MM:SS" (seconds optional).
std::optional<CivilTime> ParseCivilTime(const char* text);

}  // namespace lumvaris::sim
