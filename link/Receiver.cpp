#include "Receiver.h"

#include <algorithm>
#include <cstring>

namespace lumvaris::link {

Receiver::Receiver(ISerialPort& port) : port_(port) {}

std::size_t Receiver::FillRing() {
    std::size_t total = 0;
    // At most two contiguous pieces: up to the end of the ring, then from its start.
    for (int piece = 0; piece < 2; ++piece) {
        const std::size_t free = RingFree();
        if (free == 0) {
            break;
        }
        const std::size_t contiguous = std::min(free, kRingSize - write_);
        const std::size_t got = port_.ReadAvailable(&ring_[write_], contiguous);
        if (got == 0) {
            break;
        }
        const std::size_t taken = std::min(got, contiguous);
        write_ = (write_ + taken) % kRingSize;
        receivedBytes_ += static_cast<std::uint32_t>(taken);
        total += taken;
        if (taken < contiguous) {
            break;
        }
    }
    return total;
}

void Receiver::ReceiveNotification() {
    FillRing();
}

void Receiver::SetObserver(ILinkObserver* observer) {
    FlushDiscarded();
    observer_ = observer;
}

void Receiver::Step() {
    if (port_.IsOpen()) {
        Flush();
    }
}

void Receiver::Flush() {
    Drain();
    // What was dropped so far is told now, not when the next header turns up.
    FlushDiscarded();
}

void Receiver::Reset() {
    FlushDiscarded();
    read_ = write_ = 0;
    count_ = 0;
}

void Receiver::Drain() {
    std::size_t pulled = 0;
    for (;;) {
        if (read_ == write_) {
            if (pulled >= kMaxPullPerStep) {
                return;
            }
            const std::size_t got = FillRing();
            if (got == 0) {
                return;
            }
            pulled += got;
            continue;
        }

        assembly_[count_++] = ring_[read_];
        read_ = (read_ + 1) % kRingSize;
        if (count_ < kHeaderSize) {
            continue;
        }
        if (count_ == kHeaderSize) {
            if (!CheckHeaderCrc(assembly_)) {
                // Resynchronise: drop the oldest byte and slide the 8-byte window by one.
                if (observer_ != nullptr) {
                    NoteDiscarded(assembly_[0]);
                }
                std::memmove(&assembly_[0], &assembly_[1], kHeaderSize - 1);
                count_ = kHeaderSize - 1;
                continue;
            }
            if (discardedCount_ != 0) {
                FlushDiscarded();  // the dropped bytes came before this frame
            }
        }
        // A valid header stays valid, so the body can be taken in bulk.
        const std::size_t need = FrameLength(assembly_);
        while (count_ < need && read_ != write_) {
            const std::size_t contiguous = (write_ > read_ ? write_ : kRingSize) - read_;
            const std::size_t take = std::min(need - count_, contiguous);
            std::memcpy(&assembly_[count_], &ring_[read_], take);
            count_ += take;
            read_ = (read_ + take) % kRingSize;
        }
        if (count_ < need) {
            continue;  // the ring is empty; the frame completes on a later step or pull
        }
        count_ = 0;  // the frame's bytes are consumed whatever the checks say
        Dispatch();
    }
}

void Receiver::Dispatch() {
    const std::uint8_t n = PayloadLength(assembly_);
    const bool checksumOk = PayloadChecksum(Payload(assembly_), n) == assembly_[kOffsetPayload + n];
    if (observer_ != nullptr) {
        observer_->FrameReceived(assembly_.data(), FrameLength(assembly_), checksumOk);
    }
    if (n == 0 || !checksumOk) {
        return;
    }
    FrameBuffer frame = assembly_;  // the consumer's own copy; the assembler may run again meanwhile
    if (consumer_ == nullptr) {
        return;
    }
    if (IsMeterSource(SourceAddress(frame))) {
        if (n == kMeterPacketLength) {
            consumer_->HandleMeterPacket(frame);
        }
    } else {
        consumer_->HandleReply(frame);
    }
    consumer_->ShowByteCounter(receivedBytes_);
}

void Receiver::NoteDiscarded(std::uint8_t byte) {
    discarded_[discardedCount_++] = byte;
    if (discardedCount_ == discarded_.size()) {
        FlushDiscarded();
    }
}

void Receiver::FlushDiscarded() {
    const std::size_t count = discardedCount_;
    discardedCount_ = 0;
    if (count != 0 && observer_ != nullptr) {
        observer_->BytesDiscarded(discarded_.data(), count);
    }
}

}  // namespace lumvaris::link
