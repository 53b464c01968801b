#include "meterdata/ValueCode.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>

namespace lumvaris::meterdata {
namespace {

// The check byte of each value bit, written out.
constexpr std::array<std::uint8_t, 8> kBasis = {0xD4, 0xA9, 0x53, 0xA6, 0x4D, 0x9A, 0x35, 0x6A};

std::uint16_t CodeWord(unsigned v) {
    unsigned check = 0;
    for (int i = 0; i < 8; ++i) {
        if (v & (1u << i))
            check ^= kBasis[i];
    }
    return std::uint16_t(v | (check << 8));
}

TEST(ValueCode, CheckBytesFollowTheRotatedBasis) {
    for (unsigned v = 0; v < 256; ++v) {
        ASSERT_EQ(ValueCode::Encode(std::uint8_t(v)), CodeWord(v)) << v;
    }
    EXPECT_EQ(ValueCode::CheckByte(0), 0x00);
    EXPECT_EQ(ValueCode::CheckByte(1), 0xD4);
    EXPECT_EQ(ValueCode::CheckByte(3), 0x7D);
    EXPECT_EQ(ValueCode::CheckByte(255), 0x00);
}

TEST(ValueCode, DecodesTheKnownWords) {
    const std::pair<std::uint16_t, std::uint16_t> cases[] = {
        {0x0000, 0},
        {0xD401, 1},
        {0x5400, 1},
        {0x00FF, 255},
        {0xFC64, 100},
        {0x8705, 5},
        {0xBB2D, 45},
        {0x0007, ValueCode::kInvalid},
        {0xFFFF, ValueCode::kInvalid},
    };
    for (auto [word, value] : cases) {
        EXPECT_EQ(ValueCode::Decode(word), value) << std::hex << word;
    }
    EXPECT_FALSE(ValueCode::IsValid(ValueCode::Decode(0x0007)));
    EXPECT_TRUE(ValueCode::IsValid(ValueCode::Decode(0x00FF)));
}

TEST(ValueCode, CodeWordsAreAtLeastFiveBitsApart) {
    int least = 16;
    for (unsigned a = 0; a < 256; ++a) {
        for (unsigned b = a + 1; b < 256; ++b) {
            least = std::min(least, std::popcount(unsigned(CodeWord(a) ^ CodeWord(b))));
        }
    }
    EXPECT_GE(least, 5);
}

// Every word decodes to the value whose code word lies within 2 bits, or is invalid when there
// is none; so each value has exactly 1 + 16 + 120 = 137 decodable words.
TEST(ValueCode, EveryWordDecodesToItsNearestCodeWordWithinTwoBits) {
    std::array<int, 256> perValue{};
    for (unsigned w = 0; w < 65536; ++w) {
        int expected = ValueCode::kInvalid;
        for (unsigned v = 0; v < 256; ++v) {
            if (std::popcount(w ^ CodeWord(v)) <= 2) {
                expected = int(v);
                break;
            }
        }
        const std::uint16_t got = ValueCode::Decode(std::uint16_t(w));
        ASSERT_EQ(got, expected) << std::hex << w;
        if (ValueCode::IsValid(got))
            ++perValue[got];
    }
    for (unsigned v = 0; v < 256; ++v) {
        EXPECT_EQ(perValue[v], 137) << v;
    }
}

}  // namespace
}  // namespace lumvaris::meterdata
