#include "meterdata/ValueCode.h"

#include <array>

namespace lumvaris::meterdata::ValueCode {

namespace {

using Table = std::array<std::uint16_t, 65536>;

// Every word within distance 2 of a code word maps to that code word's value. The spheres of
// radius 2 around the code words are disjoint (minimum distance 5), so no entry is written twice.
constexpr Table BuildTable() {
    Table table{};
    for (auto& entry : table) {
        entry = kInvalid;
    }
    for (unsigned v = 0; v < 256; ++v) {
        const unsigned word = Encode(static_cast<std::uint8_t>(v));
        table[word] = static_cast<std::uint16_t>(v);
        for (int a = 0; a < 16; ++a) {
            table[word ^ (1u << a)] = static_cast<std::uint16_t>(v);
            for (int b = a + 1; b < 16; ++b) {
                table[word ^ (1u << a) ^ (1u << b)] = static_cast<std::uint16_t>(v);
            }
        }
    }
    return table;
}

constexpr Table kTable = BuildTable();

}  // namespace

std::uint16_t Decode(std::uint16_t word) {
    return kTable[word];
}

}  // namespace lumvaris::meterdata::ValueCode
