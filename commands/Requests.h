#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "commands/Catalogue.h"
#include "commands/Records.h"

namespace lumvaris::commands {

// One request before it is framed: its type, the payload bytes after the type code and, for the
// requests whose destination is not the UART-ID, that destination. The sender adds the rest from
// the catalogue.
struct Request {
    RequestType type = RequestType::ConfigRead;
    std::array<std::uint8_t, kMaxBody> body{};
    std::size_t bodyLength = 0;
    std::optional<std::uint16_t> destination;

    // N: the type code and the body.
    int PayloadLength() const { return static_cast<int>(bodyLength) + 1; }
};

// One builder per request; each fills the body byte for byte. Numbers go out little-endian,
// signed values as their two's complement byte.
namespace request {

// The requests that carry nothing but their type code (the reads, the clears, Restart, ...).
Request Plain(RequestType type);
Request ConfigWrite(int networkSize, const ConfigurationByte& configuration);
Request ClockWrite(const ClockRecord& clock);
Request ClockTrimWrite(int ppm);
Request AddressWrite(std::uint16_t destination, std::uint16_t newAddress);
Request UartRateWrite(int rateIndex);
Request BillingDayWrite(int billingDay);
// The text's code page 1251 bytes; at most kMaxBody of them are taken (the page refuses longer
// texts before it gets here).
Request PasswordWrite(const std::uint8_t* text, std::size_t length);
Request PasswordSend(const std::uint8_t* text, std::size_t length);
Request PlcCommandQueue(const ShortPlcCommand& command);
Request KeyWrite(const std::array<std::uint8_t, 32>& key);
Request RegisterRead(std::uint32_t page, std::uint32_t offset, int words);
Request MonthRecordClear(int meter);
Request FirmwareBegin(std::size_t lineCount);
Request DebugModeWrite(bool sendPhase, bool stopPlc);
Request FirmwareLine(const std::uint8_t* text, std::size_t length);
Request PacketBufferRead(int meter);
Request MonthBufferRead(int meter);
// To one meter (0x1000 + meter) or to all (0x1FFF); the destination is repeated in P1-P2.
Request LongCommandHeader(std::uint16_t destination, int longCommandType, int blocks);
Request LongCommandBlock(std::uint16_t destination, const std::uint8_t* fourBytes);

}  // namespace request

}  // namespace lumvaris::commands
