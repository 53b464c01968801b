#include "meterdata/MeterPacketIntake.h"

#include "meterdata/DayTime.h"
#include "meterdata/IMeterDataHooks.h"
#include "meterdata/TMatrixInterface.h"

#include "TestClock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace lumvaris::meterdata {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Live payload: type, word A, word B, level.
Bytes Live(std::uint8_t type, std::uint16_t a, std::uint16_t b, std::uint8_t level) {
    return {type, std::uint8_t(a), std::uint8_t(a >> 8), std::uint8_t(b), std::uint8_t(b >> 8), level};
}

// The 11 bytes of a concentrator buffer record.
Bytes Stored(std::uint8_t type, std::uint16_t a, std::uint16_t b, std::uint8_t level, int year, int month,
             int day, int hour, int minute) {
    return {type,
            std::uint8_t(a),
            std::uint8_t(a >> 8),
            std::uint8_t(b),
            std::uint8_t(b >> 8),
            level,
            std::uint8_t(minute),
            std::uint8_t(hour),
            std::uint8_t(day - 1),
            std::uint8_t(month - 1),
            std::uint8_t(year - 2000)};
}

// A PacketBufferRead reply payload: code 0x82, meter, one buffer record.
Bytes BufferReply(std::uint16_t meter, const Bytes& record) {
    Bytes p{0x82, std::uint8_t(meter), std::uint8_t(meter >> 8)};
    p.insert(p.end(), record.begin(), record.end());
    return p;
}

Bytes MonthReply(std::uint16_t meter, const std::vector<Bytes>& records, int extra = 0) {
    Bytes p{0x85, std::uint8_t(meter), std::uint8_t(meter >> 8)};
    for (const Bytes& r : records)
        p.insert(p.end(), r.begin(), r.end());
    p.insert(p.end(), extra, 0xAB);
    return p;
}

PacketFrame Frame(std::uint16_t source, const Bytes& payload) {
    return {source, payload.data(), payload.size()};
}

constexpr std::uint16_t kConcentrator = 0x2FFF;

class Intake : public testing::Test {
  protected:
    Intake() : packets_(QString()), days_(QString()), net_(QString()) { Dimension(256, 64, 64); }

    void Dimension(int meters, int packetDepth, int dayDepth) {
        packets_.SetRowCount(meters + 1);
        packets_.SetColCount(packetDepth + 1);
        days_.SetRowCount(meters + 1);
        days_.SetColCount(dayDepth + 1);
        net_.SetRowCount(2);
        net_.SetColCount(meters + 1);
    }

    IntakeResult Store(std::uint16_t source, const Bytes& payload) {
        return StoreMeterPacket(stores_, Frame(source, payload), clock_, nullptr);
    }

    static MeterRecord Get(const TMatrixInterface& store, int col, int row) {
        MeterRecord r;
        EXPECT_TRUE(store.GetMeterRecord(r, col, row));
        return r;
    }

    std::vector<std::uint16_t> WordsA(const TMatrixInterface& store, int row, int count) {
        std::vector<std::uint16_t> words;
        for (int s = 1; s <= count; ++s)
            words.push_back(Get(store, s, row).WordA);
        return words;
    }

    static bool SameBytes(const TMatrix& a, const TMatrix& b) {
        return a.Count() == b.Count() && std::memcmp(a.Data(), b.Data(), std::size_t(a.Count()) * 24) == 0;
    }

    test::TestClock clock_;
    TMatrixInterface packets_, days_, net_;
    MeterStores stores_{&packets_, &days_, &net_};
};

