#pragma once

#include "cli/ExitStatus.h"
#include "cli/Options.h"
#include "cli/Output.h"

#include <memory>

namespace lumvaris::cli {

// collect --sites FILE: every site of the file served by one process on one event loop, each a
// Session and DataSinks of its own, with its scheduled jobs. Signals come in through Signal():
// SIGHUP re-reads the file, SIGTERM and SIGINT save and end.
class Collector {
  public:
    Collector(const Options& options, Output& output, const QString& dataDirectory);
    ~Collector();
    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;

    ExitStatus Run();
    void Signal(int signal);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace lumvaris::cli
