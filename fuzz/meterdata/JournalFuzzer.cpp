// Hostile journals: whatever the bytes, reading never reads outside them; what is read back writes
// out as a journal that reads back whole with the same records; and replaying the records into
// small empty stores, then once more, files the second time only those whose meter has no row in
// the packet store (nothing is filed twice).
#include "meterdata/MeterJournal.h"
#include "meterdata/MeterPacketIntake.h"
#include "meterdata/TMatrixInterface.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lumvaris::meterdata;
    const JournalContents read = ReadJournal(data, size);
    if (read.GoodBytes > size || (read.State == JournalState::Damaged) == read.Damage.isEmpty())
        std::abort();

    std::vector<std::uint8_t> image(kJournalHeaderSize + read.Entries.size() * kJournalRecordSize);
    EncodeJournalHeader(image.data());
    for (std::size_t i = 0; i < read.Entries.size(); ++i)
        EncodeJournalRecord(read.Entries[i], image.data() + kJournalHeaderSize + i * kJournalRecordSize);
    const JournalContents again = ReadJournal(image.data(), image.size());
    if (again.Entries.size() != read.Entries.size() || again.GoodBytes != image.size() ||
        (again.State != JournalState::Whole && !read.Entries.empty()))
        std::abort();
    std::vector<std::uint8_t> reencoded(image.size());
    for (std::size_t i = 0; i < again.Entries.size(); ++i) {
        EncodeJournalRecord(again.Entries[i], reencoded.data());
        if (!std::equal(reencoded.begin(), reencoded.begin() + kJournalRecordSize,
                        image.begin() + kJournalHeaderSize + i * kJournalRecordSize))
            std::abort();
    }

    TMatrixInterface packets{QString()}, days{QString()}, net{QString()};
    packets.SetRowCount(17);
    packets.SetColCount(11);
    days.SetRowCount(17);
    days.SetColCount(11);
    net.SetRowCount(2);
    net.SetColCount(17);
    const MeterStores stores{&packets, &days, &net};
    ReplayJournal(stores, read.Entries, nullptr);
    int rowless = 0;
    for (const JournalEntry& entry : read.Entries)
        rowless += entry.Record.Meter >= packets.RowCount() ? 1 : 0;
    if (ReplayJournal(stores, read.Entries, nullptr) != rowless)
        std::abort();
    return 0;
}
