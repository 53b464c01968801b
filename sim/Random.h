#pragma once

#include <cstdint>

namespace lumvaris::sim {

// SplitMix64: a small generator whose sequence is the same on every platform and library, so a
// seed always gives the same network traffic and the same faults.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. bound-1 (bound > 0).
    std::uint32_t Below(std::uint32_t bound) { return static_cast<std::uint32_t>(Next() % bound); }
    // lo .. hi inclusive.
    int Between(int lo, int hi) {
        return lo + static_cast<int>(Below(static_cast<std::uint32_t>(hi - lo + 1)));
    }
    // 0.0 <= x < 1.0
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    bool Chance(double probability) { return probability > 0.0 && Unit() < probability; }

  private:
    std::uint64_t state_;
};

}  // namespace lumvaris::sim
