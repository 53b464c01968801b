#include <gtest/gtest.h>

#include <random>

#include "link/Frame.h"
#include "support/FakeSerialPort.h"

namespace lumvaris::link {
namespace {

using testing::Hex;
using testing::ToHex;

// The CRC exactly as the link defines it, bit by bit, to check the table-driven one against.
std::uint32_t BitwiseCrc24(const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t reg = 0xB704CE;
    for (std::size_t i = 0; i < count; ++i) {
        reg ^= static_cast<std::uint32_t>(bytes[i]) << 16;
        for (int bit = 0; bit < 8; ++bit) {
            reg <<= 1;
            if (reg & 0x1000000) {
                reg ^= 0x1864CFB;
            }
        }
    }
    return reg & 0xFFFFFF;
}

std::vector<std::uint8_t> Bytes(const FrameBuffer& f) {
    return {f.begin(), f.begin() + static_cast<std::ptrdiff_t>(FrameLength(f))};
}

TEST(FrameTest, WorkedExampleClockRead) {
    FrameBuffer f{};
    FillHeader(f, 0xFFFF, 0x2FFF, 1, 0x81);
    EXPECT_EQ(CompleteFrame(f), 10u);
    EXPECT_EQ(ToHex(Bytes(f)), "63 E0 A7 FF FF FF 2F 01 81 80");
    EXPECT_TRUE(CheckHeaderCrc(f));
}

TEST(FrameTest, Crc24CheckValueAndAgreementWithBitwiseDefinition) {
    const std::string text = "123456789";
    EXPECT_EQ(Crc24(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), 0x21CF02u);
    EXPECT_EQ(Crc24(nullptr, 0), 0xB704CEu);

    std::mt19937 rng(7);
    for (int round = 0; round < 500; ++round) {
        std::vector<std::uint8_t> data(rng() % 40);
        for (auto& b : data) {
            b = static_cast<std::uint8_t>(rng());
        }
        ASSERT_EQ(Crc24(data.data(), data.size()), BitwiseCrc24(data.data(), data.size()));
    }
}

TEST(FrameTest, HeaderCrcCoversOnlyAddressesAndLength) {
    FrameBuffer a{}, b{};
    FillHeader(a, 0xFFFF, 0x2001, 3, 0x82);
    FillHeader(b, 0xFFFF, 0x2001, 3, 0x85);
    b[9] = 0x55;
    CompleteFrame(a);
    CompleteFrame(b);
    EXPECT_EQ(a[0], b[0]);
    EXPECT_EQ(a[1], b[1]);
    EXPECT_EQ(a[2], b[2]);
    EXPECT_NE(a[kOffsetPayload + 3], b[kOffsetPayload + 3]);  // the checksums differ

    // The CRC bytes stored high byte first do not pass.
    std::swap(a[0], a[2]);
    EXPECT_FALSE(CheckHeaderCrc(a));
    // Any change of a covered byte breaks the header.
    CompleteFrame(b);
    b[kOffsetDestination] ^= 0x01;
    EXPECT_FALSE(CheckHeaderCrc(b));
}

TEST(FrameTest, LengthLimitsAndChecksums) {
    FrameBuffer f{};
    FillHeader(f, 0xFFFF, 0x2FFF, 255, 0x7E);
    for (std::size_t i = 1; i < 255; ++i) {
        f[kOffsetPayload + i] = static_cast<std::uint8_t>(i);
    }
    EXPECT_EQ(CompleteFrame(f), 264u);
    EXPECT_EQ(f[263], PayloadChecksum(Payload(f), 255));

    FrameBuffer empty{};
    FillHeader(empty, 0xFFFF, 0x2FFF, 0, 0);
    EXPECT_EQ(CompleteFrame(empty), 9u);
    EXPECT_EQ(empty[8], 0xFF);

    const std::uint8_t p81[] = {0x81}, p01[] = {0x01}, pmix[] = {0x80, 0x80, 0x01};
    EXPECT_EQ(PayloadChecksum(p81, 1), 0x80);
    EXPECT_EQ(PayloadChecksum(p01, 1), 0x00);
    EXPECT_EQ(PayloadChecksum(pmix, 3), 0x00);  // 255 + 257 wraps twice
}

TEST(FrameTest, FillHeaderKeepsLow16BitsAndLeavesTheRest) {
    FrameBuffer f{};
    f.fill(0xAA);
    FillHeader(f, 0xFFFF, 0x12FFF, 1, 0x81);
    EXPECT_EQ(DestinationAddress(f), 0x2FFF);
    EXPECT_EQ(SourceAddress(f), 0xFFFF);
    EXPECT_EQ(f[0], 0xAA);  // CRC not written yet
    EXPECT_EQ(f[9], 0xAA);  // other payload bytes untouched
}

TEST(FrameTest, MeterSourceRange) {
    EXPECT_FALSE(IsMeterSource(0x1000));
    EXPECT_TRUE(IsMeterSource(0x1001));
    EXPECT_TRUE(IsMeterSource(0x1FFE));
    EXPECT_FALSE(IsMeterSource(0x1FFF));
    EXPECT_FALSE(IsMeterSource(0x2FFF));
}

}  // namespace
}  // namespace lumvaris::link
