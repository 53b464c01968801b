// Hostile texts for the hexadecimal conversions: HexToBytes must never write past its capacity
// (the buffer is exactly that size, so AddressSanitizer sees any overrun), must write the number
// of bytes the text calls for, and each byte must be the pair of characters read as by HexToInt.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "keys/CryptoAPI.h"

using namespace lumvaris::keys;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t capacity = data[0] % 48;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    std::vector<std::uint8_t> buffer(capacity);
    const std::size_t written = HexToBytes(text, buffer.data(), capacity);

    std::string digits;
    for (const char c : text) {
        if (c != ' ') {
            digits.push_back(c);
        }
    }
    if (digits.size() % 2 == 1) {
        digits.push_back('0');
    }
    const std::size_t expected = capacity == 0 ? 0 : std::min(digits.size() / 2, capacity);
    if (written != expected) {
        std::abort();
    }
    for (std::size_t k = 0; k < written; ++k) {
        if (buffer[k] != static_cast<std::uint8_t>(HexToInt(std::string_view(digits).substr(2 * k, 2)))) {
            std::abort();
        }
    }

    // Upper-case digits read back to the same bytes.
    const std::string hex = BytesToHex(buffer.data(), written, " ");
    std::vector<std::uint8_t> again(written);
    if (HexToBytes(hex, again.data(), again.size()) != written ||
        again != std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + written)) {
        std::abort();
    }
    (void)HexToInt(text);
    return 0;
}
