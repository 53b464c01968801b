#pragma once

#include <gcrypt.h>
#include <gtest/gtest.h>

#include <QByteArray>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace lumvaris::testing {

// The key derivation done by libgcrypt's GOST R 34.11-94 (test parameter set), the independent
// oracle of ours: element p is H(10,000 p), where H(0) is the hash of the bytes and each further H
// the hash of the 32 bytes before; element 100 is the key. Links with libgcrypt.
inline std::vector<std::array<std::uint8_t, 32>> ReferenceKeyChain(const QByteArray& bytes) {
    static const bool initialised = [] {
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    (void)initialised;
    gcry_md_hd_t handle = nullptr;
    EXPECT_EQ(gcry_md_open(&handle, GCRY_MD_GOSTR3411_94, 0), 0u);
    std::array<std::uint8_t, 32> key{};
    gcry_md_write(handle, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    std::memcpy(key.data(), gcry_md_read(handle, GCRY_MD_GOSTR3411_94), key.size());
    std::vector<std::array<std::uint8_t, 32>> chain{key};
    for (int p = 1; p <= 100; ++p) {
        for (int i = 0; i < 10000; ++i) {
            gcry_md_reset(handle);
            gcry_md_write(handle, key.data(), key.size());
            std::memcpy(key.data(), gcry_md_read(handle, GCRY_MD_GOSTR3411_94), key.size());
        }
        chain.push_back(key);
    }
    gcry_md_close(handle);
    return chain;
}

}  // namespace lumvaris::testing
