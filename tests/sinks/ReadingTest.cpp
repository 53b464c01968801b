#include "sinks/Reading.h"

#include "meterdata/DayTime.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace lumvaris::sinks {
namespace {

using meterdata::MeterRecord;
using meterdata::RecordSource;

const QLocale kBritish(QLocale::English, QLocale::UnitedKingdom);
const QLocale kRussian(QLocale::Russian, QLocale::Russia);

MeterRecord Packet(std::uint8_t type, std::uint16_t a, std::uint16_t b, std::uint8_t level = 0x04) {
    MeterRecord r;
    r.Meter = 12;
    r.Type = type;
    r.WordA = a;
    r.WordB = b;
    r.Level = level;
    r.Valid = 0xFF;
    r.Time = meterdata::DaysFromDateTime(QDate(2024, 3, 15), QTime(12, 0, 0, 250));
    return r;
}

TEST(Reading, DecodedTextsNumberAndUnitOfEachKind) {
    constexpr double kNull = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        std::uint8_t type;
        std::uint16_t a, b;
        const QLocale& locale;
        const char* family;
        const char* current;
        const char* snapshot;
        double value;  // NaN: null
        const char* unit;
    };
    const Case cases[] = {
        {0x81, 1234, 0x8705, kBritish, "Хол.вода-B, куб.м", "123.9", "123.4", 123.9, "куб.м"},
        {0x81, 1234, 0x8705, kRussian, "Хол.вода-B, куб.м", "123,9", "123,4", 123.9, "куб.м"},
        {0x81, 1234, 0x0007, kRussian, "Хол.вода-B, куб.м", " ", "123,4", 123.4, "куб.м"},
        {0x02, 9998, 0xBB2D, kBritish, "кВт·ч (S-T3)", "0043", " ", 43, "кВт·ч"},
        {0x02, 9998, 0x0007, kBritish, "кВт·ч (S-T3)", " ", "9998", 9998, "кВт·ч"},
        {0x0E, 12345, 0xFC64, kBritish, "кВт·ч (S-SUM)", " ", "2346.00", 2346, "кВт·ч"},
        {0x19, 12345, 0xFC64, kRussian, "кВт·ч (B-SUM)", " ", "2346,00", 2346, "кВт·ч"},
        {0x19, 12345, 0x0007, kBritish, "кВт·ч (B-SUM)", " ", " ", kNull, "кВт·ч"},
        {0x40, 0x1234, 0x3201, kRussian, "кВт·ч (T1 на 00:00)", "", "70196,50", 70196.5, "кВт·ч"},
        {0x40, 0xFFFF, 0xFFFF, kBritish, "кВт·ч (T1 на 00:00)", "", "нет данных", kNull, "кВт·ч"},
        {0x44, 0x0507, 0x0A00, kBritish, "кВт·ч (получасовка #7)", "", "5.10", 5.1, "кВт·ч"},
        {0x45, 0x0010, 0x0101, kBritish, "ER+ квар·ч (на 00:00)", "", "65552.01", 65552.01, "квар·ч"},
        {0x46, 0x0002, 0x6300, kRussian, "ER- квар·ч (на 00:00)", "", "2,99", 2.99, "квар·ч"},
        {0x48, 0x5678, 0x0012, kBritish, "Серийный номер", "", "01201784", kNull, ""},
        {0x49, 0x00AB, 0x1234, kBritish, "Статус", "", "00AB/1234", kNull, ""},
        {0xDA, 0x1502, 0x0000, kBritish, "Выполнено", "0x02", "0x15", kNull, ""},
        {0xE1, 0x1005, 0x0000, kBritish, "Старт", "# 5", "", kNull, ""},
        {0x27, 0x0001, 0xBEEF, kBritish, "27h", "0001h", "BEEFh", kNull, ""},
        {0x05, 0x0001, 0xBEEF, kBritish, "05h", " ", " ", kNull, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.type) << " " << c.a << " " << c.b << " "
                                        << c.locale.name().toStdString());
        ReadingBuilder builder(c.locale);
        Reading r;
        ASSERT_TRUE(builder.Build(Packet(c.type, c.a, c.b), RecordSource::Live, "site", "2FFF", r));
        EXPECT_EQ(r.Family.toStdString(), c.family);
        EXPECT_EQ(r.Current.toStdString(), c.current);
        EXPECT_EQ(r.Snapshot.toStdString(), c.snapshot);
        EXPECT_EQ(r.Unit.toStdString(), c.unit);
        if (std::isnan(c.value)) {
            EXPECT_FALSE(r.Value.has_value());
        } else {
            ASSERT_TRUE(r.Value.has_value());
            EXPECT_DOUBLE_EQ(*r.Value, c.value);
        }
    }
}

