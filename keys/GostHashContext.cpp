#include "keys/GostHashContext.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace lumvaris::keys {

namespace {

using Word256 = GostHashContext::Word256;
using RoundTables = std::array<std::array<std::uint32_t, 256>, 4>;

// S-boxes of the GOST R 34.11-94 test parameter set. Box 0 substitutes the least significant
// 4 bits of the round input, box 7 the most significant.
constexpr std::uint8_t kSBoxes[8][16] = {
    {4, 10, 9, 2, 13, 8, 0, 14, 6, 11, 1, 12, 7, 15, 5, 3},
    {14, 11, 4, 12, 6, 13, 15, 10, 2, 3, 8, 1, 0, 7, 5, 9},
    {5, 8, 1, 13, 10, 3, 4, 2, 14, 15, 12, 7, 6, 0, 9, 11},
    {7, 13, 10, 1, 0, 8, 9, 15, 14, 4, 6, 12, 11, 2, 5, 3},
    {6, 12, 7, 1, 5, 15, 13, 8, 4, 10, 9, 14, 0, 3, 11, 2},
    {4, 11, 10, 0, 7, 2, 1, 13, 3, 6, 8, 5, 9, 12, 15, 14},
    {13, 11, 4, 1, 3, 15, 5, 9, 0, 10, 14, 7, 6, 8, 2, 12},
    {1, 15, 13, 0, 5, 7, 10, 4, 9, 2, 3, 14, 6, 11, 8, 12},
};

// Table j maps byte j of the round input to the outputs of its two S-boxes, placed at that byte's
// position and already rotated left by 11, so a whole round is four look-ups joined by XOR.
constexpr RoundTables MakeRoundTables() {
    RoundTables tables{};
    for (unsigned j = 0; j < 4; ++j) {
        for (unsigned b = 0; b < 256; ++b) {
            const std::uint32_t substituted =
                static_cast<std::uint32_t>(kSBoxes[2 * j][b & 0x0F] | kSBoxes[2 * j + 1][b >> 4] << 4);
            tables[j][b] = std::rotl(substituted << (8 * j), 11);
        }
    }
    return tables;
}

// One contiguous block, so the compiler addresses all four tables from one base register.
constexpr RoundTables kRoundTables = MakeRoundTables();

// Key words used by the 32 rounds: 0..7 three times, then 7..0.
constexpr int kKeyOrder[32] = {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7,
                               0, 1, 2, 3, 4, 5, 6, 7, 7, 6, 5, 4, 3, 2, 1, 0};

// The constant C3 of the key generation; C2 and C4 are zero.
constexpr Word256 kC3 = {0xFF00FF00FF00FF00, 0x00FF00FF00FF00FF, 0xFF0000FF00FFFF00, 0xFF00FFFF000000FF};

inline std::uint32_t RoundFunction(std::uint32_t x) {
    return kRoundTables[0][x & 0xFF] ^ kRoundTables[1][(x >> 8) & 0xFF] ^ kRoundTables[2][(x >> 16) & 0xFF] ^
           kRoundTables[3][x >> 24];
}

// Transformation P: key byte i + 4k is byte 8i + k of w. That is a 4x4 byte transpose inside each
// 32-bit half of the four words, done for both halves at once with the usual swap-and-mask steps.
// Afterwards word k holds key word k in its low half and key word k + 4 in its high half.
inline void TransformP(std::uint64_t w0, std::uint64_t w1, std::uint64_t w2, std::uint64_t w3,
                       std::uint32_t (&key)[8]) {
    constexpr std::uint64_t kOddBytes = 0x00FF00FF00FF00FF;
    constexpr std::uint64_t kLowPairs = 0x0000FFFF0000FFFF;
    std::uint64_t t = ((w0 >> 8) ^ w1) & kOddBytes;
    w1 ^= t;
    w0 ^= t << 8;
    t = ((w2 >> 8) ^ w3) & kOddBytes;
    w3 ^= t;
    w2 ^= t << 8;
    t = ((w0 >> 16) ^ w2) & kLowPairs;
    w2 ^= t;
    w0 ^= t << 16;
    t = ((w1 >> 16) ^ w3) & kLowPairs;
    w3 ^= t;
    w1 ^= t << 16;
    key[0] = static_cast<std::uint32_t>(w0);
    key[1] = static_cast<std::uint32_t>(w1);
    key[2] = static_cast<std::uint32_t>(w2);
    key[3] = static_cast<std::uint32_t>(w3);
    key[4] = static_cast<std::uint32_t>(w0 >> 32);
    key[5] = static_cast<std::uint32_t>(w1 >> 32);
    key[6] = static_cast<std::uint32_t>(w2 >> 32);
    key[7] = static_cast<std::uint32_t>(w3 >> 32);
}

// GOST 28147-89 simple substitution encryption of the four 64-bit quarters of h, quarter i under
// key i. The four are independent, so their rounds are interleaved to keep the processor busy.
// Within a block the low word is N1 and the high word N2; the final swap is folded into the output.
inline void EncryptQuarters(const std::uint32_t (&key)[4][8], const Word256& h, Word256& s) {
    std::uint32_t n1a = static_cast<std::uint32_t>(h[0]), n2a = static_cast<std::uint32_t>(h[0] >> 32);
    std::uint32_t n1b = static_cast<std::uint32_t>(h[1]), n2b = static_cast<std::uint32_t>(h[1] >> 32);
    std::uint32_t n1c = static_cast<std::uint32_t>(h[2]), n2c = static_cast<std::uint32_t>(h[2] >> 32);
    std::uint32_t n1d = static_cast<std::uint32_t>(h[3]), n2d = static_cast<std::uint32_t>(h[3] >> 32);

    // Rounds alternate between the halves; round r uses key word kKeyOrder[r]. Unrolled, every key
    // index is a constant and the eight block halves stay in registers.
#pragma GCC unroll 16
    for (int r = 0; r < 32; r += 2) {
        const int first = kKeyOrder[r];
        const int second = kKeyOrder[r + 1];
        n2a ^= RoundFunction(n1a + key[0][first]);
        n2b ^= RoundFunction(n1b + key[1][first]);
        n2c ^= RoundFunction(n1c + key[2][first]);
        n2d ^= RoundFunction(n1d + key[3][first]);
        n1a ^= RoundFunction(n2a + key[0][second]);
        n1b ^= RoundFunction(n2b + key[1][second]);
        n1c ^= RoundFunction(n2c + key[2][second]);
        n1d ^= RoundFunction(n2d + key[3][second]);
    }

    s[0] = n2a | static_cast<std::uint64_t>(n1a) << 32;
    s[1] = n2b | static_cast<std::uint64_t>(n1b) << 32;
    s[2] = n2c | static_cast<std::uint64_t>(n1c) << 32;
    s[3] = n2d | static_cast<std::uint64_t>(n1d) << 32;
}

// The shift register psi moves the sixteen 16-bit words of its argument down by one and puts
// y1 ^ y2 ^ y3 ^ y4 ^ y13 ^ y16 on top (y1 the least significant). PsiFour applies it four times:
// the upper three 64-bit words move down, and the four new 16-bit words form the top one. Each new
// word takes in the one before it (the y16 term), a chain that the prefix XOR at the end resolves.
inline void PsiFour(std::uint64_t (&y)[4]) {
    std::uint64_t t = y[0] ^ (y[0] >> 16) ^ (y[0] >> 32) ^ (y[0] >> 48) ^ (y[1] << 16) ^ (y[1] << 32) ^
                      (y[1] << 48) ^ y[3] ^ (y[3] >> 48);
    t ^= t << 16;
    t ^= t << 32;
    y[0] = y[1];
    y[1] = y[2];
    y[2] = y[3];
    y[3] = t;
}

inline void PsiOne(std::uint64_t (&y)[4]) {
    const std::uint64_t top = (y[0] ^ (y[0] >> 16) ^ (y[0] >> 32) ^ (y[0] >> 48) ^ y[3] ^ (y[3] >> 48)) << 48;
    y[0] = (y[0] >> 16) | (y[1] << 48);
    y[1] = (y[1] >> 16) | (y[2] << 48);
    y[2] = (y[2] >> 16) | (y[3] << 48);
    y[3] = (y[3] >> 16) | top;
}

// psi^n as a matrix over the sixteen 16-bit words: row p is the set (a bit mask) of input words
// whose XOR is output word p.
using PsiMatrix = std::array<std::uint16_t, 16>;

constexpr PsiMatrix PsiPower(int n) {
    PsiMatrix m{};
    for (int p = 0; p < 16; ++p) {
        m[p] = static_cast<std::uint16_t>(1u << p);
    }
    for (int k = 0; k < n; ++k) {
        PsiMatrix next{};
        for (int p = 0; p < 15; ++p) {
            next[p] = m[p + 1];
        }
        next[15] = m[0] ^ m[1] ^ m[2] ^ m[3] ^ m[12] ^ m[15];
        m = next;
    }
    return m;
}

// One term of psi^n on 64-bit words: out[to] ^= (in[from] shifted by `shift` 16-bit words towards
// the top) & mask.
struct PsiTerm {
    int to;
    int from;
    int shift;
    std::uint64_t mask;
};

struct PsiTerms {
    std::array<PsiTerm, 4 * 4 * 7> terms{};
    int count = 0;
};

constexpr PsiTerms MakePsiTerms(int n) {
    const PsiMatrix m = PsiPower(n);
    PsiTerms result;
    for (int to = 0; to < 4; ++to) {
        for (int from = 0; from < 4; ++from) {
            for (int shift = -3; shift <= 3; ++shift) {
                std::uint64_t mask = 0;
                for (int half = 0; half < 4; ++half) {
                    const int source = half - shift;
                    if (source >= 0 && source < 4 && (m[4 * to + half] >> (4 * from + source) & 1)) {
                        mask |= std::uint64_t{0xFFFF} << (16 * half);
                    }
                }
                if (mask != 0) {
                    result.terms[result.count++] = {to, from, shift, mask};
                }
            }
        }
    }
    return result;
}

constexpr PsiTerms kPsi61Terms = MakePsiTerms(61);

template <int I>
inline void ApplyPsi61Term(const std::uint64_t (&in)[4], std::uint64_t (&out)[4]) {
    constexpr PsiTerm kTerm = kPsi61Terms.terms[I];
    std::uint64_t v = in[kTerm.from];
    if constexpr (kTerm.shift > 0) {
        v <<= 16 * kTerm.shift;
    } else if constexpr (kTerm.shift < 0) {
        v >>= -16 * kTerm.shift;
    }
    // The mask is left out where the shift alone already clears the other words.
    constexpr std::uint64_t kReach =
        kTerm.shift >= 0 ? ~std::uint64_t{0} << (16 * kTerm.shift) : ~std::uint64_t{0} >> (-16 * kTerm.shift);
    if constexpr (kTerm.mask != kReach) {
        v &= kTerm.mask;
    }
    out[kTerm.to] ^= v;
}

template <std::size_t... I>
inline void ApplyPsi61Terms(const std::uint64_t (&in)[4], std::uint64_t (&out)[4],
                            std::index_sequence<I...>) {
    (ApplyPsi61Term<static_cast<int>(I)>(in, out), ...);
}

// y := psi^61(y), expanded at compile time into fixed shift-mask-XOR formulas.
inline void Psi61(std::uint64_t (&y)[4]) {
    const std::uint64_t in[4] = {y[0], y[1], y[2], y[3]};
    y[0] = y[1] = y[2] = y[3] = 0;
    ApplyPsi61Terms(in, y, std::make_index_sequence<kPsi61Terms.count>{});
}

inline std::uint64_t LoadLittleEndian64(const std::uint8_t* bytes) {
    std::uint64_t value;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&value, bytes, sizeof value);
    } else {
        value = 0;
        for (int i = 7; i >= 0; --i) {
            value = value << 8 | bytes[i];
        }
    }
    return value;
}

