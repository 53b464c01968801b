#include "commands/Catalogue.h"

#include <algorithm>
#include <iterator>

namespace lumvaris::commands {
namespace {

using enum RequestType;
constexpr int kNoWait = link::Requester::kNoWait;
constexpr int R(RequestType type) {
    return Code(type);
}
constexpr Destination U = Destination::UartId;
constexpr Destination G = Destination::Given;

// type, name, destination, N, expected reply, protected, keeps access, pause
constexpr CommandInfo kCommands[] = {
    {ConfigWrite, "ConfigWrite", U, 4, R(ConfigRead), false, false, 100},
    {ClockWrite, "ClockWrite", U, 8, R(ClockRead), true, false, 100},
    {ClockTrimWrite, "ClockTrimWrite", U, 2, R(ClockTrimRead), false, false, 100},
    {AddressWrite, "AddressWrite", G, 3, R(AddressRead), false, false, 100},
    {SlaveClockSync, "SlaveClockSync", U, 1, R(SlaveClockSync), false, false, 100},
    {UartRateWrite, "UartRateWrite", U, 2, R(UartRateRead), true, false, 100},
    {BillingDayWrite, "BillingDayWrite", U, 2, R(BillingDayRead), true, false, 100},
    {PasswordWrite, "PasswordWrite", U, kTextLength, R(PasswordWrite), true, false, 100},
    {PasswordSend, "PasswordSend", U, kTextLength, R(PasswordSend), false, true, 100},
    {PlcCommandQueue, "PlcCommandQueue", U, 6, R(PlcCommandQueue), false, false, 100},
    {KeyWrite, "KeyWrite", U, 33, R(KeyWrite), false, false, 100},
    {LastStartRead, "LastStartRead", U, 1, R(LastStartRead), false, false, 100},
    {Restart, "Restart", U, 1, R(Restart), false, false, 100},
    {RegisterRead, "RegisterRead", U, 6, R(RegisterRead), false, false, 100},
    {MonthRecordClear, "MonthRecordClear", U, 3, R(MonthRecordClear), false, false, 100},
    {MemoryTest, "MemoryTest", U, 1, R(MemoryTest), false, false, 100},
    {FirmwareBegin, "FirmwareBegin", U, 3, R(FirmwareBegin), false, false, 100},
    {PacketBufferClear, "PacketBufferClear", U, 1, R(PacketBufferClear), false, false, 100},
    {DebugModeWrite, "DebugModeWrite", U, 2, R(DebugModeWrite), false, false, 100},
    {MonthBufferClear, "MonthBufferClear", U, 1, R(MonthBufferClear), false, false, 100},
    // Lines follow each other as fast as the concentrator acknowledges them.
    {FirmwareLine, "FirmwareLine", U, kTextLength, R(FirmwareLine), false, false, 0},
    // The outdated upload's start is answered by 0x7F ("Память очищена").
    {FirmwareBeginLegacy, "FirmwareBeginLegacy", U, 1, R(FirmwareBeginLegacy), false, false, 100},
    {ConfigRead, "ConfigRead", U, 1, R(ConfigRead), false, false, 100},
    {ClockRead, "ClockRead", U, 1, R(ClockRead), false, false, 100},
    {PacketBufferRead, "PacketBufferRead", U, 3, R(PacketBufferRead), false, false, 100},
    {VersionRead, "VersionRead", U, 1, R(VersionRead), false, false, 100},
    {ClockTrimRead, "ClockTrimRead", U, 1, R(ClockTrimRead), false, false, 100},
    {MonthBufferRead, "MonthBufferRead", U, 3, R(MonthBufferRead), false, false, 100},
    {AddressRead, "AddressRead", U, 1, R(AddressRead), false, false, 100},
    {LineStateRead, "LineStateRead", U, 1, R(LineStateRead), false, false, 100},
    {UartRateRead, "UartRateRead", U, 1, R(UartRateRead), false, false, 100},
    {BillingDayRead, "BillingDayRead", U, 1, R(BillingDayRead), false, false, 100},
    {PlcFreeCellsRead, "PlcFreeCellsRead", U, 1, R(PlcFreeCellsRead), false, false, 100},
    {FingerprintRead, "FingerprintRead", U, 1, R(FingerprintRead), false, false, 100},
    {LongCommandHeader, "LongCommandHeader", G, 5, kNoWait, false, false, 100},
    {LongCommandBlock, "LongCommandBlock", G, 5, kNoWait, false, false, 100},
};

constexpr LengthRule kNone = LengthRule::None;
constexpr LengthRule kExactly = LengthRule::Exactly;
constexpr LengthRule kAtLeast = LengthRule::AtLeast;

// The length each reply needs for its main effect. PlcCommandQueue, PacketBufferRead, VersionRead
// and MonthBufferRead also have an effect for the other lengths (buffer full, no data); the
// handler says which.
constexpr ReplyInfo kReplies[] = {
    {Code(SlaveClockSync), "SlaveClockSync", kExactly, 1},
    {Code(PasswordWrite), "PasswordWrite", kAtLeast, 1},
    {Code(PasswordSend), "PasswordSend", kAtLeast, 1},
    {Code(PlcCommandQueue), "PlcCommandQueue", kExactly, 6},
    {Code(KeyWrite), "KeyWrite", kExactly, 33},
    {kAccessDenied, "AccessDenied", kExactly, 1},
    {Code(LastStartRead), "LastStartRead", kExactly, 8},
    {Code(Restart), "Restart", kNone, 0},
    {Code(RegisterRead), "RegisterRead", kAtLeast, 1},
    {Code(MonthRecordClear), "MonthRecordClear", kNone, 0},
    {Code(MemoryTest), "MemoryTest", kExactly, 7},
    {Code(FirmwareBegin), "FirmwareBegin", kNone, 0},
    {Code(PacketBufferClear), "PacketBufferClear", kNone, 0},
    {Code(DebugModeWrite), "DebugModeWrite", kExactly, 1},
    {Code(MonthBufferClear), "MonthBufferClear", kNone, 0},
    {Code(FirmwareLine), "FirmwareLine", kExactly, 1},
    {Code(FirmwareBeginLegacy), "FirmwareBeginLegacy", kExactly, 1},
    {Code(ConfigRead), "ConfigRead", kExactly, 4},
    {Code(ClockRead), "ClockRead", kExactly, 8},
    {Code(PacketBufferRead), "PacketBufferRead", kExactly, 14},
    {Code(VersionRead), "VersionRead", kAtLeast, 2},
    {Code(ClockTrimRead), "ClockTrimRead", kExactly, 2},
    {Code(MonthBufferRead), "MonthBufferRead", kAtLeast, 4},
    {Code(AddressRead), "AddressRead", kExactly, 3},
    {Code(LineStateRead), "LineStateRead", kExactly, 103},
    {Code(UartRateRead), "UartRateRead", kExactly, 2},
    {Code(BillingDayRead), "BillingDayRead", kExactly, 2},
    {Code(PlcFreeCellsRead), "PlcFreeCellsRead", kExactly, 2},
    {Code(FingerprintRead), "FingerprintRead", kExactly, 5},
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
