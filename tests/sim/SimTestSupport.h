#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/Frame.h"
#include "support/FakeSerialPort.h"

namespace lumvaris::sim::testing {

using lumvaris::testing::Hex;
using lumvaris::testing::ToHex;

// A request frame from the workstation: destination and payload (type code first) given, the
// checksum and header CRC completed.
inline link::FrameBuffer Request(std::uint16_t destination, const std::vector<std::uint8_t>& payload) {
    link::FrameBuffer f{};
    link::FillHeader(f, link::kWorkstationAddress, destination, static_cast<std::uint8_t>(payload.size()),
                     payload.empty() ? 0 : payload[0]);
    std::copy(payload.begin(), payload.end(), link::Payload(f));
    link::CompleteFrame(f);
    return f;
}

inline link::FrameBuffer Request(std::uint16_t destination, const std::string& hexPayload) {
    return Request(destination, Hex(hexPayload));
}

}  // namespace lumvaris::sim::testing