inline void StoreLittleEndian64(std::uint64_t value, std::uint8_t* bytes) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(bytes, &value, sizeof value);
    } else {
        for (int i = 0; i < 8; ++i) {
            bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    }
}

// a := (a + b) mod 2^256.
inline void Add256(Word256& a, const Word256& b) {
    std::uint64_t carry = 0;
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        const std::uint64_t sum = a[i] + b[i];
        const std::uint64_t withCarry = sum + carry;
        carry = static_cast<std::uint64_t>(sum < a[i]) | static_cast<std::uint64_t>(withCarry < sum);
        a[i] = withCarry;
    }
}

}  // namespace

void GostHashContext::Step(Word256& h, const Word256& m) {
    // Key generation: K1 = P(H ^ M); then U := A(U) ^ C, V := A(A(V)), K := P(U ^ V) three times.
    // A on 64-bit quarters: (y4, y3, y2, y1) -> (y1 ^ y2, y4, y3, y2).
    std::uint32_t key[4][8];
    std::uint64_t u0 = h[0], u1 = h[1], u2 = h[2], u3 = h[3];
    std::uint64_t v0 = m[0], v1 = m[1], v2 = m[2], v3 = m[3];
    TransformP(u0 ^ v0, u1 ^ v1, u2 ^ v2, u3 ^ v3, key[0]);
#pragma GCC unroll 3
    for (int j = 1; j < 4; ++j) {
        const std::uint64_t a = u0 ^ u1;
        u0 = u1;
        u1 = u2;
        u2 = u3;
        u3 = a;
        if (j == 2) {
            u0 ^= kC3[0];
            u1 ^= kC3[1];
            u2 ^= kC3[2];
            u3 ^= kC3[3];
        }
        const std::uint64_t b0 = v0 ^ v1;
        const std::uint64_t b1 = v1 ^ v2;
        v0 = v2;
        v1 = v3;
        v2 = b0;
        v3 = b1;
        TransformP(u0 ^ v0, u1 ^ v1, u2 ^ v2, u3 ^ v3, key[j]);
    }

    Word256 s;
    EncryptQuarters(key, h, s);

    // Output: psi^61(H ^ psi(M ^ psi^12(S))). Three four-step formulas are cheaper than the 51 terms
    // of psi^12 as a matrix; psi^61 takes 80 terms as a matrix against 15 chained four-steps.
    std::uint64_t y[4] = {s[0], s[1], s[2], s[3]};
    PsiFour(y);
    PsiFour(y);
    PsiFour(y);
    y[0] ^= m[0];
    y[1] ^= m[1];
    y[2] ^= m[2];
    y[3] ^= m[3];
    PsiOne(y);
    y[0] ^= h[0];
    y[1] ^= h[1];
    y[2] ^= h[2];
    y[3] ^= h[3];
    Psi61(y);
    h = {y[0], y[1], y[2], y[3]};
}

