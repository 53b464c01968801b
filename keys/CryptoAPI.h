#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumvaris::keys {

// Hexadecimal text conversions. Texts are code page 1251 bytes, one byte per character; only the
// ASCII digits and letters A-F/a-f are hexadecimal digits.

// Reads a hexadecimal number leniently: every character shifts the value left by 4 bits and adds
// its digit value; any other character counts as the digit 0. Bits shifted past 64 are lost.
std::int64_t HexToInt(std::string_view text);

// Two upper-case hexadecimal digits per byte, `separator` between bytes (not after the last).
std::string BytesToHex(const std::uint8_t* bytes, std::size_t count, std::string_view separator = {});

// Drops every space, pads an odd number of remaining characters with one "0", and writes one byte
// per pair of characters (each pair read as by HexToInt), at most `capacity` bytes. Returns the
// number of bytes written; the rest of the buffer is left as it was.
std::size_t HexToBytes(std::string_view text, std::uint8_t* buffer, std::size_t capacity);

}  // namespace lumvaris::keys
