#pragma once

#include "meterdata/IFiledRecords.h"
#include "meterdata/MeterRecord.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumvaris::meterdata {

struct MeterStores;

// The journal of a port's database, "<port>-JOURNAL.bin": every record filed since the last save
// that replaced both database files, so that a kill, a crash or a power cut loses none of them.
//
// Layout (little-endian):
//   header, 16 bytes: "LUMVJRNL", uint32 version (1), uint32 record size (32);
//   then records of 32 bytes: the 24-byte meter record as it lies in the database files, the
//   source (0 live, 1 buffer), three zero bytes, and a CRC-32 (IEEE 802.3) of those 28 bytes.
// Records are only ever appended; a save empties the file down to its header.
inline constexpr std::size_t kJournalHeaderSize = 16;
inline constexpr std::size_t kJournalRecordSize = 32;

struct JournalEntry {
    MeterRecord Record;
    RecordSource Source = RecordSource::Live;
};

enum class JournalState {
    Empty,     // no records (no file, an empty file, or a header cut short by a power cut)
    Whole,     // a header and records that all pass their check
    TornTail,  // as Whole, followed by bytes that end the file without a good record after them:
               // the last write, cut short by a power cut; ignored
    Damaged,   // an unknown header, or a bad record with a good one after it
};

struct JournalContents {
    JournalState State = JournalState::Empty;
    // Every record that passed its check, in the order written (also those of a damaged journal
    // with a known header).
    std::vector<JournalEntry> Entries;
    // Bytes up to the end of the last good record (Whole, TornTail): the file is cut there before
    // anything is appended. 0 when even the header must be written again.
    std::size_t GoodBytes = 0;
    QString Damage;  // Damaged: what is wrong, for the user
};

// CRC-32 (IEEE 802.3, as zlib's crc32): the check of every journal and outbox record.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

void EncodeJournalHeader(std::uint8_t* out);
void EncodeJournalRecord(const JournalEntry& entry, std::uint8_t* out);

// Reads the bytes of a journal; any bytes at all are safe.
JournalContents ReadJournal(const std::uint8_t* data, std::size_t size);

// Files the journal's records into freshly loaded stores, in the order written, except those the
// stores already hold: per meter, the longest run of the meter's first journal records that the
// packet store's row holds as its newest records (the records a save wrote before the journal
// could be emptied, even those pushed out of the row since), and any record the row holds
// byte for byte. Every record filed is told to `filed` (may be null). Returns how many were filed.
int ReplayJournal(const MeterStores& stores, const std::vector<JournalEntry>& entries, IFiledRecords* filed);

// "Восстановлено из журнала: 12 записей" (the plural form follows the count).
QString RecoveredText(int records);

}  // namespace lumvaris::meterdata
