// The traffic monitor without its window: the texts of each kind of row, the filter, and the table
// over the log with its bound, its pause and its clear.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/Frame.h"
#include "meterdata/IClock.h"
#include "monitor/TrafficFilter.h"
#include "monitor/TrafficLog.h"
#include "monitor/TrafficModel.h"
#include "monitor/TrafficText.h"
#include "support/FakeSerialPort.h"

namespace lumvaris::monitor {
namespace {

using Bytes = std::vector<std::uint8_t>;
using lumvaris::testing::Hex;

struct FixedClock : meterdata::IClock {
    QDateTime Now() const override { return now; }
    QDateTime now{QDate(2026, 12, 7), QTime(10, 0, 0, 123)};
};

Bytes Frame(std::uint16_t source, std::uint16_t destination, const Bytes& payload) {
    link::FrameBuffer f{};
    link::FillHeader(f, source, destination, static_cast<std::uint8_t>(payload.size()),
                     payload.empty() ? 0 : payload[0]);
    std::copy(payload.begin(), payload.end(), link::Payload(f));
    const std::size_t n = link::CompleteFrame(f);
    return {f.begin(), f.begin() + static_cast<std::ptrdiff_t>(n)};
}

TrafficEntry Entry(TrafficKind kind, const Bytes& bytes) {
    return {(10 * 3600 + 5 * 60 + 7) * 1000 + 45, kind, bytes};
}

const Bytes kRequest = Frame(0xFFFF, 0x2FFF, {0x81});
const Bytes kReply = Frame(0x2FFF, 0xFFFF, {0x81, 0x1E, 0x0F, 0x0A, 0x02, 0x04, 0x05, 0x1A});
const Bytes kMeterPacket = Frame(0x1005, 0xFFFF, {0x40, 0x34, 0x12, 0x01, 0xD4, 0x23});
const Bytes kEmpty = Frame(0x2FFF, 0xFFFF, {});

TEST(TrafficTextTest, EachKindOfRow) {
    Bytes bad = Frame(0x2FFF, 0xFFFF, {0x88, 0x01});
    bad.back() = 0x5A;  // should be 0x88
    const struct {
        const char* what;
        TrafficEntry entry;
        QString texts;  // the eight columns joined by "|"
    } cases[] = {
        {"request", Entry(TrafficKind::Sent, kRequest), "10:05:07.045|→|FFFF|2FFF|1|81h ClockRead|81|"},
        {"reply", Entry(TrafficKind::Received, kReply),
         "10:05:07.045|←|2FFF|FFFF|8|81h ClockRead|81 1E 0F 0A 02 04 05 1A|"},
        {"meter packet", Entry(TrafficKind::Received, kMeterPacket),
         "10:05:07.045|←|1005|FFFF|6|40h пакет счётчика 5|40 34 12 01 D4 23|"},
        {"the refusal, a reply whose code no request has",
         Entry(TrafficKind::Received, Frame(0x2FFF, 0xFFFF, {0x40})),
         "10:05:07.045|←|2FFF|FFFF|1|40h AccessDenied|40|"},
        {"a code nobody knows", Entry(TrafficKind::Received, Frame(0x2FFF, 0xFFFF, {0x55, 0x00})),
         "10:05:07.045|←|2FFF|FFFF|2|55h|55 00|"},
        {"a long command to all meters",
         Entry(TrafficKind::Sent, Frame(0xFFFF, 0x1FFF, {0xD8, 0xFF, 0x1F, 0x05, 0x02})),
         "10:05:07.045|→|FFFF|1FFF|5|D8h LongCommandHeader|D8 FF 1F 05 02|"},
        {"bad checksum", Entry(TrafficKind::BadChecksum, bad),
         "10:05:07.045|←|2FFF|FFFF|2|88h UartRateRead|88 01|неверная КС: 5A вместо 88"},
        {"no payload", Entry(TrafficKind::Received, kEmpty), "10:05:07.045|←|2FFF|FFFF|0|||пустой кадр"},
        {"dropped bytes", Entry(TrafficKind::Discarded, Hex("00 13 FE")),
         "10:05:07.045|←|||||00 13 FE|отброшено байт: 3"},
        {"midnight", {0, TrafficKind::Discarded, Hex("FF")}, "00:00:00.000|←|||||FF|отброшено байт: 1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrafficTexts(c.entry).join(QLatin1Char('|')), c.texts) << c.what;
        EXPECT_EQ(TrafficTexts(c.entry).size(), kTrafficColumns) << c.what;
    }
}

TEST(TrafficLogTest, LocalTimeOfDayAcrossTheChangesOfTheClocks) {
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    FixedClock clock;
    TrafficLog log(clock);
    const std::uint8_t byte = 0;
    const auto stamp = [&](QDate date, QTime time) {
        clock.now = QDateTime(date, time);
        log.BytesDiscarded(&byte, 1);
        return TrafficTexts(log.At(log.EndSequence() - 1))[0];
    };
    const QDate spring(2026, 3, 29);
    const QDate autumn(2026, 10, 25);
    EXPECT_EQ(stamp(spring, QTime(1, 59, 59, 999)), "01:59:59.999");
    EXPECT_EQ(stamp(spring, QTime(3, 0, 0, 1)), "03:00:00.001") << "2 ms later, in summer time";
    EXPECT_EQ(stamp(spring, QTime(23, 59, 59, 999)), "23:59:59.999");
    EXPECT_EQ(stamp(autumn, QTime(1, 59, 0)), "01:59:00.000");
    EXPECT_EQ(stamp(autumn, QTime(3, 0, 0)), "03:00:00.000") << "back in winter time";
    if (zone.isNull()) {
        qunsetenv("TZ");
    } else {
        qputenv("TZ", zone);
    }
}

TEST(TrafficTextTest, TypeCodesOfTheFilterField) {
    const struct {
        const char* text;
        bool ok;
        Bytes codes;
    } cases[] = {
        {"", true, {}},
        {"81", true, {0x81}},
        {" 81 85h,7e;; 0B ", true, {0x81, 0x85, 0x7E, 0x0B}},
        {"8", true, {0x08}},
        {"81 1FF xyz 85", false, {0x81, 0x85}},
        {"h", false, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> codes{0x99};
        EXPECT_EQ(ParseTypeCodes(QString::fromUtf8(c.text), codes), c.ok) << c.text;
        EXPECT_EQ(codes, c.codes) << c.text;
    }
}

TEST(TrafficFilterTest, DirectionMeterPacketsAndTypes) {
    const TrafficEntry entries[] = {
        Entry(TrafficKind::Sent, kRequest),              // r: request 81
        Entry(TrafficKind::Received, kReply),            // a: its reply
        Entry(TrafficKind::Received, kMeterPacket),      // m: meter packet of type 40
        Entry(TrafficKind::BadChecksum, kMeterPacket),   // x: a spoilt meter packet
        Entry(TrafficKind::Discarded, Hex("00 13 FE")),  // g: garbage
        Entry(TrafficKind::Received, kEmpty),            // e: no payload, so no type
    };
    const char names[] = "ramxge";
    const struct {
        const char* what;
        TrafficFilter filter;
        const char* shown;
    } cases[] = {
        {"everything", {}, "ramxge"},
        {"sent only", {DirectionFilter::Sent, true, {}}, "r"},
        {"received only", {DirectionFilter::Received, true, {}}, "amxge"},
        {"no meter packets, spoilt ones included", {DirectionFilter::Both, false, {}}, "rage"},
        {"type 81 in both directions", {DirectionFilter::Both, true, {0x81}}, "ra"},
        {"type 40: meter packets of that type", {DirectionFilter::Both, true, {0x40}}, "mx"},
        {"type 40 without meter packets", {DirectionFilter::Both, false, {0x40}}, ""},
        {"received type 81", {DirectionFilter::Received, true, {0x81, 0x85}}, "a"},
        {"type FF: the checksum of a frame with no payload is no type code",
         {DirectionFilter::Both, true, {0xFF}},
         ""},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (std::size_t i = 0; i < std::size(entries); ++i) {
            if (c.filter.Passes(entries[i])) {
                shown += names[i];
            }
        }
        EXPECT_EQ(shown, c.shown) << c.what;
    }
}

class TrafficModelTest : public ::testing::Test {
  protected:
    // Entry k carries k in its bytes, so a row tells which entry it shows.
    void Add(int count, std::uint16_t source = 0x2FFF) {
        for (int i = 0; i < count; ++i, ++added_) {
            log_.FrameReceived(
                Frame(source, 0xFFFF,
                      {0x77, static_cast<std::uint8_t>(added_ >> 16), static_cast<std::uint8_t>(added_ >> 8),
                       static_cast<std::uint8_t>(added_)})
                    .data(),
                13, true);
        }
    }
    int EntryNumber(int row) const {
        const QStringList texts = TrafficTexts(*model_.Entry(row));
        return texts[6].split(' ').mid(1).join(QString()).toInt(nullptr, 16);
    }
    FixedClock clock_;
    TrafficLog log_{clock_};
    TrafficModel model_{log_};
    int added_ = 0;
};

TEST_F(TrafficModelTest, AtMostOneHundredThousandRowsTheOldestDropped) {
    Add(100005);
    EXPECT_EQ(log_.Size(), 100000u);
    EXPECT_EQ(model_.Publish(), 100000);
    EXPECT_EQ(model_.rowCount(), 100000);
    EXPECT_EQ(EntryNumber(0), 5);
    EXPECT_EQ(EntryNumber(99999), 100004);

    const QPersistentModelIndex selected = model_.index(10, 0);
    const QPersistentModelIndex oldest = model_.index(0, 0);
    Add(3);  // three more push three out, at the next publish
    EXPECT_EQ(model_.Publish(), 3);
    EXPECT_EQ(model_.rowCount(), 100000);
    EXPECT_EQ(EntryNumber(0), 8);
    EXPECT_EQ(EntryNumber(99999), 100007);
    EXPECT_EQ(selected.row(), 7) << "a selected row stays with its entry";
    EXPECT_FALSE(oldest.isValid());

    // Filtered so that fewer rows come than go: the table gets shorter.
    model_.SetFilter({DirectionFilter::Both, false, {}});
    Add(5);
    Add(2, 0x1001);
    EXPECT_EQ(model_.Publish(), 5);
    EXPECT_EQ(model_.rowCount(), 100000 - 2);
    EXPECT_EQ(EntryNumber(0), 15);
    EXPECT_EQ(EntryNumber(model_.rowCount() - 1), 100012);
}

TEST_F(TrafficModelTest, PauseKeepsRecordingAndAFilterMakesTheTableAgain) {
    Add(2);
    model_.Publish();
    model_.SetPaused(true);
    Add(2, 0x1001);  // meter packets while paused
    Add(1);
    EXPECT_EQ(model_.Publish(), 0);
    EXPECT_EQ(model_.rowCount(), 2);
    EXPECT_EQ(log_.Size(), 5u);

    // Still paused: a filter shows what was shown, filtered, not what came meanwhile.
    model_.SetFilter({DirectionFilter::Both, false, {}});
    EXPECT_EQ(model_.rowCount(), 2);

    model_.SetPaused(false);
    EXPECT_EQ(model_.Publish(), 1) << "the two meter packets are filtered out";
    ASSERT_EQ(model_.rowCount(), 3);
    EXPECT_EQ(EntryNumber(2), 4);

    log_.Clear();
    model_.Publish();
    EXPECT_EQ(model_.rowCount(), 0);
    Add(1);
    model_.Publish();
    ASSERT_EQ(model_.rowCount(), 1);
    EXPECT_EQ(EntryNumber(0), 5);
}

}  // namespace
}  // namespace lumvaris::monitor
