#pragma once

#include <cstddef>
#include <climits>
#include <cstdint>
#include <deque>
#include <vector>

#include "link/LinkObserver.h"

namespace lumvaris::meterdata {
class IClock;
}

namespace lumvaris::monitor {

enum class TrafficKind : std::uint8_t {
    Sent,         // a request as written
    Received,     // a frame taken from the line whose checksum holds
    BadChecksum,  // a frame taken from the line and dropped for its checksum
    Discarded,    // bytes dropped while the assembler looked for a header
};

struct TrafficEntry {
    int timeMs = 0;  // milliseconds since midnight on the workstation's clock
    TrafficKind kind = TrafficKind::Received;
    std::vector<std::uint8_t> bytes;  // the whole frame as on the line, or the dropped bytes
};

// The record of the link traffic: one entry per frame sent or received and per run of dropped
// bytes, stamped with the workstation's clock, at most maxEntries of them (the oldest go first).
// Entries are numbered in order from 0 for the whole life of the log, so a view can tell which
// ones it has shown after the oldest have gone or the log was cleared.
class TrafficLog final : public link::ILinkObserver {
  public:
    static constexpr std::size_t kMaxEntries = 100000;

    explicit TrafficLog(const meterdata::IClock& clock, std::size_t maxEntries = kMaxEntries);

    void FrameSent(const std::uint8_t* frame, std::size_t length) override;
    void FrameReceived(const std::uint8_t* frame, std::size_t length, bool checksumOk) override;
    void BytesDiscarded(const std::uint8_t* bytes, std::size_t count) override;

    void Add(TrafficKind kind, const std::uint8_t* bytes, std::size_t count);
    void Clear();

    std::size_t Size() const { return entries_.size(); }
    // The number of the oldest entry kept, and one past the newest.
    std::uint64_t FirstSequence() const { return first_; }
    std::uint64_t EndSequence() const { return first_ + entries_.size(); }
    // FirstSequence() <= sequence < EndSequence().
    const TrafficEntry& At(std::uint64_t sequence) const {
        return entries_[static_cast<std::size_t>(sequence - first_)];
    }

  private:
    // The local time of day of a moment. The offset from UTC is looked up once per quarter of an
    // hour (time zones change theirs only on such boundaries): a local date and time costs a look
    // at the time-zone file, too much for every frame of a busy line.
    int TimeOfDay(std::int64_t utcMs);

    const meterdata::IClock& clock_;
    const std::size_t maxEntries_;
    std::deque<TrafficEntry> entries_;
    std::uint64_t first_ = 0;
    std::int64_t offsetQuarter_ = INT64_MIN;
    std::int64_t offsetMs_ = 0;
};

}  // namespace lumvaris::monitor
