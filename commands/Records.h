#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace lumvaris::commands {

// The concentrator's clock on the link: 7 plain binary bytes, second, minute, hour, weekday
// (0 = Monday), day - 1, month - 1, year - 2000 (written modulo 100).
struct ClockRecord {
    static constexpr int kSize = 7;

    std::uint8_t second = 0;
    std::uint8_t minute = 0;
    std::uint8_t hour = 0;
    std::uint8_t weekday = 0;
    std::uint8_t dayIndex = 0;    // day of month - 1
    std::uint8_t monthIndex = 0;  // month - 1
    std::uint8_t year = 0;        // year - 2000, modulo 100

    // The record of a local date and time; the weekday from the date.
    static ClockRecord FromDateTime(const QDate& date, int hour, int minute, int second);
    static ClockRecord FromDateTime(const QDateTime& dateTime);
    static ClockRecord Decode(const std::uint8_t* bytes);
    void Encode(std::uint8_t* bytes) const;

    // The date and time it names, or nothing when its fields form none (a day 31 of April, an
    // hour 24).
    std::optional<QDateTime> DateTime() const;
};

// Weekday byte of a date: (day of the week counted from Sunday = 1, plus 5) modulo 7, so 0 for
// Monday ... 6 for Sunday.
int WeekdayByte(const QDate& date);

// "Понедельник" ... "Воскресенье" for 0..6, "???" for a byte the concentrator should never send.
QString WeekdayName(int weekday);
// The same in Russian whatever the program's language, for the data that leave the program (JSON).
QString WeekdayDataName(int weekday);

// "откл. -90 с": how far the concentrator's clock is ahead of the workstation's.
QString ClockOffsetText(std::int64_t offsetSeconds);

// The configuration byte: bit 0 port mode, bits 2-3 operating mode, bit 4 winter time, bit 5 PLC
// interface stopped. Bits 1, 6 and 7 are written as 0 and ignored when read.
struct ConfigurationByte {
    int portMode = 0;       // RadioGroupPortMode: 0 keep only, 1 forward at once
    int operatingMode = 0;  // RadioGroupRET: 0 MAIN, 1 MASTER-SR, 2 SLAVE-SRT, 3 SLAVE-SR
    bool winterTime = false;
    int plcStopped = 0;  // RadioGroupPlcStop: 0 "Разрешить", 1 "Запретить"

    static ConfigurationByte Decode(std::uint8_t byte);
    std::uint8_t Encode() const;
};

// Signal levels of the power line: 51 little-endian words, 17 per phase; in each group the
// levels at 20, 25, ..., 95 kHz and then the correction value.
struct LineState {
    static constexpr int kSize = 102;
    static constexpr int kPhases = 3;
    static constexpr int kFrequencies = 16;

    std::array<std::uint16_t, 51> values{};

    static LineState Decode(const std::uint8_t* bytes);
    int Level(int phase, int frequencyIndex) const { return values[17 * phase + frequencyIndex]; }
    int Correction(int phase) const { return values[17 * phase + 16]; }
    // The integer part of correction x 100 / 256, then "%".
    QString CorrectionText(int phase) const;
    // "20 kHz" ... "95 kHz".
    static QString FrequencyText(int frequencyIndex);
};

// A PLC command queued in the concentrator: TYPE, then SSSS and DDDD low byte first.
struct ShortPlcCommand {
    std::uint8_t type = 0;
    std::uint16_t ssss = 0;
    std::uint16_t dddd = 0;
};

// A long PLC command as it travels in 4-byte blocks: the command bytes, zero bytes to a multiple
// of 4, one byte with the count of zeros added, and the CRC-24 of the command bytes, low byte
// first. Its length is a multiple of 4.
std::vector<std::uint8_t> LongCommandBody(const std::vector<std::uint8_t>& commandBytes);

}  // namespace lumvaris::commands
