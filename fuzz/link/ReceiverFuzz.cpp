// Feeds hostile bytes through the receive path in pieces whose sizes the input also chooses, and
// checks that every dispatched frame is well formed and that what the traffic observer hears (the
// frames taken and the bytes dropped, in order) is the input byte for byte, but for the start of a
// frame still being assembled at the end.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "link/Receiver.h"
#include "support/BytesSerialPort.h"

namespace {

using namespace lumvaris::link;

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

// Compares what it hears with the input as it goes.
struct CheckingObserver final : ILinkObserver {
    CheckingObserver(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    void Hear(const std::uint8_t* bytes, std::size_t count) {
        if (count == 0 || count > size_ - heard || std::memcmp(bytes, data_ + heard, count) != 0) {
            std::abort();
        }
        heard += count;
    }
    void FrameSent(const std::uint8_t*, std::size_t) override { std::abort(); }
    void FrameReceived(const std::uint8_t* frame, std::size_t length, bool) override { Hear(frame, length); }
    void BytesDiscarded(const std::uint8_t* bytes, std::size_t count) override {
        if (count > Receiver::kMaxDiscardRun) {
            std::abort();
        }
        Hear(bytes, count);
    }
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t heard = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    lumvaris::testing::BytesSerialPort port(data + 1, size - 1, 1 + data[0] * 8u);
    CheckingConsumer consumer;
    Receiver receiver(port);
    receiver.SetConsumer(&consumer);
    CheckingObserver observer(data + 1, size - 1);
    receiver.SetObserver(&observer);
    while (!port.Done()) {
        receiver.ReceiveNotification();
        receiver.Step();
    }
    receiver.Step();
    if (receiver.ReceivedBytes() != size - 1 || observer.heard + receiver.AssemblyCount() != size - 1) {
        std::abort();
    }
    return 0;
}
