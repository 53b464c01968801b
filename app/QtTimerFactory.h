#pragma once

#include "app/ITimer.h"

namespace lumvaris::app {

// Timers over QTimer, each named after the window's timer.
class QtTimerFactory final : public ITimerFactory {
  public:
    std::unique_ptr<ITimer> Create(const std::string& name, int intervalMs,
                                   std::function<void()> onTimeout) override;
};

}  // namespace lumvaris::app
