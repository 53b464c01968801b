#include "sinks/Reading.h"

#include "meterdata/DayTime.h"
#include "meterdata/IClock.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTranslator>

#include <gtest/gtest.h>

#include <cmath>

namespace lumvaris::sinks {
namespace {

const QLocale kBritish(QLocale::English, QLocale::UnitedKingdom);
const QLocale kRussian(QLocale::Russian, QLocale::Russia);

meterdata::MeterRecord Packet(std::uint8_t type, std::uint16_t a, std::uint16_t b, std::uint8_t level) {
    meterdata::MeterRecord r;
    r.Meter = 12;
    r.Type = type;
    r.WordA = a;
    r.WordB = b;
    r.Level = level;
    r.Valid = 0xFF;
    r.Time = meterdata::DaysFromDateTime(QDate(2024, 3, 15), QTime(12, 0, 0, 250));
    return r;
}

TEST(Reading, TextsNumberUnitLevelAndPhaseOfEachKind) {
    const double none = NAN;
    struct Case {
        std::uint8_t type;
        std::uint16_t a, b;
        std::uint8_t level;
        const QLocale& locale;
        const char* texts;  // family|current|snapshot|unit|level|phase
        double value;
    };
    const Case cases[] = {
        {0x81, 1234, 0x8705, 0x23, kBritish, "Хол.вода-B, куб.м|123.9|123.4|куб.м|75|A", 123.9},
        {0x81, 1234, 0x8705, 0x41, kRussian, "Хол.вода-B, куб.м|123,9|123,4|куб.м|25|B", 123.9},
        {0x81, 1234, 0x0007, 0x84, kRussian, "Хол.вода-B, куб.м| |123,4|куб.м|100|C", 123.4},
        {0x02, 9998, 0xBB2D, 0x10, kBritish, "кВт·ч (S-T3)|0043| |кВт·ч|0|", 43},
        {0x02, 9998, 0x0007, 0x33, kBritish, "кВт·ч (S-T3)| |9998|кВт·ч|75|", 9998},
        {0x0E, 12345, 0xFC64, 0x04, kBritish, "кВт·ч (S-SUM)| |2346.00|кВт·ч|100|", 2346},
        {0x19, 12345, 0xFC64, 0x04, kRussian, "кВт·ч (B-SUM)| |2346,00|кВт·ч|100|", 2346},
        {0x19, 12345, 0x0007, 0x04, kBritish, "кВт·ч (B-SUM)| | |кВт·ч|100|", none},
        {0x40, 0x1234, 0x3201, 0x04, kRussian, "кВт·ч (T1 на 00:00)||70196,50|кВт·ч|100|", 70196.5},
        {0x40, 0xFFFF, 0xFFFF, 0x04, kBritish, "кВт·ч (T1 на 00:00)||нет данных|кВт·ч|100|", none},
        {0x44, 0x0507, 0x0A00, 0x04, kBritish, "кВт·ч (получасовка #7)||5.10|кВт·ч|100|", 5.1},
        {0x45, 0x0010, 0x0101, 0x04, kBritish, "ER+ квар·ч (на 00:00)||65552.01|квар·ч|100|", 65552.01},
        {0x46, 0x0002, 0x6300, 0x04, kRussian, "ER- квар·ч (на 00:00)||2,99|квар·ч|100|", 2.99},
        {0x48, 0x5678, 0x0012, 0x04, kBritish, "Серийный номер||01201784||100|", none},
        {0x49, 0x00AB, 0x1234, 0x04, kBritish, "Статус||00AB/1234||100|", none},
        {0xDA, 0x1502, 0x0000, 0x04, kBritish, "Выполнено|0x02|0x15||100|", none},
        {0xE1, 0x1005, 0x0000, 0x04, kBritish, "Старт|# 5|||100|", none},
        {0x27, 0x0001, 0xBEEF, 0x04, kBritish, "27h|0001h|BEEFh||100|", none},
        {0x05, 0x0001, 0xBEEF, 0x04, kBritish, "05h| | ||100|", none},
    };
    for (const Case& c : cases) {
        const std::string trace = c.texts;
        SCOPED_TRACE(trace);
        ReadingBuilder builder(c.locale);
        Reading r;
        ASSERT_TRUE(builder.Build(Packet(c.type, c.a, c.b, c.level), meterdata::RecordSource::Buffer, "ТП-17",
                                  "2FFF", r));
        EXPECT_EQ(QStringList({r.Family, r.Current, r.Snapshot, r.Unit, QString::number(r.Level), r.Phase})
                      .join('|'),
                  QString::fromUtf8(c.texts));
        EXPECT_EQ(r.Value.has_value(), !std::isnan(c.value));
        if (r.Value && !std::isnan(c.value)) {
            EXPECT_DOUBLE_EQ(*r.Value, c.value);
        }
        // The record's local time in Moscow, UTC+3.
        EXPECT_EQ(TimeText(r.Time).toStdString(), "2024-03-15T09:00:00.250Z");
    }
}

// Any translation at all: every text it is asked for comes back marked.
class MarkingTranslator : public QTranslator {
  public:
    bool isEmpty() const override { return false; }
    QString translate(const char*, const char* source, const char*, int) const override {
        return QStringLiteral("[en] ") + QString::fromUtf8(source);
    }
};

TEST(Reading, LabelsStayRussianInTheReadingsUnderAnotherLanguage) {
    MarkingTranslator translator;
    ASSERT_TRUE(QCoreApplication::installTranslator(&translator));
    struct Case {
        std::uint8_t type;
        std::uint16_t a, b;
        const char* family;
        const char* snapshot;
    };
    const Case cases[] = {
        {0x02, 9998, 0xBB2D, "кВт·ч (S-T3)", " "},
        {0x40, 0xFFFF, 0xFFFF, "кВт·ч (T1 на 00:00)", "нет данных"},
        {0x44, 0x0507, 0x0A00, "кВт·ч (получасовка #7)", "5.10"},
        {0x48, 0x5678, 0x0012, "Серийный номер", "01201784"},
        {0xDA, 0x1502, 0x0000, "Выполнено", "0x15"},
        {0x81, 1234, 0x8705, "Хол.вода-B, куб.м", "123.4"},
    };
    ReadingBuilder builder(kBritish);
    class Clock : public meterdata::IClock {
        QDateTime Now() const override { return {}; }
    } clock;
    const meterdata::RecordTextFormatter shown(clock, kBritish);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.family);
        Reading r;
        ASSERT_TRUE(builder.Build(Packet(c.type, c.a, c.b, 0x04), meterdata::RecordSource::Buffer, "ТП-17",
                                  "2FFF", r));
        EXPECT_EQ(r.Family, QString::fromUtf8(c.family));
        EXPECT_EQ(r.Snapshot, QString::fromUtf8(c.snapshot));
        // The table the user reads has the same label in the program's language.
        QStringList texts;
        shown.ValueTexts(Packet(c.type, c.a, c.b, 0x04), texts);
        EXPECT_EQ(texts.value(1), QStringLiteral("[en] ") + QString::fromUtf8(c.family));
    }
    QCoreApplication::removeTranslator(&translator);
}

