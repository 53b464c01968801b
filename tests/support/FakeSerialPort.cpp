#include "FakeSerialPort.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace lumvaris::testing {

void FakeSerialPort::Open() {
    if (failOpen) {
        throw link::SerialPortError("no such port: " + name_);
    }
    open_ = true;
    rtsRaised = dtrRaised = false;
    openedNames.push_back(name_);
}

void FakeSerialPort::RaiseRts() {
    if (!modemLinesSupported) {
        throw link::SerialPortNotSupported("RTS not supported");
    }
    rtsRaised = true;
}

void FakeSerialPort::RaiseDtr() {
    if (!modemLinesSupported) {
        throw link::SerialPortNotSupported("DTR not supported");
    }
    dtrRaised = true;
}

std::size_t FakeSerialPort::Write(const std::uint8_t* bytes, std::size_t count) {
    if (!open_) {
        throw link::SerialPortError("port not open");
    }
    if (failWrite) {
        throw link::SerialPortError("write failed");
    }
    writes.emplace_back(bytes, bytes + count);
    return count;
}

std::size_t FakeSerialPort::ReadAvailable(std::uint8_t* buffer, std::size_t maxCount) {
    if (!open_) {
        return 0;
    }
    std::size_t n = std::min(maxCount, input_.size());
    if (readLimit != 0) {
        n = std::min(n, readLimit);
    }
    std::copy_n(input_.begin(), n, buffer);
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

void FakeSerialPort::Feed(const std::vector<std::uint8_t>& bytes, bool notify) {
    input_.insert(input_.end(), bytes.begin(), bytes.end());
    if (notify && notify_ && open_) {
        notify_();
    }
}

void FakeSerialPort::Feed(const std::string& hex, bool notify) { Feed(Hex(hex), notify); }

void FakeSerialPort::Vanish(const std::string& message) {
    failWrite = true;
    if (onError_) {
        onError_(message);
    }
}

std::vector<std::uint8_t> Hex(const std::string& text) {
    std::vector<std::uint8_t> out;
    int nibbles = 0;
    unsigned value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (c == ' ') {
            continue;
        } else {
            throw std::invalid_argument("not a hex string: " + text);
        }
        value = (value << 4) | static_cast<unsigned>(digit);
        if (++nibbles == 2) {
            out.push_back(static_cast<std::uint8_t>(value));
            nibbles = 0;
            value = 0;
        }
    }
    if (nibbles != 0) {
        throw std::invalid_argument("odd hex string: " + text);
    }
    return out;
}

std::string ToHex(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char cell[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(cell, sizeof cell, i ? " %02X" : "%02X", bytes[i]);
        out += cell;
    }
    return out;
}

}  // namespace lumvaris::testing
