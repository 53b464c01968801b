// Any text typed as a long command (as UTF-8): the parse never fails, gives one byte per group of
// characters, and a command that is not refused builds a header and whole blocks that say how
// many blocks follow.
#include <QString>

#include <cstdint>
#include <cstdlib>

#include "commands/PlcCommands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lumvaris::commands;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::vector<std::uint8_t> bytes = LongCommandBytes(text);
    qsizetype characters = 0;
    for (const QChar c : text) {
        characters += c != QLatin1Char(' ');
    }
    // Pairs, with an odd last group of three: one byte per two characters, rounded down.
    const std::size_t expected = characters == 1 ? 1 : static_cast<std::size_t>(characters / 2);
    if (bytes.size() != expected) {
        std::abort();
    }
    if (!LongCommandRefusal(bytes.size()).isEmpty()) {
        return 0;
    }
    const LongCommand command = BuildLongCommand(bytes, 0x1FFF, 5);
    if (command.requests.size() < 2 || command.requests.front().body[3] != command.requests.size() - 1) {
        std::abort();
    }
    return 0;
}
