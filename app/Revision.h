#pragma once

// The program directory, the data directory and the version caption are fixed below the window,
// shared with the command-line program; the window calls them by these names.
#include "session/Revision.h"

namespace lumvaris::app {

using session::DataDirectoryOf;
using session::ExecutableSuffix;
using session::MakeRevisionValues;
using session::ProgramDirectoryOf;
using session::ProgramDirectoryTakesFiles;
using session::RefreshRevisionCopy;
using session::Revision;
using session::RevisionStart;
using session::RevisionValues;
using session::UserDataDirectory;

}  // namespace lumvaris::app
