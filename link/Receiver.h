#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "Frame.h"
#include "LinkObserver.h"
#include "SerialPort.h"

namespace lumvaris::link {

// Where good frames go. Each consumer gets its own copy of the frame, so it may rewrite payload
// bytes and may let user-interface events run (which can run the assembler again, nested) without
// the next frame overwriting what it reads.
class IFrameConsumer {
  public:
    virtual ~IFrameConsumer() = default;
    // Any good frame whose source lies outside the meter range.
    virtual void HandleReply(FrameBuffer& frame) = 0;
    // A good frame from 0x1001..0x1FFE with a payload length of 6.
    virtual void HandleMeterPacket(const FrameBuffer& frame) = 0;
    // After every frame that passed both checks, dispatched or not.
    virtual void ShowByteCounter(std::uint32_t receivedBytes) = 0;
};

// The receive path: the receive notification moves bytes from the port into a 1024-byte ring; the
// assembler step drains the ring, finds headers by their CRC-24, collects whole frames, checks the
// payload checksum and dispatches. No byte is ever overwritten unread: the notification takes at
// most the ring's free space, and the step pulls what the port still holds after draining.
// Allocates nothing.
class Receiver {
  public:
    static constexpr std::size_t kRingSize = 1024;
    // Bytes one step pulls from the port after the ring at most, so a flood cannot starve the window.
    static constexpr std::size_t kMaxPullPerStep = 64 * 1024;
    // The longest run of dropped bytes told to the observer in one piece.
    static constexpr std::size_t kMaxDiscardRun = 256;

    explicit Receiver(ISerialPort& port);

    void SetConsumer(IFrameConsumer* consumer) { consumer_ = consumer; }
    // Hears every frame taken from the line and every run of dropped bytes; null: nobody.
    void SetObserver(ILinkObserver* observer);

    // CommPortRxChar: copy what the port holds into the ring, as much as fits.
    void ReceiveNotification();
    // TimerRXTimer: drain the ring (and the port behind it) and dispatch every complete frame.
    // Safe to run nested from inside a consumer. Nothing while the port is closed.
    void Step();
    // The end of a connection: dispatches every frame the ring still completes, also after the
    // port has closed or vanished, so what a port delivered is filed while its database is open.
    void Flush();
    // The start of a connection: the ring and the assembler empty, so no byte of the last port
    // reaches the next one and a half frame never joins the new port's bytes.
    void Reset();

    std::uint32_t ReceivedBytes() const { return receivedBytes_; }
    void ResetReceivedBytes() { receivedBytes_ = 0; }
    std::size_t RingUsed() const { return (write_ + kRingSize - read_) % kRingSize; }
    std::size_t AssemblyCount() const { return count_; }

  private:
    std::size_t RingFree() const { return kRingSize - 1 - RingUsed(); }
    // Reads from the port into the ring's free space; returns the number of bytes taken.
    std::size_t FillRing();
    void Drain();
    void Dispatch();
    void NoteDiscarded(std::uint8_t byte);
    void FlushDiscarded();

    ISerialPort& port_;
    IFrameConsumer* consumer_ = nullptr;

    std::array<std::uint8_t, kRingSize> ring_{};
    std::size_t write_ = 0;
    std::size_t read_ = 0;
    FrameBuffer assembly_{};
    std::size_t count_ = 0;
    std::uint32_t receivedBytes_ = 0;

    ILinkObserver* observer_ = nullptr;
    std::array<std::uint8_t, kMaxDiscardRun> discarded_{};
    std::size_t discardedCount_ = 0;  // stays 0 while no observer is set
};

}  // namespace lumvaris::link
