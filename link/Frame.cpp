#include "Frame.h"

namespace lumvaris::link {
namespace {

constexpr std::uint32_t kCrc24Init = 0xB704CE;
constexpr std::uint32_t kCrc24Poly = 0x1864CFB;

// The bitwise algorithm, folded into a byte table: entry b is the register change that eight
// shifts make when b has been XORed into the top byte.
constexpr std::array<std::uint32_t, 256> MakeCrc24Table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t b = 0; b < 256; ++b) {
        std::uint32_t reg = b << 16;
        for (int bit = 0; bit < 8; ++bit) {
            reg <<= 1;
            if (reg & 0x1000000) {
                reg ^= kCrc24Poly;
            }
        }
        table[b] = reg & 0xFFFFFF;
    }
    return table;
}

constexpr auto kCrc24Table = MakeCrc24Table();

}  // namespace

void FillHeader(FrameBuffer& frame, std::uint32_t source, std::uint32_t destination, std::uint8_t length,
                std::uint8_t type) {
    WriteWord(&frame[kOffsetSource], source);
    WriteWord(&frame[kOffsetDestination], destination);
    frame[kOffsetLength] = length;
    frame[kOffsetPayload] = type;
}

std::uint32_t Crc24(const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t reg = kCrc24Init;
    for (std::size_t i = 0; i < count; ++i) {
        reg = ((reg << 8) & 0xFFFFFF) ^ kCrc24Table[((reg >> 16) ^ bytes[i]) & 0xFF];
    }
    return reg;
}

void StoreHeaderCrc(std::uint8_t* frame) {
    const std::uint32_t crc = Crc24(frame + kOffsetSource, 5);
    frame[0] = static_cast<std::uint8_t>(crc);
    frame[1] = static_cast<std::uint8_t>(crc >> 8);
    frame[2] = static_cast<std::uint8_t>(crc >> 16);
}

bool CheckHeaderCrc(const std::uint8_t* frame) {
    const std::uint32_t crc = Crc24(frame + kOffsetSource, 5);
    return frame[0] == static_cast<std::uint8_t>(crc) && frame[1] == static_cast<std::uint8_t>(crc >> 8) &&
           frame[2] == static_cast<std::uint8_t>(crc >> 16);
}

std::uint8_t PayloadChecksum(const std::uint8_t* payload, std::size_t count) {
    std::uint8_t sum = 0xFF;
    for (std::size_t i = 0; i < count; ++i) {
        sum = static_cast<std::uint8_t>(sum + payload[i]);
    }
    return sum;
}

std::size_t CompleteFrame(FrameBuffer& frame) {
    const std::uint8_t n = PayloadLength(frame);
    frame[kOffsetPayload + n] = PayloadChecksum(Payload(frame), n);
    StoreHeaderCrc(frame);
    return FrameLength(frame);
}

}  // namespace lumvaris::link
