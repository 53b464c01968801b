#pragma once

#include "cli/ExitStatus.h"
#include "cli/Options.h"
#include "cli/Output.h"

namespace lumvaris::cli {

class Session;

// The commands of lumvaris-cli; each says its messages and returns the exit status.
ExitStatus RunPorts(Output& output);
// sites --claim: which collector holds which site of a shared fleet, and the sites nobody holds.
ExitStatus RunSites(const Options& options, Output& output);
ExitStatus RunInfo(Session& session);
ExitStatus RunClock(Session& session);
ExitStatus RunSend(Session& session);
ExitStatus RunReadAll(Session& session);
ExitStatus RunListen(Session& session);
ExitStatus RunFirmware(Session& session);
ExitStatus RunKey(Session& session);
// No connection: the port's files only. stopped() says whether a stop signal came.
ExitStatus RunExport(const Options& options, Output& output, const QString& dataDirectory,
                     const std::function<int()>& stopSignal);

}  // namespace lumvaris::cli
