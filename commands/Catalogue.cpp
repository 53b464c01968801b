#include "commands/Catalogue.h"

#include <algorithm>
#include <iterator>

namespace lumvaris::commands {
namespace {

using enum RequestType;
constexpr Destination U = Destination::UartId;
constexpr Destination G = Destination::Given;

// type, name, destination, N, expected reply, protected, keeps access, pause
constexpr CommandInfo kCommands[] = {
    {ConfigWrite, "ConfigWrite", U, 4, 0x80, false, false, 100},
    {ClockWrite, "ClockWrite", U, 8, 0x81, true, false, 100},
    {ClockTrimWrite, "ClockTrimWrite", U, 2, 0x84, false, false, 100},
    {AddressWrite, "AddressWrite", G, 3, 0x86, false, false, 100},
    {SlaveClockSync, "SlaveClockSync", U, 1, 0x07, false, false, 100},
    {UartRateWrite, "UartRateWrite", U, 2, 0x88, true, false, 100},
    {BillingDayWrite, "BillingDayWrite", U, 2, 0x89, true, false, 100},
    {PasswordWrite, "PasswordWrite", U, kTextLength, 0x0A, true, false, 100},
    {PasswordSend, "PasswordSend", U, kTextLength, 0x0B, false, true, 100},
    {PlcCommandQueue, "PlcCommandQueue", U, 6, 0x0C, false, false, 100},
    {KeyWrite, "KeyWrite", U, 33, 0x0D, false, false, 100},
    {LastStartRead, "LastStartRead", U, 1, 0x75, false, false, 100},
    {Restart, "Restart", U, 1, 0x76, false, false, 100},
    {RegisterRead, "RegisterRead", U, 6, 0x77, false, false, 100},
    {MonthRecordClear, "MonthRecordClear", U, 3, 0x78, false, false, 100},
    {MemoryTest, "MemoryTest", U, 1, 0x79, false, false, 100},
    {FirmwareBegin, "FirmwareBegin", U, 3, 0x7A, false, false, 100},
    {PacketBufferClear, "PacketBufferClear", U, 1, 0x7B, false, false, 100},
    {DebugModeWrite, "DebugModeWrite", U, 2, 0x7C, false, false, 100},
    {MonthBufferClear, "MonthBufferClear", U, 1, 0x7D, false, false, 100},
    // Lines follow each other as fast as the concentrator acknowledges them.
    {FirmwareLine, "FirmwareLine", U, kTextLength, 0x7E, false, false, 0},
    // The outdated upload's start is answered by 0x7F ("Память очищена").
    {FirmwareBeginLegacy, "FirmwareBeginLegacy", U, 1, 0x7F, false, false, 100},
    {ConfigRead, "ConfigRead", U, 1, 0x80, false, false, 100},
    {ClockRead, "ClockRead", U, 1, 0x81, false, false, 100},
    {PacketBufferRead, "PacketBufferRead", U, 3, 0x82, false, false, 100},
    {VersionRead, "VersionRead", U, 1, 0x83, false, false, 100},
    {ClockTrimRead, "ClockTrimRead", U, 1, 0x84, false, false, 100},
    {MonthBufferRead, "MonthBufferRead", U, 3, 0x85, false, false, 100},
    {AddressRead, "AddressRead", U, 1, 0x86, false, false, 100},
    {LineStateRead, "LineStateRead", U, 1, 0x87, false, false, 100},
    {UartRateRead, "UartRateRead", U, 1, 0x88, false, false, 100},
    {BillingDayRead, "BillingDayRead", U, 1, 0x89, false, false, 100},
    {PlcFreeCellsRead, "PlcFreeCellsRead", U, 1, 0x8A, false, false, 100},
    {FingerprintRead, "FingerprintRead", U, 1, 0x8B, false, false, 100},
    {LongCommandHeader, "LongCommandHeader", G, 5, kNoWait, false, false, 100},
    {LongCommandBlock, "LongCommandBlock", G, 5, kNoWait, false, false, 100},
};

constexpr LengthRule kNone = LengthRule::None;
constexpr LengthRule kExactly = LengthRule::Exactly;
constexpr LengthRule kAtLeast = LengthRule::AtLeast;

// The length each reply needs for its main effect. 0x0C, 0x82, 0x83 and 0x85 also have an effect
// for the other lengths (buffer full, no data); the handler says which.
constexpr ReplyInfo kReplies[] = {
    {0x07, "SlaveClockSync", kExactly, 1},      {0x0A, "PasswordWrite", kAtLeast, 1},
    {0x0B, "PasswordSend", kAtLeast, 1},        {0x0C, "PlcCommandQueue", kExactly, 6},
    {0x0D, "KeyWrite", kExactly, 33},           {kAccessDenied, "AccessDenied", kExactly, 1},
    {0x75, "LastStartRead", kExactly, 8},       {0x76, "Restart", kNone, 0},
    {0x77, "RegisterRead", kAtLeast, 1},        {0x78, "MonthRecordClear", kNone, 0},
    {0x79, "MemoryTest", kExactly, 7},          {0x7A, "FirmwareBegin", kNone, 0},
    {0x7B, "PacketBufferClear", kNone, 0},      {0x7C, "DebugModeWrite", kExactly, 1},
    {0x7D, "MonthBufferClear", kNone, 0},       {0x7E, "FirmwareLine", kExactly, 1},
    {0x7F, "FirmwareBeginLegacy", kExactly, 1}, {0x80, "ConfigRead", kExactly, 4},
    {0x81, "ClockRead", kExactly, 8},           {0x82, "PacketBufferRead", kExactly, 14},
    {0x83, "VersionRead", kAtLeast, 2},         {0x84, "ClockTrimRead", kExactly, 2},
    {0x85, "MonthBufferRead", kAtLeast, 4},     {0x86, "AddressRead", kExactly, 3},
    {0x87, "LineStateRead", kExactly, 103},     {0x88, "UartRateRead", kExactly, 2},
    {0x89, "BillingDayRead", kExactly, 2},      {0x8A, "PlcFreeCellsRead", kExactly, 2},
    {0x8B, "FingerprintRead", kExactly, 5},
};

}  // namespace

const CommandInfo* FindCommand(std::uint8_t code) {
    const auto found = std::find_if(std::begin(kCommands), std::end(kCommands), [code](const CommandInfo& c) {
        return static_cast<std::uint8_t>(c.type) == code;
    });
    return found == std::end(kCommands) ? nullptr : &*found;
}

const CommandInfo& Info(RequestType type) {
    // Every enumerator has its row (a test walks them all).
    return *FindCommand(static_cast<std::uint8_t>(type));
}

const CommandInfo* Commands(int& count) {
    count = static_cast<int>(std::size(kCommands));
    return kCommands;
}

const ReplyInfo* FindReply(std::uint8_t code) {
    const auto found = std::find_if(std::begin(kReplies), std::end(kReplies),
                                    [code](const ReplyInfo& r) { return r.type == code; });
    return found == std::end(kReplies) ? nullptr : &*found;
}

bool MeetsLength(const ReplyInfo& reply, int length) {
    switch (reply.rule) {
        case LengthRule::Exactly:
            return length == reply.length;
        case LengthRule::AtLeast:
            return length >= reply.length;
        case LengthRule::None:
            break;
    }
    return false;
}

const char* RequestName(std::uint8_t code) {
    const CommandInfo* info = FindCommand(code);
    return info != nullptr ? info->name : nullptr;
}

}  // namespace lumvaris::commands
