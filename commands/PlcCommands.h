#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "commands/Records.h"
#include "commands/Requests.h"
#include "link/Frame.h"

namespace lumvaris::commands {

// ---------------------------------------------------------------------------------------------
// Short commands: five hex fields queued in the concentrator's PLC buffer.

// TYPE, SSSS low and high, DDDD low and high, each read with the hex field parse; a byte takes the
// low 8 bits of its field.
ShortPlcCommand ShortPlcCommandOfFields(const QString& type, const QString& ssssLow, const QString& ssssHigh,
                                        const QString& ddddLow, const QString& ddddHigh);

// The texts a preset of the short-command list puts into the five fields.
struct ShortCommandPreset {
    QString type;
    QString ssssLow;
    QString ssssHigh;
    QString ddddLow;
    QString ddddHigh;
};

// Item 0 is the one "DB" preset, every other item is "DC"; SSSS is always FF 1F, and DDDD is read
// from the item's own text: the two characters before its first '/' and the two after it.
// Nothing for a negative index (no item chosen).
std::optional<ShortCommandPreset> PresetOfItem(int index, const QString& itemText);

// ---------------------------------------------------------------------------------------------
// Long commands: any number of bytes to one meter or to all, as a header and 4-byte blocks.

// One byte counts the blocks, so a body holds at most 255 of them, and the fill byte and the
// CRC-24 take 4 of those 1020 bytes.
inline constexpr int kMaxLongCommandBlocks = 255;
inline constexpr std::size_t kMaxLongCommandBytes = 4 * kMaxLongCommandBlocks - 4;

// The command bytes of the text as the engineer typed it: every space removed, the rest taken in
// pairs of characters, where a text of odd length keeps its last three characters together (and
// a single character stands alone); each group read with the hex field parse, its low 8 bits one
// byte. Empty for a text of spaces only.
std::vector<std::uint8_t> LongCommandBytes(const QString& text);

// Why a command of this many bytes cannot go out; empty when it can.
QString LongCommandRefusal(std::size_t commandBytes);
// Why the typed text cannot go out: a character that is neither a hex digit nor a space (a typo
// or a pasted separator would otherwise reach every meter as a corrupted command), named with
// its position; empty when every character is one of those.
QString LongCommandTextRefusal(const QString& text);

// 0x1FFF for all meters, else 0x1000 + the meter number.
std::uint16_t LongCommandDestination(bool broadcast, int meter);

// What goes out for one long command.
struct LongCommand {
    std::vector<Request> requests;  // the header, then one block per 4 body bytes
    // The low 8 bits of the CRC-24 over the five payload bytes of the last block, which the
    // engineer compares with what the meters report.
    std::uint8_t controlByte = 0;
};

// The header (destination, type's low 8 bits, block count) and the blocks of the body. The
// command must not be refused by LongCommandRefusal.
LongCommand BuildLongCommand(const std::vector<std::uint8_t>& commandBytes, std::uint16_t destination,
                             int longCommandType);

// One line of the clipboard form for a scripting tool: "TYPE=COMMAND; NOANSWER=YES; RUN=" and the
// frame's bytes from the source address to the last payload byte (no header CRC, no checksum) as
// two hex digits each, then CR LF.
QString LongCommandClipboardLine(const link::FrameBuffer& frame);

// "B1h"
QString ControlByteText(std::uint8_t controlByte);

}  // namespace lumvaris::commands
