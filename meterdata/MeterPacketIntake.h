#pragma once

#include "meterdata/IFiledRecords.h"
#include "meterdata/MeterRecord.h"

#include <QDateTime>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace lumvaris::meterdata {

class IClock;
class IMeterDataHooks;
class TMatrixInterface;

// The three stores of an open connection, not owned. A null store receives nothing.
struct MeterStores {
    TMatrixInterface* Packets = nullptr;  // rows = meters + 1, columns = packet depth + 1
    TMatrixInterface* Days = nullptr;     // rows = meters + 1, columns = day depth + 1
    TMatrixInterface* Net = nullptr;      // 2 rows, columns = meters + 1
};

enum class IntakeResult {
    Stored,   // the record went into every store whose dimensions hold its meter
    Ignored,  // the frame carries no meter record (source address or length)
    BadTime,  // a buffer record whose minute, hour, day or month forms no date and time
};

// A frame as received: source address and payload (type code first).
struct PacketFrame {
    std::uint16_t Source = 0;
    const std::uint8_t* Payload = nullptr;
    std::size_t Length = 0;
};

inline constexpr int kBufferRecordSize = 11;

// The meter record a frame carries:
//   live packet, source 0x1000..0x1FFF, payload >= 6 bytes: type, word A, word B, level; meter =
//   source AND 0x0FFF; stamped with now;
//   buffer record, source 0x2001..0x5FFE (the concentrator), payload >= 14 bytes: P1-P2 meter,
//   P3 type, P4-P5 word A, P6-P7 word B, P8 level, P9 minute, P10 hour, P11 day - 1,
//   P12 month - 1, P13 year - 2000; stamped with that local time, 0 seconds.
IntakeResult BuildMeterRecord(const PacketFrame& frame, const QDateTime& now, MeterRecord& record);

// Files the frame's record into the stores: packet store slot 1 of the meter's row (newest first,
// the oldest falls out); day store: over the record of the same calendar day and type in its
// slot, or else at slot 1; network store column = meter, row 1. Then, through the hooks (may be
// null), redraws the active table when it shows the packet's meter and re-reads the selected
// meter while the network page is active. The record filed then goes to `filed` (may be null).
IntakeResult StoreMeterPacket(const MeterStores& stores, const PacketFrame& frame, const IClock& clock,
                              IMeterDataHooks* hooks, IFiledRecords* filed = nullptr);

// The filing of StoreMeterPacket for a record already built (a frame's, or one read back from the
// database's journal).
void FileMeterRecord(const MeterStores& stores, const MeterRecord& record, RecordSource source,
                     IMeterDataHooks* hooks, IFiledRecords* filed);

// Orders the 11-byte records of one month buffer reply in place, newest first, by a key of the
// raw minute, hour, day, month and year bytes. Equal keys are never exchanged.
void SortBufferRecords(std::uint8_t* records, int count);

struct MonthBufferResult {
    int Stored = 0;  // records filed, newest last, so the newest ends in slot 1
    bool BadTime = false;
    QString Error;  // BadTime: the text for the user; the records after the bad one are not stored
};

// A whole month buffer reply (payload: type code, meter low, meter high, then (N - 3) div 11
// records of 11 bytes; a remainder is ignored): sorts the records, then files them oldest first,
// each as a buffer record of the reply's meter.
MonthBufferResult StoreMonthBuffer(const MeterStores& stores, const PacketFrame& frame, const IClock& clock,
                                   IMeterDataHooks* hooks, IFiledRecords* filed = nullptr);

}  // namespace lumvaris::meterdata
