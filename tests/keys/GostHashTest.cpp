#include <gcrypt.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "keys/CryptoAPI.h"
#include "keys/CryptoUtils.h"
#include "keys/GostHashContext.h"
#include "keys/GostHashUnit.h"

namespace lumvaris::keys {
namespace {

std::string Hex(const BinaryKey& key) {
    return BytesToHex(key.data(), key.size());
}

// The reference: libgcrypt's GOST R 34.11-94 with the test parameter set.
BinaryKey ReferenceHash(const void* data, std::size_t length) {
    static const bool initialised = [] {
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    (void)initialised;
    BinaryKey digest{};
    gcry_md_hash_buffer(GCRY_MD_GOSTR3411_94, digest.data(), data, length);
    return digest;
}

BinaryKey HashWithContext(GostHashContext& context, const std::string& message) {
    context.Init();
    context.Update(message.data(), static_cast<std::uint32_t>(message.size()));
    BinaryKey result{};
    context.Final(result);
    return result;
}

// Published values of GOST R 34.11-94 under the test parameter set, text form byte 0 first.
TEST(GostHash, KnownMessages) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "CE85B99CC46752FFFEE35CAB9A7B0278ABB4C2D2055CFF685AF4912C49490F8D"},
        {"abc", "F3134348C44FB1B2A277729E2285EBB5CB5E0F29C975BC753B70497C06A4D51D"},
        {"message digest", "AD4434ECB18F2C99B60CBE59EC3D2469582B65273F48DE72DB2FDE16A4889A4D"},
        // exactly one block: no padding block
        {"This is message, length=32 bytes",
         "B1C466D37519B82E8319819FF32595E047A28CB6F83EFF1C6916A815A637FFFA"},
        {"Suppose the original message has length = 50 bytes",
         "471ABA57A60A770D3A76130635C1FBEA4EF14DE51F78B4AE57DD893B62F55208"},
    };
    GostHashContext context;
    for (const auto& c : cases) {
        EXPECT_EQ(Hex(HashWithContext(context, c.message)), c.digest) << '"' << c.message << '"';
        HashString(c.message);
        EXPECT_EQ(Hex(BinaryKeyBuffer()), c.digest) << '"' << c.message << '"';
    }
}

TEST(GostHash, MatchesReferenceForRandomMessagesFedInRandomPieces) {
    std::mt19937 rng(20240607);
    std::uniform_int_distribution<int> byteDist(0, 255);
    std::uniform_int_distribution<std::size_t> lengthDist(0, 300);
    for (int n = 0; n < 1500; ++n) {
        std::vector<std::uint8_t> message(lengthDist(rng));
        for (auto& b : message) {
            b = static_cast<std::uint8_t>(byteDist(rng));
        }
        GostHashInit();
        std::size_t offset = 0;
        // Pieces of 0 to 70 bytes, so empty updates, updates that just fill a block and updates
        // spanning several blocks all occur.
        while (offset < message.size()) {
            const std::size_t piece =
                std::min(std::uniform_int_distribution<std::size_t>(0, 70)(rng), message.size() - offset);
            GostHashUpdate(message.data() + offset, static_cast<std::uint32_t>(piece));
            offset += piece;
        }
        GostHashFinal();
        ASSERT_EQ(Hex(BinaryKeyBuffer()), Hex(ReferenceHash(message.data(), message.size())))
            << "length " << message.size() << ", message " << n;
    }
}

// The control sum's carry chains: a word of the sum that is all ones when the carry from the word
// below arrives must pass that carry on. Random messages almost never reach such a word; blocks of
// FF bytes make the sum all ones (or FF..FE after two), and the next block adds just enough at one
// byte for the carry to ripple through every word above it.
TEST(GostHash, ControlSumCarriesThroughWordsOfAllOnes) {
    const struct {
        int ffBlocks;
        std::size_t at;  // byte of the last block that holds `value`; the others are zero
        std::uint8_t value;
        std::size_t lastBlock;  // 32, or fewer for a padded last block
    } cases[] = {
        {1, 0, 0x01, 32},  {1, 4, 0x01, 32}, {1, 8, 0x01, 32},
        {1, 12, 0x01, 32}, {1, 0, 0x01, 1},  {2, 0, 0x02, 32},
    };
    GostHashContext context;
    for (const auto& c : cases) {
        std::vector<std::uint8_t> message(32 * c.ffBlocks, 0xFF);
        message.resize(message.size() + c.lastBlock, 0x00);
        message[32 * c.ffBlocks + c.at] = c.value;
        context.Init();
        context.Update(message.data(), static_cast<std::uint32_t>(message.size()));
        BinaryKey result{};
        context.Final(result);
        EXPECT_EQ(Hex(result), Hex(ReferenceHash(message.data(), message.size())))
            << c.ffBlocks << " FF blocks, then " << int(c.value) << " at byte " << c.at << " of "
            << c.lastBlock;
    }
}

TEST(GostHash, RehashKeyMatchesReferenceChain) {
    BinaryKey expected{};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        expected[i] = static_cast<std::uint8_t>(0xA5 ^ (i * 7));
    }
    BinaryKeyBuffer() = expected;
    RehashKey();
    for (int i = 0; i < kRehashCount; ++i) {
        expected = ReferenceHash(expected.data(), expected.size());
    }
    EXPECT_EQ(Hex(BinaryKeyBuffer()), Hex(expected));
}

// The fill count that GostHashUpdate reports: the partial block is processed as soon as it fills, but
// the last complete block of a longer input waits until more input or the final step.
TEST(GostHash, UpdateReportsFillCount) {
    const struct {
        std::vector<std::uint32_t> pieces;
        std::uint32_t fill;
    } cases[] = {
        {{}, 0},   {{0}, 0},   {{5}, 5},     {{32}, 0},    {{33}, 1},     {{64}, 32},
        {{65}, 1}, {{96}, 32}, {{31, 1}, 0}, {{64, 0}, 0}, {{20, 20}, 8}, {{20, 44}, 32},
    };
    const std::vector<std::uint8_t> data(100, 0x5A);
    for (const auto& c : cases) {
        GostHashContext context;
        context.Init();
        std::uint32_t fill = 0;
        for (const std::uint32_t piece : c.pieces) {
            fill = context.Update(data.data(), piece);
        }
        EXPECT_EQ(fill, c.fill) << "first piece " << (c.pieces.empty() ? 0 : c.pieces[0]);
    }
}

TEST(GostHash, ContextsAreIndependentAndReusable) {
    const std::string first = "Suppose the original message has length = 50 bytes";
    const std::string second = "message digest";
    GostHashContext a;
    GostHashContext b;
    a.Init();
    b.Init();
    a.Update(first.data(), 20);
    b.Update(second.data(), static_cast<std::uint32_t>(second.size()));
    a.Update(first.data() + 20, static_cast<std::uint32_t>(first.size() - 20));
    BinaryKey resultA{};
    BinaryKey resultB{};
    a.Final(resultA);
    b.Final(resultB);
    EXPECT_EQ(resultA, ReferenceHash(first.data(), first.size()));
    EXPECT_EQ(resultB, ReferenceHash(second.data(), second.size()));
    // Init after a finished hash starts from scratch.
    EXPECT_EQ(HashWithContext(a, second), resultB);
}

TEST(GostHash, NullDataWithLengthIsAnEmptyUpdate) {
    GostHashInit();
    EXPECT_EQ(GostHashUpdate(nullptr, 10), 0u);
    GostHashFinal();
    EXPECT_EQ(BinaryKeyBuffer(), ReferenceHash("", 0));
}

}  // namespace
}  // namespace lumvaris::keys
