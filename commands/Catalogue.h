#pragma once

#include <QtGlobal>

#include <cstdint>

#include "link/Requester.h"

namespace lumvaris::commands {

// Every request the program sends, by its type code (payload byte 0).
enum class RequestType : std::uint8_t {
    ConfigWrite = 0x00,
    ClockWrite = 0x01,
    ClockTrimWrite = 0x04,
    AddressWrite = 0x06,
    SlaveClockSync = 0x07,
    UartRateWrite = 0x08,
    BillingDayWrite = 0x09,
    PasswordWrite = 0x0A,
    PasswordSend = 0x0B,
    PlcCommandQueue = 0x0C,
    KeyWrite = 0x0D,
    LastStartRead = 0x75,
    Restart = 0x76,
    RegisterRead = 0x77,
    MonthRecordClear = 0x78,
    MemoryTest = 0x79,
    FirmwareBegin = 0x7A,
    PacketBufferClear = 0x7B,
    DebugModeWrite = 0x7C,
    MonthBufferClear = 0x7D,
    FirmwareLine = 0x7E,
    FirmwareBeginLegacy = 0x7F,
    ConfigRead = 0x80,
    ClockRead = 0x81,
    PacketBufferRead = 0x82,
    VersionRead = 0x83,
    ClockTrimRead = 0x84,
    MonthBufferRead = 0x85,
    AddressRead = 0x86,
    LineStateRead = 0x87,
    UartRateRead = 0x88,
    BillingDayRead = 0x89,
    PlcFreeCellsRead = 0x8A,
    FingerprintRead = 0x8B,
    LongCommandHeader = 0xD8,
    LongCommandBlock = 0xD9,
};

// The type code of a request and of the reply that answers it (the reply repeats the code).
constexpr std::uint8_t Code(RequestType type) {
    return static_cast<std::uint8_t>(type);
}

// The concentrator's refusal, accepted in place of any expected reply.
inline constexpr std::uint8_t kAccessDenied = 0x40;
// What the refusal means, as the engineer is told: after PasswordSend the password was wrong;
// after any other request, a protected command came without an accepted password.
// Shown through QCoreApplication::translate("commands::Catalogue", ...).
inline constexpr const char* kWrongPasswordText =
    QT_TRANSLATE_NOOP("commands::Catalogue", "Пароль неверный!");
inline constexpr const char* kRefusalText =
    QT_TRANSLATE_NOOP("commands::Catalogue", "Команда недоступна, введите пароль!");
// Payload length of a request that carries a text: the type code and the text's bytes.
inline constexpr int kTextLength = -1;
// The most bytes a request carries after its type code.
inline constexpr int kMaxBody = 254;

enum class Destination {
    UartId,  // the concentrator's address typed in the UART-ID field
    Given,   // the request names its own: the address change, the long commands to the meters
};

struct CommandInfo {
    RequestType type;
    const char* name;
    Destination destination;
    int payloadLength;  // N, type code included; kTextLength for 1 + the text's length
    int expectedReply;  // the reply type that ends the wait, or link::Requester::kNoWait
    // Needs an accepted password while the window's access control is on.
    bool isProtected;
    // Every request but the password itself uses up the right to one protected command.
    bool keepsAccess;
    int pauseMs;  // the pause after writing the frame
};

// The row of a request; every RequestType has one.
const CommandInfo& Info(RequestType type);
// The row of a type code, or null for a code the program never sends.
const CommandInfo* FindCommand(std::uint8_t code);
// All rows, in type-code order.
const CommandInfo* Commands(int& count);

// How the reply handler checks a reply's payload length N before it reads a byte.
enum class LengthRule {
    None,     // the type has no rule: the reply ends the wait with "Ошибка!"
    Exactly,  // N == length
    AtLeast,  // N >= length
};

struct ReplyInfo {
    std::uint8_t type;
    const char* name;
    LengthRule rule;
    int length;
};

// The reply rule of a type code, or null for a code no request awaits.
const ReplyInfo* FindReply(std::uint8_t code);
// True when a reply of this length takes the rule's main effect.
bool MeetsLength(const ReplyInfo& reply, int length);

// "ConfigRead" for a known code, otherwise null.
const char* RequestName(std::uint8_t code);

}  // namespace lumvaris::commands
