// Feeds hostile bytes through the receive path in pieces whose sizes the input also chooses, and
// checks that every dispatched frame is well formed.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "link/Receiver.h"

namespace {

using namespace lumvaris::link;

class BytesPort final : public ISerialPort {
public:
    BytesPort(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t piece = 1;

    std::vector<std::string> ListPorts() override { return {}; }
    void SetName(const std::string&) override {}
    std::string Name() const override { return {}; }
    void SetLineSettings(const LineSettings&) override {}
    LineSettings Settings() const override { return {}; }
    void SetReceiveNotification(std::function<void()>) override {}
    void SetErrorNotification(std::function<void(const std::string&)>) override {}
    void Open() override {}
    void RaiseRts() override {}
    void RaiseDtr() override {}
    std::size_t Write(const std::uint8_t*, std::size_t n) override { return n; }
    std::size_t ReadAvailable(std::uint8_t* buffer, std::size_t maxCount) override {
        const std::size_t n = std::min({maxCount, size_ - pos_, piece});
        std::memcpy(buffer, data_ + pos_, n);
        pos_ += n;
        return n;
    }
    bool IsOpen() const override { return true; }
    void Close() override {}
    bool Done() const { return pos_ == size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

struct CheckingConsumer final : IFrameConsumer {
    static void Check(const FrameBuffer& f) {
        const std::uint8_t n = PayloadLength(f);
        if (n == 0 || !CheckHeaderCrc(f) || PayloadChecksum(Payload(f), n) != f[kOffsetPayload + n]) {
            std::abort();
        }
    }
    void HandleReply(FrameBuffer& f) override {
        Check(f);
        if (IsMeterSource(SourceAddress(f))) {
            std::abort();
        }
    }
    void HandleMeterPacket(const FrameBuffer& f) override {
        Check(f);
        if (PayloadLength(f) != kMeterPacketLength) {
            std::abort();
        }
    }
    void ShowByteCounter(std::uint32_t) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    BytesPort port(data + 1, size - 1);
    port.piece = 1 + data[0] * 8u;
    CheckingConsumer consumer;
    Receiver receiver(port);
    receiver.SetConsumer(&consumer);
    while (!port.Done()) {
        receiver.ReceiveNotification();
        receiver.Step();
    }
    receiver.Step();
    if (receiver.ReceivedBytes() != size - 1) {
        std::abort();
    }
    return 0;
}
