// Feeds hostile bytes through the receive path in pieces whose sizes the input also chooses, and
// checks that every dispatched frame is well formed.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    lumvaris::testing::BytesSerialPort port(data + 1, size - 1, 1 + data[0] * 8u);
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
