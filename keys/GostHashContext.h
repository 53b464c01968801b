#pragma once

#include <array>
#include <cstdint>

namespace lumvaris::keys {

inline constexpr std::uint32_t kGostHashSize = 32;

// A GOST R 34.11-94 result: byte 0 is the least significant byte of the 256-bit chaining value.
using BinaryKey = std::array<std::uint8_t, kGostHashSize>;

// One running GOST R 34.11-94 hash (test parameter set, zero initial value). The program uses one
// process-wide instance (GostHashUnit); tests and benchmarks may make their own.
//
// Every 256-bit number is held as four 64-bit limbs, least significant first, so that on a
// little-endian machine the bytes lie exactly as eight little-endian 32-bit words would.
class GostHashContext {
  public:
    using Word256 = std::array<std::uint64_t, 4>;

    // Zeroes every field: control sum, chaining value, length counter, partial block, fill count.
    void Init();

    // Feeds `length` bytes from `data` and returns the fill count afterwards. A complete block may
    // stay in the partial block until the next Update or Final.
    std::uint32_t Update(const void* data, std::uint32_t length);

    // Completes the hash and writes the chaining value to `result`. The context is left as it is;
    // the next hash starts with Init.
    void Final(BinaryKey& result);

    // The step (compression) function f(h, m).
    static void Step(Word256& h, const Word256& m);

  private:
    void ProcessBlock(const std::uint8_t* block, std::uint32_t bitCount);

    Word256 controlSum_{};
    Word256 chainingValue_{};
    Word256 lengthCounter_{};
    std::array<std::uint8_t, kGostHashSize> partialBlock_{};
    std::uint32_t fillCount_ = 0;
};

}  // namespace lumvaris::keys
