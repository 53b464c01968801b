#pragma once

#include <QString>

#include <cstdint>

namespace lumvaris::commands {

// Why a new UART-ID would leave the concentrator unreachable, or empty when it would not: an
// address in 1000..1FFF makes its replies look like meter packets, FFFF is the workstation's own.
QString UnreachableAddressReason(std::uint16_t address);

}  // namespace lumvaris::commands
