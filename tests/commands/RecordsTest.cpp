// The value types the frames carry, the hex field parse and the code page of texts.
#include <gtest/gtest.h>

#include "commands/HexField.h"
#include "commands/Records.h"
#include "commands/Text1251.h"
#include "support/FakeSerialPort.h"

namespace lumvaris::commands {
namespace {

TEST(HexFieldTest, EveryCharacterShiftsAndOnlyHexDigitsAdd) {
    const struct {
        const char* text;
        std::uint32_t value;
    } cases[] = {{"", 0},
                 {"0", 0},
                 {"2fff", 0x2FFF},
                 {"2FFF", 0x2FFF},
                 {"aBcD", 0xABCD},
                 {"0x10", 0x010},
                 {"1 2", 0x102},
                 {"Ж1", 0x01},
                 {"FFFFFFFF", 0xFFFFFFFF},
                 {"123456789", 0x23456789}};
    for (const auto& c : cases) {
        EXPECT_EQ(HexFieldParse(QString::fromUtf8(c.text)), c.value) << c.text;
    }
}

TEST(ClockRecordTest, WeekdaysCountFromMondayAndRecordsRoundTrip) {
    // 7 December 2026 is a Monday.
    for (int d = 0; d < 14; ++d) {
        const QDate date = QDate(2026, 12, 7).addDays(d);
        EXPECT_EQ(WeekdayByte(date), d % 7) << date.toString().toStdString();
        const ClockRecord r = ClockRecord::FromDateTime(QDateTime(date, QTime(13, 14, 15)));
        std::uint8_t bytes[7];
        r.Encode(bytes);
        const ClockRecord back = ClockRecord::Decode(bytes);
        ASSERT_TRUE(back.DateTime().has_value());
        EXPECT_EQ(*back.DateTime(), QDateTime(date, QTime(13, 14, 15)));
        EXPECT_EQ(back.weekday, d % 7);
    }
    EXPECT_EQ(WeekdayName(6), QStringLiteral("Воскресенье"));
    EXPECT_EQ(WeekdayName(7), QStringLiteral("???"));
    EXPECT_EQ(WeekdayName(255), QStringLiteral("???"));
    EXPECT_EQ(ClockOffsetText(-90), QStringLiteral("откл. -90 с"));
}

TEST(ClockRecordTest, FieldsThatFormNoDateOrTimeAreRefused) {
    const struct {
        const char* bytes;  // second minute hour weekday day-1 month-1 year
        bool valid;
    } cases[] = {
        {"3A 3B 17 03 1E 0B 63", true},   // 31.12.2099 23:59:58
        {"00 00 00 00 1E 03 1A", false},  // 31 April
        {"00 00 00 00 1C 01 1B", false},  // 29 February 2027
        {"00 00 00 00 1C 01 1C", true},   // 29 February 2028
        {"00 00 18 00 00 00 1A", false},  // hour 24
        {"00 3C 00 00 00 00 1A", false},  // minute 60
        {"3C 00 00 00 00 00 1A", false},  // second 60
        {"00 00 00 00 00 0C 1A", false},  // month 13
        {"FF FF FF FF FF FF FF", false},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> bytes = testing::Hex(c.bytes);
        EXPECT_EQ(ClockRecord::Decode(bytes.data()).DateTime().has_value(), c.valid) << c.bytes;
    }
}

TEST(ConfigurationByteTest, BitsOneSixAndSevenAreIgnoredAndWrittenAsZero) {
    for (int byte = 0; byte < 256; ++byte) {
        const ConfigurationByte c = ConfigurationByte::Decode(static_cast<std::uint8_t>(byte));
        EXPECT_EQ(c.Encode(), byte & 0x3D) << byte;
    }
    const ConfigurationByte c = ConfigurationByte::Decode(0x35);
    EXPECT_EQ(c.portMode, 1);
    EXPECT_EQ(c.operatingMode, 1);
    EXPECT_TRUE(c.winterTime);
    EXPECT_EQ(c.plcStopped, 1);
}

TEST(LineStateTest, LevelsPerPhaseAndTheCorrectionInPercent) {
    std::vector<std::uint8_t> block(LineState::kSize);
    for (int i = 0; i < 51; ++i) {
        block[2 * i] = static_cast<std::uint8_t>(i);
        block[2 * i + 1] = static_cast<std::uint8_t>(i == 50 ? 1 : 0);  // value 50 is 0x0132
    }
    block[2 * 16] = 0x00;
    block[2 * 16 + 1] = 0x01;  // phase 1 correction 256
    block[2 * 33] = 0xFF;      // phase 2 correction 255
    const LineState s = LineState::Decode(block.data());
    EXPECT_EQ(s.Level(0, 0), 0);
    EXPECT_EQ(s.Level(1, 15), 32);
    EXPECT_EQ(s.Level(2, 3), 37);
    EXPECT_EQ(s.CorrectionText(0), QStringLiteral("100%"));
    EXPECT_EQ(s.CorrectionText(1), QStringLiteral("99%"));
    EXPECT_EQ(s.Correction(2), 0x0132);
    EXPECT_EQ(s.CorrectionText(2), QStringLiteral("119%"));
    EXPECT_EQ(LineState::FrequencyText(0), QStringLiteral("20 kHz"));
    EXPECT_EQ(LineState::FrequencyText(15), QStringLiteral("95 kHz"));
}

TEST(LongCommandBodyTest, FillCountAndCrcMakeWholeBlocks) {
    const struct {
        const char* command;
        const char* body;
    } cases[] = {
        {"01 02 03", "01 02 03 00 01 93 61 67"},
        {"AB DE", "AB DE 00 00 02"},  // + CRC, checked by length below
        {"01 02 03 04", "01 02 03 04 00"},
        {"", "00"},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> body = LongCommandBody(testing::Hex(c.command));
        EXPECT_EQ(body.size() % 4, 0u) << c.command;
        EXPECT_EQ(testing::ToHex(body).substr(0, std::string(c.body).size()), c.body) << c.command;
    }
    EXPECT_EQ(LongCommandBody(testing::Hex("01 02 03 04")).size(), 8u);
}

TEST(Text1251Test, TextsThatCodePage1251CannotHoldAreRefused) {
    const std::optional<QByteArray> password = ToCp1251(QStringLiteral("Пароль1"));
    ASSERT_TRUE(password.has_value());
    EXPECT_EQ(testing::ToHex(std::vector<std::uint8_t>(password->begin(), password->end())),
              "CF E0 F0 EE EB FC 31");
    EXPECT_TRUE(ToCp1251(QStringLiteral("€ №")).has_value());
    EXPECT_FALSE(ToCp1251(QStringLiteral("中")).has_value());
    EXPECT_FALSE(ToCp1251(QStringLiteral("a?b中")).has_value());
    EXPECT_TRUE(ToCp1251(QStringLiteral("a?b")).has_value()) << "a real question mark is fine";
    EXPECT_TRUE(ToCp1251(QString()).has_value());
    const std::uint8_t version[] = {0xC2, 0xE5, 0xF0, 0x20, 0x31};
    EXPECT_EQ(FromCp1251(version, 5), QStringLiteral("Вер 1"));
}

TEST(Text1251Test, ATextGoesOnTheLinkWholeOrNotAtAll) {
    const QString subject = QStringLiteral("Новый пароль");
    const struct {
        const char* what;
        QString text;
        int bytes;           // -1: refused
        const char* reason;  // a part of the refusal
    } cases[] = {
        {"empty", QString(), 0, nullptr},
        {"Cyrillic, one byte a character", QStringLiteral("пароль№"), 7, nullptr},
        {"254 characters, the most a request carries", QString(254, QLatin1Char('x')), 254, nullptr},
        {"255 characters", QString(255, QLatin1Char('x')), -1, "255 символов"},
        {"255 Cyrillic characters", QString(255, QChar(0x0416)), -1, "255 символов"},
        {"a character outside the code page, named", QStringLiteral("abc中d"), -1, "символ «中» (U+4E2D)"},
        {"a character outside the plane, named whole", QStringLiteral("a😀"), -1, "символ «😀» (U+1F600)"},
        {"the character comes before the length", QString(300, QLatin1Char('x')) + QStringLiteral("ā"), -1,
         "символ «ā» (U+0101)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const LinkText link = TextForLink(c.text, subject);
        if (c.bytes >= 0) {
            EXPECT_FALSE(link.Refused()) << link.refusal.toStdString();
            EXPECT_EQ(link.bytes.size(), c.bytes);
        } else {
            ASSERT_TRUE(link.Refused());
            EXPECT_TRUE(link.bytes.isEmpty());
            EXPECT_TRUE(link.refusal.startsWith(subject + QStringLiteral(" не отправлен: ")))
                << link.refusal.toStdString();
            EXPECT_TRUE(link.refusal.contains(QString::fromUtf8(c.reason))) << link.refusal.toStdString();
        }
    }
}

}  // namespace
}  // namespace lumvaris::commands
