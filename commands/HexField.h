#pragma once

#include <QString>
#include <cstdint>

namespace lumvaris::commands {

// The one lenient conversion of the windows' hexadecimal text fields: for every character the value
// shifts left by four bits and adds the digit, 0-9 and A-F/a-f; any other character adds 0. An empty
// text gives 0; digits beyond 32 bits fall off the top.
std::uint32_t HexFieldParse(const QString& text);

}  // namespace lumvaris::commands
