#pragma once

#include <cstdint>

namespace lumvaris::commands {

// What the command layer needs of the connection, and nothing more: the UART-ID every request
// goes to, the concentrator's report of a new one, and the local port following the
// concentrator's rate.
class IConnectionControl {
  public:
    virtual ~IConnectionControl() = default;
    virtual bool IsOpen() const = 0;
    // The hex field parse of the UART-ID field, low 16 bits, at the moment of asking.
    virtual std::uint16_t UartId() const = 0;
    // The concentrator reported its address: the UART-ID field shows it ("%0.4X"), highlighted.
    virtual void ShowUartId(std::uint16_t address) = 0;
    // The concentrator runs at this rate index (0 = 38400, 1 = 19200, 2 = 9600): the rate field
    // shows it, highlighted, and the local port follows, the database saved first.
    virtual void SwitchRate(int rateIndex) = 0;
};

}  // namespace lumvaris::commands
