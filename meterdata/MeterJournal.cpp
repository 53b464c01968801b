#include "meterdata/MeterJournal.h"

#include <QCoreApplication>
#include "meterdata/MeterPacketIntake.h"
#include "meterdata/TMatrixInterface.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

namespace lumvaris::meterdata {

namespace {

constexpr char kMagic[8] = {'L', 'U', 'M', 'V', 'J', 'R', 'N', 'L'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kCheckedBytes = 28;  // record, source, three zero bytes

using RecordBytes = std::array<std::uint8_t, MeterRecord::kSize>;

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::uint32_t Get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The record at `p` when it passes its check (the cheap tests first: random bytes seldom pass
// them, which keeps the byte-by-byte search through a damaged stretch fast).
bool DecodeRecord(const std::uint8_t* p, JournalEntry& entry) {
    if (p[24] > 1 || p[25] != 0 || p[26] != 0 || p[27] != 0 ||
        Get32(p + kCheckedBytes) != Crc32(p, kCheckedBytes)) {
        return false;
    }
    entry.Record = MeterRecord::Decode(p);
    entry.Source = p[24] == 0 ? RecordSource::Live : RecordSource::Buffer;
    return true;
}

RecordBytes Encoded(const MeterRecord& record) {
    RecordBytes bytes;
    record.Encode(bytes.data());
    return bytes;
}

// Which of one meter's journal records (indices into the journal, in order) the packet store
// already holds; see ReplayJournal.
void MarkHeld(const TMatrixInterface& packets, int meter, const std::vector<JournalEntry>& entries,
              const std::vector<std::size_t>& mine, std::vector<bool>& held) {
    std::vector<RecordBytes> row;  // newest first
    for (int slot = 1; slot < packets.ColCount(); ++slot) {
        RecordBytes bytes{};
        packets.GetRecord(bytes.data(), slot, meter);
        row.push_back(bytes);
    }
    std::vector<RecordBytes> journal;
    journal.reserve(mine.size());
    for (std::size_t i : mine) {
        journal.push_back(Encoded(entries[i].Record));
    }
    std::size_t saved = 0;
    for (std::size_t p = journal.size(); p > 0 && saved == 0; --p) {
        const std::size_t n = std::min(p, row.size());
        bool match = n > 0;
        for (std::size_t i = 0; i < n && match; ++i) {
            match = row[i] == journal[p - 1 - i];
        }
        saved = match ? p : 0;
    }
    for (std::size_t j = 0; j < journal.size(); ++j) {
        held[mine[j]] = j < saved || std::find(row.begin(), row.end(), journal[j]) != row.end();
    }
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        c = kCrcTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

void EncodeJournalHeader(std::uint8_t* out) {
    std::memcpy(out, kMagic, sizeof kMagic);
    Put32(out + 8, kVersion);
    Put32(out + 12, kJournalRecordSize);
}

void EncodeJournalRecord(const JournalEntry& entry, std::uint8_t* out) {
    entry.Record.Encode(out);
    out[24] = entry.Source == RecordSource::Live ? 0 : 1;
    out[25] = out[26] = out[27] = 0;
    Put32(out + kCheckedBytes, Crc32(out, kCheckedBytes));
}

JournalContents ReadJournal(const std::uint8_t* data, std::size_t size) {
    JournalContents contents;
    std::uint8_t header[kJournalHeaderSize];
    EncodeJournalHeader(header);
    if (size < kJournalHeaderSize) {
        // A header cut short is the first write torn by a power cut: nothing was journaled yet.
        if (size > 0 && std::memcmp(data, header, size) != 0) {
            contents.State = JournalState::Damaged;
            contents.Damage = QCoreApplication::translate("meterdata::MeterJournal", "неизвестный заголовок");
        }
        return contents;
    }
    if (std::memcmp(data, header, kJournalHeaderSize) != 0) {
        contents.State = JournalState::Damaged;
        contents.Damage = QCoreApplication::translate("meterdata::MeterJournal", "неизвестный заголовок");
        return contents;
    }
    // After a bad record the search for the next good one goes on byte by byte, so that a good
    // record after bytes lost or added in the middle is found: it makes the journal damaged
    // (nothing but a torn write ends a journal) and comes back with the others.
    contents.Entries.reserve((size - kJournalHeaderSize) / kJournalRecordSize);
    std::size_t firstBad = size;
    std::size_t pos = kJournalHeaderSize;
    contents.GoodBytes = kJournalHeaderSize;
    while (size - pos >= kJournalRecordSize) {
        JournalEntry entry;
        if (DecodeRecord(data + pos, entry)) {
            contents.Entries.push_back(entry);
            pos += kJournalRecordSize;
            contents.GoodBytes = pos;
        } else {
            firstBad = std::min(firstBad, pos);
            ++pos;
        }
    }
    if (firstBad < contents.GoodBytes) {
        contents.State = JournalState::Damaged;
        contents.Damage =
            QCoreApplication::translate("meterdata::MeterJournal", "запись со смещения %1 не прошла проверку")
                .arg(static_cast<qulonglong>(firstBad));
        contents.GoodBytes = 0;
    } else if (contents.GoodBytes < size) {
        contents.State = JournalState::TornTail;
    } else {
        contents.State = contents.Entries.empty() ? JournalState::Empty : JournalState::Whole;
    }
    return contents;
}

int ReplayJournal(const MeterStores& stores, const std::vector<JournalEntry>& entries, IFiledRecords* filed) {
    std::vector<bool> held(entries.size(), false);
    if (stores.Packets != nullptr) {
        std::unordered_map<int, std::vector<std::size_t>> byMeter;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            byMeter[entries[i].Record.Meter].push_back(i);
        }
        for (const auto& [meter, mine] : byMeter) {
            if (stores.Packets->IsValidPosition(1, meter)) {
                MarkHeld(*stores.Packets, meter, entries, mine, held);
            }
        }
    }
    int filedCount = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!held[i]) {
            FileMeterRecord(stores, entries[i].Record, entries[i].Source, nullptr, filed);
            ++filedCount;
        }
    }
    return filedCount;
}

QString RecoveredText(int records) {
    const int lastTwo = records % 100;
    const int last = records % 10;
    // The Russian noun's three forms are chosen here; a translation may keep one form.
    if (last == 1 && lastTwo != 11) {
        return QCoreApplication::translate("meterdata::MeterJournal", "Восстановлено из журнала: %1 запись")
            .arg(records);
    }
    if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) {
        return QCoreApplication::translate("meterdata::MeterJournal", "Восстановлено из журнала: %1 записи")
            .arg(records);
    }
    return QCoreApplication::translate("meterdata::MeterJournal", "Восстановлено из журнала: %1 записей")
        .arg(records);
}

}  // namespace lumvaris::meterdata
