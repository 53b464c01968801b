#pragma once

#include "session/ITimer.h"

namespace lumvaris::session {

// Timers over QTimer, each named after the program's timer.
class QtTimerFactory final : public ITimerFactory {
  public:
    std::unique_ptr<ITimer> Create(const std::string& name, int intervalMs,
                                   std::function<void()> onTimeout) override;
};

}  // namespace lumvaris::session
