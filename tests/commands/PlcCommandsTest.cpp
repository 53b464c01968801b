// PLC commands on bytes: the short command from its fields and the presets, the long command from
// its text (held against a literal reading of the splitting rule on random texts), its frames, the
// control byte and the block limit.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "CommandsTestSupport.h"
#include "commands/PlcCommands.h"

namespace lumvaris::commands {
namespace {

// "to 1FFF: D8 FF 1F 05 02"
std::string Framed(const Request& request) {
    test::Link link;
    const link::FrameBuffer f = link.sender.Frame(request);
    return QString::asprintf("to %04X: ", link::DestinationAddress(f)).toStdString() +
           testing::ToHex({link::Payload(f), link::Payload(f) + link::PayloadLength(f)});
}

TEST(ShortPlcCommandTest, FieldsAndPresets) {
    const struct {
        QStringList fields;
        const char* frame;
    } cases[] = {
        {{"DC", "FF", "1F", "02", "44"}, "to 2FFF: 0C DC FF 1F 02 44"},
        {{"db", "f", "1", "a", ""}, "to 2FFF: 0C DB 0F 01 0A 00"},
        {{"123", "1g", "zz", "x7", "ABCDEF12"}, "to 2FFF: 0C 23 10 00 07 12"},  // low bytes, junk is 0
    };
    for (const auto& c : cases) {
        const QStringList& f = c.fields;
        EXPECT_EQ(Framed(request::PlcCommandQueue(ShortPlcCommandOfFields(f[0], f[1], f[2], f[3], f[4]))),
                  c.frame);
    }
    const struct {
        int index;
        const char* text;
        const char* fields;
    } presets[] = {
        {0, "Энергия активная, 'точный срез'          = 00/00", "DB FF 1F 00 00"},
        {10, "Получасовки                              = 02/44", "DC FF 1F 02 44"},
        {15, "Энергия активная,               на 00:00 = 02/4F", "DC FF 1F 02 4F"},
        {4, "no slash", "DC FF 1F  "},
    };
    for (const auto& p : presets) {
        const auto s = PresetOfItem(p.index, QString::fromUtf8(p.text));
        ASSERT_TRUE(s);
        EXPECT_EQ(
            QStringList({s->type, s->ssssLow, s->ssssHigh, s->ddddLow, s->ddddHigh}).join(' ').toStdString(),
            p.fields);
    }
    EXPECT_FALSE(PresetOfItem(-1, QString()));
}

TEST(LongCommandTest, FramesAndControlByteOfATypedText) {
    const struct {
        const char* text;
        bool broadcast;
        int meter;
        int type;
        std::vector<std::string> frames;  // each the start of the frame built
        int controlByte;                  // -1: not checked
    } cases[] = {
        {"01 02 03",
         true,
         7,
         5,
         {"to 1FFF: D8 FF 1F 05 02", "to 1FFF: D9 01 02 03 00", "to 1FFF: D9 01 93 61 67"},
         0xB1},
        {" 0 10 2  03",
         true,
         7,
         5,
         {"to 1FFF: D8 FF 1F 05 02", "to 1FFF: D9 01 02 03 00", "to 1FFF: D9 01 93 61 67"},
         0xB1},
        // The odd last group CDE keeps its low byte; the type its low 8 bits.
        {"ABCDE",
         false,
         5,
         0x105,
         {"to 1005: D8 05 10 05 02", "to 1005: D9 AB DE 00 00", "to 1005: D9 02"},
         -1},
        {"7", false, 4095, -1, {"to 1FFF: D8 FF 1F FF 02", "to 1FFF: D9 07 00 00 00", "to 1FFF: D9 03"}, -1},
        // Four bytes: no fill, fill count 0, an 8-byte body.
        {"11223344",
         false,
         1,
         0,
         {"to 1001: D8 01 10 00 02", "to 1001: D9 11 22 33 44", "to 1001: D9 00"},
         -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const LongCommand command = BuildLongCommand(LongCommandBytes(QString::fromUtf8(c.text)),
                                                     LongCommandDestination(c.broadcast, c.meter), c.type);
        ASSERT_EQ(command.requests.size(), c.frames.size());
        for (std::size_t i = 0; i < c.frames.size(); ++i) {
            EXPECT_EQ(Framed(command.requests[i]).substr(0, c.frames[i].size()), c.frames[i]);
        }
        if (c.controlByte >= 0) {
            EXPECT_EQ(ControlByteText(command.controlByte).toStdString(), "B1h");
        }
    }
}

TEST(LongCommandTest, ATextWithACharacterThatIsNeitherHexNorASpaceIsRefusedNamingIt) {
    const struct {
        const char* text;
        const char* named;  // empty: the text may go
    } cases[] = {
        {"01 02 0a FF", ""},
        {"  ABCDE ", ""},
        {"GHIJ😀 zz", "символ «G» (позиция 1)"},
        {"01,02,03", "символ «,» (позиция 3)"},
        {"AB😀CD", "символ «😀» (позиция 3)"},
        {"AB\tCD", "символ с кодом U+0009 (позиция 3)"},
        {"0102\n", "символ с кодом U+000A (позиция 5)"},
    };
    for (const auto& c : cases) {
        const QString refusal = LongCommandTextRefusal(QString::fromUtf8(c.text));
        if (*c.named == 0) {
            EXPECT_TRUE(refusal.isEmpty()) << c.text;
        } else {
            EXPECT_TRUE(refusal.startsWith(QStringLiteral("Команда содержит ") + QString::fromUtf8(c.named) +
                                           QStringLiteral(", который не является шестнадцатеричной цифрой")))
                << refusal.toStdString();
        }
    }
}

TEST(LongCommandTest, AtMost255BlocksAndNothingForAnEmptyText) {
    EXPECT_TRUE(LongCommandBytes(QStringLiteral("   ")).empty());
    EXPECT_FALSE(LongCommandRefusal(0).isEmpty());
    EXPECT_TRUE(LongCommandRefusal(1016).isEmpty());
    EXPECT_TRUE(LongCommandRefusal(1017).contains(QStringLiteral("1016")));
    const LongCommand largest = BuildLongCommand(std::vector<std::uint8_t>(1016, 0xAA), 0x1FFF, 0);
    ASSERT_EQ(largest.requests.size(), 256u);
    EXPECT_EQ(largest.requests.front().body[3], 255) << "the block count in P4";
}

// The splitting rule read literally: delete the spaces; for k = 3, 6, 9, ... while k is less than
// the current length insert a space at position k (from 1); end with a space; then take the text
// before the first space as a hex number (its low 8 bits) and delete it with its space, until no
// space is left.
std::vector<std::uint8_t> LiteralReading(std::u16string s) {
    std::erase(s, u' ');
    for (std::size_t k = 3; k < s.size(); k += 3) {
        s.insert(k - 1, 1, u' ');
    }
    if (s.empty() || s.back() != u' ') {
        s.push_back(u' ');
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t space = s.find(u' '); space != std::u16string::npos; space = s.find(u' ')) {
        unsigned value = 0;
        for (const char16_t c : s.substr(0, space)) {
            const std::u16string digits = u"0123456789ABCDEF";
            const std::size_t d = digits.find(c >= u'a' && c <= u'f' ? c - u'a' + u'A' : c);
            value = value * 16 + (d == std::u16string::npos ? 0 : static_cast<unsigned>(d));
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
        s.erase(0, space + 1);
    }
    return bytes;
}

TEST(LongCommandTest, TheParseMatchesALiteralReadingOfTheSplittingRuleOnRandomTexts) {
    // Hex digits most of the time, spaces often, and junk the hex field parse reads as 0.
    const std::u16string alphabet = u"0123456789abcdefABCDEF0123456789      gGzZ-,;\tёЖ\u00A0";
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 2100);
    for (int round = 0; round < 600; ++round) {
        const int n = round < 40 ? round : length(random);  // every short length, then up to 2100
        std::u16string text;
        for (int i = 0; i < n; ++i) {
            text.push_back(alphabet[pick(random)]);
        }
        const bool onlySpaces = text.find_first_not_of(u' ') == std::u16string::npos;
        const std::vector<std::uint8_t> expected =
            onlySpaces ? std::vector<std::uint8_t>{} : LiteralReading(text);
        ASSERT_EQ(LongCommandBytes(QString::fromStdU16String(text)), expected) << n << " characters";
    }
}

}  // namespace
}  // namespace lumvaris::commands
