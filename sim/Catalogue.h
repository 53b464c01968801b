#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumvaris::sim {

// The requests the concentrator understands, with the payload lengths it takes.
struct RequestInfo {
    std::uint8_t type;
    const char* name;
    std::uint8_t minLength;  // payload length N, type code included
    std::uint8_t maxLength;
};

const RequestInfo* FindRequest(std::uint8_t type);

// One log text for a whole frame: the request or reply name, or the meter and packet type.
std::string DescribeFrame(const std::uint8_t* frame, std::size_t size);

}  // namespace lumvaris::sim
