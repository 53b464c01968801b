#include "monitor/TrafficFilter.h"

#include <algorithm>

#include "link/Frame.h"

namespace lumvaris::monitor {

bool TrafficFilter::Passes(const TrafficEntry& entry) const {
    const bool sent = entry.kind == TrafficKind::Sent;
    if ((direction == DirectionFilter::Sent && !sent) || (direction == DirectionFilter::Received && sent)) {
        return false;
    }
    const std::vector<std::uint8_t>& b = entry.bytes;
    const bool frame = entry.kind != TrafficKind::Discarded && b.size() > link::kOffsetPayload;
    if (!meterPackets && frame && !sent && link::IsMeterSource(link::ReadWord(&b[link::kOffsetSource]))) {
        return false;
    }
    if (types.empty()) {
        return true;
    }
    // A frame with N = 0 has no type code either.
    return frame && b[link::kOffsetLength] != 0 &&
           std::find(types.begin(), types.end(), b[link::kOffsetPayload]) != types.end();
}

}  // namespace lumvaris::monitor