TEST(Reading, JsonObjectAsPublished) {
    ReadingBuilder builder(kRussian);
    Reading r;
    ASSERT_TRUE(builder.Build(Packet(0x81, 1234, 0x8705, 0x23), meterdata::RecordSource::Live, "ТП \"Север\"",
                              UartIdText(0x2fff), r));
    EXPECT_EQ(QJsonDocument(ReadingToJson(r)).toJson(QJsonDocument::Compact).toStdString(),
              "{\"current_text\":\"123,9\",\"family\":\"Хол.вода-B, куб.м\",\"level\":75,\"meter\":12,"
              "\"phase\":\"A\",\"site\":\"ТП \\\"Север\\\"\",\"snapshot_text\":\"123,4\",\"source\":\"live\","
              "\"time\":\"2024-03-15T09:00:00.250Z\",\"type\":129,\"uart_id\":\"2FFF\",\"unit\":\"куб.м\","
              "\"value\":123.9,\"word_a\":1234,\"word_b\":34565}");
    meterdata::MeterRecord record = Packet(0x48, 0x5678, 0x0012, 0x04);
    ASSERT_TRUE(builder.Build(record, meterdata::RecordSource::Buffer, "", "", r));
    EXPECT_TRUE(ReadingToJson(r).value("value").isNull());
    record.Valid = 0;  // no packet: the " ####" filler of an empty slot
    record.EmptyMark = 1;
    EXPECT_FALSE(builder.Build(record, meterdata::RecordSource::Buffer, "", "", r));
}

}  // namespace
}  // namespace lumvaris::sinks
