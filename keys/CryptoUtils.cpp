#include "keys/CryptoUtils.h"

#include <limits>

#include "keys/GostHashUnit.h"

namespace lumvaris::keys {

void HashString(std::string_view cp1251Text) {
    GostHashInit();
    // A text longer than 4 GiB is fed in pieces: one update takes a 32-bit count.
    constexpr std::size_t kMaxPiece = std::numeric_limits<std::uint32_t>::max();
    while (cp1251Text.size() > kMaxPiece) {
        GostHashUpdate(cp1251Text.data(), static_cast<std::uint32_t>(kMaxPiece));
        cp1251Text.remove_prefix(kMaxPiece);
    }
    GostHashUpdate(cp1251Text.data(), static_cast<std::uint32_t>(cp1251Text.size()));
    GostHashFinal();
}

void HashBuffer(const void* data, std::uint32_t length) {
    GostHashInit();
    GostHashUpdate(data, length);
    GostHashFinal();
}

void RehashKey() {
    // In place is safe: the 32 input bytes are in the context before GostHashFinal writes the result.
    BinaryKey& key = BinaryKeyBuffer();
    for (int i = 0; i < kRehashCount; ++i) {
        HashBuffer(key.data(), kGostHashSize);
    }
}

}  // namespace lumvaris::keys
