#pragma once

#include <cstdint>

#include "keys/GostHashContext.h"

namespace lumvaris::keys {

// The process-wide hash context and binary key buffer. Both live for the whole run; one hash must
// finish before the next begins.
GostHashContext& HashContext();
BinaryKey& BinaryKeyBuffer();

// Zeroes every field of the process-wide hash context.
void GostHashInit();

// Feeds `length` bytes from `data` into the process-wide context; returns the fill count afterwards.
std::uint32_t GostHashUpdate(const void* data, std::uint32_t length);

// Completes the hash and copies the result into the binary key buffer.
void GostHashFinal();

}  // namespace lumvaris::keys
