#pragma once

#include <cstdint>

namespace lumvaris::meterdata {

// The (16,8) error-correcting code that protects an 8-bit value in the second value word of
// several packet families. A code word carries the value in its low byte and a check byte in
// its high byte; any two code words differ in at least 5 bits, so up to 2 flipped bits are
// corrected.
namespace ValueCode {

inline constexpr std::uint16_t kInvalid = 0x8000;

// The check byte: the exclusive-or of 0xD4 rotated left by i for every bit i set in the value.
constexpr std::uint8_t CheckByte(std::uint8_t value) {
    std::uint8_t check = 0;
    for (int i = 0; i < 8; ++i) {
        if (value & (1u << i)) {
            const unsigned basis = 0xD4u;
            check ^= static_cast<std::uint8_t>(((basis << i) | (basis >> (8 - i))) & 0xFFu);
        }
    }
    return check;
}

constexpr std::uint16_t Encode(std::uint8_t value) {
    return static_cast<std::uint16_t>(value | (CheckByte(value) << 8));
}

// The value whose code word lies within 2 bits of the word, or kInvalid. One table lookup.
std::uint16_t Decode(std::uint16_t word);

inline bool IsValid(std::uint16_t decoded) {
    return decoded < 256;
}

}  // namespace ValueCode

}  // namespace lumvaris::meterdata
