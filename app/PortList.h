#pragma once

// The port list's order and descriptions live below the window, shared with the command-line
// program; the window calls them by these names.
#include "link/PortList.h"

namespace lumvaris::app {

using link::OrderPortList;
using link::PortDescription;

}  // namespace lumvaris::app