TEST(Reading, LevelPhaseTimeAndOriginFields) {
    struct Case {
        std::uint8_t level;
        int percent;
        const char* phase;
    };
    const Case cases[] = {{0x23, 75, "A"}, {0x41, 25, "B"}, {0x84, 100, "C"}, {0x10, 0, ""}, {0x33, 75, ""}};
    ReadingBuilder builder(kBritish);
    for (const Case& c : cases) {
        Reading r;
        ASSERT_TRUE(builder.Build(Packet(0x81, 1, 2, c.level), RecordSource::Buffer, "ТП-17", "2FFF", r));
        EXPECT_EQ(r.Level, c.percent);
        EXPECT_EQ(r.Phase.toStdString(), c.phase);
        // The record's local time in Moscow, UTC+3.
        EXPECT_EQ(TimeText(r.Time).toStdString(), "2024-03-15T09:00:00.250Z");
        EXPECT_EQ(r.Source.toStdString(), "buffer");
        EXPECT_EQ(r.Site.toStdString(), "ТП-17");
        EXPECT_EQ(r.Meter, 12);
    }
    EXPECT_EQ(UartIdText(0x2fff).toStdString(), "2FFF");
    EXPECT_EQ(UartIdText(0x00a).toStdString(), "000A");
}

TEST(Reading, RecordsWithoutAPacketOrADateGiveNone) {
    ReadingBuilder builder(kBritish);
    Reading r;
    MeterRecord filler = Packet(0x81, 1, 2);
    filler.Valid = 0;
    filler.EmptyMark = 1;
    EXPECT_FALSE(builder.Build(filler, RecordSource::Live, "", "", r));
    MeterRecord noDate = Packet(0x81, 1, 2);
    noDate.Time = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(builder.Build(noDate, RecordSource::Live, "", "", r));
}

TEST(Reading, JsonObjectAsPublished) {
    ReadingBuilder builder(kRussian);
    Reading r;
    ASSERT_TRUE(
        builder.Build(Packet(0x81, 1234, 0x8705, 0x23), RecordSource::Live, "ТП \"Север\"", "2FFF", r));
    EXPECT_EQ(QJsonDocument(ReadingToJson(r)).toJson(QJsonDocument::Compact).toStdString(),
              "{\"current_text\":\"123,9\",\"family\":\"Хол.вода-B, куб.м\",\"level\":75,\"meter\":12,"
              "\"phase\":\"A\",\"site\":\"ТП \\\"Север\\\"\",\"snapshot_text\":\"123,4\",\"source\":\"live\","
              "\"time\":\"2024-03-15T09:00:00.250Z\",\"type\":129,\"uart_id\":\"2FFF\",\"unit\":\"куб.м\","
              "\"value\":123.9,\"word_a\":1234,\"word_b\":34565}");
    ASSERT_TRUE(builder.Build(Packet(0x48, 0x5678, 0x0012, 0x04), RecordSource::Buffer, "", "", r));
    const QJsonObject serial = ReadingToJson(r);
    EXPECT_TRUE(serial.value("value").isNull());
    EXPECT_EQ(serial.value("uart_id").toString(), QString());
}

}  // namespace
}  // namespace lumvaris::sinks
