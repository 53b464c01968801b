// PLC commands on bytes: the short command from its five fields and the presets, the long command
// from its text (held against a literal reading of the splitting rule on random texts), its header
// and blocks, the control byte and the clipboard lines.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "CommandsTestSupport.h"
#include "commands/PlcCommands.h"

namespace lumvaris::commands {
namespace {

using test::Link;

// "to 1FFF: D8 FF 1F 05 02"
std::string Framed(const CommandSender& sender, const Request& request) {
    const link::FrameBuffer f = sender.Frame(request);
    const std::vector<std::uint8_t> payload(link::Payload(f), link::Payload(f) + link::PayloadLength(f));
    return QString::asprintf("to %04X: ", link::DestinationAddress(f)).toStdString() +
           testing::ToHex(payload);
}

TEST(ShortPlcCommandTest, FieldsAndPresets) {
    const struct {
        const char* what;
        const char* fields[5];
        const char* payload;
    } cases[] = {
        {"a preset's fields", {"DC", "FF", "1F", "02", "44"}, "0C DC FF 1F 02 44"},
        {"lower case, one digit", {"db", "f", "1", "a", "0"}, "0C DB 0F 01 0A 00"},
        {"low 8 bits of longer fields, junk adds 0",
         {"123", "1g", "", "zz", "ABCDEF12"},
         "0C 23 10 00 00 12"},
    };
    Link link;
    for (const auto& c : cases) {
        const ShortPlcCommand command = ShortPlcCommandOfFields(
            QString::fromUtf8(c.fields[0]), QString::fromUtf8(c.fields[1]), QString::fromUtf8(c.fields[2]),
            QString::fromUtf8(c.fields[3]), QString::fromUtf8(c.fields[4]));
        EXPECT_EQ(Framed(link.sender, request::PlcCommandQueue(command)),
                  std::string("to 2FFF: ") + c.payload)
            << c.what;
    }

    const struct {
        int index;
        const char* text;
        const char* preset;  // TYPE SSSS-low SSSS-high DDDD-low DDDD-high
    } presets[] = {
        {0, "Энергия активная, 'точный срез'          = 00/00", "DB FF 1F 00 00"},
        {10, "Получасовки                              = 02/44", "DC FF 1F 02 44"},
        {15, "Энергия активная,               на 00:00 = 02/4F", "DC FF 1F 02 4F"},
        {17, "Вернуться в режим \"по умолчанию\"         = 02/FF", "DC FF 1F 02 FF"},
        {3, "x/", "DC FF 1F x "},
        {4, "no slash", "DC FF 1F  "},
    };
    for (const auto& p : presets) {
        const auto preset = PresetOfItem(p.index, QString::fromUtf8(p.text));
        ASSERT_TRUE(preset) << p.text;
        const QString joined =
            QStringList{preset->type, preset->ssssLow, preset->ssssHigh, preset->ddddLow, preset->ddddHigh}
                .join(QLatin1Char(' '));
        EXPECT_EQ(joined.toStdString(), p.preset) << p.text;
    }
    EXPECT_FALSE(PresetOfItem(-1, QString()));
}

TEST(LongCommandTest, TextsHeadersBlocksAndTheControlByte) {
    const struct {
        const char* what;
        const char* text;
        bool broadcast;
        int meter;
        int type;
        std::vector<std::string> frames;
        std::uint8_t controlByte;
    } cases[] = {
        {"three bytes to all meters",
         "01 02 03",
         true,
         7,
         5,
         {"to 1FFF: D8 FF 1F 05 02", "to 1FFF: D9 01 02 03 00", "to 1FFF: D9 01 93 61 67"},
         0xB1},
        {"the same typed without spaces", "010203", true, 7, 5, {}, 0xB1},
        {"the same with spaces anywhere", " 0 10 2  03 ", true, 7, 5, {}, 0xB1},
        {"an odd length keeps the last three characters: AB DE",
         "ABCDE",
         false,
         5,
         0x105,
         {"to 1005: D8 05 10 05 02", "to 1005: D9 AB DE 00 00"},
         0},
        {"one character is one byte",
         "7",
         false,
         4095,
         -1,
         {"to 1FFF: D8 FF 1F FF 02", "to 1FFF: D9 07 00 00 00"},
         0},
        {"four bytes: no fill, fill count 0, an 8-byte body",
         "11223344",
         false,
         1,
         0,
         {"to 1001: D8 01 10 00 02", "to 1001: D9 11 22 33 44", "to 1001: D9 00"},
         0},
    };
    Link link;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::uint8_t> bytes = LongCommandBytes(QString::fromUtf8(c.text));
        ASSERT_TRUE(LongCommandRefusal(bytes.size()).isEmpty());
        const LongCommand command =
            BuildLongCommand(bytes, LongCommandDestination(c.broadcast, c.meter), c.type);
        std::vector<std::string> frames;
        for (const Request& r : command.requests) {
            frames.push_back(Framed(link.sender, r));
        }
        // Each listed frame is the start of the one written (the CRC bytes are checked once above).
        ASSERT_GE(frames.size(), c.frames.size());
        for (std::size_t i = 0; i < c.frames.size(); ++i) {
            EXPECT_EQ(frames[i].substr(0, c.frames[i].size()), c.frames[i]) << i;
        }
        if (c.controlByte != 0) {
            EXPECT_EQ(command.controlByte, c.controlByte);
            EXPECT_EQ(ControlByteText(command.controlByte).toStdString(), "B1h");
        }
    }
    const LongCommand four = BuildLongCommand(LongCommandBytes(QStringLiteral("11223344")), 0x1001, 0);
    EXPECT_EQ(four.requests.size(), 3u) << "header and two blocks";
}

TEST(LongCommandTest, TheClipboardLineRunsFromTheSourceAddressToTheLastPayloadByte) {
    Link link;
    const LongCommand command = BuildLongCommand({0x01, 0x02, 0x03}, 0x1FFF, 5);
    QString text;
    for (const Request& r : command.requests) {
        text += LongCommandClipboardLine(link.sender.Frame(r));
    }
    EXPECT_EQ(text.toStdString(),
              "TYPE=COMMAND; NOANSWER=YES; RUN=FFFFFF1F05D8FF1F0502\r\n"
              "TYPE=COMMAND; NOANSWER=YES; RUN=FFFFFF1F05D901020300\r\n"
              "TYPE=COMMAND; NOANSWER=YES; RUN=FFFFFF1F05D901936167\r\n");
}

TEST(LongCommandTest, AtMost255BlocksAndNothingForAnEmptyText) {
    EXPECT_TRUE(LongCommandBytes(QString()).empty());
    EXPECT_TRUE(LongCommandBytes(QStringLiteral("   ")).empty());
    EXPECT_FALSE(LongCommandRefusal(0).isEmpty());
    EXPECT_TRUE(LongCommandRefusal(1).isEmpty());
    EXPECT_TRUE(LongCommandRefusal(1016).isEmpty());
    const QString refusal = LongCommandRefusal(1017);
    EXPECT_TRUE(refusal.contains(QStringLiteral("1016"))) << refusal.toStdString();

    const LongCommand largest = BuildLongCommand(std::vector<std::uint8_t>(1016, 0xAA), 0x1FFF, 0);
    ASSERT_EQ(largest.requests.size(), 256u);
    EXPECT_EQ(largest.requests.front().body[3], 255) << "the block count in P4";
}

// The splitting rule read literally, on a UTF-16 text: delete the spaces; for k = 3, 6, 9, ... while
// k is less than the current length insert a space at position k (from 1); end with a space; then
// take the text before the first space as a hex number (its low 8 bits) and delete it with its
// space, until no space is left.
std::vector<std::uint8_t> LiteralReading(std::u16string s) {
    std::erase(s, u' ');
    for (std::size_t k = 3; k < s.size(); k += 3) {
        s.insert(s.begin() + static_cast<std::ptrdiff_t>(k - 1), u' ');
    }
    if (s.empty() || s.back() != u' ') {
        s.push_back(u' ');
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t space = s.find(u' '); space != std::u16string::npos; space = s.find(u' ')) {
        unsigned value = 0;
        for (std::size_t i = 0; i < space; ++i) {
            const char16_t c = s[i];
            const unsigned digit = c >= u'0' && c <= u'9'   ? c - u'0'
                                   : c >= u'a' && c <= u'f' ? c - u'a' + 10
                                   : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                            : 0;
            value = value * 16 + digit;
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
    std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
    std::uniform_int_distribution<int> length(0, 2100);
    for (int round = 0; round < 600; ++round) {
        // Every short length once, then random lengths up to a little past the largest command.
        const int n = round < 40 ? round : length(random);
        std::u16string text;
        for (int i = 0; i < n; ++i) {
            text.push_back(alphabet[static_cast<std::size_t>(pick(random))]);
        }
        const QString qtext = QString::fromStdU16String(text);
        const std::vector<std::uint8_t> literal = LiteralReading(text);
        std::vector<std::uint8_t> expected = literal;
        if (qtext.count(QLatin1Char(' ')) == qtext.size()) {
            expected.clear();  // nothing but spaces: no command
        }
        ASSERT_EQ(LongCommandBytes(qtext), expected)
            << "text of " << n << " characters: " << qtext.toStdString();
    }
}

}  // namespace
}  // namespace lumvaris::commands
