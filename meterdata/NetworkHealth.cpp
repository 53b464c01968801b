#include "meterdata/NetworkHealth.h"

#include <algorithm>

namespace lumvaris::meterdata {

void NetworkHealth::Hear(int meter, std::uint8_t level, std::int64_t nowMs) {
    MeterHealth& m = meters_[meter];
    const auto strength = static_cast<std::uint8_t>(level & 0x0F);
    if (m.packets == 0) {
        m.minLevel = m.maxLevel = strength;
    } else {
        m.minLevel = std::min(m.minLevel, strength);
        m.maxLevel = std::max(m.maxLevel, strength);
    }
    ++m.packets;
    m.lastHeard = nowMs;
    m.lastLevel = level;
    while (!m.lastHour.empty() && m.lastHour.front() <= nowMs - kHourMs) {
        m.lastHour.pop_front();
    }
    m.lastHour.push_back(nowMs);
}

int NetworkHealth::PacketsInLastHour(const MeterHealth& meter, std::int64_t nowMs) {
    const auto from = std::partition_point(meter.lastHour.begin(), meter.lastHour.end(),
                                           [nowMs](std::int64_t t) { return t <= nowMs - kHourMs; });
    const auto to =
        std::partition_point(from, meter.lastHour.end(), [nowMs](std::int64_t t) { return t <= nowMs; });
    return static_cast<int>(to - from);
}

}  // namespace lumvaris::meterdata
