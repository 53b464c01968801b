#pragma once

#include <cstdint>

namespace lumvaris::sim {

// The (16,8) code that protects an 8-bit value in a meter packet's second word: the value in the
// low byte, its check byte in the high byte. The check byte is the XOR, over every set bit i of
// the value, of 0xD4 rotated left by i within 8 bits.
std::uint8_t CheckByte(std::uint8_t value);
std::uint16_t CodeWord(std::uint8_t value);

}  // namespace lumvaris::sim
