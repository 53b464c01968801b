#pragma once

#include <string>
#include <vector>

#include "link/SerialPort.h"

namespace lumvaris::link {

// The port list as both faces show it (the window's port field, the command line's "ports"): the names as the
// system reports them, then for n = 1..256 the name "COM<n>", when present, is exchanged into the next place
// from the top. So COM1..COM256 come first in ascending number and the other names follow.
std::vector<std::string> OrderPortList(std::vector<std::string> names);
// The same order for the entries of the list, by their names.
std::vector<PortInfo> OrderPortList(std::vector<PortInfo> ports);

// What the list shows beside a port's name: "FT232R USB UART, FTDI"; for a name that is a link,
// also where it leads ("… → /dev/ttyUSB0"). Empty when nothing is known.
std::string PortDescription(const PortInfo& port);

}  // namespace lumvaris::link
