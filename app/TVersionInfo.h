#pragma once

// The version resource is read below the window, shared with the command-line program; the window
// calls it by these names.
#include "session/TVersionInfo.h"

namespace lumvaris::app {

using session::BuildVersionResource;
using session::TVersionInfo;
using session::VersionResource;

}  // namespace lumvaris::app