TEST_F(Intake, ALivePacketLandsInAllThreeStoresOfItsMeter) {
    clock_.Set(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
    ASSERT_EQ(Store(0x1005, Live(0x01, 0x1234, 0xD401, 0x23)), IntakeResult::Stored);

    MeterRecord expected;
    expected.Meter = 5;
    expected.Type = 0x01;
    expected.WordA = 0x1234;
    expected.WordB = 0xD401;
    expected.Level = 0x23;
    expected.Valid = 0xFF;
    expected.Time = DaysFromDateTime(QDate(2024, 5, 6), QTime(7, 8, 9));
    EXPECT_EQ(Get(packets_, 1, 5), expected);
    EXPECT_EQ(Get(days_, 1, 5), expected);
    EXPECT_EQ(Get(net_, 5, 1), expected);
    EXPECT_FALSE(Get(packets_, 2, 5).Valid);
    EXPECT_FALSE(Get(packets_, 1, 4).Valid);
}

TEST_F(Intake, TheMeterNumberOfALivePacketIsTheLowTwelveBitsOfTheSource) {
    Dimension(4096, 10, 10);
    ASSERT_EQ(Store(0x1001, Live(1, 1, 0, 0)), IntakeResult::Stored);
    ASSERT_EQ(Store(0x1FFE, Live(1, 2, 0, 0)), IntakeResult::Stored);
    EXPECT_EQ(Get(packets_, 1, 1).WordA, 1);
    EXPECT_EQ(Get(packets_, 1, 4094).Meter, 4094);
    EXPECT_EQ(Get(net_, 4094, 1).WordA, 2);
}

TEST_F(Intake, FramesWithoutAMeterRecordAreIgnored) {
    const Bytes live = Live(1, 2, 3, 4);
    const Bytes buffer = BufferReply(5, Stored(1, 2, 3, 4, 2020, 1, 1, 0, 0));
    struct Case {
        const char* name;
        std::uint16_t source;
        Bytes payload;
    };
    const Case cases[] = {
        {"workstation", 0xFFFF, live},
        {"below the meters", 0x0FFF, live},
        {"concentrator lower bound", 0x2000, buffer},
        {"concentrator upper bound", 0x5FFF, buffer},
        {"live, 5 bytes", 0x1005, Bytes(live.begin(), live.end() - 1)},
        {"buffer, 13 bytes", 0x2001, Bytes(buffer.begin(), buffer.end() - 1)},
        {"nothing", 0x1005, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Store(c.source, c.payload), IntakeResult::Ignored);
    }
    const Bytes empty(std::size_t(packets_.Count()) * 24, 0);
    EXPECT_EQ(std::memcmp(packets_.Data(), empty.data(), empty.size()), 0);
    EXPECT_EQ(std::memcmp(days_.Data(), empty.data(), std::size_t(days_.Count()) * 24), 0);
}

TEST_F(Intake, ABufferRecordCarriesTheConcentratorsTimeStamp) {
    ASSERT_EQ(Store(0x2001, BufferReply(17, Stored(0x40, 0xBEEF, 0x3201, 0x82, 2009, 12, 31, 23, 59))),
              IntakeResult::Stored);
    const MeterRecord r = Get(packets_, 1, 17);
    EXPECT_EQ(r.Meter, 17);
    EXPECT_EQ(r.Type, 0x40);
    EXPECT_EQ(r.WordA, 0xBEEF);
    EXPECT_EQ(r.WordB, 0x3201);
    EXPECT_EQ(r.Level, 0x82);
    EXPECT_EQ(r.Valid, 0xFF);
    EXPECT_EQ(r.EmptyMark, 0);
    EXPECT_EQ(r.Time, 40178.0 + 1439.0 / 1440.0);  // 2009-12-31 23:59:00
}

// Concentrator addresses with bit 12 set (0x3xxx, 0x5xxx) are still concentrators.
TEST_F(Intake, ABufferRecordFromAnyConcentratorAddressIsABufferRecord) {
    for (std::uint16_t source : {0x2001, 0x3001, 0x4ABC, 0x5FFE}) {
        SCOPED_TRACE(source);
        ASSERT_EQ(Store(source, BufferReply(9, Stored(0x02, source, 0, 0, 2021, 6, 1, 10, 0))),
                  IntakeResult::Stored);
        EXPECT_EQ(Get(packets_, 1, 9).WordA, source);
        EXPECT_EQ(Get(packets_, 1, 1).Valid, 0);
    }
}

TEST_F(Intake, ABufferRecordForMeterZeroUsesRowZeroAndColumnZero) {
    ASSERT_EQ(Store(kConcentrator, BufferReply(0, Stored(1, 42, 0, 0, 2020, 2, 29, 1, 2))),
              IntakeResult::Stored);
    EXPECT_EQ(Get(packets_, 1, 0).WordA, 42);
    EXPECT_EQ(Get(days_, 1, 0).WordA, 42);
    EXPECT_EQ(Get(net_, 0, 1).WordA, 42);
}

TEST_F(Intake, ABufferRecordWithoutAValidDateOrTimeIsNotStored) {
    struct Case {
        const char* name;
        int month, day, hour, minute;
    };
    const Case cases[] = {{"minute 60", 1, 1, 0, 60},
                          {"hour 24", 1, 1, 24, 0},
                          {"31 February", 2, 31, 0, 0},
                          {"month 13", 13, 1, 0, 0},
                          {"day 0xFF", 1, 256, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(
            Store(kConcentrator, BufferReply(3, Stored(1, 1, 0, 0, 2021, c.month, c.day, c.hour, c.minute))),
            IntakeResult::BadTime);
        EXPECT_EQ(Get(packets_, 1, 3).Valid, 0);
        EXPECT_EQ(Get(net_, 3, 1).Valid, 0);
    }
}

TEST_F(Intake, MetersOutsideAStoreAreLeftOutOfThatStoreOnly) {
    Dimension(16, 10, 10);
    net_.SetColCount(40);  // the network store reaches further than the others
    ASSERT_EQ(Store(kConcentrator, BufferReply(30, Stored(1, 5, 0, 0, 2021, 1, 1, 0, 0))),
              IntakeResult::Stored);
    EXPECT_EQ(Get(net_, 30, 1).WordA, 5);
    ASSERT_EQ(Store(kConcentrator, BufferReply(65535, Stored(1, 6, 0, 0, 2021, 1, 1, 0, 0))),
              IntakeResult::Stored);
    for (int row = 0; row < packets_.RowCount(); ++row) {
        EXPECT_EQ(Get(packets_, 1, row).Valid, 0);
        EXPECT_EQ(Get(days_, 1, row).Valid, 0);
    }
}

TEST_F(Intake, ThePacketStoreKeepsTheNewestPacketsOfItsDepth) {
    Dimension(16, 10, 10);
    for (std::uint16_t i = 1; i <= 11; ++i) {
        clock_.AdvanceSeconds(60);
        ASSERT_EQ(Store(0x1003, Live(0x01, i, 0, 0)), IntakeResult::Stored);
    }
    EXPECT_EQ(WordsA(packets_, 3, 10), (std::vector<std::uint16_t>{11, 10, 9, 8, 7, 6, 5, 4, 3, 2}));
    EXPECT_EQ(Get(packets_, 0, 3).Valid, 0);  // slot 0 is never written
}

TEST_F(Intake, TheDayStoreKeepsOneRecordPerDayAndTypeInItsSlot) {
    clock_.Set(QDateTime(QDate(2024, 1, 10), QTime(10, 0)));
    Store(0x1002, Live(0x01, 1, 0, 0));  // day 10, type 01
    clock_.Set(QDateTime(QDate(2024, 1, 10), QTime(10, 30)));
    Store(0x1002, Live(0x02, 2, 0, 0));  // day 10, type 02
    clock_.Set(QDateTime(QDate(2024, 1, 10), QTime(23, 59, 59)));
    Store(0x1002, Live(0x01, 3, 0, 0));  // day 10, type 01 again: replaces word 1 where it stands
    EXPECT_EQ(WordsA(days_, 2, 3), (std::vector<std::uint16_t>{2, 3, 0}));
    EXPECT_EQ(WordsA(packets_, 2, 3), (std::vector<std::uint16_t>{3, 2, 1}));

    clock_.Set(QDateTime(QDate(2024, 1, 11), QTime(0, 0)));
    Store(0x1002, Live(0x01, 4, 0, 0));  // the next day: a new record in front
    EXPECT_EQ(WordsA(days_, 2, 4), (std::vector<std::uint16_t>{4, 2, 3, 0}));
}

// The same-day record is found in every slot of the day store, the last one included: a full row of
// `depth` days, then a later packet of the day in slot k takes that slot and nothing falls out.
TEST_F(Intake, TheDayStoreFindsTheSameDayInEverySlotUpToTheLast) {
    for (int depth = 1; depth <= 4; ++depth) {
        for (int slot = 1; slot <= depth; ++slot) {
            SCOPED_TRACE(testing::Message() << "depth " << depth << ", same day in slot " << slot);
            for (TMatrixInterface* store : {&packets_, &days_, &net_})
                store->Reset();
            Dimension(4, 10, depth);
            // Days 1 .. depth of March, word A = the day: slot 1 holds the newest day.
            std::vector<std::uint16_t> expected;
            for (int day = 1; day <= depth; ++day) {
                clock_.Set(QDateTime(QDate(2024, 3, day), QTime(8, 0)));
                ASSERT_EQ(Store(0x1003, Live(0x40, std::uint16_t(day), 0, 0)), IntakeResult::Stored);
                expected.insert(expected.begin(), std::uint16_t(day));
            }
            const int day = depth - slot + 1;
            clock_.Set(QDateTime(QDate(2024, 3, day), QTime(23, 0)));
            ASSERT_EQ(Store(0x1003, Live(0x40, 100, 0, 0)), IntakeResult::Stored);
            expected[std::size_t(slot - 1)] = 100;
            EXPECT_EQ(WordsA(days_, 3, depth), expected);
        }
    }
}

TEST_F(Intake, SortingPutsTheNewestRecordFirstAndNeverExchangesEqualKeys) {
    std::vector<Bytes> records = {
        Stored(0xA1, 1, 0, 0, 2021, 3, 1, 0, 0), Stored(0xA2, 2, 0, 0, 2021, 3, 1, 0, 1),
        Stored(0xA3, 3, 0, 0, 2022, 1, 1, 0, 0), Stored(0xA4, 4, 0, 0, 2021, 12, 31, 23, 59),
        Stored(0xA5, 5, 0, 0, 2021, 3, 1, 0, 1),  // same time as A2
    };
    Bytes flat;
    for (const Bytes& r : records)
        flat.insert(flat.end(), r.begin(), r.end());
    SortBufferRecords(flat.data(), int(records.size()));
    std::vector<int> types;
    for (std::size_t i = 0; i < records.size(); ++i)
        types.push_back(flat[i * 11]);
    EXPECT_EQ(types, (std::vector<int>{0xA3, 0xA4, 0xA2, 0xA5, 0xA1}));
    SortBufferRecords(flat.data(), 0);
    SortBufferRecords(nullptr, 3);
}

TEST_F(Intake, AMonthReplyStoresItsWholeRecordsNewestInSlotOne) {
    const Bytes reply = MonthReply(
        12, {Stored(0x10, 100, 0, 0, 2021, 1, 31, 0, 0), Stored(0x10, 200, 0, 0, 2021, 2, 28, 0, 0)}, 5);
    ASSERT_EQ(reply.size(), 3u + 2 * 11 + 5);
    const MonthBufferResult result = StoreMonthBuffer(stores_, Frame(kConcentrator, reply), clock_, nullptr);
    EXPECT_EQ(result.Stored, 2);
    EXPECT_FALSE(result.BadTime);
    EXPECT_EQ(WordsA(packets_, 12, 3), (std::vector<std::uint16_t>{200, 100, 0}));
    EXPECT_EQ(WordsA(days_, 12, 3), (std::vector<std::uint16_t>{200, 100, 0}));
    EXPECT_EQ(Get(net_, 12, 1).WordA, 200);
}

// Bytes after the last whole record, of every length a record can leave, are not a record: the
// reply stores exactly its whole records and reports no error. The trailing bytes are the start of
// a valid third record, and the payload lies in a block of exactly its size, so that reading one
// record too many goes past the payload (which the sanitizer build sees) or stores that record.
TEST_F(Intake, AMonthReplyIgnoresEveryRemainderAfterItsWholeRecords) {
    const Bytes first = Stored(0x40, 100, 0x0102, 0x21, 2021, 1, 31, 23, 59);
    const Bytes second = Stored(0x40, 200, 0x0304, 0x42, 2021, 2, 28, 0, 0);
    const Bytes third = Stored(0x40, 300, 0x0506, 0x84, 2021, 3, 31, 12, 30);
    auto expected = [](const Bytes& stored) {
        MeterRecord r;
        r.Meter = 12;
        r.Type = stored[0];
        r.WordA = std::uint16_t(stored[1] | stored[2] << 8);
        r.WordB = std::uint16_t(stored[3] | stored[4] << 8);
        r.Level = stored[5];
        r.Valid = 0xFF;
        r.Time = DaysFromDateTime(QDate(2000 + stored[10], stored[9] + 1, stored[8] + 1),
                                  QTime(stored[7], stored[6]));
        return r;
    };
    for (std::size_t remainder = 0; remainder < kBufferRecordSize; ++remainder) {
        SCOPED_TRACE(testing::Message() << remainder << " trailing bytes");
        for (TMatrixInterface* store : {&packets_, &days_, &net_})
            store->Reset();
        Dimension(16, 4, 4);

        Bytes reply = MonthReply(12, {first, second});
        reply.insert(reply.end(), third.begin(), third.begin() + std::ptrdiff_t(remainder));
        const auto exact = std::make_unique<std::uint8_t[]>(reply.size());
        std::memcpy(exact.get(), reply.data(), reply.size());
        const MonthBufferResult result =
            StoreMonthBuffer(stores_, {kConcentrator, exact.get(), reply.size()}, clock_, nullptr);

        EXPECT_EQ(result.Stored, 2);
        EXPECT_FALSE(result.BadTime);
        EXPECT_TRUE(result.Error.isEmpty()) << result.Error.toStdString();
        for (const TMatrixInterface* store : {&packets_, &days_}) {
            EXPECT_EQ(Get(*store, 1, 12), expected(second));
            EXPECT_EQ(Get(*store, 2, 12), expected(first));
            EXPECT_EQ(Get(*store, 3, 12), MeterRecord{});
        }
        EXPECT_EQ(Get(net_, 12, 1), expected(second));
    }
}

TEST_F(Intake, MonthRecordsInEitherOrderGiveTheSameStores) {
    std::vector<Bytes> records;
    for (int i = 0; i < 22; ++i) {
        records.push_back(
            Stored(std::uint8_t(i % 3), std::uint16_t(i), 0, 0, 2020 + i / 12, i % 12 + 1, 28 - i, i, i));
    }
    std::vector<Bytes> newestFirst(records.rbegin(), records.rend());

    TMatrixInterface p2{QString()}, d2{QString()}, n2{QString()};
    for (TMatrixInterface* s : {&p2, &d2}) {
        s->SetRowCount(257);
        s->SetColCount(65);
    }
    n2.SetRowCount(2);
    n2.SetColCount(257);
    const Bytes a = MonthReply(7, records), b = MonthReply(7, newestFirst);
    EXPECT_EQ(StoreMonthBuffer(stores_, Frame(kConcentrator, a), clock_, nullptr).Stored, 22);
    EXPECT_EQ(StoreMonthBuffer({&p2, &d2, &n2}, Frame(kConcentrator, b), clock_, nullptr).Stored, 22);
    EXPECT_TRUE(SameBytes(packets_, p2));
    EXPECT_TRUE(SameBytes(days_, d2));
    EXPECT_TRUE(SameBytes(net_, n2));
    EXPECT_EQ(Get(packets_, 1, 7).WordA, 21);  // the newest
}

TEST_F(Intake, AMonthRecordWithABadTimeStopsTheRest) {
    // Sorted newest first: March, 30 February (no date), January. Stored oldest first, so January
    // goes in and the bad record stops March.
    const Bytes reply =
        MonthReply(4, {Stored(1, 1, 0, 0, 2021, 1, 1, 0, 0), Stored(1, 3, 0, 0, 2021, 3, 1, 0, 0),
                       Stored(1, 2, 0, 0, 2021, 2, 30, 0, 0)});
    const MonthBufferResult result = StoreMonthBuffer(stores_, Frame(kConcentrator, reply), clock_, nullptr);
    EXPECT_TRUE(result.BadTime);
    EXPECT_FALSE(result.Error.isEmpty());
    EXPECT_EQ(result.Stored, 1);
    EXPECT_EQ(WordsA(packets_, 4, 2), (std::vector<std::uint16_t>{1, 0}));
}

TEST_F(Intake, MonthRepliesWithoutRecordsOrFromAMeterStoreNothing) {
    EXPECT_EQ(StoreMonthBuffer(stores_, Frame(kConcentrator, MonthReply(4, {}, 10)), clock_, nullptr).Stored,
              0);
    const Bytes one = MonthReply(4, {Stored(1, 1, 0, 0, 2021, 1, 1, 0, 0)});
    EXPECT_EQ(StoreMonthBuffer(stores_, Frame(0x1004, one), clock_, nullptr).Stored, 0);
    EXPECT_EQ(StoreMonthBuffer(stores_, {kConcentrator, nullptr, 40}, clock_, nullptr).Stored, 0);
    EXPECT_EQ(Get(packets_, 1, 4).Valid, 0);
}

// The window hooks: the table on show is redrawn when it shows the packet's meter, and the
// selected meter is re-read while the network page is active.
TEST_F(Intake, TheActiveTableIsRedrawnOnlyForTheSelectedMeter) {
    struct Hooks : IMeterDataHooks {
        StorePage page = StorePage::Other;
        int selected = 0;
        std::vector<StorePage> redrawn;
        int reReads = 0;
        StorePage ActivePage() const override { return page; }
        int SelectedMeter() const override { return selected; }
        void RedrawTable(StorePage p) override { redrawn.push_back(p); }
        void ReReadSelectedMeter() override { ++reReads; }
        void NotifyUser(const QString&) override { ADD_FAILURE(); }
    };
    struct Case {
        StorePage page;
        int selected;
        std::vector<StorePage> redrawn;
        int reReads;
    };
    const Case cases[] = {
        {StorePage::Packets, 5, {StorePage::Packets}, 0},
        {StorePage::Packets, 6, {}, 0},
        {StorePage::Days, 5, {StorePage::Days}, 0},
        {StorePage::Net, 5, {StorePage::Net}, 1},
        {StorePage::Net, 0, {}, 1},
        {StorePage::Other, 5, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.page) << " " << c.selected);
        Hooks hooks;
        hooks.page = c.page;
        hooks.selected = c.selected;
        ASSERT_EQ(StoreMeterPacket(stores_, Frame(0x1005, Live(1, 2, 3, 4)), clock_, &hooks),
                  IntakeResult::Stored);
        EXPECT_EQ(hooks.redrawn, c.redrawn);
        EXPECT_EQ(hooks.reReads, c.reReads);
    }
}

}  // namespace
}  // namespace lumvaris::meterdata
