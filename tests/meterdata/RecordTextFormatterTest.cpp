#include "meterdata/RecordTextFormatter.h"

#include "meterdata/DayTime.h"
#include "meterdata/TMatrixInterface.h"

#include "TestClock.h"

#include <gtest/gtest.h>

namespace lumvaris::meterdata {
namespace {

const QLocale kBritish(QLocale::English, QLocale::UnitedKingdom);  // dd/MM/yyyy, HH:mm:ss, "."
const QLocale kRussian(QLocale::Russian, QLocale::Russia);         // dd.MM.yyyy, HH:mm:ss, ","

const double kStamp = DaysFromDateTime(QDate(2009, 12, 31), QTime(23, 59));

MeterRecord Packet(std::uint8_t type, std::uint16_t a, std::uint16_t b, std::uint16_t meter = 12,
                   std::uint8_t level = 0x04) {
    MeterRecord r;
    r.Meter = meter;
    r.Type = type;
    r.WordA = a;
    r.WordB = b;
    r.Level = level;
    r.Valid = 0xFF;
    r.Time = kStamp;
    return r;
}

class Texts : public testing::Test {
  protected:
    QStringList Of(const MeterRecord& r, double now = kStamp + 2.0) const {
        QStringList texts{"stale"};
        formatter_.RecordToTexts(r, now, texts);
        EXPECT_EQ(texts.size(), 8);
        return texts;
    }
    std::string Join(const QStringList& texts) const { return texts.join(QLatin1Char('|')).toStdString(); }

