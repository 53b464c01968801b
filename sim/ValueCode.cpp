#include "ValueCode.h"

namespace lumvaris::sim {

std::uint8_t CheckByte(std::uint8_t value) {
    std::uint8_t check = 0;
    for (int i = 0; i < 8; ++i) {
        if (value & (1u << i)) {
            check ^= static_cast<std::uint8_t>((0xD4u << i | 0xD4u >> (8 - i)) & 0xFF);
        }
    }
    return check;
}

std::uint16_t CodeWord(std::uint8_t value) {
    return static_cast<std::uint16_t>(value | CheckByte(value) << 8);
}

}  // namespace lumvaris::sim
