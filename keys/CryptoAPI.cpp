#include "keys/CryptoAPI.h"

namespace lumvaris::keys {

namespace {

constexpr std::uint8_t HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<std::uint8_t>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<std::uint8_t>(c - 'A' + 10);
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<std::uint8_t>(c - 'a' + 10);
    }
    return 0;
}

}  // namespace

std::int64_t HexToInt(std::string_view text) {
    std::uint64_t value = 0;  // unsigned, so bits shifted out are simply lost
    for (const char c : text) {
        value = value << 4 | HexDigitValue(c);
    }
    return static_cast<std::int64_t>(value);
}

std::string BytesToHex(const std::uint8_t* bytes, std::size_t count, std::string_view separator) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    if (bytes == nullptr || count == 0) {
        return text;
    }
    text.reserve(count * 2 + (count - 1) * separator.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text.append(separator);
        }
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

std::size_t HexToBytes(std::string_view text, std::uint8_t* buffer, std::size_t capacity) {
    if (buffer == nullptr) {
        return 0;
    }
    std::size_t written = 0;
    bool haveHigh = false;
    std::uint8_t high = 0;
    for (const char c : text) {
        if (written == capacity) {
            return written;
        }
        if (c == ' ') {
            continue;
        }
        if (!haveHigh) {
            high = HexDigitValue(c);
            haveHigh = true;
        } else {
            buffer[written++] = static_cast<std::uint8_t>(high << 4 | HexDigitValue(c));
            haveHigh = false;
        }
    }
    // An odd digit count ends as if a "0" followed.
    if (haveHigh && written < capacity) {
        buffer[written++] = static_cast<std::uint8_t>(high << 4);
    }
    return written;
}

}  // namespace lumvaris::keys