    test::TestClock clock_;
    RecordTextFormatter formatter_{clock_, kBritish};
};

TEST_F(Texts, EmptyRecordsShowTheirFillerAndTheMeterNumber) {
    struct Case {
        std::uint16_t meter;
        std::uint8_t emptyMark;
        const char* texts;
    };
    const Case cases[] = {
        {7, 0, "7| .....| .....| .....| .....| .....| .....| ....."},
        {0, 0, " .....| .....| .....| .....| .....| .....| .....| ....."},
        {3, 1, "3| ####| ####| ####| ####| ####| ####| ####"},
        {0, 1, " ####| ####| ####| ####| ####| ####| ####| ####"},
        {9, 5, "9| .....| .....| .....| .....| .....| .....| ....."},
    };
    for (const Case& c : cases) {
        MeterRecord r;
        r.Meter = c.meter;
        r.EmptyMark = c.emptyMark;
        r.WordA = 0x1234;  // never shown for an empty record
        EXPECT_EQ(Join(Of(r)), c.texts);
    }
}

TEST_F(Texts, AFamilyWithoutDecoderShowsTheRawRecord) {
    EXPECT_EQ(Join(Of(Packet(0x2A, 0x00AB, 0xFFFF, 1234, 0x23))),
              "1234|2Ah|00ABh|FFFFh|75% (A)|31/12/2009|23:59:00|");
}

TEST_F(Texts, LevelShowsQuartersAndThePhase) {
    const std::pair<std::uint8_t, const char*> cases[] = {
        {0x04, "100%"},    {0x41, "25% (B)"}, {0x10, "0%"}, {0x83, "75% (C)"},
        {0x22, "50% (A)"}, {0x6F, "375%"},    {0xF0, "0%"},
    };
    for (auto [level, text] : cases) {
        EXPECT_EQ(Of(Packet(0x20, 0, 0, 1, level))[4].toStdString(), text) << int(level);
    }
}

TEST_F(Texts, ElapsedTimeIsShownWithinADayAndMarkedWhenFresh) {
    const std::pair<double, const char*> cases[] = {
        {0, "00:00:00 !!!"}, {10, "00:00:10 !!!"}, {14.99, "00:00:14 !!!"},
        {15.01, "00:00:15"}, {3661, "01:01:01"},   {86399, "23:59:59"},
        {86401, ""},         {2 * 86400, ""},      {-1, "???"},
    };
    for (auto [seconds, text] : cases) {
        EXPECT_EQ(Of(Packet(0x20, 0, 0), kStamp + seconds / 86400.0)[7].toStdString(), text) << seconds;
    }
}

TEST_F(Texts, ElapsedTimeComesFromTheClockWhenNoTimeIsGiven) {
    clock_.Set(QDateTime(QDate(2009, 12, 31), QTime(23, 59, 10)));
    QStringList texts;
    formatter_.RecordToTexts(Packet(0x20, 0, 0), texts);
    EXPECT_EQ(texts[7].toStdString(), "00:00:10 !!!");
}

TEST_F(Texts, AStampThatIsNoDateShowsNoDateTimeOrElapsedTime) {
    MeterRecord r = Packet(0x20, 0, 0);
    r.Time = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Join(Of(r)), "12|20h|0000h|0000h|100%|||");
    r.Time = 1e300;
    EXPECT_EQ(Of(r)[7].toStdString(), "???");
}

TEST_F(Texts, DecodersReplaceLabelCurrentAndSnapshot) {
    struct Case {
        std::uint8_t type;
        std::uint16_t a, b;
        const char* texts;  // entries 1..3
    };
    const Case cases[] = {
        // Family 0: energy labelled S, by tariff.
        {0x02, 9998, 0xBB2D, "кВт·ч (S-T3)|0043| "},  // 45 coded
        {0x02, 9998, 0x0007, "кВт·ч (S-T3)| |9998"},  // no decodable increment
        {0x00, 5, 0x0000, "кВт·ч (S-T1)|0005| "},
        {0x03, 65535, 0x0007, "кВт·ч (S-T4)| |65535"},
        {0x0E, 123, 0xBB2D, "кВт·ч (S-SUM)| |0123.45"},
        {0x0E, 123, 0x0007, "кВт·ч (S-SUM)| | "},
        {0x0F, 65535, 0xD401, "кВт·ч (S-SUM)|5536| "},
        {0x05, 1, 2, "05h| | "},
        {0x0D, 1, 2, "0Dh| | "},
        // Family 1: energy by phase.
        {0x19, 12345, 0xFC64, "кВт·ч (B-SUM)| |2346.00"},  // 100 coded
        {0x18, 7, 0x0000, "кВт·ч (A-SUM)| |0007.00"},
        {0x1A, 99, 0x00FF, "кВт·ч (C-SUM)| |0101.55"},
        {0x1E, 1, 0xD401, "кВт·ч (ABC-SUM)| |0001.01"},
        {0x1F, 10, 0xD401, "кВт·ч (ABC-SUM)|0011| "},
        {0x13, 10, 0x0007, "кВт·ч (ABC-T4)| |0010"},
        {0x14, 10, 0x0007, "14h| | "},
        {0x1B, 10, 0x0007, "1Bh| | "},
        // Family 4: values fixed at 00:00.
        {0x40, 0x1234, 0x3201, "кВт·ч (T1 на 00:00)||70196.50"},
        {0x40, 0xFFFF, 0xFFFF, "кВт·ч (T1 на 00:00)||нет данных"},
        {0x43, 0xFFFF, 0xFFFE, "кВт·ч (T4 на 00:00)||16711681.55"},
        {0x44, 0x0A07, 0x1902, "кВт·ч (получасовка #7)||522.25"},
        {0x45, 100, 0x0000, "ER+ квар·ч (на 00:00)||100.00"},
        {0x46, 100, 0x0100, "ER- квар·ч (на 00:00)||100.01"},
        {0x48, 0x5678, 0x0012, "Серийный номер||01201784"},
        {0x48, 0xFFFF, 0xFFFF, "Серийный номер||-00000001"},
        {0x49, 0x00AB, 0xCD01, "Статус||00AB/CD01"},
        {0x4F, 1, 0x6400, "кВт·ч (SUM на 00:00)||2.00"},
        {0x47, 1, 2, "47h||"},
        {0x4C, 1, 2, "4Ch||"},
        // Family 8: water meters.
        {0x81, 1234, 0x8705, "Хол.вода-B, куб.м|123.9|123.4"},  // 5 coded
        {0x80, 1234, 0x0007, "Хол.вода-A, куб.м| |123.4"},
        {0x82, 9999, 0xD401, "Гор.вода-A, куб.м|0.0|999.9"},
        {0x83, 5, 0x0000, "Гор.вода-B, куб.м|0.5|0.5"},
        {0x84, 5, 0x0000, "84h|0005h|0000h"},
        // Family D: command state.
        {0xDA, 0x1502, 0, "Выполнено|0x02|0x15"},
        {0xDA, 0x0000, 0, "Не выполнено|0x00|0x00"},
        {0xDA, 0xFF01, 0, "Выполняется|0x01|0xFF"},
        {0xDA, 0x0003, 0, "Выполнено|0x03|0x00"},
        {0xDB, 0x0003, 0, "DBh|0003h|0000h"},
        // Family E: start.
        {0xE1, 0xF123, 0, "Старт|# 291|"},
        {0xE0, 0xF123, 0, "E0h|F123h|0000h"},
        // No decoder.
        {0x3F, 1, 2, "3Fh|0001h|0002h"},
        {0xFF, 1, 2, "FFh|0001h|0002h"},
    };
    for (const Case& c : cases) {
        const QStringList texts = Of(Packet(c.type, c.a, c.b));
        EXPECT_EQ(Join(texts.mid(1, 3)), c.texts) << std::hex << int(c.type) << " " << c.a << " " << c.b;
        EXPECT_EQ(texts[0].toStdString(), "12");
    }
}

TEST(TextsInRussian, UseTheLocalesDateFormatAndDecimalSeparator) {
    test::TestClock clock;
    RecordTextFormatter formatter(clock, kRussian);
    QStringList texts;
    formatter.RecordToTexts(Packet(0x40, 0x1234, 0x3201), kStamp + 10.0 / 86400, texts);
    EXPECT_EQ(texts.join('|').toStdString(),
              "12|кВт·ч (T1 на 00:00)||70196,50|100%|31.12.2009|23:59:00|00:00:10 !!!");
    formatter.RecordToTexts(Packet(0x0E, 123, 0xBB2D), kStamp, texts);
    EXPECT_EQ(texts[3].toStdString(), "0123,45");
    formatter.RecordToTexts(Packet(0x81, 1234, 0x8705), kStamp, texts);
    EXPECT_EQ(texts[2].toStdString(), "123,9");
}

// The long time format of many locales ends (or starts) with the time-zone name; it is dropped.
TEST(TimeFormat, TimeZoneFieldsAreRemoved) {
    const std::pair<const char*, const char*> formats[] = {
        {"HH:mm:ss t", "HH:mm:ss"},     {"h:mm:ss AP t", "h:mm:ss AP"}, {"t HH:mm:ss", "HH:mm:ss"},
        {"HH:mm:ss tttt", "HH:mm:ss"},  {"HH:mm:ss", "HH:mm:ss"},       {"H 'h' mm 'tt' t", "H 'h' mm 'tt'"},
        {"h:mm:ss t AP", "h:mm:ss AP"}, {"HH'''t'mm t", "HH'''t'mm"},
    };
    for (auto [in, out] : formats) {
        EXPECT_EQ(RecordTextFormatter::StripTimeZone(in).toStdString(), out) << in;
    }
    const std::pair<QLocale, const char*> locales[] = {
        {kRussian, "23:59:00"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "11:59:00 PM"},
        {QLocale(QLocale::Chinese, QLocale::China), "23:59:00"},
        {QLocale(QLocale::German, QLocale::Germany), "23:59:00"},
    };
    test::TestClock clock;
    for (const auto& [locale, time] : locales) {
        RecordTextFormatter formatter(clock, locale);
        QStringList texts;
        formatter.RecordToTexts(Packet(0x20, 0, 0), kStamp, texts);
        EXPECT_EQ(texts[6].toStdString(), time) << locale.name().toStdString();
    }
}

TEST_F(Texts, PositionsOutsideTheStoreReadAsAnEmptyRecordOfMeterZero) {
    TMatrixInterface store{QString()};
    store.SetRowCount(3);
    store.SetColCount(4);
    store.PutMeterRecord(Packet(0x81, 1234, 0x8705, 2), 1, 2);
    MeterRecord empty;
    empty.Meter = 2;
    store.PutMeterRecord(empty, 2, 2);
    const std::string blank = " .....| .....| .....| .....| .....| .....| .....| .....";
    const std::tuple<int, int, std::string> cases[] = {
        {1, 2, "2|Хол.вода-B, куб.м|123.9|123.4|100%|31/12/2009|23:59:00|"},
        {2, 2, "2| .....| .....| .....| .....| .....| .....| ....."},
        {1, -1, blank},
        {4, 2, blank},
        {-1, 2, blank},
        {1, 3, blank},
        {0, 0, blank},
    };
    for (const auto& [slot, row, texts] : cases) {
        QStringList out;
        formatter_.PositionTexts(store, out, slot, row, kStamp + 2);
        EXPECT_EQ(Join(out), texts) << slot << "," << row;
    }
}

}  // namespace
}  // namespace lumvaris::meterdata
