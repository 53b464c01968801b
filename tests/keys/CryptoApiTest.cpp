#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "keys/CryptoAPI.h"

namespace lumvaris::keys {
namespace {

TEST(CryptoApi, EveryByteValueRoundTrips) {
    std::array<std::uint8_t, 256> all{};
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<std::uint8_t>(i);
    }
    const std::string text = BytesToHex(all.data(), all.size());
    ASSERT_EQ(text.size(), 512u);
    EXPECT_EQ(text.substr(0, 8), "00010203");
    EXPECT_EQ(text.substr(2 * 0x9E, 8), "9E9FA0A1");
    EXPECT_EQ(text.substr(504), "FCFDFEFF");

    std::array<std::uint8_t, 256> back{};
    ASSERT_EQ(HexToBytes(text, back.data(), back.size()), 256u);
    EXPECT_EQ(back, all);

    std::string lower = text;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    back.fill(0);
    ASSERT_EQ(HexToBytes(lower, back.data(), back.size()), 256u);
    EXPECT_EQ(back, all);

    for (int i = 0; i < 256; ++i) {
        const std::string pair = text.substr(2 * i, 2);
        EXPECT_EQ(HexToInt(pair), i) << pair;
        EXPECT_EQ(HexToInt(lower.substr(2 * i, 2)), i) << pair;
    }
}

TEST(CryptoApi, BytesToHexSeparators) {
    const std::uint8_t bytes[] = {0x00, 0x0A, 0xFF};
    EXPECT_EQ(BytesToHex(bytes, 3), "000AFF");
    EXPECT_EQ(BytesToHex(bytes, 3, "-"), "00-0A-FF");
    EXPECT_EQ(BytesToHex(bytes, 3, ", "), "00, 0A, FF");
    EXPECT_EQ(BytesToHex(bytes, 1, "-"), "00");
    EXPECT_EQ(BytesToHex(bytes, 0, "-"), "");
    EXPECT_EQ(BytesToHex(nullptr, 5, "-"), "");
}

TEST(CryptoApi, HexToIntIsLenient) {
    const struct {
        std::string text;
        std::int64_t value;
    } cases[] = {
        {"", 0},
        {"0", 0},
        {"7f", 0x7F},
        {"aBcD", 0xABCD},
        {"1G", 0x10},  // junk counts as the digit 0
        {" 1", 0x01},  // so do spaces
        {"1 ", 0x10},
        {"\xC0\xC1", 0},  // Cyrillic letters in code page 1251
        {"7FFFFFFFFFFFFFFF", INT64_MAX},
        {"FFFFFFFFFFFFFFFF", -1},
        {"8000000000000000", INT64_MIN},
        {"123456789ABCDEF01", 0x23456789ABCDEF01},  // the 17th digit pushes the first out
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HexToInt(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(CryptoApi, HexToBytesEdgeInputs) {
    const struct {
        std::string text;
        std::size_t capacity;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"", 8, {}},
        {"   ", 8, {}},
        {"A", 8, {0xA0}},  // odd: a 0 digit is appended
        {"abc", 8, {0xAB, 0xC0}},
        {"a b c", 8, {0xAB, 0xC0}},  // spaces are dropped before pairing
        {" 12 34 ", 8, {0x12, 0x34}},
        {"1 2 3 4", 8, {0x12, 0x34}},
        {"zz12", 8, {0x00, 0x12}},  // junk counts as 0 digits
        {"1z", 8, {0x10}},
        {"\xC0"
         "1",
         8,
         {0x01}},                     // one code page 1251 character is one digit
        {"\t1", 8, {0x01}},           // only the space character is dropped
        {"112233", 2, {0x11, 0x22}},  // capacity limits the count
        {"112", 1, {0x11}},
        {"11", 0, {}},
    };
    for (const auto& c : cases) {
        std::array<std::uint8_t, 10> buffer;
        buffer.fill(0xEE);
        const std::size_t written = HexToBytes(c.text, buffer.data(), c.capacity);
        ASSERT_EQ(written, c.bytes.size()) << '"' << c.text << '"';
        EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), buffer.begin())) << '"' << c.text << '"';
        for (std::size_t i = written; i < buffer.size(); ++i) {
            EXPECT_EQ(buffer[i], 0xEE) << '"' << c.text << "\" wrote past its bytes at " << i;
        }
    }
    EXPECT_EQ(HexToBytes("1234", nullptr, 4), 0u);
}

}  // namespace
}  // namespace lumvaris::keys
