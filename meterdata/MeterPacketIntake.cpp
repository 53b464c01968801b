#include "meterdata/MeterPacketIntake.h"

#include <QCoreApplication>
#include "meterdata/DayTime.h"
#include "meterdata/IClock.h"
#include "meterdata/IMeterDataHooks.h"
#include "meterdata/TMatrixInterface.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lumvaris::meterdata {

namespace {

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

bool IsLiveSource(std::uint16_t source) {
    return (source & 0xF000) == 0x1000;
}
bool IsConcentratorSource(std::uint16_t source) {
    return source >= 0x2001 && source <= 0x5FFE;
}

// Offsets of the time bytes within an 11-byte buffer record.
constexpr int kMinute = 6, kHour = 7, kDay = 8, kMonth = 9, kYear = 10;

std::int64_t SortKey(const std::uint8_t* r) {
    return ((static_cast<std::int64_t>(r[kYear]) * 12000 + r[kMonth] * 800 + r[kDay] * 25 + r[kHour]) * 64) +
           r[kMinute];
}

void RedrawIfShowing(IMeterDataHooks* hooks, StorePage page, int meter) {
    if (hooks != nullptr && hooks->ActivePage() == page && hooks->SelectedMeter() == meter) {
        hooks->RedrawTable(page);
    }
}

}  // namespace

IntakeResult BuildMeterRecord(const PacketFrame& frame, const QDateTime& now, MeterRecord& record) {
    const std::uint8_t* p = frame.Payload;
    if (p == nullptr) {
        return IntakeResult::Ignored;
    }
    MeterRecord r;
    if (IsLiveSource(frame.Source)) {
        if (frame.Length < 6) {
            return IntakeResult::Ignored;
        }
        r.Meter = frame.Source & 0x0FFF;
        r.Type = p[0];
        r.WordA = Get16(p + 1);
        r.WordB = Get16(p + 3);
        r.Level = p[5];
        r.Time = DaysFromDateTime(now);
    } else if (IsConcentratorSource(frame.Source)) {
        if (frame.Length < 14) {
            return IntakeResult::Ignored;
        }
        r.Meter = Get16(p + 1);
        r.Type = p[3];
        r.WordA = Get16(p + 4);
        r.WordB = Get16(p + 6);
        r.Level = p[8];
        const QDate date(2000 + p[13], p[12] + 1, p[11] + 1);
        const QTime time(p[10], p[9]);
        if (!date.isValid() || !time.isValid()) {
            return IntakeResult::BadTime;
        }
        r.Time = DaysFromDateTime(date, time);
    } else {
        return IntakeResult::Ignored;
    }
    r.EmptyMark = 0;
    r.Valid = 0xFF;
    record = r;
    return IntakeResult::Stored;
}

IntakeResult StoreMeterPacket(const MeterStores& stores, const PacketFrame& frame, const IClock& clock,
                              IMeterDataHooks* hooks, IFiledRecords* filed) {
    MeterRecord record;
    const bool live = IsLiveSource(frame.Source);
    const IntakeResult built = BuildMeterRecord(frame, live ? clock.Now() : QDateTime(), record);
    if (built != IntakeResult::Stored) {
        return built;
    }
    FileMeterRecord(stores, record, live ? RecordSource::Live : RecordSource::Buffer, hooks, filed);
    return IntakeResult::Stored;
}

void FileMeterRecord(const MeterStores& stores, const MeterRecord& record, RecordSource source,
                     IMeterDataHooks* hooks, IFiledRecords* filed) {
    const int meter = record.Meter;

    if (stores.Packets != nullptr) {
        stores.Packets->InsertMeterRecord(record, 1, meter);
    }
    RedrawIfShowing(hooks, StorePage::Packets, meter);

    if (stores.Days != nullptr && stores.Days->IsValidPosition(1, meter)) {
        const double day = std::trunc(record.Time);
        int found = -1;
        MeterRecord old;
        for (int slot = 1; slot < stores.Days->ColCount(); ++slot) {
            stores.Days->GetMeterRecord(old, slot, meter);
            if (std::trunc(old.Time) == day && old.Type == record.Type) {
                found = slot;
                break;
            }
        }
        if (found > 0) {
            stores.Days->PutMeterRecord(record, found, meter);
        } else {
            stores.Days->InsertMeterRecord(record, 1, meter);
        }
    }
    RedrawIfShowing(hooks, StorePage::Days, meter);

    if (stores.Net != nullptr) {
        stores.Net->PutMeterRecord(record, meter, 1);
    }
    RedrawIfShowing(hooks, StorePage::Net, meter);

    if (hooks != nullptr && hooks->ActivePage() == StorePage::Net) {
        hooks->ReReadSelectedMeter();
    }
    if (filed != nullptr) {
        filed->RecordFiled(record, source);
    }
}

void SortBufferRecords(std::uint8_t* records, int count) {
    if (records == nullptr) {
        return;
    }
    for (int i = 0; i + 1 < count; ++i) {
        std::uint8_t* ri = records + static_cast<std::size_t>(i) * kBufferRecordSize;
        for (int j = i + 1; j < count; ++j) {
            std::uint8_t* rj = records + static_cast<std::size_t>(j) * kBufferRecordSize;
            if (SortKey(rj) > SortKey(ri)) {
                std::swap_ranges(ri, ri + kBufferRecordSize, rj);
            }
        }
    }
}

MonthBufferResult StoreMonthBuffer(const MeterStores& stores, const PacketFrame& frame, const IClock& clock,
                                   IMeterDataHooks* hooks, IFiledRecords* filed) {
    MonthBufferResult result;
    if (frame.Payload == nullptr || frame.Length <= 3 || !IsConcentratorSource(frame.Source)) {
        return result;
    }
    // At most 22 records fit a payload of 255 bytes; longer input is cut to that.
    constexpr int kMaxRecords = 22;
    const int count =
        static_cast<int>(std::min<std::size_t>((frame.Length - 3) / kBufferRecordSize, kMaxRecords));
    std::uint8_t records[kMaxRecords * kBufferRecordSize];
    std::memcpy(records, frame.Payload + 3, static_cast<std::size_t>(count) * kBufferRecordSize);
    SortBufferRecords(records, count);

    std::uint8_t single[3 + kBufferRecordSize];
    std::memcpy(single, frame.Payload, 3);
    const PacketFrame one{frame.Source, single, sizeof single};
    for (int j = count - 1; j >= 0; --j) {
        std::memcpy(single + 3, records + static_cast<std::size_t>(j) * kBufferRecordSize, kBufferRecordSize);
        const IntakeResult stored = StoreMeterPacket(stores, one, clock, hooks, filed);
        if (stored == IntakeResult::BadTime) {
            result.BadTime = true;
            result.Error =
                QCoreApplication::translate("meterdata::MeterPacketIntake",
                                            "Ошибка преобразования даты и времени в записи буфера счётчика.");
            break;
        }
        if (stored == IntakeResult::Stored) {
            ++result.Stored;
        }
    }
    return result;
}

}  // namespace lumvaris::meterdata
