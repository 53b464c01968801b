#pragma once

#include <cstddef>
#include <cstdint>

namespace lumvaris::link {

// Hears everything that passes the link, for a traffic monitor: each frame written, each frame the
// assembler took from the line (good or not), and each run of bytes it dropped while looking for a
// header. The bytes are lent for the call only. Called on the user-interface thread from inside the
// sender and the frame assembler, so an observer must return without letting events run. Nothing of
// this costs anything while no observer is set.
class ILinkObserver {
  public:
    virtual ~ILinkObserver() = default;
    // A request as it went out: the whole frame, N + 9 bytes, checksum and CRC in place.
    virtual void FrameSent(const std::uint8_t* frame, std::size_t length) = 0;
    // A frame whose header passed its CRC, N + 9 bytes as received. checksumOk false: the payload
    // checksum failed and the frame was dropped. (A frame with N = 0 is dropped whatever it holds.)
    virtual void FrameReceived(const std::uint8_t* frame, std::size_t length, bool checksumOk) = 0;
    // Consecutive bytes dropped by the resynchronisation, oldest first. A long run arrives in pieces
    // of at most Receiver::kMaxDiscardRun bytes; a run also ends where an assembler step ends.
    virtual void BytesDiscarded(const std::uint8_t* bytes, std::size_t count) = 0;
};

}  // namespace lumvaris::link
