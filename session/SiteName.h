#pragma once

#include <QString>

namespace lumvaris::session {

// The longest site name: it is one level of an MQTT topic and a column of the readings.
constexpr int kMaxSiteNameLength = 100;

// The site a port's readings carry when none is given: the port's database name and this
// machine's short host name, "ttyUSB0@box17", so that the same port name on two collectors
// stays two sites.
QString DefaultSite(const QString& portName);

// Why a site name cannot be used, or empty when it can: it must map to one MQTT topic level and
// back, so no "/", "+" or "#", no control character, no "$" at its start (the broker's own
// topics), no "=", "-" or "@" at its start (a formula in a spreadsheet's CSV cell), not empty and
// at most kMaxSiteNameLength characters.
QString SiteNameError(const QString& name);

}  // namespace lumvaris::session
