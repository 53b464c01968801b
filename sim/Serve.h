#pragma once

#include <memory>
#include <vector>

#include "Simulator.h"

namespace lumvaris::sim {

// The one loop of the process: waits on every simulator's descriptors at once (epoll) and on the
// earliest of their wake times (a heap), and lets only the simulators that have something to do
// run, so that a fleet of thousands costs what its traffic costs. Ends when stopFd becomes
// readable (a signal arrived), or when a simulator ends with an exit code. Returns the exit code.
int Serve(const std::vector<std::unique_ptr<Simulator>>& simulators, int stopFd);

}  // namespace lumvaris::sim
