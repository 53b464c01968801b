#include "Catalogue.h"

#include <cstdio>

#include "link/Frame.h"

namespace lumvaris::sim {
namespace {

constexpr RequestInfo kRequests[] = {
    {0x00, "ConfigWrite", 4, 4},       {0x01, "ClockWrite", 8, 8},
    {0x04, "ClockTrimWrite", 2, 2},    {0x06, "AddressWrite", 3, 3},
    {0x07, "SlaveClockSync", 1, 1},    {0x08, "UartRateWrite", 2, 2},
    {0x09, "BillingDayWrite", 2, 2},   {0x0A, "PasswordWrite", 1, 255},
    {0x0B, "PasswordSend", 1, 255},    {0x0C, "PlcCommandQueue", 6, 6},
    {0x0D, "KeyWrite", 33, 33},        {0x75, "LastStartRead", 1, 1},
    {0x76, "Restart", 1, 1},           {0x77, "RegisterRead", 6, 6},
    {0x78, "MonthRecordClear", 3, 3},  {0x79, "MemoryTest", 1, 1},
    {0x7A, "FirmwareBegin", 3, 3},     {0x7B, "PacketBufferClear", 1, 1},
    {0x7C, "DebugModeWrite", 2, 2},    {0x7D, "MonthBufferClear", 1, 1},
    {0x7E, "FirmwareLine", 1, 255},    {0x7F, "FirmwareBeginLegacy", 1, 1},
    {0x80, "ConfigRead", 1, 1},        {0x81, "ClockRead", 1, 1},
    {0x82, "PacketBufferRead", 3, 3},  {0x83, "VersionRead", 1, 1},
    {0x84, "ClockTrimRead", 1, 1},     {0x85, "MonthBufferRead", 3, 3},
    {0x86, "AddressRead", 1, 1},       {0x87, "LineStateRead", 1, 1},
    {0x88, "UartRateRead", 1, 1},      {0x89, "BillingDayRead", 1, 1},
    {0x8A, "PlcFreeCellsRead", 1, 1},  {0x8B, "FingerprintRead", 1, 1},
    {0xD8, "LongCommandHeader", 5, 5}, {0xD9, "LongCommandBlock", 5, 5},
};

}  // namespace

const RequestInfo* FindRequest(std::uint8_t type) {
    for (const RequestInfo& r : kRequests) {
        if (r.type == type) {
            return &r;
        }
    }
    return nullptr;
}

std::string DescribeFrame(const std::uint8_t* frame, std::size_t size) {
    if (size < link::kHeaderSize + 2) {
        return "runt";
    }
    const std::uint16_t source = link::ReadWord(frame + link::kOffsetSource);
    const std::uint16_t destination = link::ReadWord(frame + link::kOffsetDestination);
    const std::uint8_t n = frame[link::kOffsetLength];
    const std::uint8_t type = frame[link::kOffsetPayload];
    char text[128];
    if (link::IsMeterSource(source)) {
        std::snprintf(text, sizeof text, "meter packet, meter %u, type %02Xh",
                      source & link::kMeterNumberMask, type);
        return text;
    }
    if (type == 0x40 && source != link::kWorkstationAddress) {
        return "AccessDenied";
    }
    const RequestInfo* r = FindRequest(type);
    const char* name = r != nullptr ? r->name : "unknown type";
    if (source == link::kWorkstationAddress) {
        std::snprintf(text, sizeof text, "%s to %04X, N=%u", name, destination, n);
    } else {
        // Replies carry the type of the read they answer.
        std::snprintf(text, sizeof text, "%s reply, N=%u", name, n);
    }
    return text;
}

}  // namespace lumvaris::sim
