#pragma once

#include <QtGlobal>

#include <string>
#include <vector>

#include "SerialPort.h"

namespace lumvaris::link {

// Where the port list finds names other than the system's own port names (Linux).
inline constexpr const char* kStableNameDirectory = "/dev/serial/by-id";
inline constexpr const char* kSimulatorLinkDirectory = "/tmp";
inline constexpr const char* kSimulatorLinkPrefix = "lumvaris-sim";
// Shown through QCoreApplication::translate("link::PortDiscovery", ...).
inline constexpr const char* kSimulatorDescription =
    QT_TRANSLATE_NOOP("link::PortDiscovery", "Симулятор концентратора (lumvaris-sim)");

// The stable names of a directory such as /dev/serial/by-id: each symbolic link that leads to a
// character device, by its full path, described as the system port of that device when
// systemPorts holds it. In name order; empty where the directory is missing.
std::vector<PortInfo> StableNames(const std::string& directory, const std::vector<PortInfo>& systemPorts);

// The links a running simulator keeps to its pseudo-terminal (lumvaris-sim --link
// /tmp/lumvaris-sim): links in directory whose names start with "lumvaris-sim", owned by this
// user, leading to a pseudo-terminal under /dev/pts that is no older than the link. A link left
// by a simulator that was killed points at a number that may by now be another program's
// terminal, created after the link: that one is left out. Nothing is opened. In name order.
std::vector<PortInfo> SimulatorLinks(const std::string& directory);

}  // namespace lumvaris::link
