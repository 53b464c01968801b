#pragma once

#include <cstdint>
#include <string_view>

namespace lumvaris::keys {

// Number of hashes in one RehashKey call.
inline constexpr int kRehashCount = 10000;

// Hashes the bytes of a code page 1251 text (no terminator) into the binary key buffer.
void HashString(std::string_view cp1251Text);

// Hashes `length` bytes from `data` into the binary key buffer.
void HashBuffer(const void* data, std::uint32_t length);

// Replaces the binary key buffer kRehashCount times in a row by the hash of its 32 bytes.
void RehashKey();

}  // namespace lumvaris::keys
