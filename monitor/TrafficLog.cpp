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
    entries_.push_back({TimeOfDay(clock_.NowMs()), kind, {bytes, bytes + count}});
}

int TrafficLog::TimeOfDay(std::int64_t utcMs) {
    constexpr std::int64_t kQuarterMs = 15 * 60 * 1000;
    constexpr std::int64_t kDayMs = 24 * 60 * 60 * 1000;
    const std::int64_t quarter = utcMs >= 0 ? utcMs / kQuarterMs : (utcMs - kQuarterMs + 1) / kQuarterMs;
    if (quarter != offsetQuarter_) {
        offsetQuarter_ = quarter;
        offsetMs_ = QDateTime::fromMSecsSinceEpoch(quarter * kQuarterMs).offsetFromUtc() * std::int64_t{1000};
    }
    return static_cast<int>(((utcMs + offsetMs_) % kDayMs + kDayMs) % kDayMs);
}

void TrafficLog::Clear() {
    first_ += entries_.size();
    entries_.clear();
}

}  // namespace lumvaris::monitor
