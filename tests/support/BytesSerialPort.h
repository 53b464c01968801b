#pragma once

#include <algorithm>
#include <cstring>

#include "link/SerialPort.h"

namespace lumvaris::testing {

// An always-open port that hands out a prepared byte stream in pieces of a chosen size, without
// allocating: for benchmarks and fuzzers of the receive path.
class BytesSerialPort final : public link::ISerialPort {
public:
    BytesSerialPort(const std::uint8_t* data, std::size_t size, std::size_t piece)
        : data_(data), size_(size), piece_(piece == 0 ? 1 : piece) {}
    void Rewind() { pos_ = 0; }
    bool Done() const { return pos_ == size_; }

    std::vector<std::string> ListPorts() override { return {}; }
    void SetName(const std::string&) override {}
    std::string Name() const override { return {}; }
    void SetLineSettings(const link::LineSettings&) override {}
    link::LineSettings Settings() const override { return {}; }
    void SetReceiveNotification(std::function<void()>) override {}
    void SetErrorNotification(std::function<void(const std::string&)>) override {}
    void Open() override {}
    void RaiseRts() override {}
    void RaiseDtr() override {}
    std::size_t Write(const std::uint8_t*, std::size_t count) override { return count; }
    std::size_t ReadAvailable(std::uint8_t* buffer, std::size_t maxCount) override {
        const std::size_t n = std::min({maxCount, size_ - pos_, piece_});
        std::memcpy(buffer, data_ + pos_, n);
        pos_ += n;
        return n;
    }
    bool IsOpen() const override { return true; }
    void Close() override {}

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t piece_;
    std::size_t pos_ = 0;
};

}  // namespace lumvaris::testing
