#pragma once

#include <cstdint>
#include <deque>
#include <map>

namespace lumvaris::meterdata {

// What one meter's live packets told since the connection opened.
struct MeterHealth {
    int packets = 0;
    std::deque<std::int64_t> lastHour;  // times of the packets of about the last hour, oldest first
    std::int64_t lastHeard = 0;         // milliseconds since the epoch, as all times here
    std::uint8_t lastLevel = 0;         // the level byte: level in the low nibble, phase in the high
    std::uint8_t minLevel = 0;          // lowest and highest level (low nibble, in 25 % steps)
    std::uint8_t maxLevel = 0;
};

// The health of the network: for every meter heard since the connection opened, how many live
// packets came, how many in the last hour, when the last came and how strong. Kept in memory for
// the connection only; the database files know nothing of it.
class NetworkHealth {
  public:
    static constexpr std::int64_t kHourMs = 3600000;

    void Clear() { meters_.clear(); }
    // A live packet of this meter with this level byte, heard at nowMs.
    void Hear(int meter, std::uint8_t level, std::int64_t nowMs);

    // The meters heard, by number.
    const std::map<int, MeterHealth>& Meters() const { return meters_; }
    // The packets heard in the hour up to nowMs.
    static int PacketsInLastHour(const MeterHealth& meter, std::int64_t nowMs);

  private:
    std::map<int, MeterHealth> meters_;
};

}  // namespace lumvaris::meterdata
