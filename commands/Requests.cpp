#include "commands/Requests.h"

#include <algorithm>
#include <initializer_list>

namespace lumvaris::commands::request {
namespace {

Request With(RequestType type, std::initializer_list<std::uint32_t> bytes) {
    Request r;
    r.type = type;
    for (const std::uint32_t b : bytes) {
        r.body[r.bodyLength++] = static_cast<std::uint8_t>(b & 0xFF);
    }
    return r;
}

Request Text(RequestType type, const std::uint8_t* text, std::size_t length) {
    Request r;
    r.type = type;
    r.bodyLength = std::min<std::size_t>(length, kMaxBody);
    if (r.bodyLength > 0) {
        std::copy(text, text + r.bodyLength, r.body.begin());
    }
    return r;
}

std::uint32_t Low(std::uint32_t v) {
    return v & 0xFF;
}
std::uint32_t High(std::uint32_t v) {
    return (v >> 8) & 0xFF;
}

}  // namespace

Request Plain(RequestType type) {
    return With(type, {});
}

Request ConfigWrite(int networkSize, const ConfigurationByte& configuration) {
    const auto size = static_cast<std::uint32_t>(networkSize);
    return With(RequestType::ConfigWrite, {Low(size), High(size), configuration.Encode()});
}

Request ClockWrite(const ClockRecord& clock) {
    Request r = With(RequestType::ClockWrite, {});
    clock.Encode(r.body.data());
    r.bodyLength = ClockRecord::kSize;
    return r;
}

Request ClockTrimWrite(int ppm) {
    return With(RequestType::ClockTrimWrite, {static_cast<std::uint32_t>(ppm)});
}

Request AddressWrite(std::uint16_t destination, std::uint16_t newAddress) {
    Request r = With(RequestType::AddressWrite, {Low(newAddress), High(newAddress)});
    r.destination = destination;
    return r;
}

Request UartRateWrite(int rateIndex) {
    return With(RequestType::UartRateWrite, {static_cast<std::uint32_t>(rateIndex)});
}

Request BillingDayWrite(int billingDay) {
    return With(RequestType::BillingDayWrite, {static_cast<std::uint32_t>(billingDay)});
}

Request PasswordWrite(const std::uint8_t* text, std::size_t length) {
    return Text(RequestType::PasswordWrite, text, length);
}

Request PasswordSend(const std::uint8_t* text, std::size_t length) {
    return Text(RequestType::PasswordSend, text, length);
}

Request PlcCommandQueue(const ShortPlcCommand& c) {
    return With(RequestType::PlcCommandQueue, {c.type, Low(c.ssss), High(c.ssss), Low(c.dddd), High(c.dddd)});
}

Request KeyWrite(const std::array<std::uint8_t, 32>& key) {
    return Text(RequestType::KeyWrite, key.data(), key.size());
}

Request RegisterRead(std::uint32_t page, std::uint32_t offset, int words) {
    return With(RequestType::RegisterRead,
                {Low(page), High(page), Low(offset), High(offset), static_cast<std::uint32_t>(words)});
}

Request MonthRecordClear(int meter) {
    const auto m = static_cast<std::uint32_t>(meter);
    return With(RequestType::MonthRecordClear, {Low(m), High(m)});
}

Request FirmwareBegin(std::size_t lineCount) {
    const auto n = static_cast<std::uint32_t>(lineCount & 0xFFFF);
    return With(RequestType::FirmwareBegin, {Low(n), High(n)});
}

Request DebugModeWrite(bool sendPhase, bool stopPlc) {
    return With(RequestType::DebugModeWrite, {(sendPhase ? 1u : 0u) | (stopPlc ? 2u : 0u)});
}

Request FirmwareLine(const std::uint8_t* text, std::size_t length) {
    return Text(RequestType::FirmwareLine, text, length);
}

Request PacketBufferRead(int meter) {
    const auto m = static_cast<std::uint32_t>(meter);
    return With(RequestType::PacketBufferRead, {Low(m), High(m)});
}

Request MonthBufferRead(int meter) {
    const auto m = static_cast<std::uint32_t>(meter);
    return With(RequestType::MonthBufferRead, {Low(m), High(m)});
}

Request LongCommandHeader(std::uint16_t destination, int longCommandType, int blocks) {
    Request r = With(RequestType::LongCommandHeader,
                     {Low(destination), High(destination), static_cast<std::uint32_t>(longCommandType),
                      static_cast<std::uint32_t>(blocks)});
    r.destination = destination;
    return r;
}

Request LongCommandBlock(std::uint16_t destination, const std::uint8_t* fourBytes) {
    Request r = With(RequestType::LongCommandBlock, {fourBytes[0], fourBytes[1], fourBytes[2], fourBytes[3]});
    r.destination = destination;
    return r;
}

}  // namespace lumvaris::commands::request