void GostHashContext::Init() {
    controlSum_ = {};
    chainingValue_ = {};
    lengthCounter_ = {};
    partialBlock_ = {};
    fillCount_ = 0;
}

void GostHashContext::ProcessBlock(const std::uint8_t* block, std::uint32_t bitCount) {
    const Word256 m = {LoadLittleEndian64(block), LoadLittleEndian64(block + 8),
                       LoadLittleEndian64(block + 16), LoadLittleEndian64(block + 24)};
    Add256(controlSum_, m);
    Step(chainingValue_, m);
    Add256(lengthCounter_, Word256{bitCount, 0, 0, 0});
}

std::uint32_t GostHashContext::Update(const void* data, std::uint32_t length) {
    if (data == nullptr) {
        length = 0;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const std::uint32_t taken = std::min(kGostHashSize - fillCount_, length);
    if (taken > 0) {
        std::memcpy(partialBlock_.data() + fillCount_, bytes, taken);
        fillCount_ += taken;
        bytes += taken;
        length -= taken;
    }
    if (fillCount_ < kGostHashSize) {
        return fillCount_;
    }
    ProcessBlock(partialBlock_.data(), 8 * kGostHashSize);
    // The last block, even a complete one, waits in the partial block.
    while (length > kGostHashSize) {
        ProcessBlock(bytes, 8 * kGostHashSize);
        bytes += kGostHashSize;
        length -= kGostHashSize;
    }
    if (length > 0) {
        std::memcpy(partialBlock_.data(), bytes, length);
    }
    fillCount_ = length;
    return fillCount_;
}

void GostHashContext::Final(BinaryKey& result) {
    if (fillCount_ > 0) {
        std::memset(partialBlock_.data() + fillCount_, 0, kGostHashSize - fillCount_);
        ProcessBlock(partialBlock_.data(), 8 * fillCount_);
    }
    Step(chainingValue_, lengthCounter_);
    Step(chainingValue_, controlSum_);
    for (int i = 0; i < 4; ++i) {
        StoreLittleEndian64(chainingValue_[i], result.data() + 8 * i);
    }
}

}  // namespace lumvaris::keys
