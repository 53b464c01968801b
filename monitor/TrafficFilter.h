#pragma once

#include <cstdint>
#include <vector>

#include "monitor/TrafficLog.h"

namespace lumvaris::monitor {

enum class DirectionFilter { Both, Sent, Received };

// Which entries the monitor shows. Dropped bytes count as received and carry no type code, so a
// type filter hides them.
struct TrafficFilter {
    DirectionFilter direction = DirectionFilter::Both;
    bool meterPackets = true;         // frames from the meter address range
    std::vector<std::uint8_t> types;  // the type codes shown; empty: every type

    bool Passes(const TrafficEntry& entry) const;
};

}  // namespace lumvaris::monitor
