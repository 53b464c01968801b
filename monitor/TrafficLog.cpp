#include "monitor/TrafficLog.h"

#include <QDateTime>

#include "meterdata/IClock.h"

namespace lumvaris::monitor {

TrafficLog::TrafficLog(const meterdata::IClock& clock, std::size_t maxEntries)
    : clock_(clock), maxEntries_(maxEntries < 1 ? 1 : maxEntries) {}

void TrafficLog::FrameSent(const std::uint8_t* frame, std::size_t length) {
    Add(TrafficKind::Sent, frame, length);
}

void TrafficLog::FrameReceived(const std::uint8_t* frame, std::size_t length, bool checksumOk) {
    Add(checksumOk ? TrafficKind::Received : TrafficKind::BadChecksum, frame, length);
}

void TrafficLog::BytesDiscarded(const std::uint8_t* bytes, std::size_t count) {
    Add(TrafficKind::Discarded, bytes, count);
}

void TrafficLog::Add(TrafficKind kind, const std::uint8_t* bytes, std::size_t count) {
    if (entries_.size() >= maxEntries_) {
        entries_.pop_front();
        ++first_;
    }
    entries_.push_back({clock_.Now().time().msecsSinceStartOfDay(), kind, {bytes, bytes + count}});
}

void TrafficLog::Clear() {
    first_ += entries_.size();
    entries_.clear();
}

}  // namespace lumvaris::monitor
