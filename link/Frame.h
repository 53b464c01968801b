#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumvaris::link {

// A link frame: 8 header bytes (CRC-24 over bytes 3..7, source, destination, payload length N),
// N payload bytes whose first is the type code, and one checksum byte. Multi-byte fields are
// little-endian. There is no start byte: a receiver finds frames by the header CRC alone.
inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::size_t kDataAreaSize = 257;  // payload (at most 255) + checksum
inline constexpr std::size_t kFrameBufferSize = kHeaderSize + kDataAreaSize;  // 265
inline constexpr std::size_t kMaxPayload = 255;
inline constexpr std::size_t kMaxFrameSize = kHeaderSize + kMaxPayload + 1;  // 264

inline constexpr std::size_t kOffsetSource = 3;
inline constexpr std::size_t kOffsetDestination = 5;
inline constexpr std::size_t kOffsetLength = 7;
inline constexpr std::size_t kOffsetPayload = 8;

using FrameBuffer = std::array<std::uint8_t, kFrameBufferSize>;

// Address plan.
inline constexpr std::uint16_t kWorkstationAddress = 0xFFFF;
inline constexpr std::uint16_t kDefaultConcentratorAddress = 0x2FFF;
inline constexpr std::uint16_t kMeterAddressBase = 0x1000;  // + meter number 1..4095
inline constexpr std::uint16_t kPlcBroadcastAddress = 0x1FFF;
inline constexpr std::uint16_t kMeterSourceFirst = 0x1001;  // forwarded meter packets come from
inline constexpr std::uint16_t kMeterSourceLast = 0x1FFE;   // this range of source addresses
inline constexpr std::uint16_t kMeterNumberMask = 0x0FFF;
inline constexpr std::uint8_t kMeterPacketLength = 6;  // payload length of a live meter packet

// Writes bytes 3..8: source, destination (low 16 bits of each), N and the type code. The CRC bytes,
// the other payload bytes and the checksum are left as they are.
void FillHeader(FrameBuffer& frame, std::uint32_t source, std::uint32_t destination, std::uint8_t length,
                std::uint8_t type);

// CRC-24 of RFC 4880 (OpenPGP): initial value 0xB704CE, polynomial 0x1864CFB, MSB first, no
// reflection, no final XOR. Check value over "123456789" is 0x21CF02.
std::uint32_t Crc24(const std::uint8_t* bytes, std::size_t count);

// Stores the CRC-24 of bytes 3..7 in bytes 0..2, low byte first.
void StoreHeaderCrc(std::uint8_t* frame);
inline void StoreHeaderCrc(FrameBuffer& frame) { StoreHeaderCrc(frame.data()); }

// True only if bytes 0..2 hold the CRC-24 of bytes 3..7, low byte first.
bool CheckHeaderCrc(const std::uint8_t* frame);
inline bool CheckHeaderCrc(const FrameBuffer& frame) { return CheckHeaderCrc(frame.data()); }

// (255 + sum of the payload bytes) modulo 256.
std::uint8_t PayloadChecksum(const std::uint8_t* payload, std::size_t count);

// Stores the payload checksum at offset 8 + N and the header CRC; returns the frame's length, N + 9.
std::size_t CompleteFrame(FrameBuffer& frame);

inline std::uint16_t ReadWord(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline void WriteWord(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value & 0xFF);
    p[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

inline std::uint16_t SourceAddress(const FrameBuffer& f) { return ReadWord(&f[kOffsetSource]); }
inline std::uint16_t DestinationAddress(const FrameBuffer& f) { return ReadWord(&f[kOffsetDestination]); }
inline std::uint8_t PayloadLength(const FrameBuffer& f) { return f[kOffsetLength]; }
inline std::uint8_t TypeCode(const FrameBuffer& f) { return f[kOffsetPayload]; }
inline const std::uint8_t* Payload(const FrameBuffer& f) { return &f[kOffsetPayload]; }
inline std::uint8_t* Payload(FrameBuffer& f) { return &f[kOffsetPayload]; }
inline std::size_t FrameLength(const FrameBuffer& f) { return PayloadLength(f) + kHeaderSize + 1u; }

// A source address in 0x1001..0x1FFE marks a meter packet forwarded by the concentrator.
inline bool IsMeterSource(std::uint16_t source) {
    return source >= kMeterSourceFirst && source <= kMeterSourceLast;
}

}  // namespace lumvaris::link
