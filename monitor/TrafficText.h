#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

#include "monitor/TrafficLog.h"

namespace lumvaris::monitor {

// The columns of the traffic monitor: time, direction, source, destination, N, type, payload and
// mark; the saved file has the same columns.
inline constexpr int kTrafficColumns = 8;
const QStringList& TrafficHeaders();

// The texts of one entry, column by column:
//   "10:00:00.123", "→" (sent) or "←" (received), "FFFF", "2FFF", "1", the type code with its
//   name ("81h ClockRead"; "40h пакет счётчика 5" for a packet from a meter), the payload in hex
//   ("81"), and a mark: "неверная КС: 5A вместо 80", "пустой кадр" or none.
//   Dropped bytes leave the address, N and type columns empty, show the bytes in hex and are
//   marked "отброшено байт: 3".
QStringList TrafficTexts(const TrafficEntry& entry);

// The type codes a filter field lists: hex codes of one or two digits, an "h" after each allowed,
// separated by blanks, commas or semicolons ("81 85h"). False when a code does not read so; the
// codes that did are kept.
bool ParseTypeCodes(const QString& text, std::vector<std::uint8_t>& codes);

}  // namespace lumvaris::monitor
